#pragma once
// The interval data view: the sensor's latest completed interval per lane (volume, speed,
// occupancy, class shares), when it was made and how long ago, a short history per lane, the
// interval length with Edit/Submit, interval logging and the clock re-synchronisation.
// Its 30 ms timer only compares counters, raises "GoFetchDataEvent" and copies texts; every
// exchange with the sensor runs on the data thread or on a worker.

#include <QTimer>
#include <functional>
#include <memory>

#include "app/working_view.h"
#include "connect/background_task.h"
#include "live/interval_data_thread.h"
#include "live/interval_fetcher.h"
#include "live/log_files.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QToolButton;

namespace qvx {
class AppContext;
class SensorOperations;
}  // namespace qvx

namespace qvx::gui {

class LaneHistoryChart;

class IntervalView : public WorkingView {
    Q_OBJECT
  public:
    static constexpr int kTimerMs = 30;
    static constexpr int kRowHeight = 30;

    IntervalView(AppContext& context, SensorOperations& operations, QWidget* parent = nullptr);
    ~IntervalView() override;

    ViewCode viewCode() const override { return ViewCode::IntervalData; }
    // Stops the timer and the data thread ("KillDataThreadEvent", up to 10 s for
    // "DataThreadKilledEvent") and waits for a running worker.
    bool shutdown() override;
    bool fillsWindow() const override { return true; }
    StatusFacts statusFacts() const override {
        return {fetcher_.logging_enabled(), fetcher_.interval_seconds()};
    }

    // Tests replace the file dialog and the editor.
    void setLogFileChooser(LogFileChooser chooser) { chooser_ = std::move(chooser); }
    void setEditorLauncher(EditorLauncher launcher) { launch_editor_ = std::move(launcher); }

    LaneHistoryChart* chart(int row) const;
    IntervalFetcher& fetcher() { return fetcher_; }
    bool timerActive() const { return timer_.isActive(); }
    bool dataThreadRunning() const { return thread_.running(); }
    bool workRunning() const { return work_.running(); }
    bool editMode() const { return edit_mode_; }
    int visibleRows() const { return visible_rows_; }

  public slots:
    void toggleEdit();
    void refreshOrSubmit();
    void toggleLogging();
    void viewLog();
    void resynchronize();
    void requestEventData();

  private:
    void buildWidgets();
    QWidget* buildHeader();
    QWidget* buildIntervalBox();
    QWidget* buildButtons();
    void buildTable();
    void openWithLink();
    void openWithoutLink();
    void layoutRows(int rows);
    void finishOpening(int read_result);
    void onTimer();
    void reportLogWriteFailure();
    void showSnapshot();
    void showHistory();
    void showIntervalSeconds();
    void updateWidgets();
    void runWork(std::function<void()> work, std::function<void()> done, bool stop_timer);
    void pollWork();

    AppContext& context_;
    SensorOperations& operations_;
    IntervalFetcher fetcher_;
    IntervalDataThread thread_;
    IntervalSnapshot snapshot_;
    std::uint64_t shown_records_ = ~0ull;

    QTimer timer_;
    QTimer work_poll_;
    BackgroundTask work_;
    std::function<void()> work_done_;
    bool restart_timer_after_work_ = false;
    int work_result_ = 0;
    SubmitOutcome submit_outcome_ = SubmitOutcome::Unchanged;

    bool link_open_ = false;
    bool thread_start_pending_ = true;
    bool edit_mode_ = false;
    bool shut_down_ = false;
    int visible_rows_ = 0;
    LogFileChooser chooser_;
    EditorLauncher launch_editor_;

    QLabel* updated_ = nullptr;
    QLabel* since_updated_ = nullptr;
    QLineEdit* interval_field_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QPushButton* event_data_ = nullptr;
    QToolButton* view_log_ = nullptr;
    QToolButton* logging_ = nullptr;
    QToolButton* resync_ = nullptr;
    QTableWidget* table_ = nullptr;
};

}  // namespace qvx::gui
