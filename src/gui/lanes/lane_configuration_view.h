#pragma once
// The lane configuration view (Edit > Lane Configuration; the first view after connecting to a
// side-fire sensor): the sensor's picture of the road, the vehicles it sees per lane and its
// gain. In automatic mode the sensor configures itself and the picture follows it; in manual mode
// the technician edits roads, dividers, barriers, directions and names with the toolbar's tools,
// sends the result, and saves it before switching to the Skelda view. Link work runs on a worker
// and the lane thread polls; the 30 ms timer only draws, so the window never waits on the link.

#include <QTimer>
#include <array>
#include <functional>
#include <optional>

#include "app/working_view.h"
#include "lanes/lane_configuration.h"
#include "lanes/lane_presence.h"
#include "lanes/lane_thread.h"
#include "lanes/lane_tools.h"
#include "live/event_fetcher.h"
#include "live/view_work.h"

class QAction;
class QActionGroup;
class QLabel;
class QPushButton;
class QToolBar;

namespace qvx {
class AppContext;
class SensorOperations;
}  // namespace qvx

namespace qvx::gui {

class LaneCrossSection;

class LaneConfigurationView : public WorkingView {
    Q_OBJECT
  public:
    static constexpr int kOpenDelayMs = 30;
    static constexpr int kTickMs = 30;
    static constexpr int kBlinderTickMs = 10;
    static constexpr int kCloseDelayMs = 500;
    static constexpr int kPresenceTicks = 10;  // a ribbon step every 300 ms

    // What the view asks of the main window: to close it (the sensor did not answer), and to
    // enable or disable the traffic and data collection items for the mode.
    struct Hooks {
        std::function<void()> close_view;
        std::function<void(bool automatic)> mode_menus;
    };

    LaneConfigurationView(AppContext& context, SensorOperations& operations, Hooks hooks = {},
                          QWidget* parent = nullptr);
    ~LaneConfigurationView() override;

    ViewCode viewCode() const override { return ViewCode::LaneConfiguration; }
    bool shutdown() override;

    // --- state, for tests ---
    bool ready() const { return mode_.has_value() && !work_.running(); }
    std::optional<LaneMode> mode() const { return mode_; }
    bool changed() const { return changed_; }
    const LaneModel& model() const { return model_; }
    const BlinderSettings& blinders() const { return blinders_; }
    LaneTool tool() const { return tool_; }
    QLabel* statusLabel() const { return status_; }
    LaneCrossSection* crossSection() const { return cross_section_; }
    QAction* toolAction(LaneTool tool) const;
    QPushButton* updateButton() const { return update_; }
    QPushButton* undoButton() const { return undo_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* restartButton() const { return restart_; }
    QPushButton* manualButton() const { return manual_; }
    QPushButton* gainButton() const { return gain_button_; }
    QPushButton* namesButton() const { return names_; }
    LaneThread& laneThread() { return thread_; }
    bool workRunning() const { return work_.running(); }
    // The cursor the pointer gets over bin with the current tool.
    Qt::CursorShape cursorFor(int bin) const;

  public slots:
    void chooseTool(qvx::LaneTool tool);
    void pressBin(int bin);
    void dragBin(int to);
    void releaseBin();
    void sendUpdate();
    void undoChanges();
    void saveAndSwitch();
    void restartAutomatic();
    void enableManual();
    void manageGain();
    void editLaneNames();

  private:
    void buildWidgets();
    QToolBar* buildToolBar();
    QWidget* buildButtons();
    void open();
    void finishOpening();
    void firstTick();
    void startThread();
    void stopThread();
    void onTick();
    void takeSensorPicture(const LaneModel& picture);
    void acceptEdit();
    void send(LaneSend kind);
    void finishSend(LaneSend kind, RecordResult result);
    void queryMode(std::function<void()> then);
    void setMode(std::optional<LaneMode> mode);
    void showStatus();
    void updateWidgets();

    // Every write to the sensor runs inside a sensor operation: the clock keeps its time and the
    // clock synchronisation waits until the write is over.
    template <typename Work>
    void runInSensorOperation(Work&& work);

    AppContext& context_;
    SensorOperations& operations_;
    Hooks hooks_;
    LaneConfiguration lanes_;
    EventFetcher fetcher_;
    LaneThread thread_;
    ViewWork work_;
    QTimer timer_;

    LaneModel model_;
    BlinderSettings blinders_;
    std::optional<LaneMode> mode_;
    std::string gain_;
    bool link_open_ = false;
    bool changed_ = false;
    bool edited_ = false;  // the lanes themselves changed since the last send (not only names)
    bool first_tick_pending_ = true;
    bool events_blocked_ = false;
    bool shut_down_ = false;
    LaneTool tool_ = LaneTool::None;
    int grabbed_ = -1;  // the mark Adjust Lanes drags, or -1
    std::optional<bool> grabbed_blinder_;
    int selected_lane_ = -1;
    int ticks_ = 0;
    LanePresence presence_;
    int work_mode_ = 0;
    RecordResult work_result_;
    QString status_text_;

    QLabel* status_ = nullptr;
    LaneCrossSection* cross_section_ = nullptr;
    QActionGroup* tool_group_ = nullptr;
    std::array<QAction*, 10> tool_actions_{};
    QPushButton* names_ = nullptr;
    QPushButton* update_ = nullptr;
    QPushButton* undo_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* restart_ = nullptr;
    QPushButton* manual_ = nullptr;
    QPushButton* gain_button_ = nullptr;
};

}  // namespace qvx::gui
