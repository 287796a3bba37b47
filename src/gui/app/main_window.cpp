#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>
#include <QThread>
#include <map>

#include "app/about_dialog.h"
#include "app/close_connection.h"
#include "app/connect_sequence.h"
#include "app/help_window.h"
#include "app/link_work.h"
#include "app/progress_window.h"
#include "app/sensor_info_dialog.h"
#include "app/splash_window.h"
#include "app/startup.h"
#include "app/version.h"
#include "config/settings_window.h"
#include "connect/address_book_dialog.h"
#include "connect/connection_properties_dialog.h"
#include "connect/dialog_prompts.h"
#include "connect/internet_connection_dialog.h"
#include "connect/modem_connection_dialog.h"
#include "connect/operating_mode.h"
#include "connect/serial_connection_dialog.h"
#include "context/app_context.h"
#include "export/log_chart_window.h"
#include "firmware/compatibility_dialog.h"
#include "firmware/firmware_bundle.h"
#include "firmware/upload_progress_dialog.h"
#include "live/log_file_dialogs.h"
#include "protocol/sensor_operations.h"

namespace qvx::gui {

namespace {
constexpr int kStartupDelayMs = 200;
constexpr int kConnectDelayMs = 100;
constexpr int kNoLinkDelayMs = 10;
constexpr int kMinimumSyncIntervalMs = 60000;

BundleVersion BuiltInBundleVersion() {
    const auto& bundle = BuiltInBundle();
    return bundle ? bundle->version : BundleVersion{};
}

// Menu labels take '&' as a mnemonic marker; the table's texts are literal.
QString MenuLabel(const QString& text) {
    return QString(text).replace("&", "&&");
}

bool IsCheckable(MenuItem item) {
    using enum MenuItem;
    return item == NewSerial || item == NewModem || item == NewInternet || item == SideFire ||
           item == ForwardFire;
}
}  // namespace

MainWindow::MainWindow(AppContext& app, SensorOperations& operations, MainWindowOptions options,
                       QWidget* parent)
    : QMainWindow(parent),
      app_(app),
      operations_(operations),
      view_context_{app, operations, *this},
      pending_address_(options.pending_address),
      auto_connect_option_(options.auto_connect),
      splash_ms_(options.splash_ms) {
    setWindowTitle(kProgramTitle);
    setObjectName("mainWindow");
    resize(960, 640);
    progress_ = new ProgressWindow(this);

    auto* holder = new QWidget;
    view_holder_ = new QGridLayout(holder);
    view_holder_->setContentsMargins(12, 12, 12, 12);
    // The view sits in the middle cell; the stretching cells around it centre it.
    view_holder_->setRowStretch(0, 1);
    view_holder_->setRowStretch(2, 1);
    view_holder_->setColumnStretch(0, 1);
    view_holder_->setColumnStretch(2, 1);
    setCentralWidget(holder);

    startup_timer_.setSingleShot(true);
    connect(&startup_timer_, &QTimer::timeout, this, &MainWindow::onStartupTimer);
    clock_timer_.setSingleShot(true);
    connect(&clock_timer_, &QTimer::timeout, this, &MainWindow::onClockTimer);

    operations_.SetSyncHooks({[this] {
                                  onUiThread([this] {
                                      clock_timer_.stop();
                                      progress_->ShowProgress(
                                          "Synchronize...",
                                          "Synchronizing sensor's timer to PC clock's UTC time...");
                                  });
                              },
                              [this] {
                                  onUiThread([this] {
                                      progress_->CloseProgress();
                                      rearmClockTimer();
                                  });
                              }});
    installMenus(PlanMenus({}));
}

MainWindow::~MainWindow() {
    operations_.SetSyncHooks({});
    if (current_view_)
        current_view_->shutdown();
}

template <typename Function>
void MainWindow::onUiThread(Function&& function) {
    if (QThread::currentThread() == thread())
        function();
    else
        QMetaObject::invokeMethod(this, std::forward<Function>(function), Qt::QueuedConnection);
}

bool MainWindow::connected() const {
    return app_.state.link_kind != LinkKind::None;
}

QAction* MainWindow::menuAction(MenuItem item) const {
    return actions_[static_cast<std::size_t>(item)];
}

// ---- start-up ----

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (started_)
        return;
    started_ = true;
    registerHotKeys();
    app_.state.side_fire_mode = 1;
    engineering_menus_ = false;
    offline_items_enabled_ = false;
    splash_pending_ = true;
    auto_connect_pending_ = auto_connect_option_ && !pending_address_.isEmpty();
    startup_timer_.start(kStartupDelayMs);
}

void MainWindow::registerHotKeys() {
    const std::pair<const char*, void (MainWindow::*)()> keys[] = {
        {"Ctrl+Q", &MainWindow::leaveEngineering},
        {"Ctrl+S", &MainWindow::showSensorInfo},
        {"Ctrl+D", &MainWindow::toggleOfflineItems},
    };
    for (const auto& [sequence, slot] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(sequence), this);
        connect(shortcut, &QShortcut::activated, this, slot);
    }
    auto* terminal = new QShortcut(QKeySequence("Ctrl+H"), this);
    connect(terminal, &QShortcut::activated, this, [this] { openViewUnlessOpen(ViewCode::Terminal); });
    auto* upload = new QShortcut(QKeySequence("Ctrl+U"), this);
    connect(upload, &QShortcut::activated, this, [this] { openViewUnlessOpen(ViewCode::FirmwareUpload); });
}

void MainWindow::showSplash() {
    if (splash_ms_ <= 0)
        return;
    SplashWindow splash(splash_ms_, this);
    splash.exec();
}

void MainWindow::onStartupTimer() {
    startup_timer_.stop();
    if (splash_pending_) {
        splash_pending_ = false;
        showSplash();
    }
    if (!connected()) {
        openView(ViewCode::ConnectionChooser);
        rebuildMenus(false);
        if (auto_connect_pending_) {
            auto_connect_pending_ = false;
            QTimer::singleShot(0, this, [this] { newConnection(LinkKind::Internet); });
        }
        return;
    }
    runConnectSequence();
}

void MainWindow::runConnectSequence() {
    ConnectSequenceHooks hooks;
    hooks.choose_compatibility = [this](const CompatibilityState& state) {
        int choice = compatibility_outcome::kContinue;
        QMetaObject::invokeMethod(
            this, [&] { choice = CompatibilityDialog::Choose(state, this); }, Qt::BlockingQueuedConnection);
        return choice;
    };
    hooks.sync_clock = [this](bool force) { operations_.SyncSensorClock(force); };
    hooks.sleep_ms = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
    hooks.run_upload = [this](UploadJob& job) { return runUploadWindow(job); };

    ConnectNext next = ConnectNext::ShowMenus;
    const BundleVersion bundle = BuiltInBundleVersion();
    RunLinkWork([&] { next = RunConnectSequence(app_, operations_, *progress_, bundle, hooks); });

    switch (next) {
        case ConnectNext::ShowMenus:
            closeCurrentView();
            rebuildMenus(true);
            rearmClockTimer();
            break;
        case ConnectNext::Disconnected:
            startup_timer_.start(kNoLinkDelayMs);
            break;
        case ConnectNext::Reconnect:
            startup_timer_.start(kConnectDelayMs);
            break;
        case ConnectNext::ExitProgram:
            exitAtOnce();
            return;
    }
    emit connectSequenceFinished();
}

// The user chose to leave in the compatibility window (or the communication-error dialog). The
// connect sequence has stopped push mode and unprotected the sensor by now, so the closing
// sequence runs as for any exit: a sensor is never left open and silent.
void MainWindow::exitAtOnce() {
    close();
}

// ---- menus ----

void MainWindow::rebuildMenus(bool open_view) {
    MenuInputs inputs;
    inputs.connected = connected();
    inputs.link_kind = app_.state.link_kind;
    inputs.engineering = engineering_menus_;
    inputs.offline_items_enabled = offline_items_enabled_;
    inputs.open_view = open_view;
    inputs.side_fire = app_.state.side_fire_mode != 0;
    if (inputs.connected) {
        RunLinkWork([&] {
            inputs.side_fire = DetectOperatingMode(app_.protocol, *progress_);
            inputs.config_mode = ReadConfigMode(app_.protocol, *progress_);
        });
    }
    installMenus(PlanMenus(inputs));
    if (plan_.open_default_view && plan_.default_view)
        openView(*plan_.default_view);
    emit menusRebuilt();
}

void MainWindow::installMenus(const MenuPlan& plan) {
    plan_ = plan;
    actions_.fill(nullptr);
    menuBar()->clear();
    std::map<QString, QMenu*> menus;
    for (const MenuEntry& entry : MenuTable()) {
        if (!MenuSetHas(plan.set, entry))
            continue;
        const QStringList parts = QString(entry.path).split('/');
        QMenu* menu = nullptr;
        QString prefix;
        for (int depth = 0; depth + 1 < parts.size(); ++depth) {
            prefix += parts[depth] + "/";
            auto found = menus.find(prefix);
            if (found == menus.end()) {
                QMenu* created = menu ? menu->addMenu(MenuLabel(parts[depth]))
                                      : menuBar()->addMenu(MenuLabel(parts[depth]));
                found = menus.emplace(prefix, created).first;
            }
            menu = found->second;
        }
        if (!entry.item) {
            menu->addSeparator();
            continue;
        }
        const MenuItem item = *entry.item;
        QAction* action = menu->addAction(MenuLabel(parts.last()));
        action->setObjectName(QString("menu_%1").arg(static_cast<int>(item)));
        action->setCheckable(IsCheckable(item));
        action->setChecked(plan.state(item).checked);
        action->setEnabled(plan.state(item).enabled);
        connect(action, &QAction::triggered, this, [this, item] { onMenuItem(item); });
        actions_[static_cast<std::size_t>(item)] = action;
    }
    if (current_view_)
        setItemEnabledForView(current_view_->viewCode(), false);
}

void MainWindow::onMenuItem(MenuItem item) {
    using enum MenuItem;
    switch (item) {
        case NewSerial:
            return newConnection(LinkKind::Serial);
        case NewModem:
            return newConnection(LinkKind::Modem);
        case NewInternet:
            return newConnection(LinkKind::Internet);
        case Properties:
            return RunConnectionProperties(app_, this);
        case SensorInfo:
            return showSensorInfo();
        case CloseConnection:
            return closeConnectionCommand();
        case AddressBookNew:
            return openAddressBook(true, true);
        case AddressBookOpenInternet:
            return openAddressBook(true);
        case AddressBookOpenModem:
            return openAddressBook(false);
        case DownloadLogNew:
        case DownloadLogOpen:
            chooseLogFile(app_, LogKind::Download, this);
            return;
        case IntervalLogNew:
        case IntervalLogOpen:
            chooseLogFile(app_, LogKind::Interval, this);
            return;
        case EventLogNew:
        case EventLogOpen:
            chooseLogFile(app_, LogKind::Event, this);
            return;
        case ChartLog:
            return ShowLogChart(app_, this);
        case Exit:
            close();
            return;
        case Traffic:
            return openTraffic();
        case SideFire:
        case ForwardFire:
            // The check mark follows the sensor, not the click.
            menuAction(item)->setChecked(plan_.state(item).checked);
            return switchOperatingMode(item == SideFire);
        case HelpContents:
            return showHelp();
        case About:
            return showAbout();
        case SensorSettings:
            return openSettingsWindow();
        default:
            break;
    }
    if (const auto view = ViewOfItem(item))
        openView(*view);
}

void MainWindow::openAddressBook(bool internet, bool new_book) {
    AddressBookDialog dialog(internet ? AddressBookKind::Internet : AddressBookKind::Modem,
                             AddressBookDialog::Mode::Browse, app_.registry, WidgetDialogPrompts::instance(),
                             this);
    if (new_book)
        dialog.runNew();
    else
        dialog.run();
}

// The settings window is modal: it takes the place of the current view while it is open, and
// the view comes back when it closes (or could not load).
void MainWindow::openSettingsWindow() {
    if (!closeCurrentView())
        return;
    bool exit = false;
    {
        SettingsWindow window(app_, operations_, this);
        if (window.load()) {
            window.exec();
            exit = window.exitRequested();
        }
    }
    if (exit) {
        close();
        return;
    }
    reopenLastView();
}

// ---- views ----

bool MainWindow::closeCurrentView() {
    if (!current_view_)
        return true;
    if (!current_view_->shutdown())
        return false;
    // The data thread has ended; a later view starts with both events clear.
    if (connected()) {
        app_.objects.Event(sync_name::kKillDataThread).Reset();
        app_.objects.Event(sync_name::kDataThreadKilled).Reset();
    }
    const ViewCode code = current_view_->viewCode();
    last_view_code_ = code;
    setItemEnabledForView(code, true);
    WorkingView* view = current_view_;
    current_view_ = nullptr;
    view->hide();
    view->deleteLater();
    return true;
}

bool MainWindow::openView(ViewCode code) {
    if (!closeCurrentView())
        return false;
    WorkingView* view = ViewFactory::instance().create(code, view_context_, nullptr);
    placeView(view);
    setItemEnabledForView(code, false);
    connect(view, &WorkingView::viewRequested, this,
            [this](ViewCode next) { QTimer::singleShot(0, this, [this, next] { openView(next); }); });
    return true;
}

void MainWindow::placeView(WorkingView* view) {
    current_view_ = view;
    view_holder_->addWidget(view, 1, 1);
    view->show();
}

void MainWindow::setItemEnabledForView(ViewCode code, bool enabled) {
    const auto item = ItemOfView(code);
    if (!item || !menuAction(*item))
        return;
    menuAction(*item)->setEnabled(enabled && plan_.state(*item).enabled);
}

void MainWindow::reopenLastView() {
    if (last_view_code_)
        openView(*last_view_code_);
}

void MainWindow::openViewUnlessOpen(ViewCode code) {
    if (!current_view_ || current_view_->viewCode() != code)
        openView(code);
}

void MainWindow::openTraffic() {
    if (connected()) {
        rebuildMenus(true);
        return;
    }
    openView(app_.state.side_fire_mode == 1 ? ViewCode::SideFireTraffic : ViewCode::ForwardFireTraffic);
}

// ---- connections ----

void MainWindow::newConnection(LinkKind kind) {
    if (LinkWorkRunning())
        return;
    startup_timer_.stop();
    closeConnection();
    switch (kind) {
        case LinkKind::Serial:
            RunSerialConnection(app_, this);
            break;
        case LinkKind::Internet: {
            const QString params = pending_address_;
            pending_address_.clear();
            RunInternetConnection(app_, this, params, auto_connect_option_ && !params.isEmpty());
            break;
        }
        case LinkKind::Modem:
            RunModemConnection(app_, this);
            break;
        case LinkKind::None:
            break;
    }
    startup_timer_.start(kConnectDelayMs);
}

void MainWindow::closeConnectionCommand() {
    if (!app_.prompts().Ask("Are you sure...?",
                            "Are you sure you want to close the connection to the sensor?"))
        return;
    for (MenuItem item : {MenuItem::NewSerial, MenuItem::NewModem, MenuItem::NewInternet}) {
        if (QAction* action = menuAction(item))
            action->setChecked(false);
    }
    closeConnection();
    closeCurrentView();
    rebuildMenus(false);
    openView(ViewCode::ConnectionChooser);
}

void MainWindow::closeConnection() {
    if (!connected())
        return;
    clock_timer_.stop();
    closeCurrentView();
    // The window's own steps ran above, on this thread; the sequence shows its progress through
    // the window, which any thread may drive.
    CloseConnectionHooks hooks;
    hooks.show_progress = [this](const std::string& title, const std::string& text) {
        progress_->ShowProgress(title, text);
    };
    hooks.close_progress = [this] { progress_->CloseProgress(); };
    // The data thread has ended with the view, so nothing else touches the table now.
    hooks.reset_shared_records = [this] { app_.live.latest_interval = LatestIntervalTable{}; };
    hooks.sleep_ms = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
    RunLinkWork([&] { CloseConnection(app_, hooks); });
    progress_->CloseProgress();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (LinkWorkRunning()) {
        event->ignore();
        return;
    }
    closeConnection();
    clock_timer_.stop();
    startup_timer_.stop();
    event->accept();
}

// ---- clock ----

void MainWindow::syncSensorClock(bool force) {
    RunLinkWork([&] { operations_.SyncSensorClock(force); });
}

void MainWindow::rearmClockTimer() {
    if (connected())
        clock_timer_.start(std::max(app_.state.sync_interval, kMinimumSyncIntervalMs));
}

void MainWindow::onClockTimer() {
    if (app_.state.sync_interval < kMinimumSyncIntervalMs)
        app_.state.sync_interval = kMinimumSyncIntervalMs;
    // Another exchange is on its way: try again a period later.
    if (LinkWorkRunning() || !app_.state.synchronize_clock || app_.state.sync_suspended) {
        rearmClockTimer();
        return;
    }
    syncSensorClock(false);
}

// ---- operating mode ----

void MainWindow::switchOperatingMode(bool side_fire) {
    const QString name = side_fire ? "Side-Fire Mode" : "Forward-Fire Mode";
    if ((app_.state.side_fire_mode == 1) == side_fire) {
        MessageRequest request;
        request.caption = (name + "...").toStdString();
        request.text = ("The sensor is already in " + name + ".").toStdString();
        request.icon = IconKind::Information;
        app_.prompts().Message(request);
        return;
    }
    if (!connected()) {
        if (!app_.prompts().Ask("Are you sure...?",
                                ("Are you sure you want switch the menus to " + name + "?").toStdString()))
            return;
        app_.state.side_fire_mode = side_fire ? 1 : 0;
        rebuildMenus(false);
        openView(ViewCode::ConnectionChooser);
        return;
    }
    const QString question =
        "Are you sure you want to switch the\nsensor to " + name + (side_fire ? "?" : "");
    if (!app_.prompts().Ask("Are you sure...?", question.toStdString()))
        return;
    closeCurrentView();
    CompatibilityState check;
    const BundleVersion bundle = BuiltInBundleVersion();
    const FireMode target = side_fire ? FireMode::SideFire : FireMode::ForwardFire;
    RunLinkWork([&] { check = CheckCompatibility(app_.protocol, bundle, target); });
    if (check.outcome == compatibility_outcome::kExit) {
        exitAtOnce();
        return;
    }
    if (check.outcome == compatibility_outcome::kUpload) {
        bool loaded = false;
        const UploadRunner run = [this](UploadJob& job) { return runUploadWindow(job); };
        RunLinkWork([&] { loaded = RunCompatibilityUpload(app_, operations_, check.plan(), run); });
        if (!loaded) {
            RunLinkWork([this] { ResetLineAfterFailedUpload(app_); });
            startup_timer_.start(kConnectDelayMs);
            return;
        }
    }
    rebuildMenus(true);
}

// The "Uploading Firmware..." window over a job; called from the link-work thread, shown on
// the user-interface thread.
UploadOutcome MainWindow::runUploadWindow(UploadJob& job) {
    UploadOutcome outcome = UploadOutcome::Cancelled;
    auto show = [&] { outcome = UploadProgressDialog::Run(job, app_.prompts(), this); };
    if (QThread::currentThread() == thread())
        show();
    else
        QMetaObject::invokeMethod(this, show, Qt::BlockingQueuedConnection);
    return outcome;
}

// ---- windows ----

void MainWindow::showSensorInfo() {
    if (LinkWorkRunning())
        return;
    SensorInfoDialog dialog(app_, this);
    dialog.exec();
}

void MainWindow::showAbout() {
    AboutDialog about(this);
    connect(&about, &AboutDialog::passwordEntered, this, [this, &about](const QString& password) {
        if (unlockEngineering(password))
            about.accept();
    });
    about.setEngineeringOn(engineering_menus_);
    about.exec();
}

bool MainWindow::unlockEngineering(const QString& password) {
    if (engineering_menus_)
        return false;
    if (!IsEngineeringPassword(password.toStdString())) {
        MessageRequest request;
        request.caption = "Error!";
        request.text = "Error! Invalid Password.";
        request.icon = IconKind::Error;
        app_.prompts().Message(request);
        return false;
    }
    engineering_menus_ = true;
    app_.set_engineering_unlocked(true);
    closeCurrentView();
    rebuildMenus(true);
    if (!current_view_)
        openView(ViewCode::ConnectionChooser);
    return true;
}

void MainWindow::leaveEngineering() {
    if (!connected() || !engineering_menus_ || LinkWorkRunning())
        return;
    engineering_menus_ = false;
    app_.set_engineering_unlocked(false);
    closeCurrentView();
    rebuildMenus(true);
}

void MainWindow::toggleOfflineItems() {
    if (connected() || LinkWorkRunning())
        return;
    offline_items_enabled_ = !offline_items_enabled_;
    rebuildMenus(false);
}

void MainWindow::showHelp() {
    HelpWindow::showHelp(this);
}

}  // namespace qvx::gui
