#include "tools/data_acquisition_view.h"

#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/link_work.h"
#include "context/app_context.h"

namespace qvx::gui {

namespace {

constexpr int kSwitchDelayMs = 10;
constexpr int kProgressPeriodMs = 200;
constexpr int kMutexWaitMs = 10000;
constexpr const char* kSerialOnlyText = "Raw data acquisition works over a serial connection only.";
constexpr const char* kRefusedText = "The sensor is not at 921600 bps: recording is not possible.";
constexpr const char* kRestoreFailedText =
    "The sensor did not answer at its former rate again. Check the line, and open the connection again if "
    "the sensor does not answer.";

QString Qs(const std::string& text) {
    return QString::fromStdString(text);
}

QLabel* ValueLabel(const char* name) {
    auto* label = new QLabel("-");
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

DataAcquisitionView::DataAcquisitionView(AppContext& app, QWidget* parent)
    : WorkingView(parent), app_(app), rates_(app), recorder_(app) {
    setObjectName("dataAcquisitionView");
    auto* title = new QLabel("Data Acquisition");
    QFont title_font = title->font();
    title_font.setPointSizeF(title_font.pointSizeF() * 1.3);
    title_font.setBold(true);
    title->setFont(title_font);

    message_ = new QLabel;
    message_->setObjectName("messageLabel");
    message_->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(12);
    layout->addWidget(title);
    layout->addWidget(buildSettings());
    layout->addWidget(buildStatus());
    layout->addWidget(message_);
    layout->addStretch(1);

    const RawAcquisitionSettings settings = LoadRawAcquisitionSettings(app_.registry);
    interval_->setText(Qs(settings.interval_text));
    path_->setText(Qs(settings.path));
    applyIntervalField();

    connect(&work_, &ToolWork::busyChanged, this, &DataAcquisitionView::updateWidgets);
    connect(&progress_timer_, &QTimer::timeout, this, &DataAcquisitionView::showProgress);
    showPort();
    if (app_.state.link_kind == LinkKind::Serial) {
        message_->setText("Moving the sensor and the port to 921600 bps...");
        QTimer::singleShot(kSwitchDelayMs, this, &DataAcquisitionView::switchRates);
    } else {
        message_->setText(kSerialOnlyText);
    }
    updateWidgets();
}

DataAcquisitionView::~DataAcquisitionView() {
    shutdown();
}

QWidget* DataAcquisitionView::buildSettings() {
    auto* box = new QGroupBox("Recording");
    auto* form = new QFormLayout(box);
    interval_ = new QLineEdit;
    interval_->setObjectName("intervalField");
    interval_->setValidator(new QIntValidator(0, 99999, interval_));
    interval_->setFixedWidth(80);
    interval_->setToolTip("Seconds to record, 1 to 900");
    path_ = new QLineEdit;
    path_->setObjectName("pathField");
    path_->setMinimumWidth(360);
    browse_ = new QPushButton("Browse...");
    browse_->setObjectName("browseButton");
    auto* path_row = new QHBoxLayout;
    path_row->addWidget(path_, 1);
    path_row->addWidget(browse_);
    start_ = new QPushButton("Start");
    start_->setObjectName("startButton");
    start_->setDefault(true);
    stop_ = new QPushButton("Stop");
    stop_->setObjectName("stopButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(start_);
    buttons->addWidget(stop_);
    form->addRow("Interval (seconds):", interval_);
    form->addRow("Output file:", path_row);
    form->addRow(buttons);

    connect(interval_, &QLineEdit::editingFinished, this, &DataAcquisitionView::applyIntervalField);
    connect(browse_, &QPushButton::clicked, this, &DataAcquisitionView::browse);
    connect(start_, &QPushButton::clicked, this, &DataAcquisitionView::start);
    connect(stop_, &QPushButton::clicked, this, &DataAcquisitionView::stopRecording);
    return box;
}

QWidget* DataAcquisitionView::buildStatus() {
    auto* box = new QGroupBox("Status");
    auto* form = new QFormLayout(box);
    port_ = ValueLabel("portLabel");
    expected_ = ValueLabel("expectedLabel");
    received_ = ValueLabel("receivedLabel");
    trailing_ = ValueLabel("trailingLabel");
    start_time_ = ValueLabel("startTimeLabel");
    end_time_ = ValueLabel("endTimeLabel");
    progress_ = new QProgressBar;
    progress_->setObjectName("progressBar");
    progress_->setRange(0, 1000);
    progress_->setValue(0);
    form->addRow("PC port:", port_);
    form->addRow("Bytes Expected:", expected_);
    form->addRow("Bytes Received:", received_);
    form->addRow("Trailing Bytes:", trailing_);
    form->addRow("Start Time:", start_time_);
    form->addRow("End Time:", end_time_);
    form->addRow(progress_);
    return box;
}

bool DataAcquisitionView::shutdown() {
    if (stopped_) {
        return true;
    }
    stopped_ = true;
    recorder_.Stop();
    work_.finish();
    progress_timer_.stop();
    bool restored = true;
    RunLinkWork([this, &restored] {
        ScopedTryLock lock(app_.objects.SyncData(), kMutexWaitMs);
        restored = rates_.Restore();
    });
    if (!restored) {
        app_.prompts().Message({kRestoreFailedText, "Warning", IconKind::Warning});
    }
    return true;
}

void DataAcquisitionView::switchRates() {
    if (stopped_) {
        return;
    }
    work_.start(
        [this] {
            ScopedTryLock lock(app_.objects.SyncData(), kMutexWaitMs);
            outcome_ = rates_.SwitchUp();
        },
        [this] { finishSwitch(); });
}

void DataAcquisitionView::finishSwitch() {
    ready_ = outcome_ != AcquisitionRateSwitch::Outcome::Refused;
    message_->setText(ready_ ? QString() : kRefusedText);
    showPort();
    updateWidgets();
}

void DataAcquisitionView::applyIntervalField() {
    const IntervalEntry entry = ParseRawInterval(interval_->text().toStdString());
    if (entry.corrected) {
        interval_->setText(QString::number(entry.seconds));
    }
    expected_->setText(QString::number(ExpectedRawBytes(entry.seconds)));
}

void DataAcquisitionView::browse() {
    const QString chosen = QFileDialog::getSaveFileName(this, "Raw data file", path_->text(), "data (*.dat)");
    if (!chosen.isEmpty()) {
        path_->setText(Qs(RawOutputPath(chosen.toStdString()).value_or(chosen.toStdString())));
    }
}

void DataAcquisitionView::start() {
    if (!ready_ || work_.running()) {
        return;
    }
    applyIntervalField();
    const auto path = RawOutputPath(path_->text().toStdString());
    if (!path || !CreateRawOutputFile(*path)) {
        message_->setText(kRawPathErrorText);
        return;
    }
    output_path_ = *path;
    path_->setText(Qs(*path));
    StoreRawAcquisitionSettings(app_.registry, {*path, interval_->text().toStdString()});
    const int seconds = ParseRawInterval(interval_->text().toStdString()).seconds;
    message_->setText("Recording...");
    start_time_->setText(Qs(FormatAcquisitionTime(std::chrono::system_clock::now())));
    end_time_->setText("-");
    trailing_->setText("-");
    received_->setText("0");
    recording_ = true;
    work_.start(
        [this, seconds] {
            // The recording owns the line: no other window's exchange may cut into the stream.
            ScopedTryLock lock(app_.objects.SyncData(), kMutexWaitMs);
            last_ = recorder_.Record(seconds);
            saved_ = recorder_.Save(output_path_, save_error_);
        },
        [this] { finishRecording(); });
    progress_timer_.start(kProgressPeriodMs);
    updateWidgets();
}

void DataAcquisitionView::stopRecording() {
    recorder_.Stop();
}

void DataAcquisitionView::finishRecording() {
    recording_ = false;
    progress_timer_.stop();
    showProgress();
    received_->setText(QString::number(last_.received));
    trailing_->setText(QString::number(last_.trailing));
    start_time_->setText(Qs(FormatAcquisitionTime(last_.started)));
    end_time_->setText(Qs(FormatAcquisitionTime(last_.ended)));
    QString text =
        saved_ ? QString("Saved %1 bytes to %2.").arg(last_.received).arg(Qs(output_path_)) : Qs(save_error_);
    if (last_.send_failed) {
        text = "The raw dump request could not be sent.";
    } else if (last_.stream_ended) {
        text += " The stream stopped before the expected amount.";
    } else if (last_.stopped) {
        text += " Stopped before the expected amount.";
    }
    message_->setText(text);
    updateWidgets();
}

void DataAcquisitionView::showProgress() {
    const std::uint64_t expected = recorder_.expected();
    const std::uint64_t received = recorder_.received();
    received_->setText(QString::number(received));
    progress_->setValue(expected == 0 ? 0 : static_cast<int>(received * 1000 / expected));
}

void DataAcquisitionView::showPort() {
    if (app_.state.link_kind != LinkKind::Serial) {
        port_->setText("- (not a serial connection)");
        return;
    }
    port_->setText(QString("%1 @ %2 bps").arg(Qs(app_.state.port_name)).arg(app_.state.current_baud));
}

void DataAcquisitionView::updateWidgets() {
    const bool idle = !work_.running();
    start_->setEnabled(ready_ && idle);
    stop_->setEnabled(recording_);
    interval_->setEnabled(!recording_);
    path_->setEnabled(!recording_);
    browse_->setEnabled(!recording_);
}

}  // namespace qvx::gui
