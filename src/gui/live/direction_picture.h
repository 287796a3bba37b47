#pragma once
// The forward-fire view's picture of the direction of travel: the road running away from the
// sensor over it, with vehicles approaching (driving towards the sensor) or departing (driving
// away), or a question mark while no direction is known. The speed sign follows the units.
// Clicking it asks the user to settle the direction.

#include <QWidget>

#include "live/event_fetcher.h"

namespace qvx::gui {

class DirectionPicture : public QWidget {
    Q_OBJECT
  public:
    explicit DirectionPicture(QWidget* parent = nullptr);

    void setDirection(Direction direction);
    void setMetric(bool metric);
    void setOccupied(bool occupied);
    Direction direction() const { return direction_; }

    QSize sizeHint() const override { return {190, 230}; }

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    Direction direction_ = Direction::Unknown;
    bool metric_ = false;
    bool occupied_ = false;
};

}  // namespace qvx::gui
