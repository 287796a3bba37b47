#pragma once
// "Sensor Information": serial number, description, location, sensor ID, serial interface and the
// DSP and FPGA versions, read from the sensor when the window opens ("Unknown" until then).

#include <QDialog>

#include "app/sensor_info.h"

class QLabel;

namespace qvx {
class AppContext;
}

namespace qvx::gui {

class SensorInfoDialog : public QDialog {
    Q_OBJECT
  public:
    SensorInfoDialog(AppContext& app, QWidget* parent = nullptr);

    // The text shown for a field ("Serial Number", ...).
    QString fieldText(const QString& name) const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void showInformation(const SensorInformation& info);

    AppContext& app_;
    bool read_ = false;
    std::vector<std::pair<QString, QLabel*>> fields_;
};

}  // namespace qvx::gui
