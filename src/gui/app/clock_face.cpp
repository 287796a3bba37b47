#include "app/clock_face.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace qvx::gui {

namespace {
constexpr double kDigitalHeight = 40;

void DrawHand(QPainter& painter, double angle_degrees, double length, double width, const QColor& color) {
    painter.save();
    painter.rotate(angle_degrees);
    QPainterPath hand;
    hand.moveTo(-width / 2, length * 0.12);
    hand.lineTo(-width / 4, -length);
    hand.lineTo(width / 4, -length);
    hand.lineTo(width / 2, length * 0.12);
    hand.closeSubpath();
    painter.fillPath(hand, color);
    painter.restore();
}
}  // namespace

ClockFace::ClockFace(QWidget* parent) : QWidget(parent) {
    setObjectName("clockFace");
    setMinimumSize(200, 240);
}

void ClockFace::setTime(const std::optional<CalendarTime>& time) {
    if (time == time_)
        return;
    time_ = time;
    update();
}

void ClockFace::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = std::min<double>(width(), height() - kDigitalHeight);
    const double radius = side / 2 - 6;

    painter.save();
    painter.translate(width() / 2.0, side / 2);
    drawDial(painter, radius);
    if (time_)
        drawHands(painter, radius);
    painter.restore();

    QFont digits = font();
    digits.setFamily("Monospace");
    digits.setStyleHint(QFont::TypeWriter);
    digits.setPointSizeF(font().pointSizeF() * 1.3);
    digits.setBold(true);
    painter.setFont(digits);
    painter.setPen(palette().color(QPalette::WindowText));
    const QString text =
        time_ ? QString::fromStdString(FormatCalendarTime(*time_)) : QString("----/--/-- --:--:--");
    painter.drawText(QRectF(0, side, width(), kDigitalHeight), Qt::AlignCenter, text);
}

void ClockFace::drawDial(QPainter& painter, double radius) const {
    QRadialGradient face(0, -radius * 0.3, radius * 1.3);
    // Palette roles, so that the dial reads on a dark palette as on a light one.
    const QColor ink = palette().color(QPalette::Text);
    face.setColorAt(0, palette().color(QPalette::Base));
    face.setColorAt(1, palette().color(QPalette::AlternateBase));
    painter.setPen(QPen(palette().color(QPalette::Mid), 3));
    painter.setBrush(face);
    painter.drawEllipse(QPointF(0, 0), radius, radius);

    for (int tick = 0; tick < 60; ++tick) {
        const bool hour = tick % 5 == 0;
        painter.setPen(QPen(ink, hour ? 2.5 : 1));
        const double angle = tick * M_PI / 30;
        const double outer = radius - 5;
        const double inner = outer - (hour ? 10 : 5);
        painter.drawLine(QPointF(inner * std::sin(angle), -inner * std::cos(angle)),
                         QPointF(outer * std::sin(angle), -outer * std::cos(angle)));
    }
    QFont numbers = font();
    numbers.setPointSizeF(std::max(7.0, radius / 9));
    painter.setFont(numbers);
    painter.setPen(ink);
    for (int hour = 1; hour <= 12; ++hour) {
        const double angle = hour * M_PI / 6;
        const double at = radius - 28;
        const QPointF centre(at * std::sin(angle), -at * std::cos(angle));
        painter.drawText(QRectF(centre.x() - 14, centre.y() - 10, 28, 20), Qt::AlignCenter,
                         QString::number(hour));
    }
}

void ClockFace::drawHands(QPainter& painter, double radius) const {
    const CalendarTime& t = *time_;
    const QColor hands = palette().color(QPalette::Text);
    DrawHand(painter, (t.hour % 12 + t.minute / 60.0) * 30, radius * 0.5, 8, hands);
    DrawHand(painter, (t.minute + t.second / 60.0) * 6, radius * 0.75, 6, hands);
    painter.save();
    painter.rotate(t.second * 6);
    painter.setPen(QPen(QColor(200, 40, 40), 1.5));
    painter.drawLine(QPointF(0, radius * 0.15), QPointF(0, -radius * 0.85));
    painter.restore();
    painter.setBrush(QColor(200, 40, 40));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(0, 0), 4, 4);
}

}  // namespace qvx::gui
