#include "live/skelda_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QThread>
#include <QToolButton>
#include <QVBoxLayout>

#include "context/app_context.h"
#include "live/event_counter_window.h"
#include "live/event_view_icons.h"
#include "live/log_file_dialogs.h"
#include "live/log_viewer_window.h"
#include "live/skelda_road.h"
#include "platform/editor_launch.h"

namespace qvx::gui {

namespace {

constexpr int kActuationMutexWaitMs = 10;

QString latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

SkeldaView::SkeldaView(AppContext& context, QWidget* parent)
    : WorkingView(parent),
      context_(context),
      fetcher_(context, Mounting::SideFire),
      thread_(context, fetcher_),
      chooser_(logFileChooser(this)),
      launch_editor_(editorOrViewer(this)) {
    setObjectName(QStringLiteral("SkeldaView"));
    buildWidgets();
    timer_.setInterval(kTimerMs);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &SkeldaView::onTimer);
    link_open_ = context_.state.link_kind != LinkKind::None;
    if (link_open_) {
        QTimer::singleShot(kOpenDelayMs, this, &SkeldaView::open);
    } else {
        setStatus(kSkeldaNotConnectedText);
    }
    updateWidgets();
}

SkeldaView::~SkeldaView() {
    if (!shut_down_) {
        shutdown();
    }
}

void SkeldaView::buildWidgets() {
    auto* layout = new QVBoxLayout(this);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("skeldaStatus"));
    QFont bold = status_->font();
    bold.setBold(true);
    status_->setFont(bold);
    layout->addWidget(status_);
    road_ = new SkeldaRoad(this);
    road_->setObjectName(QStringLiteral("skeldaRoad"));
    road_->setSpeedUnit(context_.state.units == 'E' ? QStringLiteral("mph") : QStringLiteral("kph"));
    layout->addWidget(road_, 1);
    layout->addWidget(buildButtons());
}

QWidget* SkeldaView::buildButtons() {
    auto* box = new QWidget(this);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    mode_ = new QPushButton(box);
    mode_->setObjectName("modeButton");
    mode_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    layout->addWidget(mode_);
    layout->addStretch(1);
    auto tool = [box, layout](const QIcon& icon, const QString& tip) {
        auto* button = new QToolButton(box);
        button->setIcon(icon);
        button->setIconSize(QSize(20, 20));
        button->setToolTip(tip);
        layout->addWidget(button);
        return button;
    };
    counter_ = tool(counterIcon(), QStringLiteral("View event counter"));
    view_log_ =
        tool(style()->standardIcon(QStyle::SP_FileDialogDetailedView), QStringLiteral("View events log"));
    logging_ = tool(loggingStateIcon(false), QStringLiteral("Turn event logging on"));
    counter_->setObjectName(QStringLiteral("counterButton"));
    view_log_->setObjectName(QStringLiteral("viewLogButton"));
    logging_->setObjectName(QStringLiteral("loggingButton"));
    connect(mode_, &QPushButton::clicked, this, &SkeldaView::toggleMode);
    connect(counter_, &QToolButton::clicked, this, &SkeldaView::showCounter);
    connect(view_log_, &QToolButton::clicked, this, &SkeldaView::viewLog);
    connect(logging_, &QToolButton::clicked, this, &SkeldaView::toggleLogging);
    return box;
}

void SkeldaView::open() {
    if (shut_down_) {
        return;
    }
    setStatus(kSkeldaQueryingSettingsText);
    work_.run([this] { work_result_ = fetcher_.ReadSensorSettings(); },
              [this] { finishOpening(work_result_); });
    updateWidgets();
}

void SkeldaView::finishOpening(int settings_read) {
    setStatus(kSkeldaQueryingLanesText);
    const LaneMap& map = fetcher_.lane_map();
    const int lanes = settings_read == 1 && map.lane_count > 0 ? map.lane_count : context_.state.lane_count;
    std::array<QString, 8> names;
    for (std::size_t k = 0; k < names.size(); ++k) {
        names[k] = latin1(context_.state.lane_names[k]);
    }
    road_->setSpeedUnit(context_.state.units == 'E' ? QStringLiteral("mph") : QStringLiteral("kph"));
    road_->setLanes(lanes, names, map.directions);
    if (!shut_down_) {
        timer_.start();
    }
}

void SkeldaView::firstTick() {
    first_tick_pending_ = false;
    context_.live.lane_statistics.Resume();
    events_blocked_ = EventsBlockedByResponseWait(context_.state.response_wait_ms.load(), Mounting::SideFire);
    if (events_blocked_) {
        // The thread would say this as it starts; it is said here, where questions are asked.
        MessageRequest request;
        request.text = kEventsNotShownText;
        request.caption = kEventsNotShownCaption;
        request.icon = IconKind::Information;
        setStatus(kSkeldaEventModeText);
        thread_.Start();
        ready_ = true;
        updateWidgets();
        context_.prompts().Message(request);
        return;
    }
    startEventMode();
}

void SkeldaView::startEventMode() {
    event_mode_ = true;
    road_->setEventMode(true);
    setStatus(kClearingExpiredEventsText);
    work_.run([this] { fetcher_.FlushStoredEvents(); },
              [this] {
                  if (shut_down_) {
                      return;
                  }
                  setStatus(kSkeldaEventModeText);
                  thread_.set_event_mode(true);
                  thread_.Start();
                  ready_ = true;
                  updateWidgets();
              });
    updateWidgets();
}

void SkeldaView::enterActuationMode() {
    thread_.Stop(EventPollingThread::kModeSwitchStopWaitMs);
    event_mode_ = false;
    thread_.set_event_mode(false);
    fetcher_.track().Clear();
    road_->clearVehicles();
    road_->setEventMode(false);
    fetcher_.set_event_logging(false);
    setStatus(kSkeldaActuationModeText);
    updateWidgets();
}

void SkeldaView::toggleMode() {
    if (!ready_ || work_.running() || events_blocked_) {
        return;
    }
    if (event_mode_) {
        enterActuationMode();
    } else {
        startEventMode();
    }
}

void SkeldaView::onTimer() {
    if (first_tick_pending_) {
        firstTick();
        return;
    }
    if (event_mode_) {
        const bool link_lent = context_.objects.Event(sync_name::kOpeningSensorInfo).IsSet() ||
                               context_.objects.Event(sync_name::kGetProperties).IsSet();
        if (!link_lent) {
            road_->setVehicles(fetcher_.track().Snapshot(), VehicleTrack::SteadyNowMs());
            if (counter_window_ && context_.live.lane_statistics.count_changed()) {
                counter_window_->refresh();
            }
        }
    } else if (!events_blocked_) {
        pollActuation();
    }
}

// The occupancy is read on a worker of its own, one read at a time; each tick draws the last
// value read.
void SkeldaView::pollActuation() {
    if (actuation_task_.running() && !actuation_task_.collect()) {
        return;
    }
    road_->setActuation(fetcher_.actuation());
    actuation_task_.start([this] {
        ScopedTryLock lock(context_.objects.SyncData(), kActuationMutexWaitMs);
        if (lock.held()) {
            fetcher_.FetchActuation();
        }
    });
}

void SkeldaView::showCounter() {
    if (!counter_window_) {
        counter_window_ = new EventCounterWindow(context_.live.lane_statistics, road_->laneCount(), this);
        counter_window_->setAttribute(Qt::WA_DeleteOnClose);
    }
    counter_window_->show();
    counter_window_->raise();
    counter_window_->activateWindow();
}

void SkeldaView::toggleLogging() {
    if (fetcher_.event_logging()) {
        fetcher_.set_event_logging(false);
    } else if (TurnLoggingOn(context_, LogKind::Event, fetcher_.EventBanner(), chooser_)) {
        fetcher_.set_event_logging(true);
    }
    updateWidgets();
}

void SkeldaView::viewLog() {
    ViewLogFile(context_, LogKind::Event, chooser_, launch_editor_);
}

void SkeldaView::setStatus(const char* text) {
    status_->setText(QString::fromLatin1(text));
}

void SkeldaView::updateWidgets() {
    const bool usable = link_open_ && ready_ && !events_blocked_ && !work_.running();
    mode_->setText(event_mode_ ? QStringLiteral("Actuation Mode") : QStringLiteral("Event Mode"));
    mode_->setToolTip(event_mode_ ? QStringLiteral("Push to show traffic based on actuation detection")
                                  : QStringLiteral("Push to show traffic based on event generation"));
    mode_->setEnabled(usable);
    counter_->setEnabled(usable && event_mode_);
    view_log_->setEnabled(usable && event_mode_);
    logging_->setEnabled(usable && event_mode_);
    const bool logging = fetcher_.event_logging();
    logging_->setIcon(loggingStateIcon(logging));
    logging_->setToolTip(logging ? QStringLiteral("Turn event logging off")
                                 : QStringLiteral("Turn event logging on"));
}

bool SkeldaView::shutdown() {
    if (shut_down_) {
        return true;
    }
    shut_down_ = true;
    timer_.stop();
    work_.finish();
    while (actuation_task_.running() && !actuation_task_.collect()) {
        QThread::msleep(1);
    }
    thread_.Stop(EventPollingThread::kStopWaitMs);
    if (counter_window_) {
        counter_window_->close();
    }
    return true;
}

}  // namespace qvx::gui
