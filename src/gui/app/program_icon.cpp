#include "app/program_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace qvx::gui {

namespace {

// Drawn on the 64-unit grid of the SVG: a sensor on its pole beside the road, sending arcs.
QPixmap DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    QPainterPath tile;
    tile.addRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    painter.fillPath(tile, QColor("#1d4f7a"));
    painter.setClipPath(tile);
    painter.fillRect(QRectF(2, 44, 60, 10), QColor("#5b6770"));
    for (int x : {8, 28, 48})
        painter.fillRect(QRectF(x, 48, 8, 2), QColor("#f2f2f2"));
    painter.fillRect(QRectF(11, 14, 4, 30), QColor("#d9e3ea"));
    QPainterPath head;
    head.addRoundedRect(QRectF(9, 12, 10, 8), 2, 2);
    painter.fillPath(head, QColor("#f5b335"));
    painter.setPen(QPen(QColor("#f5b335"), 3, Qt::SolidLine, Qt::RoundCap));
    // Arcs around the sensor's head, 35 degrees either side of the road's direction.
    const QPointF centre(14, 16);
    for (double radius : {10.0, 17.0, 24.0})
        painter.drawArc(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), -35 * 16,
                        70 * 16);
    return pixmap;
}

}  // namespace

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(DrawIcon(size));
    return icon;
}

}  // namespace qvx::gui
