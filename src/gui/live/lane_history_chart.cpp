#include "live/lane_history_chart.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace qvx::gui {

namespace {
const QColor kVolumeColour(92, 138, 196);
const QColor kSpeedColour(214, 110, 40);
// Room above the largest value, so the speed line stays clear of the bars' tops.
constexpr double kHeadroom = 1.15;
}  // namespace

LaneHistoryChart::LaneHistoryChart(QWidget* parent) : QWidget(parent) {
    setMinimumSize(120, 22);
    setToolTip(tr("Last intervals: volume (bars), speed (line)"));
}

void LaneHistoryChart::setHistory(const QVector<Point>& points) {
    points_ = points;
    update();
}

void LaneHistoryChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF area = QRectF(rect()).adjusted(1, 2, -1, -2);
    painter.fillRect(rect(), palette().base());
    if (points_.isEmpty() || capacity_ <= 0) {
        return;
    }
    quint32 max_volume = 1;
    int max_speed = 1;
    for (const Point& point : points_) {
        max_volume = std::max(max_volume, point.volume);
        max_speed = std::max(max_speed, std::abs(static_cast<int>(point.speed)));
    }
    const double slot = area.width() / capacity_;
    const int first_slot = capacity_ - static_cast<int>(points_.size());
    QPainterPath speed_line;
    for (int i = 0; i < points_.size(); ++i) {
        const double x = area.left() + (first_slot + i) * slot;
        const double bar = area.height() * points_[i].volume / (max_volume * kHeadroom);
        painter.fillRect(QRectF(x + 1, area.bottom() - bar, std::max(1.0, slot - 2), bar), kVolumeColour);
        const QPointF speed_point(
            x + slot / 2, area.bottom() - area.height() * std::abs(static_cast<int>(points_[i].speed)) /
                                              (max_speed * kHeadroom));
        if (i == 0) {
            speed_line.moveTo(speed_point);
        } else {
            speed_line.lineTo(speed_point);
        }
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kSpeedColour, 1.5));
    painter.drawPath(speed_line);
}

}  // namespace qvx::gui
