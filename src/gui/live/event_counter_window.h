#pragma once
// "Event Counter": per lane, the vehicle events counted since the counter was last returned to
// zero, for comparing the sensor's detections with a manual count. The highest lane sits at the
// top, lane 1 at the bottom; Reset, pause and resume sit below. The counting happens where the
// events are decoded; the event view that owns this window refreshes it when a count changed.

#include <QDialog>
#include <array>

#include "context/lane_statistics.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace qvx::gui {

class EventCounterWindow : public QDialog {
    Q_OBJECT
  public:
    // Rows from the top, and the window's height for 0..8 lanes, in pixels.
    static constexpr std::array<int, 8> kRowTops = {30, 66, 103, 139, 175, 211, 248, 284};
    static constexpr std::array<int, 9> kWindowHeights = {114, 142, 179, 215, 250, 285, 320, 358, 394};
    static constexpr int kButtonsBelowLaneOne = 40;
    static constexpr int kFrameHeight = 30;  // title bar and frame, outside the client area
    static constexpr int kWidth = 200;

    EventCounterWindow(LaneStatistics& statistics, int lanes, QWidget* parent = nullptr);

    // Lays the window out for lanes (0..8) and shows the counts.
    void setLaneCount(int lanes);
    // Writes the counts into the window and clears the store's change flag.
    void refresh();

    int laneCount() const { return lanes_; }
    QLineEdit* countField(int lane) const;  // lane 1..8
    QLabel* laneLabel(int lane) const;

  public slots:
    void reset();
    void pause();
    void resume();

  private:
    void buildWidgets();
    void updateWidgets();

    LaneStatistics& statistics_;
    int lanes_ = 0;
    std::array<QLabel*, kCounterLanes> labels_{};
    std::array<QLineEdit*, kCounterLanes> counts_{};
    QPushButton* reset_ = nullptr;
    QToolButton* pause_ = nullptr;
    QToolButton* resume_ = nullptr;
};

}  // namespace qvx::gui
