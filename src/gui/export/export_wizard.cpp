#include "export/export_wizard.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QProgressDialog>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "context/app_context.h"
#include "export/card_settings_step.h"
#include "export/csv_export.h"
#include "export/export_file_step.h"
#include "export/lane_mapping_step.h"
#include "export/log_chart_window.h"
#include "platform/editor_launch.h"

namespace qvx::gui {

namespace {

constexpr int kReadPollMs = 20;
constexpr int kProgressSteps = 1000;

QString SaveCsvAs(QWidget* parent, const QString& suggested) {
    return QFileDialog::getSaveFileName(parent, "Export to CSV", suggested, "CSV file (*.csv);;All Files (*)",
                                        nullptr, QFileDialog::DontConfirmOverwrite);
}

// Today as the calendars' default when nothing was stored.
std::string Today() {
    return QDate::currentDate().toString("yyyy-MM-dd").toStdString();
}

}  // namespace

ExportWizard::ExportWizard(AppContext& app, std::optional<ViewCode> previous_view, QWidget* parent)
    : WorkingView(parent), app_(app), previous_view_(previous_view) {
    file_step_ = new ExportFileStep;
    settings_step_ = new CardSettingsStep;
    lane_step_ = new LaneMappingStep;
    file_step_->setObjectName("fileStep");
    settings_step_->setObjectName("settingsStep");
    lane_step_->setObjectName("laneStep");
    stack_ = new QStackedWidget;
    stack_->addWidget(file_step_);
    stack_->addWidget(settings_step_);
    stack_->addWidget(lane_step_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(stack_);

    choice_ = LoadImportChoice(app_.registry);
    file_step_->showChoice(choice_);
    settings_.start_date = settings_.end_date = Today();
    LoadCardSettings(app_.registry, settings_);
    settings_step_->showSettings(settings_);

    csv_chooser_ = [this](const QString& suggested) { return SaveCsvAs(this, suggested); };
    launch_editor_ = [](const std::string& path) { return LaunchTextEditor(path); };
    read_timer_.setInterval(kReadPollMs);
    connect(&read_timer_, &QTimer::timeout, this, &ExportWizard::pollReading);
    connect(file_step_, &ExportFileStep::continueRequested, this, &ExportWizard::onFileContinue);
    connect(file_step_, &ExportFileStep::quitRequested, this, &ExportWizard::onQuit);
    connect(file_step_, &ExportFileStep::chartRequested, this, &ExportWizard::openChart);
    connect(settings_step_, &CardSettingsStep::backRequested, this, [this] { showStep(1); });
    connect(settings_step_, &CardSettingsStep::continueRequested, this, &ExportWizard::onSettingsContinue);
    connect(lane_step_, &LaneMappingStep::backRequested, this, [this] { showStep(2); });
    connect(lane_step_, &LaneMappingStep::finishRequested, this, &ExportWizard::onFinish);
}

ExportWizard::~ExportWizard() {
    shutdown();
}

bool ExportWizard::shutdown() {
    // A running read stops at its next chunk; the task joins it when the wizard goes.
    cancel_read_.store(true);
    read_timer_.stop();
    return true;
}

int ExportWizard::currentStep() const {
    return stack_->currentIndex() + 1;
}

void ExportWizard::showStep(int step) {
    stack_->setCurrentIndex(step - 1);
}

void ExportWizard::tell(const ExportMessage& message, int icon) {
    MessageRequest request;
    request.text = message.text;
    request.caption = message.caption;
    request.icon = static_cast<IconKind>(icon);
    app_.prompts().Message(request);
}

bool ExportWizard::askOverwrite() {
    return app_.prompts().Ask(kOverwriteCaption, kOverwriteText, "Yes", "No");
}

// ---- step 1 ----

void ExportWizard::onFileContinue() {
    const ImportChoice choice = file_step_->choice();
    if (const auto problem = CheckImportFile(choice.file)) {
        tell(*problem, static_cast<int>(IconKind::Error));
        return;
    }
    choice_ = choice;
    SaveImportChoice(app_.registry, choice_);
    if (choice_.format == kExportFormatCsv) {
        exportCsv();
        return;
    }
    showStep(2);
}

void ExportWizard::openChart() {
    const ImportChoice choice = file_step_->choice();
    if (const auto problem = CheckImportFile(choice.file)) {
        tell(*problem, static_cast<int>(IconKind::Error));
        return;
    }
    OpenLogChart(QString::fromStdString(choice.file), app_.prompts(), this);
}

void ExportWizard::onQuit() {
    if (previous_view_)
        emit viewRequested(*previous_view_);
    else
        hide();
}

// ---- reading the log ----

void ExportWizard::startReading(const DayRange& range, std::function<void()> then) {
    cancel_read_.store(false);
    bytes_read_.store(0);
    bytes_total_.store(0);
    after_read_ = std::move(then);
    progress_ = new QProgressDialog("Parsing file...", "Cancel", 0, kProgressSteps, this);
    progress_->setWindowTitle("Please wait...");
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(300);
    connect(progress_, &QProgressDialog::canceled, this, [this] { cancel_read_.store(true); });
    const std::string path = choice_.file;
    reader_.start([this, path, range] {
        LogReadProgress progress{&cancel_read_, &bytes_read_, &bytes_total_};
        read_ = ReadIntervalLog(path, range, progress);
    });
    read_timer_.start();
}

void ExportWizard::pollReading() {
    const std::uint64_t total = bytes_total_.load();
    if (progress_ && total > 0)
        progress_->setValue(static_cast<int>(bytes_read_.load() * (kProgressSteps - 1) / total));
    if (!reader_.collect())
        return;
    read_timer_.stop();
    if (progress_) {
        progress_->deleteLater();
        progress_ = nullptr;
    }
    if (read_.status == LogReadStatus::Cancelled)
        return;
    if (!read_.usable()) {
        tell(LogReadMessage(read_.status, read_.data.lane_count), static_cast<int>(IconKind::Error));
        return;
    }
    if (after_read_)
        after_read_();
}

// ---- 3 Card, steps 2 and 3 ----

void ExportWizard::onSettingsContinue() {
    if (reader_.running())
        return;
    if (const auto problem = settings_step_->collect(settings_)) {
        tell(*problem, static_cast<int>(IconKind::Warning));
        return;
    }
    SaveCardSettings(app_.registry, settings_);
    startReading({settings_.start_date, settings_.end_date}, [this] { onCardLogRead(); });
}

void ExportWizard::onCardLogRead() {
    if (read_.status == LogReadStatus::IncompleteSets) {
        // The data of the lanes that are there is still good; the user decides.
        MessageRequest request;
        const ExportMessage message = LogReadMessage(read_.status, read_.data.lane_count);
        request.text = message.text + "\r\nHours without data are exported as -1.";
        request.caption = message.caption;
        request.icon = IconKind::Warning;
        request.show_cancel = true;
        if (!app_.prompts().Message(request))
            return;
    }
    lane_step_->showLanes(read_.data.lane_names,
                          LoadLaneMappings(app_.registry, settings_.station, read_.data.lane_names.size()));
    showStep(3);
}

void ExportWizard::onFinish() {
    settings_.lanes = lane_step_->mappings();
    settings_.open_when_finished = lane_step_->openWhenFinished();
    if (HasDuplicateLaneMapping(settings_.lanes)) {
        tell({kDuplicateLanesText, kInvalidEntriesCaption}, static_cast<int>(IconKind::Warning));
        return;
    }
    SaveLaneMappings(app_.registry, settings_.station, settings_.lanes);
    lane_step_->setExporting(true);
    const ExportResult result =
        ExportCardFile(read_.data, settings_, CardFilePath(choice_.file, settings_.station),
                       [this](const std::string&) { return askOverwrite(); });
    lane_step_->setExporting(false);
    finishExport(result, settings_.open_when_finished);
}

// ---- CSV ----

void ExportWizard::exportCsv() {
    const QString suggested = QString::fromStdString(CsvFilePathFor(choice_.file));
    const QString target = csv_chooser_(suggested);
    if (target.isEmpty())
        return;
    startReading({}, [this, target] {
        finishExport(ExportCsvFile(read_.data, target.toStdString(),
                                   [this](const std::string&) { return askOverwrite(); }),
                     false);
    });
}

void ExportWizard::finishExport(const ExportResult& result, bool open_when_finished) {
    last_result_ = result;
    if (result.outcome == ExportOutcome::Failed) {
        tell(result.message, static_cast<int>(IconKind::Error));
    } else if (result.outcome == ExportOutcome::Written) {
        for (const std::string& notice : ExportNotices(read_.data, result))
            tell({notice, "Export notice..."}, static_cast<int>(IconKind::Information));
        tell(result.message, static_cast<int>(IconKind::Information));
        if (open_when_finished)
            launch_editor_(result.path);
        showStep(1);
    }
    emit exportFinished();
}

}  // namespace qvx::gui
