#include "tools/memory_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "base/hex_text.h"
#include "context/app_context.h"
#include "protocol/transaction_result.h"
#include "tools/memory_histogram.h"

namespace qvx::gui {

namespace {

constexpr int kMutexWaitMs = 500;
constexpr int kDefaultRefreshMs = 1000;
constexpr const char* kBusyText = "The link is busy with another window; this read was skipped.";
constexpr const char* kMalformedText = "  ERROR: The sensor's reply is not whole hexadecimal words...";
constexpr const char* kRefusedText = "  ERROR: The sensor refused to read this range...";
constexpr int kHistogramPage = 1;

QString Qs(const std::string& text) {
    return QString::fromStdString(text);
}

QLineEdit* AddressField(const char* name, const char* text) {
    auto* field = new QLineEdit(text);
    field->setObjectName(name);
    field->setMaxLength(4);
    field->setFixedWidth(70);
    field->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f]{0,4}"), field));
    return field;
}

QComboBox* Choices(const char* name, const QStringList& items) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    box->addItems(items);
    return box;
}

QDoubleSpinBox* YField(const char* name, double value) {
    auto* field = new QDoubleSpinBox;
    field->setObjectName(name);
    field->setDecimals(0);
    field->setRange(0, 4294967295.0);
    field->setValue(value);
    return field;
}

}  // namespace

MemoryView::MemoryView(AppContext& app, QWidget* parent) : WorkingView(parent), app_(app) {
    setObjectName("memoryView");
    auto* title = new QLabel("Memory View");
    QFont title_font = title->font();
    title_font.setPointSizeF(title_font.pointSizeF() * 1.3);
    title_font.setBold(true);
    title->setFont(title_font);

    auto* controls = new QHBoxLayout;
    controls->addWidget(buildRange());
    controls->addWidget(buildDisplay());
    controls->addWidget(buildStorage(), 1);

    output_ = new QPlainTextEdit;
    output_->setObjectName("memoryOutput");
    output_->setReadOnly(true);
    output_->setLineWrapMode(QPlainTextEdit::NoWrap);
    const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    output_->setFont(mono);
    output_->setTabStopDistance(QFontMetricsF(mono).horizontalAdvance(' ') * 8);
    output_->setMinimumSize(860, 320);
    histogram_ = new MemoryHistogram;
    pages_ = new QStackedWidget;
    pages_->addWidget(output_);
    pages_->addWidget(histogram_);
    note_ = new QLabel;
    note_->setObjectName("noteLabel");
    note_->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->addWidget(title);
    layout->addLayout(controls);
    layout->addWidget(note_);
    layout->addWidget(pages_, 1);

    connect(&work_, &ToolWork::busyChanged, this, &MemoryView::updateWidgets);
    connect(&auto_timer_, &QTimer::timeout, this, &MemoryView::startRead);
    updateWidgets();
}

MemoryView::~MemoryView() {
    shutdown();
}

bool MemoryView::shutdown() {
    if (!stopped_) {
        stopped_ = true;
        auto_timer_.stop();
        work_.finish();
        store_.Close();
    }
    return true;
}

QWidget* MemoryView::buildRange() {
    auto* box = new QGroupBox("Range (hex)");
    auto* grid = new QGridLayout(box);
    lower_ = AddressField("lowerField", "0000");
    upper_ = AddressField("upperField", "0100");
    refresh_ = new QPushButton("Manual Refresh");
    refresh_->setObjectName("manualRefreshButton");
    refresh_->setShortcut(QKeySequence::Refresh);
    auto_refresh_ = new QPushButton("Auto-Refresh");
    auto_refresh_->setObjectName("autoRefreshButton");
    auto_refresh_->setCheckable(true);
    interval_ = new QSpinBox;
    interval_->setObjectName("refreshIntervalField");
    interval_->setRange(50, 3600000);
    interval_->setValue(kDefaultRefreshMs);
    interval_->setSuffix(" ms");
    grid->addWidget(lower_, 0, 0);
    grid->addWidget(new QLabel("to"), 0, 1);
    grid->addWidget(upper_, 0, 2);
    grid->addWidget(refresh_, 1, 0, 1, 3);
    grid->addWidget(auto_refresh_, 2, 0, 1, 2);
    grid->addWidget(interval_, 2, 2);
    connect(refresh_, &QPushButton::clicked, this, &MemoryView::manualRefresh);
    connect(auto_refresh_, &QPushButton::toggled, this, &MemoryView::setAutoRefresh);
    return box;
}

QWidget* MemoryView::buildDisplay() {
    auto* box = new QGroupBox("Display");
    auto* form = new QFormLayout(box);
    format_ = Choices("formatBox", {"Hexidecimal", "Decimal", "Character", "Histogram"});
    data_size_ = Choices("dataSizeBox", {"8-bit", "16-bit", "32-bit"});
    data_size_->setCurrentIndex(1);
    y_scale_ = Choices("yScaleBox", {"Automatic", "Manual"});
    lower_y_ = YField("lowerYField", 0);
    upper_y_ = YField("upperYField", 65535);
    auto* y_row = new QHBoxLayout;
    y_row->addWidget(lower_y_);
    y_row->addWidget(new QLabel("to"));
    y_row->addWidget(upper_y_);
    form->addRow("Format:", format_);
    form->addRow("Data size:", data_size_);
    form->addRow("Y scale:", y_scale_);
    form->addRow("Manual y:", y_row);
    connect(format_, &QComboBox::currentIndexChanged, this, &MemoryView::formatChanged);
    for (QComboBox* box_field : {data_size_, y_scale_}) {
        connect(box_field, &QComboBox::currentIndexChanged, this, &MemoryView::drawHistogram);
    }
    for (QDoubleSpinBox* y : {lower_y_, upper_y_}) {
        connect(y, &QDoubleSpinBox::valueChanged, this, &MemoryView::drawHistogram);
    }
    connect(y_scale_, &QComboBox::currentIndexChanged, this, &MemoryView::updateWidgets);
    return box;
}

QWidget* MemoryView::buildStorage() {
    auto* box = new QGroupBox("Storage");
    auto* grid = new QGridLayout(box);
    storage_path_ = new QLineEdit;
    storage_path_->setObjectName("storagePathField");
    auto* path_label = new QLabel("Storage Path && File name");
    path_label->setBuddy(storage_path_);
    browse_ = new QPushButton("Browse...");
    browse_->setObjectName("storageBrowseButton");
    storage_format_ = Choices("storageFormatBox", {"Generic", "Event List"});
    buffer_changes_ = new QCheckBox("Buffer Changes");
    buffer_changes_->setObjectName("bufferChangesBox");
    buffer_changes_->setToolTip("Store every change while auto-refreshing");
    grid->addWidget(path_label, 0, 0, 1, 2);
    grid->addWidget(storage_path_, 1, 0);
    grid->addWidget(browse_, 1, 1);
    auto* format_row = new QHBoxLayout;
    format_row->addWidget(new QLabel("Storage Format"));
    format_row->addWidget(storage_format_);
    format_row->addStretch(1);
    format_row->addWidget(buffer_changes_);
    grid->addLayout(format_row, 2, 0, 1, 2);
    connect(browse_, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getSaveFileName(this, "Storage file", storage_path_->text(),
                                                            "Data files (*.dat *.txt)");
        if (!chosen.isEmpty()) {
            storage_path_->setText(chosen);
        }
    });
    return box;
}

void MemoryView::manualRefresh() {
    startRead();
}

void MemoryView::setAutoRefresh(bool on) {
    if (!on) {
        stopAutoRefresh(QString());
        return;
    }
    const bool buffering = buffer_changes_->isChecked();
    const bool event_list = storage_format_->currentIndex() == 1;
    if (buffering && event_list) {
        if (const auto range = ParseMemoryRange(lower_->text().toStdString(), upper_->text().toStdString())) {
            upper_->setText(Qs(hex::Format(range->lower + kEventListSpan, 4)));
        }
    }
    if (buffering && !store_.Open(storage_path_->text().toStdString(),
                                  event_list ? StorageFormat::EventList : StorageFormat::Generic)) {
        stopAutoRefresh(kMemoryStoragePathErrorText);
        return;
    }
    if (buffering) {
        storage_path_->setText(Qs(store_.path()));
    }
    previous_.clear();
    data_.clear();
    auto_timer_.start(interval_->value());
    updateWidgets();
    startRead();
}

void MemoryView::stopAutoRefresh(const QString& reason) {
    auto_timer_.stop();
    store_.Close();
    if (!reason.isEmpty()) {
        note_->setText(reason);
    }
    const QSignalBlocker block(auto_refresh_);
    auto_refresh_->setChecked(false);
    updateWidgets();
}

void MemoryView::startRead() {
    if (work_.running() || stopped_) {
        return;  // a tick while the last read still runs is skipped
    }
    const auto range = ParseMemoryRange(lower_->text().toStdString(), upper_->text().toStdString());
    if (!range || range->count() < 1) {
        note_->setText(kMemoryRangeErrorText);
        return;
    }
    range_ = *range;
    if (range_.upper_limited) {
        upper_->setText(Qs(UpperFieldText(range_)));
    }
    work_.start(
        [this] {
            ScopedTryLock lock(app_.objects.SyncData(), kMutexWaitMs);
            link_busy_ = !lock.held();
            reading_ = link_busy_ ? MemoryReading{} : ReadMemoryRange(app_.protocol, range_);
        },
        [this] { finishRead(); });
}

void MemoryView::finishRead() {
    ++reads_;
    if (link_busy_) {
        note_->setText(kBusyText);
        return;
    }
    if (reading_.result == TransactionResult::Cancel && autoRefreshing()) {
        stopAutoRefresh("Auto-refresh stopped.");
    }
    if (reading_.result != TransactionResult::Ok || reading_.refused || reading_.malformed) {
        note_->setText(reading_.result != TransactionResult::Ok
                           ? kMemoryNoResponseText
                           : (reading_.refused ? kRefusedText : kMalformedText));
        return;
    }
    note_->setText(Qs(MemoryShortfallNote(range_.count(), reading_.words_returned)));
    previous_ = std::move(data_);
    data_ = reading_.data;
    const bool changed = data_ != previous_;
    showData(changed);
    if (autoRefreshing() && store_.is_open()) {
        storeChange(previous_);
    }
}

void MemoryView::showData(bool changed) {
    if (format_->currentIndex() == static_cast<int>(MemoryFormat::Histogram)) {
        drawHistogram();
        return;
    }
    if (!changed) {
        return;  // an unchanged reply leaves the table as it is
    }
    ++table_writes_;
    std::string table =
        FormatMemoryTable(range_.lower, data_, static_cast<MemoryFormat>(format_->currentIndex()));
    table.erase(std::remove(table.begin(), table.end(), '\r'), table.end());
    output_->setPlainText(Qs(table));
}

void MemoryView::drawHistogram() {
    if (format_->currentIndex() != static_cast<int>(MemoryFormat::Histogram)) {
        return;
    }
    const auto values = HistogramValues(data_, static_cast<HistogramDataSize>(data_size_->currentIndex()));
    const auto scale =
        HistogramScale(values, y_scale_->currentIndex() == 1, lower_y_->value(), upper_y_->value());
    if (!scale) {
        note_->setText(kMemoryManualScaleErrorText);
        histogram_->clear();
        return;
    }
    if (note_->text() == kMemoryManualScaleErrorText) {
        note_->clear();
    }
    histogram_->setBars(values, scale->low, scale->high, range_.lower);
}

void MemoryView::storeChange(const std::string& previous) {
    if (!store_.Store(range_, previous, data_)) {
        stopAutoRefresh(QString("  ERROR: The storage file %1 could not be written; auto-refresh stopped.")
                            .arg(Qs(store_.path())));
    }
}

void MemoryView::formatChanged() {
    const bool histogram = format_->currentIndex() == static_cast<int>(MemoryFormat::Histogram);
    pages_->setCurrentIndex(histogram ? kHistogramPage : 0);
    if (histogram) {
        drawHistogram();
    } else if (!data_.empty()) {
        previous_.clear();
        showData(true);
    }
    updateWidgets();
}

void MemoryView::updateWidgets() {
    const bool automatic = autoRefreshing();
    for (QWidget* control : std::initializer_list<QWidget*>{lower_, upper_, format_, storage_path_, browse_,
                                                            storage_format_, buffer_changes_, interval_}) {
        control->setEnabled(!automatic);
    }
    refresh_->setEnabled(!automatic && !work_.running());
    const bool histogram = format_->currentIndex() == static_cast<int>(MemoryFormat::Histogram);
    data_size_->setEnabled(histogram);
    y_scale_->setEnabled(histogram);
    lower_y_->setEnabled(histogram && y_scale_->currentIndex() == 1);
    upper_y_->setEnabled(histogram && y_scale_->currentIndex() == 1);
}

}  // namespace qvx::gui
