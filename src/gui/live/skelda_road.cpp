#include "live/skelda_road.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace qvx::gui {

namespace {

constexpr double kMarginTop = 34;
constexpr double kMarginBottom = 14;
constexpr double kNameWidth = 78;
constexpr double kBeamWidth = 46;
// Pixels per second a vehicle drives per unit of reported speed, so faster vehicles leave sooner.
constexpr double kPixelsPerSpeedUnitSecond = 6.0;
constexpr double kVehicleLengths[] = {34, 58, 92};  // small, medium, large

const QColor kRoad(70, 74, 80);
const QColor kShoulder(120, 150, 90);
const QColor kMarking(235, 235, 220);
const QColor kBeam(255, 220, 60, 70);
const QColor kVehicleColours[] = {QColor(70, 150, 235), QColor(245, 160, 40), QColor(220, 70, 70)};

}  // namespace

SkeldaRoad::SkeldaRoad(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("skeldaRoad"));
    setMinimumSize(480, 220);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SkeldaRoad::setLanes(int lanes, const std::array<QString, 8>& names,
                          const std::array<char, 8>& directions) {
    lanes_ = std::clamp(lanes, 0, 8);
    names_ = names;
    directions_ = directions;
    update();
}

void SkeldaRoad::setEventMode(bool on) {
    event_mode_ = on;
    update();
}

void SkeldaRoad::setVehicles(std::vector<TrackedVehicle> vehicles, std::int64_t now_ms) {
    std::erase_if(vehicles, [now_ms](const TrackedVehicle& v) { return now_ms - v.arrived_ms > kShownMs; });
    const bool changed = !vehicles.empty() || shown_ != 0;
    vehicles_ = std::move(vehicles);
    now_ms_ = now_ms;
    shown_ = static_cast<int>(vehicles_.size());
    if (changed) {
        update();
    }
}

void SkeldaRoad::clearVehicles() {
    vehicles_.clear();
    shown_ = 0;
    update();
}

void SkeldaRoad::setActuation(std::uint32_t mask) {
    if (mask != actuation_) {
        actuation_ = mask;
        update();
    }
}

QRectF SkeldaRoad::laneRect(int lane) const {
    const double road_height = height() - kMarginTop - kMarginBottom;
    const double lane_height = road_height / std::max(lanes_, 1);
    // Lane 1 is nearest the sensor, at the bottom of the picture.
    return QRectF(kNameWidth, kMarginTop + (lanes_ - lane) * lane_height, width() - kNameWidth - 8,
                  lane_height);
}

double SkeldaRoad::beamX() const {
    return kNameWidth + (width() - kNameWidth - 8) / 2.0;
}

void SkeldaRoad::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    drawRoad(painter);
    if (event_mode_) {
        for (const TrackedVehicle& vehicle : vehicles_) {
            drawVehicle(painter, vehicle);
        }
    } else {
        drawActuation(painter);
    }
}

void SkeldaRoad::drawRoad(QPainter& painter) {
    painter.fillRect(rect(), kShoulder);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.fillRect(QRect(0, 0, width(), static_cast<int>(kMarginTop) - 6),
                     palette().color(QPalette::Window));
    // The sensor on its pole at the roadside, looking across the lanes.
    const double beam = beamX();
    painter.setBrush(QColor(40, 40, 40));
    painter.drawRoundedRect(QRectF(beam - 14, height() - kMarginBottom + 1, 28, kMarginBottom - 2), 3, 3);
    if (lanes_ == 0) {
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("No lanes configured"));
        return;
    }
    for (int lane = 1; lane <= lanes_; ++lane) {
        const QRectF area = laneRect(lane);
        painter.fillRect(area, kRoad);
        painter.setPen(palette().color(QPalette::WindowText));
        const QRectF name_area(0, area.top(), kNameWidth - 4, area.height());
        painter.fillRect(name_area, palette().color(QPalette::Window));
        const QString name = names_[static_cast<std::size_t>(lane - 1)].trimmed();
        painter.drawText(name_area.adjusted(4, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                         name.isEmpty() ? QStringLiteral("Lane %1").arg(lane) : name);
        if (lane < lanes_) {
            QPen dashed(kMarking, 2, Qt::DashLine);
            painter.setPen(dashed);
            painter.drawLine(QPointF(area.left(), area.top()), QPointF(area.right(), area.top()));
        }
    }
    painter.setPen(QPen(kMarking, 3));
    const QRectF top = laneRect(lanes_);
    const QRectF bottom = laneRect(1);
    painter.drawLine(QPointF(top.left(), top.top()), QPointF(top.right(), top.top()));
    painter.drawLine(QPointF(bottom.left(), bottom.bottom()), QPointF(bottom.right(), bottom.bottom()));
    QPainterPath cone;
    cone.moveTo(beam, height() - kMarginBottom);
    cone.lineTo(beam - kBeamWidth / 2, top.top());
    cone.lineTo(beam + kBeamWidth / 2, top.top());
    cone.closeSubpath();
    painter.fillPath(cone, kBeam);
}

void SkeldaRoad::drawVehicle(QPainter& painter, const TrackedVehicle& vehicle) {
    if (vehicle.lane < 1 || vehicle.lane > lanes_) {
        return;
    }
    if (vehicle.serial > newest_painted_) {
        newest_painted_ = vehicle.serial;
        if (onFirstPainted) {
            onFirstPainted(vehicle);
        }
    }
    const QRectF area = laneRect(vehicle.lane);
    const int vehicle_class = std::clamp(vehicle.vehicle_class, 0, 2);
    const double length = kVehicleLengths[vehicle_class];
    const double seconds = (now_ms_ - vehicle.arrived_ms) / 1000.0;
    const double travelled = std::abs(vehicle.speed) * kPixelsPerSpeedUnitSecond * seconds;
    // Positive speeds drive to the right, negative to the left, starting just out of the beam.
    const bool rightwards = vehicle.speed >= 0;
    const double start = beamX() + (rightwards ? kBeamWidth / 2 : -kBeamWidth / 2 - length);
    const double x = start + (rightwards ? travelled : -travelled);
    const double body_height = std::min(area.height() * 0.55, 26.0);
    const QRectF body(x, area.center().y() - body_height / 2, length, body_height);
    painter.setPen(QPen(QColor(20, 20, 20), 1));
    painter.setBrush(kVehicleColours[vehicle_class]);
    painter.drawRoundedRect(body, 4, 4);
    const QString label = QStringLiteral("%1 %2  C%3  %4 s")
                              .arg(std::abs(vehicle.speed))
                              .arg(speed_unit_)
                              .arg(vehicle_class)
                              .arg((vehicle.end_ticks - vehicle.ticks) / 400.0, 0, 'f', 2);
    painter.setPen(kMarking);
    const double label_y = body.top() - 2;
    painter.drawText(
        QPointF(rightwards ? body.left() : body.right() - painter.fontMetrics().horizontalAdvance(label),
                std::max(label_y, area.top() + painter.fontMetrics().ascent())),
        label);
}

void SkeldaRoad::drawActuation(QPainter& painter) {
    for (int lane = 1; lane <= lanes_; ++lane) {
        if (!(actuation_ & (1u << (lane - 1)))) {
            continue;
        }
        const QRectF area = laneRect(lane);
        const double body_height = std::min(area.height() * 0.6, 30.0);
        const QRectF body(beamX() - kVehicleLengths[0], area.center().y() - body_height / 2,
                          2 * kVehicleLengths[0], body_height);
        painter.setPen(QPen(QColor(20, 20, 20), 1));
        painter.setBrush(QColor(230, 60, 60));
        painter.drawRoundedRect(body, 4, 4);
        painter.setPen(Qt::white);
        painter.drawText(body, Qt::AlignCenter, QStringLiteral("occupied"));
    }
}

}  // namespace qvx::gui
