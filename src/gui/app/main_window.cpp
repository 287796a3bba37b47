#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QShortcut>
#include <QThread>
#include <map>

#include "app/about_dialog.h"
#include "app/close_connection.h"
#include "app/connect_sequence.h"
#include "app/help_window.h"
#include "app/link_status_bar.h"
#include "app/link_work.h"
#include "app/menu_decoration.h"
#include "app/progress_window.h"
#include "app/sensor_info.h"
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
#include "tools/communication_log_window.h"

namespace qvx::gui {

namespace {
constexpr int kStartupDelayMs = 200;
constexpr int kConnectDelayMs = 100;
constexpr int kNoLinkDelayMs = 10;
constexpr int kMinimumSyncIntervalMs = 60000;
constexpr int kClosingWarningShownMs = 60000;

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
      splash_ms_(options.splash_ms),
      remember_window_(options.remember_window) {
    setWindowTitle(kProgramTitle);
    setObjectName("mainWindow");
    resize(960, 640);
    progress_ = new ProgressWindow(this);
    status_bar_ = new LinkStatusBar([this] { return statusInputs(); }, this);
    setStatusBar(status_bar_);

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
    restoreWindowState();
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
        {"Ctrl+D", &MainWindow::toggleOfflineItems},
    };
    // Ctrl+S, Ctrl+H, Ctrl+U and F1 are the shortcuts of their menu items (menu_decoration), so
    // the menus show them; an item greyed out (its view open, no sensor) ignores its key too.
    for (const auto& [sequence, slot] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(sequence), this);
        connect(shortcut, &QShortcut::activated, this, slot);
    }
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
    // The first steps read and fix the configuration minimums without a word of their own; a
    // slow sensor takes seconds over them.
    progress_->ShowProgress("Connecting...", "Checking the sensor's configuration...");
    setShellBusy(true);
    RunLinkWork([&] { next = RunConnectSequence(app_, operations_, *progress_, bundle, hooks); });
    progress_->CloseProgress();
    setShellBusy(false);

    switch (next) {
        case ConnectNext::ShowMenus:
            session_open_ = true;
            closeCurrentView();
            takeSensorIdentity();
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
        openView(rememberedView().value_or(*plan_.default_view));
    emit menusRebuilt();
}

void MainWindow::installMenus(const MenuPlan& plan) {
    plan_ = plan;
    actions_.fill(nullptr);
    // The old menus go with their actions, so no shortcut of theirs stays alive beside the new
    // ones (an item may be rebuilt from its own triggered signal, hence later).
    for (QAction* top : menuBar()->actions()) {
        if (QMenu* old = top->menu())
            old->deleteLater();
    }
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
        QAction* action = menu->addAction(MenuItemLabel(item, parts.last()));
        action->setObjectName(QString("menu_%1").arg(static_cast<int>(item)));
        action->setCheckable(IsCheckable(item));
        action->setChecked(plan.state(item).checked);
        action->setShortcut(MenuShortcut(item));
        if (!itemAvailable(item))
            action->setToolTip(ViewTitle(*ViewOfItem(item)) + " comes with a later version.");
        action->setEnabled(itemEnabled(item));
        connect(action, &QAction::triggered, this, [this, item] { onMenuItem(item); });
        actions_[static_cast<std::size_t>(item)] = action;
    }
    for (auto& [path, menu] : menus)
        menu->setToolTipsVisible(true);
    AssignMnemonics(menuBar());
    if (current_view_)
        setItemEnabledForView(current_view_->viewCode(), false);
}

// An item whose view this version does not have yet stays greyed; the rest follow the plan.
bool MainWindow::itemAvailable(MenuItem item) const {
    const auto view = ViewOfItem(item);
    return !view || *view == ViewCode::SensorSettings || ViewFactory::instance().has(*view);
}

bool MainWindow::itemEnabled(MenuItem item) const {
    return plan_.state(item).enabled && itemAvailable(item);
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
        case CommunicationLog:
            return ShowCommunicationLog(this);
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
    if (!ViewFactory::instance().has(code) || !closeCurrentView())
        return false;
    // No view's worker runs between two views: the records are still.
    takeSensorIdentity();
    WorkingView* view = ViewFactory::instance().create(code, view_context_, nullptr);
    placeView(view);
    setItemEnabledForView(code, false);
    connect(view, &WorkingView::viewRequested, this,
            [this](ViewCode next) { QTimer::singleShot(0, this, [this, next] { openView(next); }); });
    return true;
}

void MainWindow::placeView(WorkingView* view) {
    current_view_ = view;
    if (view->fillsWindow())
        view_holder_->addWidget(view, 0, 0, 3, 3);
    else
        view_holder_->addWidget(view, 1, 1);
    view->show();
}

void MainWindow::setItemEnabledForView(ViewCode code, bool enabled) {
    const auto item = ItemOfView(code);
    if (!item || !menuAction(*item))
        return;
    menuAction(*item)->setEnabled(enabled && itemEnabled(*item));
}

void MainWindow::reopenLastView() {
    if (last_view_code_)
        openView(*last_view_code_);
}

void MainWindow::openTraffic() {
    if (connected()) {
        rebuildMenus(true);
        return;
    }
    openView(app_.state.side_fire_mode == 1 ? ViewCode::SideFireTraffic : ViewCode::ForwardFireTraffic);
}

// While the link is busy for the window itself, its view and menus take no clicks; they come
// back once the clicks queued meanwhile have met the disabled widgets.
void MainWindow::setShellBusy(bool busy) {
    shell_busy_ = busy;
    if (busy) {
        centralWidget()->setEnabled(false);
        menuBar()->setEnabled(false);
        return;
    }
    QTimer::singleShot(0, this, [this] {
        if (shell_busy_)
            return;
        centralWidget()->setEnabled(true);
        menuBar()->setEnabled(true);
    });
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
    // Stopping a view's data thread may take seconds: the closing window shows from the start.
    progress_->ShowProgress(kClosingTitle, kClosingText);
    setShellBusy(true);
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
    CloseOutcome outcome;
    RunLinkWork([&] { outcome = CloseConnection(app_, hooks); });
    progress_->CloseProgress();
    setShellBusy(false);
    showClosingWarnings(outcome);
    session_open_ = false;
    updateTitle();
    status_bar_->refresh();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (LinkWorkRunning()) {
        event->ignore();
        return;
    }
    closeConnection();
    clock_timer_.stop();
    startup_timer_.stop();
    saveWindowState();
    event->accept();
}

// The closing warnings close by themselves after 2.5 s; the status bar keeps them for a minute
// (the communication log has them too).
void MainWindow::showClosingWarnings(const CloseOutcome& outcome) {
    if (outcome.warnings.empty())
        return;
    QStringList warnings;
    for (const std::string& warning : outcome.warnings)
        warnings
            << QString::fromStdString(warning).replace('\n', ' ').replace("Shutdown Warning!", "").trimmed();
    status_bar_->showMessage("Closing: " + warnings.join(' '), kClosingWarningShownMs);
}

// ---- remembered between runs ----

namespace {
QString WindowStateFile() {
    const QFileInfo registry(QString::fromStdString(RegistryStore::DefaultPath()));
    return registry.dir().filePath("window.ini");
}
}  // namespace

void MainWindow::restoreWindowState() {
    if (!remember_window_)
        return;
    QSettings settings(WindowStateFile(), QSettings::IniFormat);
    restoreGeometry(settings.value("geometry").toByteArray());
}

void MainWindow::saveWindowState() {
    if (!remember_window_)
        return;
    QSettings settings(WindowStateFile(), QSettings::IniFormat);
    settings.setValue("geometry", saveGeometry());
    const std::optional<ViewCode> view = current_view_ ? current_view_->viewCode() : last_view_code_;
    if (view && *view != ViewCode::ConnectionChooser)
        settings.setValue("lastView", static_cast<int>(*view));
}

// The view of the last run, when the sensor's menus offer it now; the default view otherwise.
std::optional<ViewCode> MainWindow::rememberedView() const {
    if (!remember_window_ || !connected())
        return std::nullopt;
    QSettings settings(WindowStateFile(), QSettings::IniFormat);
    bool known = false;
    const int code = settings.value("lastView").toInt(&known);
    if (!known)
        return std::nullopt;
    const auto view = static_cast<ViewCode>(code);
    const auto item = ItemOfView(view);
    if (!item || !menuAction(*item) || !itemEnabled(*item) || !ViewFactory::instance().has(view))
        return std::nullopt;
    return view;
}

// ---- status ----

LinkStatusInputs MainWindow::statusInputs() const {
    LinkStatusInputs in;
    in.connected = session_open_;
    in.link_open = connected();
    in.link = link_text_;
    in.sensor_id = sensor_id_;
    in.sensor_description = sensor_description_;
    in.response_wait_ms = app_.state.response_wait_ms.load();
    in.now_ms = QDateTime::currentMSecsSinceEpoch();
    in.last_good_ms = app_.state.last_good_exchange_ms.load();
    in.last_failed_ms = app_.state.last_failed_exchange_ms.load();
    if (current_view_) {
        const WorkingView::StatusFacts facts = current_view_->statusFacts();
        in.logging = facts.logging;
        in.interval_seconds = facts.interval_seconds.value_or(in.interval_seconds);
    }
    return in;
}

// Called where no worker uses the link or the records.
void MainWindow::takeSensorIdentity() {
    if (!session_open_ || !connected())
        return;
    link_text_ = app_.link.Description();
    SensorInformation info;
    TakeConfigInfoFields(app_.configuration.config(), info);
    const bool addressed = app_.state.multidrop_current_id != kNoMultiDropId;
    sensor_id_ = addressed ? app_.state.multidrop_current_id : info.sensor_id;
    sensor_description_ = info.description;
    updateTitle();
    status_bar_->refresh();
}

void MainWindow::updateTitle() {
    setWindowTitle(QString::fromStdString(WindowTitle(kProgramTitle, statusInputs())));
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
