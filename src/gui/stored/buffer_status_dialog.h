#pragma once
// "View Interval Data Buffer Status": how full the flash and the SRAM buffer are, each as a text
// and a bar, counted when the window opens and again every 30 seconds while it stays open. The
// count runs on a worker; the window only shows what it found.

#include <QDialog>
#include <QTimer>

#include "connect/background_task.h"
#include "stored/buffer_status.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace qvx {
class AppContext;
}

namespace qvx::gui {

class BufferStatusDialog : public QDialog {
    Q_OBJECT
  public:
    BufferStatusDialog(AppContext& context, QWidget* parent = nullptr);
    ~BufferStatusDialog() override;

    // Over a TCP link asks first whether to go on ("It may take several minutes..."). True when
    // the window may open.
    static bool confirmOpening(AppContext& context);

    bool updating() const { return work_.running(); }
    int updates() const { return updates_; }

  public slots:
    void startUpdate();

  private:
    QWidget* buildBuffer(const QString& title, QLabel*& text, QProgressBar*& bar);
    void pollWork();
    void showStatus();
    void updateWidgets();

    AppContext& context_;
    BackgroundTask work_;
    BufferStatus status_found_;
    QTimer repeat_;
    QTimer poll_;
    int updates_ = 0;
    bool poll_count_pending_ = false;  // a count was started and not yet collected

    QLabel* flash_text_ = nullptr;
    QLabel* sram_text_ = nullptr;
    QProgressBar* flash_bar_ = nullptr;
    QProgressBar* sram_bar_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace qvx::gui
