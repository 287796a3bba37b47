#include "lanes/lane_configuration_view.h"

#include <QAction>
#include <QActionGroup>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

#include "base/progress_reporter.h"
#include "context/app_context.h"
#include "lanes/edit_lane_names_dialog.h"
#include "lanes/lane_cross_section.h"
#include "protocol/sensor_operations.h"

namespace qvx::gui {

namespace {

constexpr int kSendMutexWaitMs = 10000;
constexpr int kNoticeMs = 2000;
constexpr int kMaxGain = 4;

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToLatin1(const QString& text) {
    return text.toLatin1().toStdString();
}

constexpr LaneTool kToolbar[] = {
    LaneTool::AdjustLanes,      LaneTool::PaintLines,     LaneTool::RemoveLines, LaneTool::RemoveLane,
    LaneTool::ReverseDirection, LaneTool::ConstructRoads, LaneTool::RemoveRoads, LaneTool::ConstructBarriers,
    LaneTool::RemoveBarriers,   LaneTool::EditBlinders,
};

Qt::CursorShape AllowedCursor(LaneTool tool) {
    switch (tool) {
        case LaneTool::AdjustLanes:
        case LaneTool::EditBlinders:
            return Qt::SizeVerCursor;
        case LaneTool::PaintLines:
        case LaneTool::ConstructRoads:
        case LaneTool::ConstructBarriers:
            return Qt::CrossCursor;
        default:
            return Qt::PointingHandCursor;
    }
}

}  // namespace

LaneConfigurationView::LaneConfigurationView(AppContext& context, SensorOperations& operations, Hooks hooks,
                                             QWidget* parent)
    : WorkingView(parent),
      context_(context),
      operations_(operations),
      hooks_(std::move(hooks)),
      lanes_(context),
      fetcher_(context, Mounting::SideFire),
      thread_(context, fetcher_, lanes_) {
    setObjectName("LaneConfigurationView");
    buildWidgets();
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &LaneConfigurationView::onTick);
    link_open_ = context_.state.link_kind != LinkKind::None;
    if (link_open_) {
        QTimer::singleShot(kOpenDelayMs, this, &LaneConfigurationView::open);
    } else {
        status_->setText("Orbek - not connected to sensor...");
    }
    updateWidgets();
}

LaneConfigurationView::~LaneConfigurationView() {
    if (!shut_down_) {
        changed_ = false;  // destroyed without asking: nothing left to ask about
        shutdown();
    }
}

void LaneConfigurationView::buildWidgets() {
    auto* layout = new QVBoxLayout(this);
    status_ = new QLabel(this);
    status_->setObjectName("laneStatus");
    QFont bold = status_->font();
    bold.setBold(true);
    status_->setFont(bold);
    layout->addWidget(status_);
    auto* middle = new QHBoxLayout;
    middle->addWidget(buildToolBar());
    cross_section_ = new LaneCrossSection(this);
    cross_section_->setCursorChooser([this](int bin) { return cursorFor(bin); });
    connect(cross_section_, &LaneCrossSection::binPressed, this, &LaneConfigurationView::pressBin);
    connect(cross_section_, &LaneCrossSection::binDragged, this, [this](int, int to) { dragBin(to); });
    connect(cross_section_, &LaneCrossSection::binReleased, this, [this](int) { releaseBin(); });
    middle->addWidget(cross_section_, 1);
    layout->addLayout(middle, 1);
    layout->addWidget(buildButtons());
}

QToolBar* LaneConfigurationView::buildToolBar() {
    // Upright beside the picture: the ten tools fit without an overflow menu.
    auto* bar = new QToolBar(this);
    bar->setOrientation(Qt::Vertical);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tool_group_ = new QActionGroup(this);
    tool_group_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (std::size_t k = 0; k < std::size(kToolbar); ++k) {
        const LaneTool tool = kToolbar[k];
        QAction* action = bar->addAction(LaneToolName(tool));
        action->setCheckable(true);
        static constexpr Qt::Key kKeys[] = {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5,
                                            Qt::Key_6, Qt::Key_7, Qt::Key_8, Qt::Key_9, Qt::Key_0};
        action->setShortcut(QKeySequence(Qt::ALT | kKeys[k]));
        action->setToolTip(QString("%1 (%2)").arg(LaneToolName(tool), action->shortcut().toString()));
        tool_group_->addAction(action);
        connect(action, &QAction::toggled, this, [this, tool](bool on) {
            if (on) {
                chooseTool(tool);
            } else if (tool_ == tool) {
                chooseTool(LaneTool::None);
            }
        });
        tool_actions_[k] = action;
    }
    return bar;
}

QWidget* LaneConfigurationView::buildButtons() {
    auto* box = new QWidget(this);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto button = [box, layout](const char* text, const char* tip) {
        auto* b = new QPushButton(text, box);
        b->setToolTip(tip);
        layout->addWidget(b);
        return b;
    };
    names_ = button("Edit Lane &Names", "Edit Lane Names");
    update_ = button("&Update", "Update sensor with changes");
    undo_ = button("U&ndo", "Undo changes since last update");
    save_ = button("&Save", "Save configuration and go to Skelda");
    layout->addStretch(1);
    restart_ = button("&Restart", "Restart automatic configuration");
    manual_ = button("&Manual", "Enable manual adjustments to configuration");
    gain_button_ = button("&Gain...", "Manage Gain");
    undo_->setShortcut(QKeySequence::Undo);
    connect(names_, &QPushButton::clicked, this, &LaneConfigurationView::editLaneNames);
    connect(update_, &QPushButton::clicked, this, &LaneConfigurationView::sendUpdate);
    connect(undo_, &QPushButton::clicked, this, &LaneConfigurationView::undoChanges);
    connect(save_, &QPushButton::clicked, this, &LaneConfigurationView::saveAndSwitch);
    connect(restart_, &QPushButton::clicked, this, &LaneConfigurationView::restartAutomatic);
    connect(manual_, &QPushButton::clicked, this, &LaneConfigurationView::enableManual);
    connect(gain_button_, &QPushButton::clicked, this, &LaneConfigurationView::manageGain);
    return box;
}

QAction* LaneConfigurationView::toolAction(LaneTool tool) const {
    for (std::size_t k = 0; k < std::size(kToolbar); ++k) {
        if (kToolbar[k] == tool) {
            return tool_actions_[k];
        }
    }
    return nullptr;
}

// --- opening ---

void LaneConfigurationView::open() {
    if (shut_down_) {
        return;
    }
    status_->setText(lane_text::kQueryingSettings);
    work_.run(
        [this] {
            ScopedTryLock lock(context_.objects.SyncData(), kSendMutexWaitMs);
            SilentProgress progress;
            work_mode_ = lanes_.QueryConfigMode(progress);
            if (LaneModeFromConfigMode(work_mode_)) {
                work_result_ = lanes_.ReadSettings();
            }
        },
        [this] { finishOpening(); });
    updateWidgets();
}

void LaneConfigurationView::finishOpening() {
    const std::optional<LaneMode> mode = LaneModeFromConfigMode(work_mode_);
    if (!mode || !work_result_.ok()) {
        // Without an answer there is nothing to show: the main window closes the view.
        status_->setText("Orbek - the sensor did not answer.");
        if (hooks_.close_view && !shut_down_) {
            QTimer::singleShot(kCloseDelayMs, this, [this] { hooks_.close_view(); });
        }
        return;
    }
    status_->setText(lane_text::kQueryingLanes);
    model_ = lanes_.SensorModel();
    gain_ = lanes_.Gain();
    status_->setText(lane_text::kQueryingLaneNumbers);
    context_.state.lane_count = model_.lane_count();
    setMode(mode);
    cross_section_->setModel(model_, blinders_);
    if (!shut_down_) {
        timer_.start();
    }
}

void LaneConfigurationView::firstTick() {
    first_tick_pending_ = false;
    events_blocked_ = EventsBlockedByResponseWait(context_.state.response_wait_ms.load(), Mounting::SideFire);
    if (events_blocked_) {
        MessageRequest request;
        request.text = kEventsNotShownText;
        request.caption = kEventsNotShownCaption;
        request.icon = IconKind::Information;
        startThread();
        context_.prompts().Message(request);
        return;
    }
    status_->setText(kClearingExpiredEventsText);
    work_.run([this] { fetcher_.FlushStoredEvents(); },
              [this] {
                  showStatus();
                  startThread();
              });
}

void LaneConfigurationView::startThread() {
    if (!shut_down_ && !thread_.running()) {
        thread_.Start(model_);
    }
}

void LaneConfigurationView::stopThread() {
    thread_.Stop(LaneThread::kStopWaitMs);
}

// --- the 30 ms tick: draws what the thread left; never waits on the link ---

void LaneConfigurationView::onTick() {
    if (first_tick_pending_) {
        firstTick();
        return;
    }
    ++ticks_;
    const bool paused = context_.objects.Event(sync_name::kResetDtftFreqs).IsSet() ||
                        context_.objects.Event(sync_name::kOpeningSensorInfo).IsSet() ||
                        context_.objects.Event(sync_name::kGetProperties).IsSet();
    if (!paused) {
        const std::int64_t now = VehicleTrack::SteadyNowMs();
        std::vector<TrackedVehicle> vehicles = fetcher_.track().Snapshot();
        if (ticks_ % kPresenceTicks == 0) {
            std::vector<BeamVisit> visits;
            for (const TrackedVehicle& vehicle : vehicles) {
                visits.push_back({vehicle.lane, vehicle.arrived_ms, vehicle.end_ticks - vehicle.ticks});
            }
            presence_.Update(OccupancyAt(visits, now, kPresenceTicks * kTickMs));
            cross_section_->setPresence(presence_);
        }
        cross_section_->setVehicles(std::move(vehicles), now);
    }
    ManualResetEvent& draw = context_.objects.Event(sync_name::kDrawDtftFreqs);
    if (draw.IsSet() && mode_ == LaneMode::Automatic) {
        if (std::optional<LaneModel> picture = thread_.TakeNewPicture()) {
            takeSensorPicture(*picture);
        }
        draw.Reset();
    }
}

void LaneConfigurationView::takeSensorPicture(const LaneModel& picture) {
    model_ = picture;
    model_.TakeUndoCopy();
    gain_ = lanes_.Gain();
    context_.state.lane_count = model_.lane_count();
    cross_section_->setModel(model_, blinders_);
    showStatus();
}

// --- editing ---

Qt::CursorShape LaneConfigurationView::cursorFor(int bin) const {
    if (!ready() || tool_ == LaneTool::None) {
        return Qt::ArrowCursor;
    }
    if (tool_ == LaneTool::EditBlinders) {
        return mode_ == LaneMode::Automatic && BlinderMarkAt(blinders_, bin) ? Qt::SizeVerCursor
                                                                             : Qt::ForbiddenCursor;
    }
    if (mode_ != LaneMode::Manual) {
        return Qt::ForbiddenCursor;
    }
    return LaneToolAllowed(model_, tool_, bin) ? AllowedCursor(tool_) : Qt::ForbiddenCursor;
}

void LaneConfigurationView::chooseTool(LaneTool tool) {
    tool_ = tool;
    timer_.setInterval(tool == LaneTool::EditBlinders ? kBlinderTickMs : kTickMs);
    cross_section_->setModel(model_, blinders_);  // the cursor follows the tool
}

void LaneConfigurationView::pressBin(int bin) {
    if (!ready()) {
        return;
    }
    if (const auto lane = model_.LaneAt(bin)) {
        selected_lane_ = *lane;
        cross_section_->setSelectedLane(selected_lane_);
    }
    if (tool_ == LaneTool::EditBlinders && mode_ == LaneMode::Automatic) {
        grabbed_blinder_ = BlinderMarkAt(blinders_, bin);
        dragBin(bin);
        return;
    }
    if (mode_ != LaneMode::Manual || tool_ == LaneTool::None) {
        cross_section_->update();
        return;
    }
    if (tool_ == LaneTool::AdjustLanes) {
        grabbed_ = LaneToolAllowed(model_, tool_, bin) ? bin : -1;
    } else if (ApplyLaneTool(model_, tool_, bin)) {
        acceptEdit();
    }
    cross_section_->update();
}

void LaneConfigurationView::dragBin(int to) {
    if (grabbed_blinder_) {
        blinders_ = MoveBlinder(blinders_, *grabbed_blinder_, to);
        blinders_.enabled = true;
        cross_section_->setModel(model_, blinders_);
        return;
    }
    if (grabbed_ < 0 || mode_ != LaneMode::Manual) {
        return;
    }
    const int moved = DragLaneMark(model_, grabbed_, to);
    if (moved != grabbed_) {
        grabbed_ = moved;
        acceptEdit();
    }
}

void LaneConfigurationView::releaseBin() {
    grabbed_ = -1;
    grabbed_blinder_.reset();
}

void LaneConfigurationView::acceptEdit() {
    changed_ = true;
    edited_ = true;
    context_.state.lane_count = model_.lane_count();
    cross_section_->setModel(model_, blinders_);
    updateWidgets();
}

void LaneConfigurationView::undoChanges() {
    model_.Undo();
    changed_ = false;
    edited_ = false;
    context_.state.lane_count = model_.lane_count();
    cross_section_->setModel(model_, blinders_);
    updateWidgets();
}

void LaneConfigurationView::editLaneNames() {
    QStringList names;
    for (const std::string& name : lanes_.LaneNames()) {
        names << Latin1(name);
    }
    EditLaneNamesDialog dialog(names, model_.lane_count(), this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    std::vector<std::string> edited;
    for (const QString& name : dialog.names()) {
        edited.push_back(ToLatin1(name));
    }
    lanes_.SetLaneNames(edited);
    for (std::size_t lane = 0; lane < edited.size() && lane < kMaxLanes; ++lane) {
        context_.state.lane_names[lane] = edited[lane];
    }
    changed_ = true;
    updateWidgets();
}

void LaneConfigurationView::manageGain() {
    bool ok = false;
    const int current = QString::fromStdString(gain_).trimmed().toInt();
    const int gain =
        QInputDialog::getInt(this, "Manage Gain", "Gain used when the automatic configuration restarts:",
                             std::clamp(current, 0, kMaxGain), 0, kMaxGain, 1, &ok);
    if (ok) {
        gain_ = QString("%1").arg(gain, 2, 10, QChar('0')).toStdString();
        showStatus();
    }
}

// --- sending ---

template <typename Work>
void LaneConfigurationView::runInSensorOperation(Work&& work) {
    operations_.BeginSensorOperation();
    work();
    operations_.EndSensorOperation();
}

void LaneConfigurationView::sendUpdate() {
    send(LaneSend::Update);
}

void LaneConfigurationView::saveAndSwitch() {
    send(LaneSend::Save);
}

void LaneConfigurationView::restartAutomatic() {
    if (context_.prompts().Ask(lane_text::kRestartQuestionCaption, lane_text::kRestartQuestion, "Yes",
                               "No")) {
        send(LaneSend::Restart);
    }
}

void LaneConfigurationView::send(LaneSend kind) {
    if (work_.running() || !ready()) {
        return;
    }
    stopThread();
    status_->setText(kind == LaneSend::Restart ? lane_text::kRestarting : lane_text::kSendingUpdate);
    const LaneModel model = model_;
    const bool edited = edited_;
    const BlinderSettings blinders = blinders_;
    const std::string gain = gain_;
    work_.run(
        [this, kind, model, edited, blinders, gain] {
            ScopedTryLock lock(context_.objects.SyncData(), kSendMutexWaitMs);
            runInSensorOperation([&] {
                work_result_ = lanes_.Send(model, edited, kind, gain);
                if (kind == LaneSend::Restart && work_result_.ok()) {
                    work_result_ = lanes_.SetConfigMode(RestartModePayload(blinders));
                }
            });
            if (kind == LaneSend::Restart && work_result_.ok()) {
                SilentProgress progress;
                work_mode_ = lanes_.QueryConfigMode(progress);
            }
        },
        [this, kind] { finishSend(kind, work_result_); });
    updateWidgets();
}

void LaneConfigurationView::finishSend(LaneSend kind, RecordResult result) {
    if (shut_down_) {
        return;
    }
    if (!result.ok()) {
        const char* text = kind == LaneSend::Restart ? lane_text::kRestartFailed : lane_text::kSaveFailed;
        if (context_.prompts().Ask("Error", text, "Retry", "Cancel")) {
            send(kind);
            return;
        }
        // The model and the changed flag stay as they were: nothing was lost.
        showStatus();
        startThread();
        updateWidgets();
        return;
    }
    if (kind == LaneSend::Restart) {
        model_ = LaneModel();
        model_.TakeUndoCopy();
        changed_ = false;
        edited_ = false;
        thread_.set_picture_refresh(true);
        setMode(LaneModeFromConfigMode(work_mode_).value_or(LaneMode::Automatic));
        cross_section_->setModel(model_, blinders_);
        startThread();
        return;
    }
    model_.TakeUndoCopy();
    changed_ = false;
    edited_ = false;
    MessageRequest saved;
    saved.text = lane_text::kSaved;
    saved.caption = "Success";
    saved.icon = IconKind::Information;
    saved.auto_close_ms = kNoticeMs;
    context_.prompts().Message(saved);
    if (kind == LaneSend::Save) {
        MessageRequest switching;
        switching.text = lane_text::kSwitchingToSkelda;
        switching.caption = "Success";
        switching.icon = IconKind::Information;
        switching.auto_close_ms = kNoticeMs;
        context_.prompts().Message(switching);
        emit viewRequested(ViewCode::SideFireTraffic);
        return;
    }
    showStatus();
    startThread();
    updateWidgets();
}

void LaneConfigurationView::enableManual() {
    if (work_.running() || mode_ != LaneMode::Automatic) {
        return;
    }
    work_.run(
        [this] {
            ScopedTryLock lock(context_.objects.SyncData(), kSendMutexWaitMs);
            runInSensorOperation([this] { work_result_ = lanes_.SetConfigMode(kManualModePayload); });
        },
        [this] {
            if (!work_result_.ok()) {
                updateWidgets();
                return;
            }
            if (!blinders_.enabled) {
                blinders_ = BlinderSettings{};
            }
            thread_.set_picture_refresh(blinders_.in_use());
            setMode(LaneMode::Manual);
            cross_section_->setModel(model_, blinders_);
        });
    updateWidgets();
}

void LaneConfigurationView::setMode(std::optional<LaneMode> mode) {
    mode_ = mode;
    if (mode_ && hooks_.mode_menus) {
        hooks_.mode_menus(*mode_ == LaneMode::Automatic);
    }
    if (mode_ == LaneMode::Manual && tool_ == LaneTool::EditBlinders) {
        toolAction(LaneTool::EditBlinders)->setChecked(false);
    }
    showStatus();
    updateWidgets();
}

void LaneConfigurationView::showStatus() {
    if (mode_) {
        status_->setText(Latin1(LaneStatusText(*mode_, gain_)));
    }
}

void LaneConfigurationView::updateWidgets() {
    const bool usable = link_open_ && ready();
    const bool manual = usable && mode_ == LaneMode::Manual;
    const bool automatic = usable && mode_ == LaneMode::Automatic;
    for (std::size_t k = 0; k < std::size(kToolbar); ++k) {
        tool_actions_[k]->setEnabled(kToolbar[k] == LaneTool::EditBlinders ? automatic : manual);
    }
    names_->setEnabled(usable);
    update_->setEnabled(manual && changed_);
    undo_->setEnabled(manual && changed_);
    save_->setEnabled(manual && changed_);
    restart_->setEnabled(usable);
    manual_->setEnabled(automatic);
    gain_button_->setEnabled(automatic);
    setCursor(work_.running() ? Qt::BusyCursor : Qt::ArrowCursor);
}

bool LaneConfigurationView::shutdown() {
    if (shut_down_) {
        return true;
    }
    if (changed_ && !context_.prompts().Ask("Warning...", lane_text::kUnsavedQuestion, "Yes", "No")) {
        return false;
    }
    shut_down_ = true;
    timer_.stop();
    work_.finish();
    thread_.Stop(LaneThread::kStopWaitMs);
    return true;
}

}  // namespace qvx::gui
