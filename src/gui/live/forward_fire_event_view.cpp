#include "live/forward_fire_event_view.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <ctime>

#include "app/menus.h"
#include "base/progress_reporter.h"
#include "app/progress_window.h"
#include "context/app_context.h"
#include "live/direction_picture.h"
#include "live/event_view_icons.h"
#include "live/log_file_dialogs.h"
#include "live/log_viewer_window.h"
#include "platform/editor_launch.h"
#include "protocol/interval_format.h"
#include "protocol/sensor_operations.h"

namespace qvx::gui {

namespace {

QString latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString classText(int vehicle_class) {
    static const char* const names[] = {"small", "medium", "large"};
    return QString::fromLatin1(names[std::clamp(vehicle_class, 0, 2)]);
}

QLabel* valueLabel(QWidget* parent) {
    auto* label = new QLabel(QStringLiteral("-"), parent);
    label->setAlignment(Qt::AlignCenter);
    label->setFrameShape(QFrame::StyledPanel);
    label->setMinimumWidth(64);
    return label;
}

}  // namespace

ForwardFireEventView::ForwardFireEventView(AppContext& context, SensorOperations& operations, QWidget* parent)
    : WorkingView(parent),
      context_(context),
      operations_(operations),
      events_fetcher_(context, Mounting::ForwardFire),
      intervals_fetcher_(context),
      thread_(context, events_fetcher_, intervals_fetcher_),
      chooser_(logFileChooser(this)),
      launch_editor_(editorOrViewer(this)) {
    setObjectName(QStringLiteral("ForwardFireEventView"));
    buildWidgets();
    progress_ = new ProgressWindow(this);
    timer_.setInterval(kTimerMs);
    connect(&timer_, &QTimer::timeout, this, &ForwardFireEventView::onTimer);
    mode_timer_.setInterval(kModeRecheckPeriodMs);
    connect(&mode_timer_, &QTimer::timeout, this, &ForwardFireEventView::recheckMode);
    link_open_ = context_.state.link_kind != LinkKind::None;
    if (link_open_) {
        intervals_fetcher_.ResetForOpening();
        QTimer::singleShot(0, this, &ForwardFireEventView::open);
    } else {
        status_->setText(QStringLiteral("Not connected to a sensor."));
    }
    updateWidgets();
}

ForwardFireEventView::~ForwardFireEventView() {
    if (!shut_down_) {
        shutdown();
    }
}

QToolButton* ForwardFireEventView::toolButton(QWidget* parent, const QIcon& icon, const QString& tip) {
    auto* button = new QToolButton(parent);
    button->setIcon(icon);
    button->setIconSize(QSize(20, 20));
    button->setToolTip(tip);
    return button;
}

void ForwardFireEventView::buildWidgets() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildConfigurationRow());
    auto* middle = new QHBoxLayout;
    auto* picture_box = new QVBoxLayout;
    direction_ = new DirectionPicture(this);
    direction_->setObjectName(QStringLiteral("directionPicture"));
    connect(direction_, &DirectionPicture::clicked, this, &ForwardFireEventView::askDirection);
    picture_box->addWidget(direction_, 1);
    actuation_ = new QLabel(QStringLiteral("Detection zone: -"), this);
    actuation_->setObjectName(QStringLiteral("actuationLabel"));
    picture_box->addWidget(actuation_);
    middle->addLayout(picture_box);
    middle->addWidget(buildEventBox(), 1);
    layout->addLayout(middle, 1);
    layout->addWidget(buildIntervalBox());
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("forwardFireStatus"));
    layout->addWidget(status_);
}

QWidget* ForwardFireEventView::buildConfigurationRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    mode_text_ = new QLabel(row);
    mode_text_->setObjectName(QStringLiteral("configModeText"));
    QFont bold = mode_text_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    mode_text_->setFont(bold);
    mode_text_->setWordWrap(true);
    restart_ = new QPushButton(QStringLiteral("Restart"), row);
    restart_->setObjectName("restartButton");
    restart_->setToolTip(QStringLiteral("Restart automatic configuration"));
    save_config_ = new QPushButton(QStringLiteral("FINISHED"), row);
    save_config_->setObjectName("saveConfigButton");
    save_config_->setToolTip(QStringLiteral("Save configuration"));
    layout->addWidget(mode_text_, 1);
    layout->addWidget(restart_);
    layout->addWidget(save_config_);
    connect(restart_, &QPushButton::clicked, this, &ForwardFireEventView::restartConfiguration);
    connect(save_config_, &QPushButton::clicked, this, &ForwardFireEventView::saveConfiguration);
    return row;
}

QWidget* ForwardFireEventView::buildEventBox() {
    auto* box = new QGroupBox(QStringLiteral("Vehicle events"), this);
    auto* layout = new QVBoxLayout(box);
    last_event_ = new QLabel(QStringLiteral("No vehicle yet"), box);
    QFont big = last_event_->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    last_event_->setFont(big);
    layout->addWidget(last_event_);
    events_ = new QListWidget(box);
    events_->setObjectName("eventList");
    events_->setFont(QFont(QStringLiteral("monospace")));
    events_->setSelectionMode(QAbstractItemView::NoSelection);
    events_->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(events_, 1);
    auto* buttons = new QHBoxLayout;
    count_ = new QLabel(QStringLiteral("Count: 0"), box);
    count_->setObjectName(QStringLiteral("eventCount"));
    buttons->addWidget(count_);
    buttons->addStretch(1);
    resume_ = toolButton(box, resumeCounterIcon(), QStringLiteral("Resume event counter"));
    pause_ = toolButton(box, pauseCounterIcon(), QStringLiteral("Pause event counter"));
    reset_ = toolButton(box, style()->standardIcon(QStyle::SP_DialogResetButton),
                        QStringLiteral("Reset event counter"));
    resume_->setCheckable(true);
    pause_->setCheckable(true);
    view_event_log_ = toolButton(box, style()->standardIcon(QStyle::SP_FileDialogDetailedView),
                                 QStringLiteral("View event log file"));
    event_logging_ = toolButton(box, loggingStateIcon(false), QStringLiteral("Start event logging"));
    for (QToolButton* button : {resume_, pause_, reset_, view_event_log_, event_logging_}) {
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    LaneStatistics& statistics = context_.live.lane_statistics;
    connect(resume_, &QToolButton::clicked, this, [this, &statistics] {
        statistics.Resume();
        updateWidgets();
    });
    connect(pause_, &QToolButton::clicked, this, [this, &statistics] {
        statistics.Pause();
        updateWidgets();
    });
    connect(reset_, &QToolButton::clicked, this, [&statistics] { statistics.Reset(); });
    connect(view_event_log_, &QToolButton::clicked, this,
            [this] { ViewLogFile(context_, LogKind::Event, chooser_, launch_editor_); });
    connect(event_logging_, &QToolButton::clicked, this, &ForwardFireEventView::toggleEventLogging);
    return box;
}

QWidget* ForwardFireEventView::buildIntervalBox() {
    auto* box = new QGroupBox(QStringLiteral("Latest interval"), this);
    auto* layout = new QGridLayout(box);
    updated_ = new QLabel(QStringLiteral("Updated: "), box);
    since_updated_ = new QLabel(QStringLiteral("Since updated: 0:0:0:0"), box);
    updated_->setObjectName(QStringLiteral("updatedLabel"));
    since_updated_->setObjectName(QStringLiteral("sinceUpdatedLabel"));
    layout->addWidget(updated_, 0, 0, 1, 3);
    layout->addWidget(since_updated_, 0, 3, 1, 3);
    const char* headings[] = {"Volume", "Speed", "Occupancy (%)", "Small (%)", "Medium (%)", "Large (%)"};
    for (int column = 0; column < 6; ++column) {
        auto* heading = new QLabel(QString::fromLatin1(headings[column]), box);
        heading->setAlignment(Qt::AlignCenter);
        layout->addWidget(heading, 1, column);
        interval_values_[static_cast<std::size_t>(column)] = valueLabel(box);
        layout->addWidget(interval_values_[static_cast<std::size_t>(column)], 2, column);
    }
    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("Interval (Bin) Size"), box));
    interval_field_ = new QLineEdit(box);
    interval_field_->setObjectName(QStringLiteral("intervalField"));
    interval_field_->setValidator(new QIntValidator(0, 999999999, interval_field_));
    interval_field_->setMaximumWidth(90);
    interval_field_->setAlignment(Qt::AlignRight);
    controls->addWidget(interval_field_);
    controls->addWidget(new QLabel(QStringLiteral("(Seconds)"), box));
    query_ = toolButton(box, style()->standardIcon(QStyle::SP_BrowserReload),
                        QStringLiteral("Query current interval"));
    edit_ = toolButton(box, style()->standardIcon(QStyle::SP_FileDialogContentsView),
                       QStringLiteral("Edit current interval"));
    save_interval_ =
        toolButton(box, style()->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("Save interval"));
    cancel_ = toolButton(box, style()->standardIcon(QStyle::SP_DialogCancelButton),
                         QStringLiteral("Cancel changes"));
    query_->setObjectName(QStringLiteral("queryButton"));
    edit_->setObjectName(QStringLiteral("editButton"));
    save_interval_->setObjectName(QStringLiteral("saveIntervalButton"));
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    for (QToolButton* button : {query_, edit_, save_interval_, cancel_}) {
        controls->addWidget(button);
    }
    controls->addStretch(1);
    view_interval_log_ = toolButton(box, style()->standardIcon(QStyle::SP_FileDialogDetailedView),
                                    QStringLiteral("View interval data log file"));
    interval_logging_ =
        toolButton(box, loggingStateIcon(false), QStringLiteral("Start interval data logging"));
    resync_ = toolButton(box, style()->standardIcon(QStyle::SP_ComputerIcon),
                         QStringLiteral("Re-synchronize sensor to PC clock's UTC time"));
    for (QToolButton* button : {view_interval_log_, interval_logging_, resync_}) {
        controls->addWidget(button);
    }
    layout->addLayout(controls, 3, 0, 1, 6);
    connect(query_, &QToolButton::clicked, this, &ForwardFireEventView::queryInterval);
    connect(edit_, &QToolButton::clicked, this, &ForwardFireEventView::editInterval);
    connect(save_interval_, &QToolButton::clicked, this, &ForwardFireEventView::saveInterval);
    connect(cancel_, &QToolButton::clicked, this, &ForwardFireEventView::cancelEdit);
    connect(view_interval_log_, &QToolButton::clicked, this,
            [this] { ViewLogFile(context_, LogKind::Interval, chooser_, launch_editor_); });
    connect(interval_logging_, &QToolButton::clicked, this, &ForwardFireEventView::toggleIntervalLogging);
    connect(resync_, &QToolButton::clicked, this, &ForwardFireEventView::resynchronize);
    return box;
}

// The first step: old events are cleared when the link answers without extra wait.
void ForwardFireEventView::open() {
    if (shut_down_) {
        return;
    }
    context_.live.lane_statistics.Resume();
    if (context_.state.response_wait_ms.load() == 0) {
        status_->setText(QString::fromLatin1(kClearingOldEventsText));
        work_.run([this] { events_fetcher_.FlushStoredEvents(); }, [this] { checkModeAndStart(); });
    } else {
        checkModeAndStart();
    }
    updateWidgets();
}

// The mode, the interval length, the banner record and the latest interval, then the thread.
void ForwardFireEventView::checkModeAndStart() {
    if (shut_down_) {
        return;
    }
    status_->setText(QString::fromLatin1(kCheckingModeText));
    work_.run(
        [this] {
            SilentProgress quiet;
            work_result_ = ReadConfigModeHoldingMutex(context_, quiet, kModeCheckMutexWaitMs);
            intervals_fetcher_.RefreshIntervalLength();
            events_fetcher_.ReadSensorSettings();
            ScopedTryLock lock(context_.objects.SyncData(), kModeCheckMutexWaitMs);
            if (lock.held()) {
                intervals_fetcher_.FetchLatestInterval(false);
            }
        },
        [this] { startRunning(work_result_); });
    updateWidgets();
}

void ForwardFireEventView::startRunning(int mode) {
    if (shut_down_) {
        return;
    }
    showConfigMode(mode);
    status_->clear();
    interval_field_->setText(QString::number(intervals_fetcher_.interval_seconds()));
    direction_->setMetric(context_.state.units != 'E');
    thread_.Start();
    running_ = true;
    restartTimers(mode_settled_);
    updateWidgets();
}

void ForwardFireEventView::showConfigMode(int mode) {
    ConfigModeDisplay display;
    if (!DisplayForConfigMode(mode, display)) {
        return;  // a failed read leaves the texts and keeps re-checking
    }
    const QString text = QString::fromLatin1(display.text.c_str());
    if (mode_text_->text() != text) {
        mode_text_->setText(text);
    }
    save_config_->setEnabled(display.save_enabled);
    mode_settled_ = display.settled;
    if (mode_settled_) {
        mode_timer_.stop();
    }
}

void ForwardFireEventView::recheckMode() {
    if (work_.running() || shut_down_) {
        return;
    }
    work_.run(
        [this] {
            SilentProgress quiet;
            work_result_ = ReadConfigModeHoldingMutex(context_, quiet, kModeRecheckMutexWaitMs);
        },
        [this] {
            showConfigMode(work_result_);
            updateWidgets();
        });
}

void ForwardFireEventView::onTimer() {
    const std::int64_t now = std::time(nullptr);
    intervals_fetcher_.RequestFetchIfDue(now);
    if (intervals_fetcher_.TakeSnapshot(now, 0, snapshot_)) {
        showInterval();
    }
    showEvents();
    const Direction direction = events_fetcher_.detected_direction();
    direction_->setDirection(direction);
    direction_->setMetric(context_.state.units != 'E');
    const bool occupied = events_fetcher_.ff_actuation() != 0;
    direction_->setOccupied(occupied);
    const QString value =
        QString::number(events_fetcher_.ff_actuation(), 16).toUpper().rightJustified(8, '0');
    actuation_->setText(QStringLiteral("Detection zone: %1 (%2)")
                            .arg(occupied ? QStringLiteral("occupied") : QStringLiteral("clear"), value));
}

void ForwardFireEventView::showEvents() {
    LaneStatistics& statistics = context_.live.lane_statistics;
    if (statistics.count_changed()) {
        count_->setText(QStringLiteral("Count: %1").arg(statistics.TakeCounts()[0]));
    }
    if (events_fetcher_.track().latest_serial() == shown_serial_) {
        return;
    }
    const QString unit = context_.state.units == 'E' ? QStringLiteral("mph") : QStringLiteral("kph");
    for (const TrackedVehicle& vehicle : events_fetcher_.track().Snapshot()) {
        if (vehicle.serial <= shown_serial_) {
            continue;
        }
        shown_serial_ = vehicle.serial;
        const QString speed = QStringLiteral("%1 %2").arg(std::abs(vehicle.speed)).arg(unit);
        last_event_->setText(QStringLiteral("%1   %2").arg(speed, classText(vehicle.vehicle_class)));
        events_->insertItem(
            0, QStringLiteral("%1  %2  %3  %4 s")
                   .arg(vehicle.speed < 0 ? QStringLiteral("Depart  ") : QStringLiteral("Approach"))
                   .arg(speed, 8)
                   .arg(classText(vehicle.vehicle_class), -6)
                   .arg((vehicle.end_ticks - vehicle.ticks) / 400.0, 0, 'f', 2));
    }
    while (events_->count() > kEventListLength) {
        delete events_->takeItem(events_->count() - 1);
    }
}

void ForwardFireEventView::showInterval() {
    const QString since = latin1(snapshot_.since_updated_text);
    if (since_updated_->text() != since) {
        since_updated_->setText(since);
    }
    if (snapshot_.records_stored == shown_records_) {
        return;
    }
    shown_records_ = snapshot_.records_stored;
    updated_->setText(snapshot_.updated_text.empty() ? QStringLiteral("Updated: ")
                                                     : latin1(snapshot_.updated_text));
    if (snapshot_.last_record_lanes == 0) {
        return;
    }
    const IntervalRowTexts& row = snapshot_.rows[0];
    const std::string* cells[] = {&row.volume, &row.speed,  &row.occupancy,
                                  &row.small,  &row.medium, &row.large};
    for (std::size_t column = 0; column < interval_values_.size(); ++column) {
        interval_values_[column]->setText(latin1(*cells[column]).trimmed());
    }
}

void ForwardFireEventView::askDirection() {
    if (!running_) {
        return;
    }
    const bool depart =
        context_.prompts().Ask(kDirectionCaption, kDirectionQuestionText, "Depart", "Approach");
    const Direction chosen = depart ? Direction::Depart : Direction::Approach;
    const Direction shown = events_fetcher_.current_direction();
    if (DirectionChoiceNeedsConfirmation(static_cast<int>(chosen), static_cast<int>(shown)) &&
        !context_.prompts().Ask(kAreYouSureCaption, kDirectionChangeText, "Yes", "No")) {
        return;
    }
    events_fetcher_.set_detected_direction(chosen);
    direction_->setDirection(chosen);
}

void ForwardFireEventView::stopTimers() {
    timer_.stop();
    mode_timer_.stop();
}

void ForwardFireEventView::restartTimers(bool mode_settled) {
    if (shut_down_) {
        return;
    }
    timer_.start();
    if (!mode_settled) {
        mode_timer_.start();
    }
}

void ForwardFireEventView::restartConfiguration() {
    if (work_.running() || !running_) {
        return;
    }
    stopTimers();
    if (!context_.prompts().Ask(kAreYouSureCaption, kRestartQuestionText, "Yes", "No")) {
        restartTimers(mode_settled_);
        return;
    }
    progress_->ShowProgress(kPleaseWaitCaption, kRestartingText);
    work_.run(
        [this] {
            restart_outcome_ = RestartAutomaticConfiguration(context_);
            if (restart_outcome_ == RestartOutcome::Restarted) {
                SilentProgress quiet;
                work_result_ = ReadConfigModeHoldingMutex(context_, quiet, kModeCheckMutexWaitMs);
            }
        },
        [this] {
            progress_->CloseProgress();
            if (restart_outcome_ == RestartOutcome::Restarted) {
                // A new configuration may face the other way.
                events_fetcher_.set_detected_direction(Direction::Unknown);
                mode_settled_ = false;
                showConfigMode(work_result_);
            } else if (restart_outcome_ == RestartOutcome::Refused) {
                report(kRestartRefusedText, "Error");
            } else {
                report(kRestartCommFailedText, "Error");
            }
            // The mode timer runs again only after a restart the sensor took.
            timer_.start();
            if (restart_outcome_ == RestartOutcome::Restarted && !mode_settled_) {
                mode_timer_.start();
            }
            updateWidgets();
        });
    updateWidgets();
}

void ForwardFireEventView::saveConfiguration() {
    if (work_.running() || !running_) {
        return;
    }
    stopTimers();
    runSave();
}

void ForwardFireEventView::runSave() {
    progress_->ShowProgress(kPleaseWaitCaption, kSavingConfigText);
    work_.run(
        [this] { work_result_ = SaveAutomaticConfiguration(context_, operations_) ? 1 : 0; },
        [this] {
            progress_->CloseProgress();
            if (work_result_ != 1 && context_.prompts().Ask("Error...", kSaveFailedText, "Retry", "Cancel")) {
                runSave();
                return;
            }
            mode_settled_ = false;
            restartTimers(false);
            updateWidgets();
        });
    updateWidgets();
}

void ForwardFireEventView::queryInterval() {
    timer_.stop();
    work_.run([this] { work_result_ = intervals_fetcher_.RefreshIntervalLength(); },
              [this] {
                  if (work_result_ == 1) {
                      interval_field_->setText(QString::number(intervals_fetcher_.interval_seconds()));
                  }
                  restartTimers(true);
                  updateWidgets();
              });
    updateWidgets();
}

void ForwardFireEventView::editInterval() {
    edit_mode_ = true;
    updateWidgets();
    interval_field_->setFocus();
    interval_field_->selectAll();
}

void ForwardFireEventView::cancelEdit() {
    edit_mode_ = false;
    interval_field_->setText(QString::number(intervals_fetcher_.interval_seconds()));
    updateWidgets();
}

void ForwardFireEventView::saveInterval() {
    timer_.stop();
    const std::string text = interval_field_->text().toStdString();
    work_.run(
        [this, text] { submit_outcome_ = intervals_fetcher_.SubmitIntervalLength(text, operations_); },
        [this] {
            if (submit_outcome_ == SubmitOutcome::Saved || submit_outcome_ == SubmitOutcome::Unchanged) {
                edit_mode_ = false;
                interval_field_->setText(QString::number(intervals_fetcher_.interval_seconds()));
            }
            restartTimers(true);
            updateWidgets();
        });
    updateWidgets();
}

void ForwardFireEventView::toggleEventLogging() {
    if (events_fetcher_.event_logging()) {
        events_fetcher_.set_event_logging(false);
    } else if (TurnLoggingOn(context_, LogKind::Event, events_fetcher_.EventBanner(), chooser_)) {
        events_fetcher_.set_event_logging(true);
    }
    updateWidgets();
}

void ForwardFireEventView::toggleIntervalLogging() {
    if (intervals_fetcher_.logging_enabled()) {
        intervals_fetcher_.set_logging_enabled(false);
    } else if (TurnLoggingOn(context_, LogKind::Interval, intervals_fetcher_.IntervalBanner(), chooser_)) {
        intervals_fetcher_.set_logging_enabled(true);
    }
    updateWidgets();
}

void ForwardFireEventView::resynchronize() {
    work_.run([this] { work_result_ = operations_.SyncSensorClock(false) ? 1 : 0; },
              [this] {
                  if (work_result_ != 1) {
                      report(kForwardFireResyncFailedText, "Error...");
                  }
                  updateWidgets();
              });
    updateWidgets();
}

void ForwardFireEventView::report(const char* text, const char* caption) {
    MessageRequest request;
    request.text = text;
    request.caption = caption;
    request.icon = IconKind::Error;
    context_.prompts().Message(request);
}

void ForwardFireEventView::updateWidgets() {
    const bool usable = link_open_ && running_ && !work_.running();
    restart_->setEnabled(usable);
    // Saving is offered only while the sensor reports a configuration ready to keep.
    save_config_->setEnabled(usable && mode_text_->text() == QString::fromLatin1(kConfigReadyText));
    const bool counting = context_.live.lane_statistics.counting_enabled();
    resume_->setChecked(counting);
    pause_->setChecked(!counting);
    for (QToolButton* button : {resume_, pause_, reset_, view_event_log_, view_interval_log_}) {
        button->setEnabled(link_open_);
    }
    event_logging_->setEnabled(usable);
    interval_logging_->setEnabled(usable);
    resync_->setEnabled(usable);
    interval_field_->setReadOnly(!edit_mode_);
    query_->setEnabled(usable && !edit_mode_);
    edit_->setEnabled(usable && !edit_mode_);
    save_interval_->setEnabled(usable && edit_mode_);
    cancel_->setEnabled(usable && edit_mode_);
    const bool event_logging = events_fetcher_.event_logging();
    event_logging_->setIcon(loggingStateIcon(event_logging));
    event_logging_->setToolTip(event_logging ? QStringLiteral("Stop event logging")
                                             : QStringLiteral("Start event logging"));
    const bool interval_logging = intervals_fetcher_.logging_enabled();
    interval_logging_->setIcon(loggingStateIcon(interval_logging));
    interval_logging_->setToolTip(interval_logging ? QStringLiteral("Stop interval data logging")
                                                   : QStringLiteral("Start interval data logging"));
}

bool ForwardFireEventView::shutdown() {
    if (shut_down_) {
        return true;
    }
    shut_down_ = true;
    stopTimers();
    work_.finish();
    progress_->CloseProgress();
    thread_.Stop(EventPollingThread::kStopWaitMs);
    return true;
}

}  // namespace qvx::gui
