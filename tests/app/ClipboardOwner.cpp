// Owns the X11 CLIPBOARD with the targets of one captured file-manager clipboard, the
// way the file manager did, until it is killed. Prints "ready" once it owns it.
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <capture folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QFile targets(folder + QStringLiteral("/TARGETS.txt"));
    if (!targets.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(targets.fileName()));
        return 2;
    }
    auto* data = new QMimeData;
    for (const QByteArray& line : targets.readAll().split('\n')) {
        const QString target = QString::fromLatin1(line);
        // MIME-style names only: Qt offers its own X11 text targets for text/plain.
        if (!target.contains(QLatin1Char('/'))) {
            continue;
        }
        QFile bytes(folder + QLatin1Char('/') +
                    QString(target).replace(QLatin1Char('/'), QLatin1Char('_')) +
                    QStringLiteral(".bin"));
        if (bytes.open(QIODevice::ReadOnly)) {
            data->setData(target, bytes.readAll());
        }
    }
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
