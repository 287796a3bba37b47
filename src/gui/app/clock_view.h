#pragma once
// "Sensor Date and Time": the running sensor clock (analog face and digits), fields to edit the
// date and time, Save / Ignore / Synchronize to PC, and the clock settings (automatic
// synchronisation and its period, and whether the sensor clock holds UTC).

#include <QTimer>
#include <memory>

#include "app/clock_poller.h"
#include "app/working_view.h"

class QCheckBox;
class QLabel;
class QComboBox;
class QPushButton;
class QSpinBox;

namespace qvx {
class AppContext;
class SensorOperations;
}  // namespace qvx

namespace qvx::gui {

class ClockFace;
class MainWindow;

class ClockView : public WorkingView {
    Q_OBJECT
  public:
    ClockView(AppContext& app, SensorOperations& operations, MainWindow* main_window,
              QWidget* parent = nullptr);
    ~ClockView() override;
    ViewCode viewCode() const override { return ViewCode::SensorDateTime; }
    bool shutdown() override;

    // The fields follow the sensor clock unless the user is editing them.
    bool editing() const { return editing_; }
    CalendarTime fieldsTime() const;
    const ClockPoller& poller() const { return poller_; }

  public slots:
    ClockSave saveChanges();
    void ignoreChanges();
    void synchronizeToPc();

  private:
    QWidget* buildFields();
    QWidget* buildSettings();
    void tick();
    void showTime(const CalendarTime& time);
    void startEditing();
    void applyMonthText();
    void periodChanged(int minutes);
    void updateWidgets();

    AppContext& app_;
    SensorOperations& operations_;
    MainWindow* main_window_;
    ClockPoller poller_;
    QTimer display_timer_;
    bool editing_ = false;
    bool stopped_ = false;

    ClockFace* face_ = nullptr;
    QSpinBox* year_ = nullptr;
    QComboBox* month_ = nullptr;
    QSpinBox* day_ = nullptr;
    QSpinBox* hour_ = nullptr;
    QSpinBox* minute_ = nullptr;
    QSpinBox* second_ = nullptr;
    QSpinBox* period_ = nullptr;
    QCheckBox* synchronize_ = nullptr;
    QCheckBox* utc_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* ignore_ = nullptr;
    QPushButton* sync_now_ = nullptr;
    QLabel* zone_note_ = nullptr;
};

}  // namespace qvx::gui
