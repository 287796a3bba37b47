#include "stored/download_view.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/link_work.h"
#include "context/app_context.h"
#include "live/log_file_dialogs.h"
#include "protocol/sensor_operations.h"
#include "protocol/transaction_result.h"
#include "stored/buffer_status_dialog.h"
#include "stored/data_download_dialog.h"
#include "stored/download.h"
#include "stored/download_session.h"

namespace qvx::gui {

namespace {

constexpr int kOpeningPollMs = 20;

QString latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

DownloadView::DownloadView(AppContext& context, SensorOperations& operations, QWidget* parent)
    : WorkingView(parent), context_(context), operations_(operations), chooser_(logFileChooser(this)) {
    setObjectName("DownloadView");
    buildWidgets();
    link_open_ = context_.state.link_kind != LinkKind::None;
    setMode(link_open_ && context_.state.synchronize_clock ? DownloadMode::Incremental
                                                           : DownloadMode::Normal);
    showFileName();
    opening_poll_.setInterval(kOpeningPollMs);
    connect(&opening_poll_, &QTimer::timeout, this, &DownloadView::pollOpening);
    if (link_open_) {
        startOpening();
    }
    updateWidgets();
}

DownloadView::~DownloadView() {
    shutdown();
}

bool DownloadView::shutdown() {
    opening_poll_.stop();
    while (opening_.running() && !opening_.collect()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, kOpeningPollMs);
    }
    return true;
}

void DownloadView::buildWidgets() {
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel("Download Interval Data", this);
    QFont font = title->font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    font.setBold(true);
    title->setFont(font);
    layout->addWidget(title);

    auto* kind = new QGroupBox("Download", this);
    auto* kind_layout = new QVBoxLayout(kind);
    incremental_ = new QRadioButton("Incremental download of data since ...", kind);
    normal_ = new QRadioButton("Normal download of all data stored on the sensor", kind);
    recovery_ = new QRadioButton("Error recovery download of Flash Memory buffer", kind);
    incremental_->setObjectName("incrementalChoice");
    normal_->setObjectName("normalChoice");
    recovery_->setObjectName("recoveryChoice");
    choices_ = new QButtonGroup(this);
    choices_->addButton(incremental_, static_cast<int>(DownloadMode::Incremental));
    choices_->addButton(normal_, static_cast<int>(DownloadMode::Normal));
    choices_->addButton(recovery_, static_cast<int>(DownloadMode::ErrorRecovery));
    for (QRadioButton* choice : {incremental_, normal_, recovery_}) {
        kind_layout->addWidget(choice);
    }
    layout->addWidget(kind);

    auto* file = new QGroupBox("Download file", this);
    auto* file_layout = new QHBoxLayout(file);
    file_field_ = new QLineEdit(file);
    file_field_->setObjectName("fileField");
    file_field_->setReadOnly(true);
    file_field_->setPlaceholderText("Choose a file with Browse...");
    file_field_->setMinimumWidth(420);
    browse_ = new QPushButton("&Browse...", file);
    browse_->setObjectName("browseButton");
    file_layout->addWidget(file_field_, 1);
    file_layout->addWidget(browse_);
    layout->addWidget(file);

    auto* buttons = new QHBoxLayout;
    download_ = new QPushButton("&Download", this);
    download_->setObjectName("downloadButton");
    download_->setDefault(true);
    status_button_ = new QPushButton("View Data Buffer &Status", this);
    status_button_->setObjectName("statusButton");
    erase_ = new QPushButton("&Erase Data Buffers", this);
    erase_->setObjectName("eraseButton");
    buttons->addWidget(download_);
    buttons->addStretch(1);
    buttons->addWidget(status_button_);
    buttons->addWidget(erase_);
    layout->addLayout(buttons);
    note_ = new QLabel(this);
    note_->setObjectName("noteLabel");
    note_->setWordWrap(true);
    layout->addWidget(note_);
    layout->addStretch(1);
    setMinimumWidth(620);

    connect(browse_, &QPushButton::clicked, this, &DownloadView::browse);
    connect(download_, &QPushButton::clicked, this, &DownloadView::download);
    connect(status_button_, &QPushButton::clicked, this, &DownloadView::showBufferStatus);
    connect(erase_, &QPushButton::clicked, this, &DownloadView::eraseBuffers);
}

DownloadMode DownloadView::mode() const {
    return static_cast<DownloadMode>(choices_->checkedId());
}

void DownloadView::setMode(DownloadMode mode) {
    if (QAbstractButton* choice = choices_->button(static_cast<int>(mode))) {
        choice->setChecked(true);
    }
}

void DownloadView::startOpening() {
    note_->setText("Reading the sensor's configuration...");
    opening_.start([this] {
        if (context_.records.ReadConfigInfo().ok()) {
            context_.records.ReadExtendedConfigInfo();
        }
    });
    opening_poll_.start();
}

void DownloadView::pollOpening() {
    if (!opening_.collect()) {
        return;
    }
    opening_poll_.stop();
    const std::string serial = context_.configuration.GetConfigField(config_field::kSerialNumber);
    if (serial.empty()) {
        note_->setText("The sensor's configuration could not be read.");
    } else {
        mark_ = ReadIncrementalMark(context_, serial);
        note_->clear();
    }
    incremental_->setText(latin1(IncrementalChoiceLabel(mark_, context_.state.sensor_clock_is_utc)));
    updateWidgets();
}

void DownloadView::showFileName() {
    std::string path = context_.live.log_paths.Get(LogKind::Download);
    if (path.empty()) {
        path = context_.registry.GetString(kKeyLogs, LogInfo(LogKind::Download).registry_value).value_or("");
        if (IsLogFileValue(path)) {
            context_.live.log_paths.Set(LogKind::Download, path);
        } else {
            path.clear();
        }
    }
    file_field_->setText(QString::fromStdString(path));
    file_field_->setToolTip(QString::fromStdString(path));
}

void DownloadView::browse() {
    ChooseLogFile(context_, LogKind::Download, chooser_);
    showFileName();
    updateWidgets();
}

void DownloadView::updateWidgets() {
    const bool idle = !busy_ && !opening_.running();
    incremental_->setEnabled(link_open_);
    download_->setEnabled(link_open_ && idle);
    status_button_->setEnabled(link_open_ && idle);
    erase_->setEnabled(link_open_ && idle);
    browse_->setEnabled(idle);
}

DownloadSummary DownloadView::runDownload(DownloadMode mode) {
    const std::string path = file_field_->text().toStdString();
    if (path.empty()) {
        note_->setText(kNoDownloadFileText);
        return {};
    }
    busy_ = true;
    updateWidgets();
    DownloadJob job;
    job.mode = mode;
    DownloadPreparation preparation;
    RunLinkWork([&] { preparation = PrepareDownload(context_, operations_, mode); });
    if (preparation.ok) {
        DataDownloadDialog dialog(context_, job, QString::fromStdString(path), this);
        if (progress_hook_) {
            progress_hook_(dialog);
        }
        dialog.exec();
        const std::string serial = context_.configuration.GetConfigField(config_field::kSerialNumber);
        RunLinkWork([&] {
            FinishDownload(context_, operations_, mode, preparation);
            mark_ = ReadIncrementalMark(context_, serial);
        });
        incremental_->setText(latin1(IncrementalChoiceLabel(mark_, context_.state.sensor_clock_is_utc)));
        note_->clear();
    } else {
        note_->setText(
            "The sensor could not be switched to its error recovery buffer; nothing was downloaded.");
    }
    busy_ = false;
    updateWidgets();
    last_download_ = SummaryOf(job);
    return last_download_;
}

void DownloadView::download() {
    runDownload(mode());
}

void DownloadView::showBufferStatus() {
    if (!BufferStatusDialog::confirmOpening(context_)) {
        return;
    }
    BufferStatusDialog dialog(context_, this);
    dialog.exec();
}

EraseChoice DownloadView::askErase(const QString& text) {
    if (erase_chooser_) {
        return erase_chooser_(text);
    }
    QMessageBox box(QMessageBox::Warning, "Warning...", text, QMessageBox::NoButton, this);
    QPushButton* erase = box.addButton("Erase", QMessageBox::DestructiveRole);
    QPushButton* keep = box.addButton("Download and Erase", QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton("Cancel", QMessageBox::RejectRole);
    erase->setObjectName("eraseChoice");
    keep->setObjectName("downloadAndEraseChoice");
    cancel->setObjectName("cancelChoice");
    box.setDefaultButton(cancel);
    box.exec();
    if (box.clickedButton() == erase) {
        return EraseChoice::Erase;
    }
    return box.clickedButton() == keep ? EraseChoice::DownloadAndErase : EraseChoice::Cancel;
}

void DownloadView::eraseBuffers() {
    busy_ = true;
    updateWidgets();
    EraseInspection inspection;
    RunLinkWork([&] { inspection = InspectBeforeErase(context_); });
    last_erase_ = inspection.outcome;
    if (inspection.outcome == EraseOutcome::Erased) {
        const EraseChoice choice = askErase(latin1(inspection.question));
        last_erase_ = EraseOutcome::Cancelled;
        bool go_on = choice != EraseChoice::Cancel;
        if (choice == EraseChoice::DownloadAndErase) {
            busy_ = false;
            go_on = DownloadAllowsErase(context_, runDownload(DownloadMode::Incremental));
            busy_ = true;
            last_erase_ = go_on ? last_erase_ : EraseOutcome::DownloadFailed;
        }
        if (go_on) {
            RunLinkWork([&] { last_erase_ = EraseNow(context_, operations_); });
        }
    }
    busy_ = false;
    updateWidgets();
}

}  // namespace qvx::gui
