#include "lanes/lane_cross_section.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace qvx::gui {

namespace {

constexpr int kScaleWidth = 34;
constexpr int kRibbonWidth = LanePresence::kBits;  // 2 pixels per 2-bit step
constexpr int kMargin = 6;
// 5 ticks of 2.5 ms make one pixel: a vehicle crosses 80 pixels a second.
constexpr double kPixelsPerMs = 1.0 / 12.5;

}  // namespace

QColor BinColour(BinType type, const QPalette& palette) {
    switch (type) {
        case BinType::Divider:
            return QColor(Qt::white);
        case BinType::Edge:
            return QColor(128, 128, 128);
        case BinType::Centre:
            return QColor(255, 182, 193);
        case BinType::Inside:
            return QColor(70, 72, 78);  // asphalt
        case BinType::Blinded:
            return QColor(120, 60, 140);
        case BinType::BlinderMark:
            return QColor(230, 160, 20);
        case BinType::Unused:
            break;
    }
    return palette.color(QPalette::Base);
}

LaneCrossSection::LaneCrossSection(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(420, 84 * 3 + 2 * kMargin);
    setObjectName("laneCrossSection");
}

void LaneCrossSection::setModel(const LaneModel& model, const BlinderSettings& blinders) {
    model_ = model;
    blinders_ = blinders;
    background_dirty_ = true;
    chooseCursor(hover_bin_);
    update();
}

void LaneCrossSection::setVehicles(std::vector<TrackedVehicle> vehicles, std::int64_t now_ms) {
    vehicles_ = std::move(vehicles);
    now_ms_ = now_ms;
    update();
}

QRect LaneCrossSection::roadArea() const {
    return QRect(kScaleWidth, kMargin, width() - kScaleWidth - kRibbonWidth - 2 * kMargin,
                 height() - 2 * kMargin);
}

QRect LaneCrossSection::ribbonArea() const {
    const QRect road = roadArea();
    return QRect(road.right() + kMargin, road.top(), kRibbonWidth, road.height());
}

int LaneCrossSection::binAt(int y) const {
    const QRect road = roadArea();
    const int bin = (y - road.top()) * kRangeBins / std::max(1, road.height());
    return std::clamp(bin, 0, kRangeBins - 1);
}

int LaneCrossSection::rowCentre(int bin) const {
    const QRect road = roadArea();
    return road.top() + (2 * bin + 1) * road.height() / (2 * kRangeBins);
}

void LaneCrossSection::paintEvent(QPaintEvent*) {
    // The road changes seldom and the vehicles every tick: the road is drawn once into a picture.
    if (background_dirty_ || background_.size() != size() * devicePixelRatioF()) {
        background_ = QPixmap(size() * devicePixelRatioF());
        background_.setDevicePixelRatio(devicePixelRatioF());
        QPainter road(&background_);
        road.fillRect(rect(), palette().color(QPalette::Window));
        paintBins(road);
        paintLanes(road);
        background_dirty_ = false;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, background_);
    paintVehicles(painter);
    paintRibbons(painter);
    paintPointer(painter);
}

// The row under the pointer, framed in what the tool may do there: the cursor itself does not
// show on a screenshot or a projector.
void LaneCrossSection::paintPointer(QPainter& painter) const {
    if (hover_bin_ < 0 || hover_shape_ == Qt::ArrowCursor) {
        return;
    }
    const QRect road = roadArea();
    const bool refused = hover_shape_ == Qt::ForbiddenCursor;
    const int top = road.top() + hover_bin_ * road.height() / kRangeBins;
    const int bottom = road.top() + (hover_bin_ + 1) * road.height() / kRangeBins;
    painter.setPen(QPen(refused ? QColor(220, 30, 30) : QColor(40, 180, 60), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(road.left() + 1, top - 1, road.width() - 2, bottom - top + 2));
    const QString verdict = QString("bin %1: %2").arg(hover_bin_).arg(refused ? "refused" : "allowed");
    const QRect label(road.right() - 130, std::max(road.top(), top - 18), 126, 16);
    painter.fillRect(label, palette().color(QPalette::Base));
    painter.drawText(label, Qt::AlignCenter, verdict);
}

void LaneCrossSection::paintBins(QPainter& painter) const {
    const QRect road = roadArea();
    painter.setPen(palette().color(QPalette::WindowText));
    for (int bin = 0; bin < kRangeBins; ++bin) {
        const int top = road.top() + bin * road.height() / kRangeBins;
        const int bottom = road.top() + (bin + 1) * road.height() / kRangeBins;
        painter.fillRect(QRect(road.left(), top, road.width(), bottom - top),
                         BinColour(DisplayBin(model_, blinders_, bin), palette()));
        if (bin % 10 == 0) {
            painter.drawText(QRect(0, top - 6, kScaleWidth - 4, 14), Qt::AlignRight | Qt::AlignVCenter,
                             QString::number(bin));
        }
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(road.adjusted(0, 0, -1, -1));
}

// Per lane: its number, its direction arrow and, for the selected lane, its centre row marked.
void LaneCrossSection::paintLanes(QPainter& painter) const {
    const QRect road = roadArea();
    const auto& centres = model_.centres();
    for (std::size_t lane = 0; lane < centres.size(); ++lane) {
        const int y = rowCentre(centres[lane]);
        const int row = std::max(3, road.height() / kRangeBins);
        if (static_cast<int>(lane) == selected_lane_) {
            painter.fillRect(QRect(road.left(), y - row / 2, road.width(), row), QColor(220, 40, 90));
        }
        const char direction = lane < model_.directions().size() ? model_.directions()[lane] : 'R';
        const bool right = direction == 'R' || direction == 'r';
        const bool reversed = direction == 'r' || direction == 'l';
        painter.setPen(reversed ? QColor(255, 220, 0) : QColor(Qt::black));
        const QString arrow = QString("%1 %2").arg(lane + 1).arg(right ? QChar(0x2192) : QChar(0x2190));
        painter.drawText(QRect(road.left() + 6, y - 8, 60, 16), Qt::AlignLeft | Qt::AlignVCenter, arrow);
    }
}

// Each vehicle enters at the right edge when its event arrives and moves left, 5 ticks a pixel;
// its length is its time in the beam.
void LaneCrossSection::paintVehicles(QPainter& painter) const {
    const QRect road = roadArea();
    const auto& centres = model_.centres();
    painter.setPen(Qt::NoPen);
    for (const TrackedVehicle& vehicle : vehicles_) {
        if (vehicle.lane < 1 || vehicle.lane > static_cast<int>(centres.size())) {
            continue;
        }
        const int x = road.right() - static_cast<int>((now_ms_ - vehicle.arrived_ms) * kPixelsPerMs);
        const int length = std::clamp(static_cast<int>((vehicle.end_ticks - vehicle.ticks) / 5), 6, 60);
        if (x + length < road.left()) {
            continue;
        }
        const int y = rowCentre(centres[static_cast<std::size_t>(vehicle.lane - 1)]);
        static const QColor kClassColours[] = {QColor(90, 200, 255), QColor(120, 230, 120),
                                               QColor(255, 150, 60)};
        painter.setBrush(kClassColours[std::clamp(vehicle.vehicle_class, 0, 2)]);
        painter.drawRoundedRect(QRect(std::max(x, road.left()), y - 4, length, 9), 3, 3);
    }
}

void LaneCrossSection::paintRibbons(QPainter& painter) const {
    const QRect ribbons = ribbonArea();
    painter.fillRect(ribbons, palette().color(QPalette::Base));
    const auto& centres = model_.centres();
    const QColor on = palette().color(QPalette::Highlight);
    for (std::size_t lane = 0; lane < centres.size() && lane < kMaxLanes; ++lane) {
        const int y = rowCentre(centres[lane]);
        for (int age = 0; age < LanePresence::kBits; age += 2) {
            if (presence_.Occupied(static_cast<int>(lane), age)) {
                painter.fillRect(QRect(ribbons.left() + age, y - 3, 2, 7), on);
            }
        }
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(ribbons.adjusted(0, 0, -1, -1));
}

void LaneCrossSection::chooseCursor(int bin) {
    hover_bin_ = bin;
    if (bin < 0 || !choose_cursor_) {
        hover_shape_ = Qt::ArrowCursor;
        unsetCursor();
        return;
    }
    hover_shape_ = choose_cursor_(bin);
    setCursor(hover_shape_);
    update();
}

void LaneCrossSection::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !roadArea().contains(event->position().toPoint())) {
        return;
    }
    drag_from_ = binAt(event->position().toPoint().y());
    emit binPressed(drag_from_);
}

void LaneCrossSection::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const int bin = roadArea().contains(point) || drag_from_ >= 0 ? binAt(point.y()) : -1;
    if (drag_from_ >= 0 && bin != drag_from_) {
        const int from = drag_from_;
        drag_from_ = bin;
        emit binDragged(from, bin);
    }
    chooseCursor(bin);
}

void LaneCrossSection::mouseReleaseEvent(QMouseEvent* event) {
    if (drag_from_ >= 0 && event->button() == Qt::LeftButton) {
        emit binReleased(binAt(event->position().toPoint().y()));
    }
    drag_from_ = -1;
}

}  // namespace qvx::gui
