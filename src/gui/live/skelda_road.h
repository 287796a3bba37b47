#pragma once
// The Skelda view's picture of the road: the lanes side by side as the sensor sees them from the
// roadside, the radar beam across them, and either the vehicles that have just left the beam
// (event mode: each drives on out of the beam in its direction, labelled with speed, class and
// time in the beam) or the lanes occupied now (actuation mode). Drawing only reads what it was
// handed; it never waits on anything.

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <unordered_set>
#include <vector>

#include "live/vehicle_track.h"

namespace qvx::gui {

class SkeldaRoad : public QWidget {
    Q_OBJECT
  public:
    // How long a vehicle stays in the picture after it was reported.
    static constexpr int kShownMs = 2500;

    explicit SkeldaRoad(QWidget* parent = nullptr);

    // names: 8 lane names; directions: 'L' / 'R' per lane as the lane layout holds them.
    void setLanes(int lanes, const std::array<QString, 8>& names, const std::array<char, 8>& directions);
    void setEventMode(bool on);
    void setSpeedUnit(const QString& unit) { speed_unit_ = unit; }
    // The vehicles of the track and the steady-clock time to draw them at (ms). Repaints only
    // when something in the picture moves or changes.
    void setVehicles(std::vector<TrackedVehicle> vehicles, std::int64_t now_ms);
    void clearVehicles();
    void setActuation(std::uint32_t mask);

    int laneCount() const { return lanes_; }
    // Vehicles in the picture at the last setVehicles.
    int vehiclesShown() const { return shown_; }
    // Called from paintEvent with each vehicle the first time it is painted (for measurements).
    std::function<void(const TrackedVehicle&)> onFirstPainted;

    QSize sizeHint() const override { return {720, 360}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QRectF laneRect(int lane) const;  // lane 1..lanes_
    double beamX() const;
    void drawRoad(QPainter& painter);
    void drawVehicle(QPainter& painter, const TrackedVehicle& vehicle);
    void drawActuation(QPainter& painter);

    int lanes_ = 0;
    std::array<QString, 8> names_;
    std::array<char, 8> directions_{};
    bool event_mode_ = true;
    QString speed_unit_ = QStringLiteral("mph");
    std::vector<TrackedVehicle> vehicles_;
    std::int64_t now_ms_ = 0;
    std::uint32_t actuation_ = 0;
    int shown_ = 0;
    std::uint64_t newest_painted_ = 0;
};

}  // namespace qvx::gui
