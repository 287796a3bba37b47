#pragma once
// The study set-up: step 1 chooses the interval (with how often the sensor moves data to flash
// and how long the flash lasts, recomputed as the user types) and shows memory overwrite; step 2
// "Start" configures the sensor in four steps on a worker, each step's line ticked as it passes.
// "Storage" opens the buffer status window, which also opens when the study has started.

#include <QTimer>
#include <array>

#include "app/working_view.h"
#include "connect/background_task.h"
#include "stored/study_setup.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qvx {
class AppContext;
class SensorOperations;
}  // namespace qvx

namespace qvx::gui {

class StudySetupView : public WorkingView {
    Q_OBJECT
  public:
    StudySetupView(AppContext& context, SensorOperations& operations, QWidget* parent = nullptr);
    ~StudySetupView() override;
    ViewCode viewCode() const override { return ViewCode::StudySetup; }
    bool shutdown() override;

    // Tests see the buffer status window before it runs (and may close it).
    void setStatusWindowHook(std::function<void(QWidget&)> hook) { status_hook_ = std::move(hook); }

    bool working() const { return work_.running(); }
    StudyOutcome lastOutcome() const { return outcome_; }

  public slots:
    void startStudy();
    void showStorage();

  private:
    void buildWidgets();
    QWidget* buildStepOne();
    QWidget* buildStepTwo();
    void startOpening();
    void onIntervalEdited(const QString& text);
    void onOverwriteToggled(bool on);
    void pollWork();
    void setStatus(const QString& text);
    void updateWidgets();

    AppContext& context_;
    SensorOperations& operations_;
    StudySetup setup_;
    BackgroundTask work_;
    QTimer poll_;
    std::function<void()> work_done_;
    bool link_open_ = false;
    bool opened_ = false;
    StudyOutcome outcome_ = StudyOutcome::NotStarted;
    std::function<void(QWidget&)> status_hook_;
    QString pending_status_;
    std::uint32_t pending_update_every_ = 0;

    QLineEdit* interval_ = nullptr;
    QCheckBox* overwrite_ = nullptr;
    QLabel* storage_time_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* update_every_ = nullptr;
    std::array<QLabel*, 4> steps_{};
    QPushButton* start_ = nullptr;
    QPushButton* storage_ = nullptr;
};

}  // namespace qvx::gui
