#pragma once
// "Modem connection...": the sensor's telephone number, typed or picked from the Modem Address
// Book, or dialled by hand. The modem search, the dial, each look for the modem's result and the
// sensor check run on a worker thread; the window's timers pace the wait for the result (4.5 s
// after dialling, then every 2 s until the modem answers or the user cancels).

#include <QDialog>
#include <QTimer>
#include <atomic>
#include <string>

#include "background_task.h"
#include "connect/connection_defaults.h"
#include "connect/modem_connect.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace qvx {
class AppContext;
}

namespace qvx::gui {

class ModemConnectionDialog : public QDialog {
    Q_OBJECT
  public:
    explicit ModemConnectionDialog(AppContext& app, QWidget* parent = nullptr);
    ~ModemConnectionDialog() override;
    bool connected() const { return phase_ == Phase::Connected; }
    bool waitingForModem() const { return phase_ == Phase::Dialled || phase_ == Phase::Waiting; }
    // Tests shorten the two timers.
    void setTimerIntervals(int first_ms, int repeat_ms);

  public slots:
    void dialOrContinue();
    void cancelOrDisconnect();
    void openAdvanced();
    void openAddressBook();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    enum class Phase { Idle, Searching, Dialled, Waiting, Proving, Connected, Failed };
    enum class Step { None, Search, Read, Prove, Drop };

    void startDial();
    void runStep(Step step, std::function<void()> work);
    void pollStep();
    void searchDone();
    void firstTimer();
    void secondTimer();
    void resultRead();
    void proveDone();
    void backToIdle(const QString& status);
    void abandonDial();
    void continueWithLink();
    void manualToggled(bool checked);
    void refreshProperties();
    void updateWidgets();
    void setStatus(const std::string& text);

    AppContext& app_;
    ConnectionDefaults defaults_;
    SensorSelector selector_;
    ProgressText progress_;
    BackgroundTask task_;
    Step step_ = Step::None;
    QTimer poll_;
    QTimer first_timer_;
    QTimer second_timer_;
    Phase phase_ = Phase::Idle;
    bool cancel_pending_ = false;
    std::atomic<bool> cancel_search_{false};
    std::atomic<bool> modem_found_{false};
    std::string reply_;  // written by the read step, read after it is collected
    std::uint32_t line_speed_ = 0;
    std::atomic<ConnectFinish> finish_{ConnectFinish::Failed};

    QLineEdit* number_ = nullptr;
    QCheckBox* manual_ = nullptr;
    QLabel* prompt_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* properties_ = nullptr;
    QProgressBar* dial_animation_ = nullptr;
    QProgressBar* connect_animation_ = nullptr;
    QPushButton* dial_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* advanced_ = nullptr;
    QPushButton* address_book_ = nullptr;
};

// Shows the window; true when the user left it with Continue and the line connected.
bool RunModemConnection(AppContext& app, QWidget* parent);

}  // namespace qvx::gui
