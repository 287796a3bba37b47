#include "live/direction_picture.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace qvx::gui {

DirectionPicture::DirectionPicture(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("directionPicture"));
    setMinimumSize(170, 210);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Vehicle direction: click to set Approach or Depart"));
}

void DirectionPicture::setDirection(Direction direction) {
    if (direction != direction_) {
        direction_ = direction;
        update();
    }
}

void DirectionPicture::setMetric(bool metric) {
    if (metric != metric_) {
        metric_ = metric;
        update();
    }
}

void DirectionPicture::setOccupied(bool occupied) {
    if (occupied != occupied_) {
        occupied_ = occupied;
        update();
    }
}

void DirectionPicture::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
}

void DirectionPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = width();
    const double h = height();
    painter.fillRect(rect(), QColor(120, 150, 90));
    // The road narrows towards the horizon; the sensor hangs over it at the top.
    QPainterPath road;
    road.moveTo(w * 0.42, h * 0.12);
    road.lineTo(w * 0.58, h * 0.12);
    road.lineTo(w * 0.92, h);
    road.lineTo(w * 0.08, h);
    road.closeSubpath();
    painter.fillPath(road, QColor(70, 74, 80));
    painter.setPen(QPen(QColor(235, 235, 220), 2, Qt::DashLine));
    painter.drawLine(QPointF(w * 0.5, h * 0.14), QPointF(w * 0.5, h));
    // The detection zone lights up while a vehicle is in it.
    QPainterPath zone;
    zone.moveTo(w * 0.35, h * 0.40);
    zone.lineTo(w * 0.65, h * 0.40);
    zone.lineTo(w * 0.74, h * 0.62);
    zone.lineTo(w * 0.26, h * 0.62);
    zone.closeSubpath();
    painter.fillPath(zone, occupied_ ? QColor(230, 60, 60, 150) : QColor(255, 220, 60, 70));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(30, 30, 30));
    painter.drawRoundedRect(QRectF(w * 0.40, h * 0.02, w * 0.20, h * 0.08), 3, 3);

    painter.setPen(QPen(Qt::white, 4));
    painter.setBrush(Qt::white);
    const double x = w * 0.5;
    if (direction_ == Direction::Unknown) {
        QFont font = painter.font();
        font.setPointSizeF(font.pointSizeF() * 3);
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(QRectF(0, h * 0.62, w, h * 0.38), Qt::AlignCenter, QStringLiteral("?"));
    } else {
        const bool approach = direction_ == Direction::Approach;
        const double tip_y = approach ? h * 0.68 : h * 0.95;
        const double tail_y = approach ? h * 0.95 : h * 0.68;
        painter.drawLine(QPointF(x, tail_y), QPointF(x, tip_y));
        const double head = approach ? 12 : -12;
        painter.drawPolygon(QPolygonF(
            {QPointF(x, tip_y - head * 0.2), QPointF(x - 10, tip_y + head), QPointF(x + 10, tip_y + head)}));
    }
    // The speed sign of the road's units.
    const QRectF sign(w * 0.04, h * 0.16, w * 0.26, w * 0.26);
    painter.setPen(QPen(QColor(200, 30, 30), 3));
    painter.setBrush(Qt::white);
    painter.drawEllipse(sign);
    painter.setPen(Qt::black);
    QFont small = font();
    small.setBold(true);
    painter.setFont(small);
    painter.drawText(sign, Qt::AlignCenter, metric_ ? QStringLiteral("km/h") : QStringLiteral("mph"));
    painter.drawText(QRectF(w * 0.55, h * 0.16, w * 0.44, 20), Qt::AlignRight,
                     direction_ == Direction::Approach ? QStringLiteral("Approach")
                     : direction_ == Direction::Depart ? QStringLiteral("Depart")
                                                       : QString());
}

}  // namespace qvx::gui
