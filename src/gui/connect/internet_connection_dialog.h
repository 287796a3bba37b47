#pragma once
// "Internet connection...": the sensor's address (or an alias) and TCP port, typed or picked
// from the IP address book. The socket is connected and the sensor probed on a worker thread;
// the window polls it every 50 ms, and a cancel waits (250 ms steps) until the worker has seen it.

#include <QDialog>
#include <QTimer>
#include <atomic>

#include "background_task.h"
#include "connect/connection_defaults.h"
#include "connect/internet_connect.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace qvx {
class AppContext;
}

namespace qvx::gui {

class InternetConnectionDialog : public QDialog {
    Q_OBJECT
  public:
    // params_file: an input parameters file from the command line (empty: the last address).
    // auto_connect: press Connect on opening and Continue as soon as the link stands.
    InternetConnectionDialog(AppContext& app, const QString& params_file = {}, bool auto_connect = false,
                             QWidget* parent = nullptr);
    ~InternetConnectionDialog() override;

    // Shows a message first when the parameters file could not be used, then the window.
    int run();

    bool workerRunning() const { return task_.running(); }

  public slots:
    void connectOrDisconnect();
    void cancelOrContinue();
    void openAdvanced();
    void openAddressBook();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    enum class Phase { Idle, Connecting, Connected };

    void startConnect();
    void disconnectLink();
    void work();
    void pollWorker();
    void finish();
    void pollCancel();
    void continueWithLink();
    void portEdited(const QString& text);
    void refreshProperties();
    void updateWidgets();

    AppContext& app_;
    ConnectionDefaults defaults_;
    InternetFields opening_;
    bool auto_connect_;
    InternetConnectWorker worker_;
    SensorSelector selector_;
    ProgressText progress_;
    BackgroundTask task_;
    QTimer poll_;
    QTimer cancel_poll_;
    Phase phase_ = Phase::Idle;
    bool cancelling_ = false;
    bool continuing_ = false;
    std::atomic<bool> worker_cancelled_{false};
    std::atomic<ConnectFinish> finish_{ConnectFinish::Failed};

    QLineEdit* address_ = nullptr;
    QLineEdit* port_ = nullptr;
    QLabel* prompt_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* properties_ = nullptr;
    QProgressBar* animation_ = nullptr;
    QPushButton* connect_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* advanced_ = nullptr;
    QPushButton* address_book_ = nullptr;
};

// Shows the window; true when the user left it with Continue and the link open.
bool RunInternetConnection(AppContext& app, QWidget* parent, QString params_file, bool auto_connect);

}  // namespace qvx::gui
