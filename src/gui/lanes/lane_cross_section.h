#pragma once
// The lane configuration's drawing: the road across the radar's range as 84 equal rows (bin 0,
// nearest the sensor, at the top), each in the colour of its role; lane directions, the selected
// lane's centre, vehicles moving out of the picture as time passes, and per lane a presence
// ribbon. The pointer's bin decides the cursor (allowed, refused) through a callback; presses and
// drags are reported as bins.

#include <QPixmap>
#include <QWidget>
#include <functional>
#include <vector>

#include "lanes/lane_model.h"
#include "lanes/lane_presence.h"
#include "live/vehicle_track.h"

namespace qvx::gui {

class LaneCrossSection : public QWidget {
    Q_OBJECT
  public:
    explicit LaneCrossSection(QWidget* parent = nullptr);

    void setModel(const LaneModel& model, const BlinderSettings& blinders);
    void setSelectedLane(int lane) {
        selected_lane_ = lane;
        background_dirty_ = true;
        update();
    }
    void setVehicles(std::vector<TrackedVehicle> vehicles, std::int64_t now_ms);
    void setPresence(const LanePresence& presence) { presence_ = presence; }
    // Asked for the cursor of the pointer's bin; none: the arrow.
    void setCursorChooser(std::function<Qt::CursorShape(int bin)> chooser) {
        choose_cursor_ = std::move(chooser);
    }

    // The bin under a point of the widget, clamped to 0..83.
    int binAt(int y) const;
    // The centre of bin's row.
    int rowCentre(int bin) const;
    int vehiclesShown() const { return static_cast<int>(vehicles_.size()); }
    // The pointer's bin as the cursor was last chosen, and that cursor; for tests.
    int hoverBin() const { return hover_bin_; }
    QSize sizeHint() const override { return {760, 520}; }

  signals:
    void binPressed(int bin);
    void binDragged(int from, int to);
    void binReleased(int bin);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QRect roadArea() const;
    QRect ribbonArea() const;
    void paintBins(QPainter& painter) const;
    void paintLanes(QPainter& painter) const;
    void paintVehicles(QPainter& painter) const;
    void paintRibbons(QPainter& painter) const;
    void paintPointer(QPainter& painter) const;
    void chooseCursor(int bin);

    LaneModel model_;
    BlinderSettings blinders_;
    std::vector<TrackedVehicle> vehicles_;
    std::int64_t now_ms_ = 0;
    LanePresence presence_;
    int selected_lane_ = -1;
    QPixmap background_;
    bool background_dirty_ = true;
    int hover_bin_ = -1;
    Qt::CursorShape hover_shape_ = Qt::ArrowCursor;
    int drag_from_ = -1;
    std::function<Qt::CursorShape(int)> choose_cursor_;
};

// The colour a bin's role is drawn in, from the widget's palette where one fits.
QColor BinColour(BinType type, const QPalette& palette);

}  // namespace qvx::gui
