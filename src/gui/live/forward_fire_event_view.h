#pragma once
// The forward-fire event data view: the sensor's automatic configuration state (restart it, save
// what it found), the direction of travel, the occupancy of the detection zone, the vehicle
// events with their counter and log, and the latest interval record with its age, length and log.
// The polling thread fetches occupancy, events and, when the 50 ms timer asks, the latest
// interval; every user action that talks to the sensor runs on a worker, so the window never
// waits on the link.

#include <QTimer>
#include <array>

#include "app/working_view.h"
#include "live/event_fetcher.h"
#include "live/event_polling_thread.h"
#include "live/forward_fire_config.h"
#include "live/interval_fetcher.h"
#include "live/log_files.h"
#include "live/view_work.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;

namespace qvx {
class AppContext;
class SensorOperations;
}  // namespace qvx

namespace qvx::gui {

class DirectionPicture;
class ProgressWindow;

class ForwardFireEventView : public WorkingView {
    Q_OBJECT
  public:
    static constexpr int kTimerMs = 50;
    static constexpr int kEventListLength = 12;

    ForwardFireEventView(AppContext& context, SensorOperations& operations, QWidget* parent = nullptr);
    ~ForwardFireEventView() override;

    ViewCode viewCode() const override { return ViewCode::ForwardFireTraffic; }
    bool shutdown() override;

    void setLogFileChooser(LogFileChooser chooser) { chooser_ = std::move(chooser); }
    void setEditorLauncher(EditorLauncher launcher) { launch_editor_ = std::move(launcher); }

    EventFetcher& events() { return events_fetcher_; }
    IntervalFetcher& intervals() { return intervals_fetcher_; }
    EventPollingThread& pollingThread() { return thread_; }
    bool running() const { return running_; }
    bool modeTimerActive() const { return mode_timer_.isActive(); }
    bool workRunning() const { return work_.running(); }
    bool editMode() const { return edit_mode_; }

  public slots:
    void askDirection();
    void restartConfiguration();
    void saveConfiguration();
    void queryInterval();
    void editInterval();
    void saveInterval();
    void cancelEdit();
    void toggleEventLogging();
    void toggleIntervalLogging();
    void resynchronize();

  private:
    void buildWidgets();
    QWidget* buildConfigurationRow();
    QWidget* buildEventBox();
    QWidget* buildIntervalBox();
    QToolButton* toolButton(QWidget* parent, const QIcon& icon, const QString& tip);
    void open();
    void checkModeAndStart();
    void startRunning(int mode);
    void showConfigMode(int mode);
    void recheckMode();
    void onTimer();
    void showEvents();
    void showInterval();
    void stopTimers();
    void restartTimers(bool mode_settled);
    void runSave();
    void report(const char* text, const char* caption);
    void updateWidgets();

    AppContext& context_;
    SensorOperations& operations_;
    EventFetcher events_fetcher_;
    IntervalFetcher intervals_fetcher_;
    EventPollingThread thread_;
    ViewWork work_;
    QTimer timer_;
    QTimer mode_timer_;
    ProgressWindow* progress_ = nullptr;
    IntervalSnapshot snapshot_;
    std::uint64_t shown_records_ = ~0ull;
    std::uint64_t shown_serial_ = 0;
    bool link_open_ = false;
    bool running_ = false;
    bool mode_settled_ = false;
    bool edit_mode_ = false;
    bool shut_down_ = false;
    int work_result_ = 0;
    RestartOutcome restart_outcome_ = RestartOutcome::Restarted;
    SubmitOutcome submit_outcome_ = SubmitOutcome::Unchanged;
    LogFileChooser chooser_;
    EditorLauncher launch_editor_;

    QLabel* mode_text_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* restart_ = nullptr;
    QPushButton* save_config_ = nullptr;
    DirectionPicture* direction_ = nullptr;
    QLabel* actuation_ = nullptr;
    QLabel* last_event_ = nullptr;
    QListWidget* events_ = nullptr;
    QLabel* count_ = nullptr;
    QToolButton* resume_ = nullptr;
    QToolButton* pause_ = nullptr;
    QToolButton* reset_ = nullptr;
    QToolButton* view_event_log_ = nullptr;
    QToolButton* event_logging_ = nullptr;
    QLabel* updated_ = nullptr;
    QLabel* since_updated_ = nullptr;
    std::array<QLabel*, 6> interval_values_{};
    QLineEdit* interval_field_ = nullptr;
    QToolButton* query_ = nullptr;
    QToolButton* edit_ = nullptr;
    QToolButton* save_interval_ = nullptr;
    QToolButton* cancel_ = nullptr;
    QToolButton* view_interval_log_ = nullptr;
    QToolButton* interval_logging_ = nullptr;
    QToolButton* resync_ = nullptr;
};

}  // namespace qvx::gui
