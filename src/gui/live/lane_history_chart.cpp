#include "live/lane_history_chart.h"

#include <QDateTime>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <algorithm>

namespace qvx::gui {

namespace {
// Room above the largest value, so the speed line stays clear of the bars' tops.
constexpr double kHeadroom = 1.15;
constexpr qint64 kSensorEpoch = 946684800;  // 2000-01-01 00:00:00 UTC as Unix time

QRectF PlotArea(const QRect& rect) {
    return QRectF(rect).adjusted(1, 2, -1, -2);
}
}  // namespace

LaneHistoryChart::LaneHistoryChart(QWidget* parent) : QWidget(parent) {
    setMinimumSize(120, 22);
}

void LaneHistoryChart::setHistory(const QVector<Point>& points) {
    points_ = points;
    update();
}

void LaneHistoryChart::setScale(quint32 max_volume, int max_speed) {
    max_volume_ = std::max<quint32>(1, max_volume);
    max_speed_ = std::max(1, max_speed);
    update();
}

int LaneHistoryChart::slotCount() const {
    return std::max(1, width() / kSlotPixels);
}

// The index into points_ of the interval drawn at x, or -1.
int LaneHistoryChart::pointAt(int x) const {
    const double slot = PlotArea(rect()).width() / slotCount();
    const int slot_index = static_cast<int>((x - PlotArea(rect()).left()) / slot);
    const int first_slot = slotCount() - static_cast<int>(points_.size());
    const int index = slot_index - first_slot;
    return index >= 0 && index < points_.size() && slot_index < slotCount() ? index : -1;
}

QString LaneHistoryChart::valuesAt(int x) const {
    const int index = pointAt(x);
    if (index < 0)
        return {};
    const Point& point = points_[index];
    const QString time =
        QDateTime::fromSecsSinceEpoch(kSensorEpoch + point.sensor_time).toString("yyyy-MM-dd HH:mm:ss");
    const QString speed = point.volume == 0 ? QString("no vehicles") : QString("speed %1").arg(point.speed);
    return QString("%1: volume %2, %3").arg(time).arg(point.volume).arg(speed);
}

bool LaneHistoryChart::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = valuesAt(help->pos().x());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    return QWidget::event(event);
}

void LaneHistoryChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF area = PlotArea(rect());
    painter.fillRect(rect(), palette().base());
    const int shown = std::min(slotCount(), static_cast<int>(points_.size()));
    if (shown == 0)
        return;
    // Colours from the palette, so that a dark one draws as well as a light one.
    QColor bars = palette().color(QPalette::Highlight);
    bars.setAlpha(170);
    const QColor line = palette().color(QPalette::Text);
    const double slot = area.width() / slotCount();
    const int first_point = static_cast<int>(points_.size()) - shown;
    const int first_slot = slotCount() - shown;
    QPainterPath speed_line;
    bool drawing = false;
    for (int i = 0; i < shown; ++i) {
        const Point& point = points_[first_point + i];
        const double x = area.left() + (first_slot + i) * slot;
        const double bar = area.height() * point.volume / (max_volume_ * kHeadroom);
        painter.fillRect(QRectF(x + 1, area.bottom() - bar, std::max(1.0, slot - 2), bar), bars);
        // An interval without vehicles has no speed: the line breaks instead of falling to 0.
        if (point.volume == 0) {
            drawing = false;
            continue;
        }
        const double height =
            area.height() * std::abs(static_cast<int>(point.speed)) / (max_speed_ * kHeadroom);
        const QPointF speed_point(x + slot / 2, area.bottom() - height);
        if (drawing) {
            speed_line.lineTo(speed_point);
        } else {
            speed_line.moveTo(speed_point);
            speed_line.addEllipse(speed_point, 1.0, 1.0);
            speed_line.moveTo(speed_point);
        }
        drawing = true;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(line, 1.5));
    painter.drawPath(speed_line);
}

}  // namespace qvx::gui
