#pragma once
// A small chart of one lane's last intervals: volume as bars, speed as a line, newest at the
// right. Every lane's chart uses the same scale (set by the view), an interval without vehicles
// leaves a gap in the speed line, and hovering shows the interval's values.

#include <QVector>
#include <QWidget>

namespace qvx::gui {

class LaneHistoryChart : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kSlotPixels = 6;

    struct Point {
        quint32 volume = 0;
        qint16 speed = 0;
        quint32 sensor_time = 0;  // seconds since 2000-01-01 00:00:00 UTC
    };

    explicit LaneHistoryChart(QWidget* parent = nullptr);
    // Oldest first; as many of the newest as fit the width are drawn.
    void setHistory(const QVector<Point>& points);
    // The tops of the scale, shared by all lanes.
    void setScale(quint32 max_volume, int max_speed);
    const QVector<Point>& history() const { return points_; }
    // How many intervals fit the chart's width.
    int slotCount() const;
    // The text shown when hovering at x (empty where no interval is drawn).
    QString valuesAt(int x) const;

    QSize sizeHint() const override { return {180, 26}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

  private:
    int pointAt(int x) const;

    QVector<Point> points_;
    quint32 max_volume_ = 1;
    int max_speed_ = 1;
};

}  // namespace qvx::gui
