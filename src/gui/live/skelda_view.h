#pragma once
// The Skelda view (side-fire mounting): the lanes of the road with the vehicles the sensor
// detects. Event mode (the default) shows each vehicle once it has left the radar beam, with its
// speed, class and time in the beam, feeds the event counter and can log events; actuation mode
// shows which lanes are occupied now. Events come from the polling thread; the 30 ms timer only
// copies what the thread left and repaints, and occupancy reads run on a worker, so the window
// never waits on the link.

#include <QPointer>
#include <QTimer>

#include "app/working_view.h"
#include "connect/background_task.h"
#include "live/event_counter_window.h"
#include "live/event_fetcher.h"
#include "live/event_polling_thread.h"
#include "live/log_files.h"
#include "live/view_work.h"

class QLabel;
class QToolButton;
class QPushButton;

namespace qvx {
class AppContext;
}

namespace qvx::gui {

class SkeldaRoad;

class SkeldaView : public WorkingView {
    Q_OBJECT
  public:
    static constexpr int kTimerMs = 30;
    static constexpr int kOpenDelayMs = 10;

    explicit SkeldaView(AppContext& context, QWidget* parent = nullptr);
    ~SkeldaView() override;

    ViewCode viewCode() const override { return ViewCode::SideFireTraffic; }
    bool shutdown() override;

    void setLogFileChooser(LogFileChooser chooser) { chooser_ = std::move(chooser); }
    void setEditorLauncher(EditorLauncher launcher) { launch_editor_ = std::move(launcher); }

    EventFetcher& fetcher() { return fetcher_; }
    EventPollingThread& pollingThread() { return thread_; }
    bool eventMode() const { return event_mode_; }
    bool timerActive() const { return timer_.isActive(); }
    bool workRunning() const { return work_.running(); }
    // True once the view has read the sensor and runs in a mode.
    bool ready() const { return ready_; }

  public slots:
    void toggleMode();
    void showCounter();
    void toggleLogging();
    void viewLog();

  private:
    void buildWidgets();
    QWidget* buildButtons();
    void open();
    void finishOpening(int settings_read);
    void firstTick();
    void startEventMode();
    void enterActuationMode();
    void onTimer();
    void pollActuation();
    void setStatus(const char* text);
    void updateWidgets();

    AppContext& context_;
    EventFetcher fetcher_;
    EventPollingThread thread_;
    ViewWork work_;
    BackgroundTask actuation_task_;
    QTimer timer_;
    bool link_open_ = false;
    bool first_tick_pending_ = true;
    bool ready_ = false;
    bool event_mode_ = true;
    bool events_blocked_ = false;
    bool shut_down_ = false;
    int work_result_ = 0;
    LogFileChooser chooser_;
    EditorLauncher launch_editor_;

    QLabel* status_ = nullptr;
    SkeldaRoad* road_ = nullptr;
    QPushButton* mode_ = nullptr;
    QToolButton* counter_ = nullptr;
    QToolButton* view_log_ = nullptr;
    QToolButton* logging_ = nullptr;
    QPointer<EventCounterWindow> counter_window_;
};

}  // namespace qvx::gui
