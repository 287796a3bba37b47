#include "app/clock_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/clock_entry.h"
#include "app/clock_face.h"
#include "app/link_work.h"
#include "app/main_window.h"
#include "app/palette_colours.h"
#include "context/app_context.h"
#include "protocol/sensor_operations.h"
#include "protocol/user_prompts.h"

namespace qvx::gui {

namespace {
constexpr int kDisplayPeriodMs = 230;
constexpr int kMinuteMs = 60000;
constexpr int kLastSensorYear = 2136;

// Hours, minutes, seconds and days read best with a leading zero.
class TwoDigitSpinBox : public QSpinBox {
  protected:
    QString textFromValue(int value) const override { return QString("%1").arg(value, 2, 10, QChar('0')); }
};

QSpinBox* NumberField(const char* name, int low, int high) {
    auto* field = high < 100 ? new TwoDigitSpinBox : new QSpinBox;
    field->setFixedWidth(high < 100 ? 52 : 72);
    field->setObjectName(name);
    field->setRange(low, high);
    field->setAlignment(Qt::AlignRight);
    return field;
}
}  // namespace

ClockView::ClockView(AppContext& app, SensorOperations& operations, MainWindow* main_window, QWidget* parent)
    : WorkingView(parent), app_(app), operations_(operations), main_window_(main_window), poller_(app) {
    setObjectName("clockView");
    auto* title = new QLabel("Sensor Date and Time");
    QFont title_font = title->font();
    title_font.setPointSizeF(title_font.pointSizeF() * 1.3);
    title_font.setBold(true);
    title->setFont(title_font);

    face_ = new ClockFace;
    auto* top = new QHBoxLayout;
    top->setSpacing(18);
    top->addWidget(face_);
    top->addWidget(buildFields(), 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(12);
    layout->addWidget(title);
    layout->addLayout(top);
    layout->addWidget(buildSettings());

    connect(&display_timer_, &QTimer::timeout, this, &ClockView::tick);
    display_timer_.start(kDisplayPeriodMs);
    poller_.Start();
    updateWidgets();
}

ClockView::~ClockView() {
    shutdown();
}

QWidget* ClockView::buildFields() {
    auto* box = new QGroupBox("Sensor clock");
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(10);

    year_ = NumberField("yearField", 2000, kLastSensorYear);
    month_ = new QComboBox;
    month_->setObjectName("monthField");
    month_->setEditable(true);
    month_->setInsertPolicy(QComboBox::NoInsert);
    for (const char* name : kMonthNames)
        month_->addItem(name);
    month_->setMinimumContentsLength(9);
    day_ = NumberField("dayField", 1, 31);
    hour_ = NumberField("hourField", 0, 23);
    minute_ = NumberField("minuteField", 0, 59);
    second_ = NumberField("secondField", 0, 59);

    grid->addWidget(new QLabel("Date:"), 0, 0);
    auto* date = new QHBoxLayout;
    date->addWidget(month_);
    date->addWidget(day_);
    date->addWidget(year_);
    date->addStretch(1);
    grid->addLayout(date, 0, 1);
    grid->addWidget(new QLabel("Time:"), 1, 0);
    auto* time = new QHBoxLayout;
    time->addWidget(hour_);
    time->addWidget(new QLabel(":"));
    time->addWidget(minute_);
    time->addWidget(new QLabel(":"));
    time->addWidget(second_);
    time->addStretch(1);
    grid->addLayout(time, 1, 1);

    save_ = new QPushButton("Save Changes");
    save_->setObjectName("saveButton");
    ignore_ = new QPushButton("Ignore Changes");
    ignore_->setObjectName("ignoreButton");
    ignore_->setToolTip("Undo changes made to date and time");
    sync_now_ = new QPushButton("Synchronize to PC");
    sync_now_->setObjectName("synchronizeButton");
    sync_now_->setToolTip("Synchronize sensor to PC clock's UTC time");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(save_);
    buttons->addWidget(ignore_);
    buttons->addStretch(1);
    buttons->addWidget(sync_now_);
    grid->addLayout(buttons, 2, 0, 1, 2);
    auto* note = new QLabel;
    note->setObjectName("zoneNote");
    note->setWordWrap(true);
    ColourText(note, TextMeaning::Quiet);
    grid->addWidget(note, 3, 0, 1, 2);
    zone_note_ = note;
    grid->setRowStretch(4, 1);

    for (QSpinBox* field : {year_, day_, hour_, minute_, second_})
        connect(field, &QSpinBox::valueChanged, this, &ClockView::startEditing);
    connect(month_, &QComboBox::activated, this, &ClockView::startEditing);
    connect(month_->lineEdit(), &QLineEdit::textEdited, this, &ClockView::startEditing);
    connect(month_->lineEdit(), &QLineEdit::editingFinished, this, &ClockView::applyMonthText);
    connect(save_, &QPushButton::clicked, this, &ClockView::saveChanges);
    connect(ignore_, &QPushButton::clicked, this, &ClockView::ignoreChanges);
    connect(sync_now_, &QPushButton::clicked, this, &ClockView::synchronizeToPc);
    return box;
}

QWidget* ClockView::buildSettings() {
    auto* box = new QGroupBox("Clock settings");
    synchronize_ = new QCheckBox("Automatically synchronize sensor to PC clock's UTC time every ");
    synchronize_->setObjectName("synchronizeBox");
    synchronize_->setChecked(app_.state.synchronize_clock);
    period_ = new QSpinBox;
    period_->setObjectName("periodField");
    period_->setRange(0, kMaxSyncPeriodMinutes);
    period_->setValue(app_.state.sync_interval / kMinuteMs);
    utc_ =
        new QCheckBox("Automatically adjust for local computer timezone and daylight saving time settings");
    utc_->setObjectName("utcBox");
    utc_->setChecked(app_.state.sensor_clock_is_utc);

    auto* period_row = new QHBoxLayout;
    period_row->setSpacing(4);
    period_row->addWidget(synchronize_);
    period_row->addWidget(period_);
    period_row->addWidget(new QLabel("minute interval."));
    period_row->addStretch(1);
    auto* layout = new QVBoxLayout(box);
    layout->addLayout(period_row);
    layout->addWidget(utc_);

    connect(synchronize_, &QCheckBox::toggled, this, [this](bool on) {
        app_.state.synchronize_clock = on;
        updateWidgets();
    });
    connect(period_, &QSpinBox::valueChanged, this, &ClockView::periodChanged);
    connect(utc_, &QCheckBox::toggled, this, [this](bool on) {
        app_.state.sensor_clock_is_utc = on;
        updateWidgets();
    });
    return box;
}

bool ClockView::shutdown() {
    if (stopped_)
        return true;
    stopped_ = true;
    display_timer_.stop();
    poller_.Stop();
    return true;
}

void ClockView::tick() {
    const auto reading = poller_.Latest();
    if (!reading) {
        face_->setTime(std::nullopt);
        return;
    }
    const CalendarTime now = SensorSecondsToLocal(reading->Now(), app_.state.sensor_clock_is_utc);
    face_->setTime(now);
    if (!editing_)
        showTime(now);
}

void ClockView::showTime(const CalendarTime& time) {
    const QSignalBlocker blockers[] = {QSignalBlocker(year_),   QSignalBlocker(month_),
                                       QSignalBlocker(day_),    QSignalBlocker(hour_),
                                       QSignalBlocker(minute_), QSignalBlocker(second_)};
    year_->setValue(time.year);
    month_->setCurrentIndex(time.month - 1);
    day_->setValue(time.day);
    hour_->setValue(time.hour);
    minute_->setValue(time.minute);
    second_->setValue(time.second);
}

CalendarTime ClockView::fieldsTime() const {
    CalendarTime time;
    time.year = year_->value();
    time.month = month_->currentIndex() + 1;
    time.day = day_->value();
    time.hour = hour_->value();
    time.minute = minute_->value();
    time.second = second_->value();
    return time;
}

void ClockView::startEditing() {
    editing_ = true;
    updateWidgets();
}

void ClockView::applyMonthText() {
    const auto month = MatchMonthPrefix(month_->lineEdit()->text().toStdString());
    // Text that names no single month gives way to the month chosen before.
    const int index = month ? *month - 1 : month_->currentIndex();
    month_->setCurrentIndex(index);
    month_->setEditText(month_->itemText(index));
}

ClockSave ClockView::saveChanges() {
    applyMonthText();
    const CalendarTime time = fieldsTime();
    const bool utc = app_.state.sensor_clock_is_utc;
    if (const auto problem = ClockEntryProblem(time, utc)) {
        MessageRequest request;
        request.caption = kInvalidClockEntryCaption;
        request.text = *problem;
        request.icon = IconKind::Warning;
        app_.prompts().Message(request);
        return ClockSave::Invalid;
    }
    ClockSave saved = ClockSave::Busy;
    RunLinkWork([&] { saved = SaveSensorClock(app_, time, utc); });
    if (saved == ClockSave::Saved) {
        editing_ = false;
        updateWidgets();
    }
    return saved;
}

void ClockView::ignoreChanges() {
    editing_ = false;
    updateWidgets();
    tick();
}

void ClockView::synchronizeToPc() {
    RunLinkWork([this] {
        ScopedTryLock lock(app_.objects.SyncData(), kClockSyncMutexWaitMs);
        if (lock.held())
            operations_.SyncSensorClock(true);
    });
}

void ClockView::periodChanged(int minutes) {
    app_.state.sync_interval = SyncIntervalForMinutes(minutes);
    if (main_window_)
        main_window_->rearmClockTimer();
}

void ClockView::updateWidgets() {
    zone_note_->setText(utc_->isChecked()
                            ? "The sensor clock keeps UTC; it is shown in this PC's local time."
                            : "The sensor clock keeps local wall-clock time; it is shown as it stands.");
    period_->setEnabled(synchronize_->isChecked());
    save_->setEnabled(editing_);
    ignore_->setEnabled(editing_);
}

}  // namespace qvx::gui
