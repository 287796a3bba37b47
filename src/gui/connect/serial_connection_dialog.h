#pragma once
// "Serial connection...": finds the sensor on a serial port at its baud rate. The search (and
// the multi-drop selection and calibration after it) runs on a worker thread; a 50 ms timer
// copies its progress to the status line and acts when it ends.

#include <QDialog>
#include <QTimer>
#include <atomic>

#include "background_task.h"
#include "connect/connection_defaults.h"
#include "connect/serial_connect.h"

class QLabel;
class QPushButton;

namespace qvx {
class AppContext;
}

namespace qvx::gui {

class SerialConnectionDialog : public QDialog {
    Q_OBJECT
  public:
    enum class Phase { Idle, Busy, Failed };

    SerialConnectionDialog(AppContext& app, QWidget* parent = nullptr);
    ~SerialConnectionDialog() override;

    Phase phase() const { return phase_; }
    const SerialConnectWorker& worker() const { return worker_; }

  public slots:
    void startConnect();
    void openAdvanced();
    void cancelConnection();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void work();
    void pollWorker();
    void finish();
    void showFailed();
    void refreshProperties();
    void updateWidgets();

    AppContext& app_;
    ConnectionDefaults defaults_;
    SerialConnectWorker worker_;
    SensorSelector selector_;
    BackgroundTask task_;
    QTimer poll_;
    Phase phase_ = Phase::Idle;
    bool cancelling_ = false;
    std::atomic<ConnectFinish> finish_{ConnectFinish::Failed};
    std::atomic<bool> search_cancelled_{false};

    QLabel* prompt_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* properties_ = nullptr;
    QPushButton* connect_ = nullptr;
    QPushButton* advanced_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// Shows the window; true when CONNECT ended with a connected, calibrated link.
bool RunSerialConnection(AppContext& app, QWidget* parent);

}  // namespace qvx::gui
