#pragma once
// An analog clock face with the date and time in digits beneath it.

#include <QWidget>

#include "protocol/sensor_clock.h"

namespace qvx::gui {

class ClockFace : public QWidget {
    Q_OBJECT
  public:
    explicit ClockFace(QWidget* parent = nullptr);
    // nullopt: no reading yet ("--:--:--").
    void setTime(const std::optional<CalendarTime>& time);
    QSize sizeHint() const override { return {220, 260}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void drawDial(class QPainter& painter, double radius) const;
    void drawHands(QPainter& painter, double radius) const;

    std::optional<CalendarTime> time_;
};

}  // namespace qvx::gui
