#pragma once
// "Data Download": the small window that runs one download. It starts the download worker when
// it opens, shows the running count, the records per second and the time left, offers Stop,
// then shows the outcome and closes on OK ("Download terminated by user!" and the like; a
// download stopped and not saved closes it at once). "View data file when this window is closed"
// opens the file in the text editor.

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include "connect/background_task.h"
#include "live/log_files.h"
#include "stored/download.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace qvx {
class AppContext;
}

namespace qvx::gui {

class DataDownloadDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kRefreshMs = 10;

    DataDownloadDialog(AppContext& context, DownloadJob& job, QString path, QWidget* parent = nullptr);
    ~DataDownloadDialog() override;

    void setEditorLauncher(EditorLauncher launcher) { launch_editor_ = std::move(launcher); }
    // Tests shorten the waits between attempts.
    void setSleep(DownloadSleep sleep) { sleep_ = std::move(sleep); }

    bool finished() const { return finished_; }

    int exec() override;
    void reject() override;

  private:
    void buildWidgets();
    void refresh();
    void showOutcome();
    void updateWidgets();
    void closeAndView();

    AppContext& context_;
    DownloadJob& job_;
    QString path_;
    DownloadSleep sleep_;
    EditorLauncher launch_editor_;
    BackgroundTask work_;
    QTimer timer_;
    QElapsedTimer clock_;
    QString started_text_;
    bool finished_ = false;

    QLabel* target_ = nullptr;
    QLabel* count_ = nullptr;
    QLabel* rate_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QLabel* outcome_ = nullptr;
    QCheckBox* view_file_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* ok_ = nullptr;
};

// "1:02:03" for a count of seconds.
QString formatDuration(double seconds);

}  // namespace qvx::gui
