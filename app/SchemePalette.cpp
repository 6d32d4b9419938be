#include "app/SchemePalette.h"

#include <QApplication>
#include <QColor>
#include <QStyle>
#include <QStyleFactory>
#include <memory>

namespace ferrymark {
namespace {

const QString kFusion = QStringLiteral("Fusion");

}  // namespace

SchemePalette::SchemePalette() : initial_(QApplication::palette()) {}

void SchemePalette::apply(ColourScheme scheme) {
    if (scheme == ColourScheme::NoPreference) {
        if (fusion_) {
            QApplication::setPalette(initial_);
        }
        return;
    }
    // Only Fusion draws every part from the palette; other styles keep light pieces.
    if (!fusion_) {
        QApplication::setStyle(kFusion);
        fusion_ = true;
    }
    QApplication::setPalette(scheme == ColourScheme::Dark ? dark() : light());
}

QPalette SchemePalette::dark() {
    const QColor window(0x35, 0x35, 0x35);
    const QColor base(0x24, 0x24, 0x24);
    const QColor text(0xee, 0xee, 0xee);
    const QColor dimmed(0x80, 0x80, 0x80);
    const QColor highlight(0x3d, 0x7a, 0xd6);
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, dimmed);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(0xff, 0x6b, 0x6b));
    p.setColor(QPalette::Light, window.lighter(150));
    p.setColor(QPalette::Midlight, window.lighter(125));
    p.setColor(QPalette::Mid, window.darker(120));
    p.setColor(QPalette::Dark, window.darker(150));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, highlight.lighter(130));
    p.setColor(QPalette::LinkVisited, highlight.lighter(110));
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Disabled, role, dimmed);
    }
    p.setColor(QPalette::Disabled, QPalette::Highlight, window.lighter(130));
    return p;
}

QPalette SchemePalette::light() {
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(kFusion));
    return fusion ? fusion->standardPalette() : QPalette(Qt::white);
}

}  // namespace ferrymark
