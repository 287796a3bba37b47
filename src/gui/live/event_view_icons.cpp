#include "live/event_view_icons.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

namespace qvx::gui {

namespace {
QPixmap blank() {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// Drawn in the buttons' text colour, so that the icons read on a dark palette too.
QColor ink() {
    return QGuiApplication::palette().color(QPalette::ButtonText);
}
}  // namespace

QIcon loggingStateIcon(bool on) {
    QPixmap pixmap = blank();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(on ? QColor(170, 20, 20) : QColor(110, 110, 110), 2));
    painter.setBrush(on ? QColor(220, 40, 40) : Qt::transparent);
    painter.drawEllipse(QRectF(3, 3, 14, 14));
    return QIcon(pixmap);
}

QIcon counterIcon() {
    QPixmap pixmap = blank();
    QPainter painter(&pixmap);
    painter.setPen(QPen(ink(), 2));
    for (int k = 0; k < 4; ++k) {
        painter.drawLine(4 + 3 * k, 4, 4 + 3 * k, 16);
    }
    painter.drawLine(2, 14, 17, 6);
    return QIcon(pixmap);
}

QIcon pauseCounterIcon() {
    QPixmap pixmap = blank();
    QPainter painter(&pixmap);
    painter.fillRect(QRect(5, 3, 4, 14), ink());
    painter.fillRect(QRect(11, 3, 4, 14), ink());
    return QIcon(pixmap);
}

QIcon resumeCounterIcon() {
    QPixmap pixmap = blank();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(30, 130, 50));
    painter.drawPolygon(QPolygonF({QPointF(5, 3), QPointF(16, 10), QPointF(5, 17)}));
    return QIcon(pixmap);
}

}  // namespace qvx::gui
