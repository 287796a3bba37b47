#include "live/interval_view.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QThread>
#include <QToolButton>
#include <QVBoxLayout>
#include <ctime>

#include "base/busy_flag.h"
#include "context/app_context.h"
#include "live/event_view_icons.h"
#include "live/lane_history_chart.h"
#include "live/log_file_dialogs.h"
#include "live/log_viewer_window.h"
#include "platform/editor_launch.h"
#include "protocol/busy_cursor.h"
#include "protocol/interval_format.h"
#include "protocol/sensor_operations.h"

namespace qvx::gui {

namespace {

constexpr int kWorkPollMs = 20;
constexpr int kChartColumn = 7;
constexpr int kChartMinimumWidth = 180;

enum Column { kLane = 0, kVolume, kSpeed, kOccupancy, kSmall, kMedium, kLarge };

QString latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString speedHeading(char units) {
    return units == 'E' ? QStringLiteral("Speed\n(mph)") : QStringLiteral("Speed\n(kph)");
}

QString chartHeading(quint32 max_volume, int max_speed) {
    if (max_volume == 0)
        return QStringLiteral("Last intervals\nvolume (bars) / speed (line)");
    return QStringLiteral(
               "Last intervals, one scale for all lanes\nvolume (bars) up to %1 / speed (line) up to %2")
        .arg(max_volume)
        .arg(max_speed);
}

// Which rows a view opened without a link shows: 8, 7, ... 1, then 8 again.
int nextRowsWithoutLink() {
    static int rows = static_cast<int>(kIntervalTableRows);
    const int shown = rows;
    rows = rows > 1 ? rows - 1 : static_cast<int>(kIntervalTableRows);
    return shown;
}

}  // namespace

IntervalView::IntervalView(AppContext& context, SensorOperations& operations, QWidget* parent)
    : WorkingView(parent),
      context_(context),
      operations_(operations),
      fetcher_(context),
      thread_(context, fetcher_),
      chooser_(logFileChooser(this)),
      launch_editor_(editorOrViewer(this)) {
    setObjectName(QStringLiteral("IntervalView"));
    buildWidgets();
    timer_.setInterval(kTimerMs);
    connect(&timer_, &QTimer::timeout, this, &IntervalView::onTimer);
    work_poll_.setInterval(kWorkPollMs);
    connect(&work_poll_, &QTimer::timeout, this, &IntervalView::pollWork);
    if (context_.state.link_kind != LinkKind::None) {
        openWithLink();
    } else {
        openWithoutLink();
    }
    updateWidgets();
}

IntervalView::~IntervalView() {
    if (!shut_down_) {
        shutdown();
    }
}

void IntervalView::buildWidgets() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildHeader());
    buildTable();
    layout->addWidget(table_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(buildIntervalBox());
    bottom->addStretch(1);
    bottom->addWidget(buildButtons());
    layout->addLayout(bottom);
}

QWidget* IntervalView::buildHeader() {
    auto* header = new QWidget(this);
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    updated_ = new QLabel(QStringLiteral("Updated: "), header);
    updated_->setObjectName(QStringLiteral("updatedLabel"));
    QFont big = updated_->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    updated_->setFont(big);
    since_updated_ = new QLabel(QStringLiteral("Since updated: 0:0:0:0"), header);
    since_updated_->setObjectName(QStringLiteral("sinceUpdatedLabel"));
    QFont medium = since_updated_->font();
    medium.setPointSizeF(medium.pointSizeF() * 1.2);
    since_updated_->setFont(medium);
    layout->addWidget(updated_);
    layout->addStretch(1);
    layout->addWidget(since_updated_);
    return header;
}

QWidget* IntervalView::buildIntervalBox() {
    auto* box = new QWidget(this);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("Interval (Bin) Size"), box));
    interval_field_ = new QLineEdit(box);
    interval_field_->setObjectName(QStringLiteral("intervalField"));
    interval_field_->setValidator(new QIntValidator(0, 999999999, interval_field_));
    interval_field_->setMaximumWidth(90);
    interval_field_->setAlignment(Qt::AlignRight);
    layout->addWidget(interval_field_);
    layout->addWidget(new QLabel(QStringLiteral("(Seconds)"), box));
    edit_ = new QPushButton(QStringLiteral("Edit"), box);
    refresh_ = new QPushButton(QStringLiteral("Refresh"), box);
    edit_->setObjectName(QStringLiteral("editButton"));
    refresh_->setObjectName(QStringLiteral("refreshButton"));
    layout->addWidget(edit_);
    layout->addWidget(refresh_);
    connect(edit_, &QPushButton::clicked, this, &IntervalView::toggleEdit);
    connect(refresh_, &QPushButton::clicked, this, &IntervalView::refreshOrSubmit);
    return box;
}

QWidget* IntervalView::buildButtons() {
    auto* box = new QWidget(this);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto tool = [box, layout](const QIcon& icon, const QString& tip) {
        auto* button = new QToolButton(box);
        button->setIcon(icon);
        button->setIconSize(QSize(20, 20));
        button->setToolTip(tip);
        layout->addWidget(button);
        return button;
    };
    view_log_ = tool(style()->standardIcon(QStyle::SP_FileDialogDetailedView),
                     QStringLiteral("View interval data log"));
    logging_ = tool(loggingStateIcon(false), QStringLiteral("Turn interval data logging on"));
    resync_ = tool(style()->standardIcon(QStyle::SP_BrowserReload),
                   QStringLiteral("Re-synchronize sensor to PC clock's UTC time"));
    event_data_ = new QPushButton(QStringLiteral("Event Data"), box);
    view_log_->setObjectName(QStringLiteral("viewLogButton"));
    logging_->setObjectName(QStringLiteral("loggingButton"));
    resync_->setObjectName(QStringLiteral("resyncButton"));
    event_data_->setObjectName(QStringLiteral("eventDataButton"));
    layout->addWidget(event_data_);
    connect(view_log_, &QToolButton::clicked, this, &IntervalView::viewLog);
    connect(logging_, &QToolButton::clicked, this, &IntervalView::toggleLogging);
    connect(resync_, &QToolButton::clicked, this, &IntervalView::resynchronize);
    connect(event_data_, &QPushButton::clicked, this, &IntervalView::requestEventData);
    return box;
}

void IntervalView::buildTable() {
    table_ = new QTableWidget(static_cast<int>(kIntervalTableRows), kChartColumn + 1, this);
    table_->setObjectName(QStringLiteral("intervalTable"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Lane"), QStringLiteral("Volume\n(vehicles)"),
                                       speedHeading(context_.state.units), QStringLiteral("Occupancy\n(%)"),
                                       QStringLiteral("Small\n(%)"), QStringLiteral("Medium\n(%)"),
                                       QStringLiteral("Large\n(%)"), chartHeading(0, 0)});
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    table_->verticalHeader()->setDefaultSectionSize(std::max(kRowHeight, QFontMetrics(fixed).height() + 12));
    // The figures' columns are as wide as their headings and texts; the chart takes the rest.
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(kChartColumn, QHeaderView::Stretch);
    table_->horizontalHeader()->setMinimumSectionSize(kChartMinimumWidth / 4);
    table_->setWordWrap(false);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setFocusPolicy(Qt::NoFocus);
    table_->setAlternatingRowColors(true);
    for (int row = 0; row < table_->rowCount(); ++row) {
        for (int column = 0; column < kChartColumn; ++column) {
            auto* item = new QTableWidgetItem;
            item->setFont(fixed);
            item->setTextAlignment(column == kLane ? Qt::AlignCenter : (Qt::AlignRight | Qt::AlignVCenter));
            table_->setItem(row, column, item);
        }
        table_->setCellWidget(row, kChartColumn, new LaneHistoryChart(table_));
    }
    table_->setMinimumWidth(kChartMinimumWidth * 3);
}

LaneHistoryChart* IntervalView::chart(int row) const {
    return qobject_cast<LaneHistoryChart*>(table_->cellWidget(row, kChartColumn));
}

void IntervalView::openWithLink() {
    link_open_ = true;
    fetcher_.ResetForOpening();
    layoutRows(context_.state.lane_count);
    runWork([this] { work_result_ = fetcher_.RefreshIntervalLength(); },
            [this] { finishOpening(work_result_); }, false);
}

void IntervalView::finishOpening(int read_result) {
    if (read_result == 1) {
        fetcher_.ShowLaneNames();
        showIntervalSeconds();
        table_->horizontalHeaderItem(kSpeed)->setText(speedHeading(context_.state.units));
        layoutRows(context_.state.lane_count);
    }
    if (!shut_down_) {
        timer_.start();
    }
}

void IntervalView::openWithoutLink() {
    link_open_ = false;
    layoutRows(nextRowsWithoutLink());
}

void IntervalView::layoutRows(int rows) {
    visible_rows_ = std::clamp(rows, 1, static_cast<int>(kIntervalTableRows));
    for (int row = 0; row < table_->rowCount(); ++row) {
        table_->setRowHidden(row, row >= visible_rows_);
    }
}

void IntervalView::onTimer() {
    if (thread_start_pending_) {
        thread_start_pending_ = false;
        thread_.Start();
    }
    const std::int64_t now = std::time(nullptr);
    fetcher_.RequestFetchIfDue(now);
    reportLogWriteFailure();
    // Only a try: the thread holds the mutex while it talks to the sensor, and the texts are
    // copied on the next tick just as well.
    if (fetcher_.TakeSnapshot(now, 0, snapshot_)) {
        showSnapshot();
    }
}

// One message per failed log write; logging is off afterwards, so the next lines are not lost
// unseen.
void IntervalView::reportLogWriteFailure() {
    const std::string text = fetcher_.TakeLogWriteFailure();
    if (text.empty()) {
        return;
    }
    updateWidgets();
    MessageRequest request;
    request.text = text;
    request.caption = kFailureCaption;
    request.icon = IconKind::Error;
    context_.prompts().Message(request);
}

void IntervalView::showSnapshot() {
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
    for (int row = 0; row < static_cast<int>(kIntervalTableRows); ++row) {
        const IntervalRowTexts& texts = snapshot_.rows[static_cast<std::size_t>(row)];
        const std::string* cells[] = {&texts.label, &texts.volume, &texts.speed, &texts.occupancy,
                                      &texts.small, &texts.medium, &texts.large};
        for (int column = 0; column < kChartColumn; ++column) {
            table_->item(row, column)->setText(latin1(*cells[column]));
        }
    }
    showHistory();
    // One row per lane the sensor reports.
    if (snapshot_.last_record_lanes > 0 && static_cast<int>(snapshot_.last_record_lanes) != visible_rows_) {
        layoutRows(static_cast<int>(snapshot_.last_record_lanes));
    }
}

void IntervalView::showHistory() {
    quint32 max_volume = 0;
    int max_speed = 0;
    for (const IntervalHistoryEntry& entry : snapshot_.history) {
        for (std::size_t lane = 0; lane < entry.lanes; ++lane) {
            max_volume = std::max(max_volume, entry.volume[lane]);
            max_speed = std::max(max_speed, std::abs(static_cast<int>(entry.speed[lane])));
        }
    }
    for (int row = 0; row < static_cast<int>(kIntervalTableRows); ++row) {
        QVector<LaneHistoryChart::Point> points;
        for (const IntervalHistoryEntry& entry : snapshot_.history) {
            const auto lane = static_cast<std::size_t>(row);
            if (lane < entry.lanes)
                points.push_back({entry.volume[lane], entry.speed[lane], entry.sensor_time});
        }
        chart(row)->setScale(max_volume, max_speed);
        chart(row)->setHistory(points);
    }
    table_->horizontalHeaderItem(kChartColumn)->setText(chartHeading(max_volume, max_speed));
}

void IntervalView::showIntervalSeconds() {
    interval_field_->setText(QString::number(fetcher_.interval_seconds()));
}

void IntervalView::toggleEdit() {
    edit_mode_ = !edit_mode_;
    if (!edit_mode_) {
        showIntervalSeconds();
    }
    updateWidgets();
}

void IntervalView::refreshOrSubmit() {
    if (!edit_mode_) {
        runWork([this] { work_result_ = fetcher_.RefreshIntervalLength(); },
                [this] {
                    if (work_result_ == 1) {
                        showIntervalSeconds();
                    }
                },
                true);
        return;
    }
    const std::string text = interval_field_->text().toStdString();
    runWork([this, text] { submit_outcome_ = fetcher_.SubmitIntervalLength(text, operations_); },
            [this] {
                if (submit_outcome_ == SubmitOutcome::Saved) {
                    edit_mode_ = false;
                    showIntervalSeconds();
                }
            },
            true);
}

void IntervalView::toggleLogging() {
    if (fetcher_.logging_enabled()) {
        fetcher_.set_logging_enabled(false);
    } else if (TurnLoggingOn(context_, LogKind::Interval, fetcher_.IntervalBanner(), chooser_)) {
        fetcher_.set_logging_enabled(true);
    }
    updateWidgets();
}

void IntervalView::viewLog() {
    ViewLogFile(context_, LogKind::Interval, chooser_, launch_editor_);
}

void IntervalView::resynchronize() {
    runWork([this] { work_result_ = operations_.SyncSensorClock(false) ? 1 : 0; },
            [this] {
                if (work_result_ != 1) {
                    MessageRequest request;
                    request.text = kResyncFailedText;
                    request.caption = "Error...";
                    request.icon = IconKind::Error;
                    context_.prompts().Message(request);
                }
            },
            false);
}

void IntervalView::requestEventData() {
    emit viewRequested(ViewCode::SideFireTraffic);
}

void IntervalView::runWork(std::function<void()> work, std::function<void()> done, bool stop_timer) {
    if (work_.running() || shut_down_) {
        return;
    }
    busy_flag::Set();
    BusyCursor::sync();
    restart_timer_after_work_ = stop_timer && timer_.isActive();
    if (restart_timer_after_work_) {
        timer_.stop();
    }
    work_done_ = std::move(done);
    work_.start(std::move(work));
    work_poll_.start();
    updateWidgets();
}

void IntervalView::pollWork() {
    if (!work_.collect()) {
        return;
    }
    work_poll_.stop();
    busy_flag::Clear();
    BusyCursor::sync();
    if (auto done = std::move(work_done_)) {
        done();
    }
    if (restart_timer_after_work_ && !shut_down_) {
        timer_.start();
    }
    restart_timer_after_work_ = false;
    updateWidgets();
}

void IntervalView::updateWidgets() {
    const bool idle = !work_.running();
    edit_->setText(edit_mode_ ? QStringLiteral("Cancel") : QStringLiteral("Edit"));
    refresh_->setText(edit_mode_ ? QStringLiteral("Submit") : QStringLiteral("Refresh"));
    interval_field_->setReadOnly(!edit_mode_);
    edit_->setEnabled(link_open_ && idle);
    refresh_->setEnabled(link_open_ && idle);
    view_log_->setEnabled(link_open_);
    // The banner reads the config copy a Refresh or Submit may be rewriting.
    logging_->setEnabled(link_open_ && idle);
    resync_->setEnabled(link_open_ && idle);
    const bool logging = fetcher_.logging_enabled();
    logging_->setIcon(loggingStateIcon(logging));
    logging_->setToolTip(logging ? QStringLiteral("Turn interval data logging off")
                                 : QStringLiteral("Turn interval data logging on"));
}

bool IntervalView::shutdown() {
    if (shut_down_) {
        return true;
    }
    shut_down_ = true;
    timer_.stop();
    work_poll_.stop();
    // A worker may be waiting for an answer the user gives on this thread, so events keep flowing.
    while (work_.running() && !work_.collect()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    if (work_done_) {
        work_done_ = nullptr;
        busy_flag::Clear();
        BusyCursor::sync();
    }
    thread_.Stop(IntervalDataThread::kStopWaitMs);
    return true;
}

}  // namespace qvx::gui
