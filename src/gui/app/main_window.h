#pragma once
// The program's one top-level window: it owns the connection's lifecycle (new connection, the
// connect sequence, closing), installs the menu set that fits the sensor and the access level,
// hosts one working view at a time and keeps the sensor clock synchronised.

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <array>
#include <functional>
#include <optional>

#include "app/link_status.h"
#include "app/menus.h"
#include "app/view_factory.h"
#include "app/working_view.h"

class QAction;
class QGridLayout;

namespace qvx {
class AppContext;
struct CloseOutcome;
class SensorOperations;
class UploadJob;
enum class UploadOutcome;
}  // namespace qvx

namespace qvx::gui {

class LinkStatusBar;
class ProgressWindow;

struct MainWindowOptions {
    // An input parameters file from the command line, handed to the first Internet connection.
    QString pending_address;
    // "--connect": the first Internet connection opens, connects and continues by itself.
    bool auto_connect = false;
    int splash_ms = 1500;  // 0: no splash picture
    // The program proper remembers its geometry and last view under the configuration home and
    // opens that view after connecting when the sensor offers it; tests start afresh.
    bool remember_window = false;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    MainWindow(AppContext& app, SensorOperations& operations, MainWindowOptions options = {},
               QWidget* parent = nullptr);
    ~MainWindow() override;

    AppContext& app() { return app_; }
    SensorOperations& operations() { return operations_; }

    MenuSet menuSet() const { return plan_.set; }
    const MenuPlan& menuPlan() const { return plan_; }
    // The installed action of an item; null when the set has no such item.
    QAction* menuAction(MenuItem item) const;
    WorkingView* currentView() const { return current_view_; }
    std::optional<ViewCode> lastViewCode() const { return last_view_code_; }
    bool engineeringMenus() const { return engineering_menus_; }
    bool offlineItemsEnabled() const { return offline_items_enabled_; }
    bool connected() const;
    QString pendingAddress() const { return pending_address_; }

    // Main-window operations the views use.
    bool closeCurrentView();
    bool openView(ViewCode code);
    void reopenLastView();
    void rebuildMenus(bool open_view);
    void syncSensorClock(bool force);
    // Re-arms the periodic synchronisation with sync_interval (the clock view's period field).
    void rearmClockTimer();

    // New Connection: closes the open connection, runs the dialog, then the connect sequence.
    void newConnection(LinkKind kind);

  public slots:
    void closeConnectionCommand();
    void closeConnection();
    void switchOperatingMode(bool side_fire);
    void showSensorInfo();
    void showAbout();
    void showHelp();
    void toggleOfflineItems();
    void leaveEngineering();
    // The About window's password check; true when it unlocked the engineering menus.
    bool unlockEngineering(const QString& password);

  signals:
    // After every menu installation (the tests wait for it).
    void menusRebuilt();
    void connectSequenceFinished();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void registerHotKeys();
    UploadOutcome runUploadWindow(UploadJob& job);
    void onStartupTimer();
    void onClockTimer();
    void runConnectSequence();
    void installMenus(const MenuPlan& plan);
    void onMenuItem(MenuItem item);
    void openTraffic();
    void showSplash();
    void exitAtOnce();
    void placeView(WorkingView* view);
    void setItemEnabledForView(ViewCode code, bool enabled);
    bool itemAvailable(MenuItem item) const;
    LinkStatusInputs statusInputs() const;
    void takeSensorIdentity();
    void updateTitle();
    void restoreWindowState();
    void setShellBusy(bool busy);
    void showClosingWarnings(const CloseOutcome& outcome);
    void saveWindowState();
    std::optional<ViewCode> rememberedView() const;
    bool itemEnabled(MenuItem item) const;
    void openAddressBook(bool internet, bool new_book = false);
    void openSettingsWindow();
    template <typename Function>
    void onUiThread(Function&& function);

    AppContext& app_;
    SensorOperations& operations_;
    ViewContext view_context_;
    ProgressWindow* progress_ = nullptr;
    LinkStatusBar* status_bar_ = nullptr;
    // From the end of a connect sequence to the closing of the connection; the link dropping
    // meanwhile is what the status bar warns about.
    bool session_open_ = false;
    bool shell_busy_ = false;
    std::string link_text_;
    std::string sensor_id_;
    std::string sensor_description_;

    QTimer startup_timer_;  // timer 1: start-up and the connect sequence
    QTimer clock_timer_;    // timer 100: periodic clock synchronisation
    MenuPlan plan_;
    std::array<QAction*, kMenuItemCount> actions_{};
    QPointer<WorkingView> current_view_;
    QGridLayout* view_holder_ = nullptr;
    std::optional<ViewCode> last_view_code_;

    bool engineering_menus_ = false;
    bool offline_items_enabled_ = false;
    bool splash_pending_ = true;
    bool started_ = false;
    bool auto_connect_pending_ = false;
    QString pending_address_;
    bool auto_connect_option_ = false;
    int splash_ms_;
    bool remember_window_;
};

}  // namespace qvx::gui
