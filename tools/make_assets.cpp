// Renders the files Ferrymark installs beside its program: the about document as a PDF
// from its Markdown source, and the icon as PNG pictures.
//   make-assets pdf SOURCE.md OUT.pdf [VERSION]    (VERSION takes the place of @VERSION@)
//   make-assets icon SIZE OUT.png
#include <QFile>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>

#include "app/AppIcon.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if ((args.size() == 4 || args.size() == 5) && args[1] == QLatin1String("pdf")) {
        QFile source(args[2]);
        if (!source.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "make-assets: can not read %s\n", qPrintable(args[2]));
            return 1;
        }
        QTextDocument doc;
        doc.setDefaultStyleSheet(QStringLiteral("h1 { color: #2a6fc9; } h2 { color: #2a6fc9; }"));
        QString text = QString::fromUtf8(source.readAll());
        text.replace(QLatin1String("@VERSION@"), args.value(4));
        doc.setMarkdown(text);
        QPdfWriter pdf(args[3]);
        pdf.setTitle(QStringLiteral("About Ferrymark"));
        pdf.setCreator(QStringLiteral("Ferrymark"));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
        doc.print(&pdf);
        return 0;
    }
    if (args.size() == 4 && args[1] == QLatin1String("icon")) {
        return ferrymark::AppIcon::image(args[2].toInt()).save(args[3]) ? 0 : 1;
    }
    std::fprintf(stderr,
                 "usage: make-assets pdf SOURCE.md OUT.pdf [VERSION] | icon SIZE OUT.png\n");
    return 2;
}
