#pragma once
// A small chart of one lane's last intervals: volume as bars, speed as a line, newest at the
// right. It draws what it is given and nothing else.

#include <QVector>
#include <QWidget>

namespace qvx::gui {

class LaneHistoryChart : public QWidget {
    Q_OBJECT
  public:
    struct Point {
        quint32 volume = 0;
        qint16 speed = 0;
    };

    explicit LaneHistoryChart(QWidget* parent = nullptr);
    // Oldest first; at most capacity points are drawn.
    void setHistory(const QVector<Point>& points);
    void setCapacity(int points) { capacity_ = points; }
    const QVector<Point>& history() const { return points_; }

    QSize sizeHint() const override { return {180, 26}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QVector<Point> points_;
    int capacity_ = 20;
};

}  // namespace qvx::gui
