#pragma once
// "Data Acquisition": the sensor's raw radar stream recorded for a number of seconds into a
// binary file. Opening the window moves the sensor and the PC port to 921600 bps (asking whether to
// try again when the sensor does not follow); closing it moves both back.

#include <QTimer>

#include "app/working_view.h"
#include "tools/raw_acquisition.h"
#include "tools/tool_work.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace qvx {
class AppContext;
}

namespace qvx::gui {

class DataAcquisitionView : public WorkingView {
    Q_OBJECT
  public:
    explicit DataAcquisitionView(AppContext& app, QWidget* parent = nullptr);
    ~DataAcquisitionView() override;
    ViewCode viewCode() const override { return ViewCode::DataAcquisition; }
    bool shutdown() override;

    bool ready() const { return ready_; }          // at 921600 bps, nothing running
    bool recording() const { return recording_; }  // the recording thread runs
    const RawRecording& lastRecording() const { return last_; }
    AcquisitionRateSwitch& rates() { return rates_; }

  public slots:
    void start();
    void stopRecording();
    void browse();

  private:
    QWidget* buildSettings();
    QWidget* buildStatus();
    void switchRates();
    void finishSwitch();
    void finishRecording();
    void applyIntervalField();
    void showProgress();
    void showPort();
    void updateWidgets();

    AppContext& app_;
    AcquisitionRateSwitch rates_;
    RawRecorder recorder_;
    ToolWork work_;
    QTimer progress_timer_;
    AcquisitionRateSwitch::Outcome outcome_ = AcquisitionRateSwitch::Outcome::Refused;
    RawRecording last_;
    std::string output_path_;
    std::string save_error_;
    bool saved_ = false;
    bool ready_ = false;
    bool recording_ = false;
    bool stopped_ = false;

    QLineEdit* interval_ = nullptr;
    QLineEdit* path_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* port_ = nullptr;
    QLabel* expected_ = nullptr;
    QLabel* received_ = nullptr;
    QLabel* trailing_ = nullptr;
    QLabel* start_time_ = nullptr;
    QLabel* end_time_ = nullptr;
    QLabel* message_ = nullptr;
};

}  // namespace qvx::gui
