#include "appicon.h"

#include <QPainter>
#include <QPainterPath>

QImage appIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);

    // Rounded tile.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x4e, 0x79));
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);

    // Thermometer: white tube and bulb, red mercury.
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(14, 9, 12, 34), 6, 6);
    painter.drawEllipse(QPointF(20, 45), 10, 10);
    painter.setBrush(QColor(0xd9, 0x30, 0x25));
    painter.drawRoundedRect(QRectF(17.5, 20, 5, 24), 2.5, 2.5);
    painter.drawEllipse(QPointF(20, 45), 6.5, 6.5);

    // Water drop.
    QPainterPath drop;
    drop.moveTo(45, 14);
    drop.cubicTo(45, 14, 56, 29, 56, 36);
    drop.arcTo(QRectF(34, 25, 22, 22), 0, -180);
    drop.cubicTo(34, 29, 45, 14, 45, 14);
    painter.setBrush(QColor(0x5b, 0xc0, 0xeb));
    painter.drawPath(drop);
    return image;
}

QIcon appIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(appIconImage(size)));
    return icon;
}
