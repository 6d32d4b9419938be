#include "app/AppIcon.h"

#include <QPainter>
#include <QPainterPath>

namespace ferrymark {

QImage AppIcon::image(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // A folder with a ferry's arrow crossing into it; resources/ferrymark.svg is the same
    // drawing for the icon theme.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2a, 0x6f, 0xc9));
    p.drawRoundedRect(QRectF(4, 14, 56, 44), 6, 6);
    p.drawRoundedRect(QRectF(4, 8, 24, 12), 4, 4);
    p.setBrush(QColor(0x5c, 0x9c, 0xe8));
    p.drawRoundedRect(QRectF(4, 20, 56, 38), 6, 6);
    QPainterPath arrow;
    arrow.moveTo(14, 35);
    arrow.lineTo(36, 35);
    arrow.lineTo(36, 27);
    arrow.lineTo(52, 39);
    arrow.lineTo(36, 51);
    arrow.lineTo(36, 43);
    arrow.lineTo(14, 43);
    arrow.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(arrow);
    return img;
}

QIcon AppIcon::statusImage() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(QPixmap::fromImage(image(size)));
    }
    return icon;
}

}  // namespace ferrymark
