#pragma once
// "Download Interval Data": the choice of download (incremental since the last one, everything,
// or the flash buffer in error recovery), the download file with "Browse...", and the ways to
// the buffer status and the erase. "Download" runs the "Data Download" window between the
// preparation and the restore the download needs.

#include <QTimer>

#include "app/working_view.h"
#include "connect/background_task.h"
#include "live/log_files.h"
#include "stored/download_job.h"
#include "stored/erase.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qvx {
class AppContext;
class SensorOperations;
}  // namespace qvx

namespace qvx::gui {

class DataDownloadDialog;

class DownloadView : public WorkingView {
    Q_OBJECT
  public:
    DownloadView(AppContext& context, SensorOperations& operations, QWidget* parent = nullptr);
    ~DownloadView() override;
    ViewCode viewCode() const override { return ViewCode::Download; }
    bool shutdown() override;

    // Tests replace the file dialog, the three-button erase question and see each progress window.
    void setLogFileChooser(LogFileChooser chooser) { chooser_ = std::move(chooser); }
    void setEraseChooser(std::function<EraseChoice(const QString&)> chooser) {
        erase_chooser_ = std::move(chooser);
    }
    void setProgressHook(std::function<void(DataDownloadDialog&)> hook) { progress_hook_ = std::move(hook); }

    DownloadMode mode() const;
    void setMode(DownloadMode mode);
    bool opening() const { return opening_.running(); }
    // The outcome of the last download (8 before any).
    const DownloadSummary& lastDownload() const { return last_download_; }
    EraseOutcome lastErase() const { return last_erase_; }

  public slots:
    void browse();
    void download();
    void showBufferStatus();
    void eraseBuffers();

  private:
    void buildWidgets();
    void startOpening();
    void pollOpening();
    void showFileName();
    void updateWidgets();
    DownloadSummary runDownload(DownloadMode mode);
    EraseChoice askErase(const QString& text);

    AppContext& context_;
    SensorOperations& operations_;
    LogFileChooser chooser_;
    std::function<EraseChoice(const QString&)> erase_chooser_;
    std::function<void(DataDownloadDialog&)> progress_hook_;
    BackgroundTask opening_;
    QTimer opening_poll_;
    std::uint32_t mark_ = 0;
    bool link_open_ = false;
    bool busy_ = false;
    DownloadSummary last_download_;
    EraseOutcome last_erase_ = EraseOutcome::Cancelled;

    QButtonGroup* choices_ = nullptr;
    QRadioButton* incremental_ = nullptr;
    QRadioButton* normal_ = nullptr;
    QRadioButton* recovery_ = nullptr;
    QLineEdit* file_field_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* download_ = nullptr;
    QPushButton* status_button_ = nullptr;
    QPushButton* erase_ = nullptr;
    QLabel* note_ = nullptr;
};

}  // namespace qvx::gui
