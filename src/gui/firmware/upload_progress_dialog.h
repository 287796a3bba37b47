#pragma once
// "Uploading firmware..." (the file upload) and "Uploading Firmware..." (the compatibility
// upload): the modal progress window of an UploadJob. The job runs on a worker thread; a timer
// shows its status line, the percentage, the rate and the time left. Cancel warns first for an
// FPGA image; after the end the button closes the window.

#include <QDialog>
#include <QTimer>
#include <optional>

#include "connect/background_task.h"
#include "firmware/upload_job.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace qvx::gui {

class UploadProgressDialog : public QDialog {
    Q_OBJECT
  public:
    // prompts answers the FPGA warning on this thread; the job asks its own questions through
    // the transaction's prompts.
    UploadProgressDialog(UploadJob& job, UserPrompts& prompts, QWidget* parent = nullptr);
    ~UploadProgressDialog() override;

    // Shows the window modally until the job has ended and the user (or, after a successful
    // compatibility upload, the window itself) closed it.
    static UploadOutcome Run(UploadJob& job, UserPrompts& prompts, QWidget* parent = nullptr);

    std::optional<UploadOutcome> outcome() const { return outcome_; }
    QString statusText() const;
    QString rateText() const;
    QString timeLeftText() const;
    int percent() const;

  public slots:
    void reject() override;

  private:
    void start();
    void poll();
    void showFigures(const UploadSnapshot& snapshot);
    void cancelOrClose();
    void updateWidgets(const UploadSnapshot& snapshot);

    UploadJob& job_;
    UserPrompts& prompts_;
    BackgroundTask task_;
    QTimer poll_timer_;
    qint64 last_figures_ms_ = -1;
    std::size_t digits_at_last_figures_ = 0;
    std::optional<UploadOutcome> outcome_;
    QLabel* status_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QLabel* image_ = nullptr;
    QLabel* rate_ = nullptr;
    QLabel* time_left_ = nullptr;
    QPushButton* button_ = nullptr;
};

}  // namespace qvx::gui
