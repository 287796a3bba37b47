#include "export/card_settings_step.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "export/calendar_day.h"
#include "export/card_codes.h"

namespace qvx::gui {

namespace {

QComboBox* CodeList(std::span<const CardCode> codes, const char* name) {
    auto* list = new QComboBox;
    list->setObjectName(name);
    for (const CardCode& code : codes)
        list->addItem(code.name);
    return list;
}

QGroupBox* CalendarBox(const QString& title, QCalendarWidget* calendar) {
    auto* box = new QGroupBox(title);
    auto* layout = new QVBoxLayout(box);
    calendar->setGridVisible(true);
    calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    layout->addWidget(calendar);
    return box;
}

QDate DateOf(const std::string& text) {
    const auto day = ParseCalendarDay(text);
    return day ? QDate(day->year, day->month, day->day) : QDate::currentDate();
}

std::string TextOf(const QDate& date) {
    return date.toString("yyyy-MM-dd").toStdString();
}

void SelectIndex(QComboBox* list, int index) {
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : 0);
}

}  // namespace

CardSettingsStep::CardSettingsStep(QWidget* parent) : QWidget(parent) {
    start_ = new QCalendarWidget;
    start_->setObjectName("startingDate");
    end_ = new QCalendarWidget;
    end_->setObjectName("endingDate");
    station_ = new QLineEdit;
    station_->setObjectName("station");
    station_->setMaxLength(static_cast<int>(kMaxStationLength));
    station_->setValidator(new QRegularExpressionValidator(QRegularExpression("[A-Za-z0-9]{0,6}"), station_));
    state_ = CodeList(StateCodes(), "state");
    class_ = CodeList(FunctionalClassCodes(), "functionalClass");
    restriction_ = CodeList(RestrictionCodes(), "restriction");
    back_ = new QPushButton("< &Back");
    back_->setObjectName("back");
    continue_ = new QPushButton("&Continue");
    continue_->setObjectName("continue");
    continue_->setDefault(true);

    auto* calendars = new QHBoxLayout;
    calendars->addWidget(CalendarBox("Starting Date", start_));
    calendars->addWidget(CalendarBox("Ending Date", end_));
    auto* station_row = new QHBoxLayout;
    station_row->addWidget(station_);
    station_row->addWidget(new QLabel("(6 characters maximum)"));
    station_row->addStretch();
    auto* fields = new QFormLayout;
    fields->addRow("Station ID", station_row);
    fields->addRow("State", state_);
    fields->addRow("Functional Classification", class_);
    fields->addRow("Restrictions", restriction_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(back_);
    buttons->addWidget(continue_);
    auto* title = new QLabel("<b>3 Card Export -- Step 2</b>");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addLayout(calendars);
    layout->addLayout(fields);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(back_, &QPushButton::clicked, this, &CardSettingsStep::backRequested);
    connect(continue_, &QPushButton::clicked, this, &CardSettingsStep::continueRequested);
}

void CardSettingsStep::showSettings(const CardSettings& settings) {
    start_->setSelectedDate(DateOf(settings.start_date));
    end_->setSelectedDate(DateOf(settings.end_date));
    station_->setText(QString::fromStdString(settings.station));
    SelectIndex(state_, settings.state_index);
    SelectIndex(class_, settings.class_index);
    SelectIndex(restriction_, settings.restriction_index);
}

std::optional<ExportMessage> CardSettingsStep::collect(CardSettings& settings) const {
    settings.start_date = TextOf(start_->selectedDate());
    settings.end_date = TextOf(end_->selectedDate());
    settings.station = station_->text().toStdString();
    settings.state_index = state_->currentIndex();
    settings.class_index = class_->currentIndex();
    settings.restriction_index = restriction_->currentIndex();
    if (!IsValidStation(settings.station))
        return ExportMessage{"Please enter a station ID of 1 to 6 letters or digits.",
                             kInvalidEntriesCaption};
    if (settings.start_date > settings.end_date)
        return ExportMessage{"The starting date is after the ending date.", kInvalidEntriesCaption};
    return std::nullopt;
}

}  // namespace qvx::gui
