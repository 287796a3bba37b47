#pragma once
// The export wizard (Data Logs, Export): step 1 chooses the log and the format; for "3 Card",
// step 2 takes the days, station and codes and reads the log, step 3 maps its lane names and
// writes the file; for "CSV" the file is chosen and written at once. The log is read on a worker
// thread behind "Please wait..." with Cancel; nothing the user chose is lost on the way back.

#include <QTimer>
#include <atomic>
#include <functional>
#include <optional>

#include "app/working_view.h"
#include "connect/background_task.h"
#include "export/export_job.h"
#include "export/export_settings.h"

class QProgressDialog;
class QStackedWidget;

namespace qvx {
class AppContext;
}

namespace qvx::gui {

class ExportFileStep;
class CardSettingsStep;
class LaneMappingStep;

class ExportWizard : public WorkingView {
    Q_OBJECT
  public:
    // previous_view: the view to go back to on "Quit".
    ExportWizard(AppContext& app, std::optional<ViewCode> previous_view, QWidget* parent = nullptr);
    ~ExportWizard() override;
    ViewCode viewCode() const override { return ViewCode::Export; }
    bool shutdown() override;

    int currentStep() const;  // 1 to 3
    bool reading() const { return reader_.running(); }
    // The last export's result (tests, and the success message's path).
    const ExportResult& lastResult() const { return last_result_; }

    // Seams for tests: the CSV save dialog and the text editor.
    void setCsvChooser(std::function<QString(const QString&)> chooser) { csv_chooser_ = std::move(chooser); }
    void setEditorLauncher(std::function<bool(const std::string&)> launch) {
        launch_editor_ = std::move(launch);
    }

  signals:
    // After each export attempt (written, declined or failed).
    void exportFinished();

  private:
    void showStep(int step);
    void onFileContinue();
    void onSettingsContinue();
    void onFinish();
    void onQuit();
    void openChart();
    void exportCsv();
    void startReading(const DayRange& range, std::function<void()> then);
    void pollReading();
    void onCardLogRead();
    void finishExport(const ExportResult& result, bool open_when_finished);
    void tell(const ExportMessage& message, int icon);
    bool askOverwrite();

    AppContext& app_;
    std::optional<ViewCode> previous_view_;
    QStackedWidget* stack_ = nullptr;
    ExportFileStep* file_step_ = nullptr;
    CardSettingsStep* settings_step_ = nullptr;
    LaneMappingStep* lane_step_ = nullptr;

    ImportChoice choice_;
    CardSettings settings_;
    LogReadResult read_;
    ExportResult last_result_;

    QTimer read_timer_;
    std::atomic<bool> cancel_read_{false};
    std::atomic<std::uint64_t> bytes_read_{0};
    std::atomic<std::uint64_t> bytes_total_{0};
    QProgressDialog* progress_ = nullptr;
    std::function<void()> after_read_;

    std::function<QString(const QString&)> csv_chooser_;
    std::function<bool(const std::string&)> launch_editor_;
    // Last, so that it is destroyed (and its thread joined) before everything the read uses.
    BackgroundTask reader_;
};

}  // namespace qvx::gui
