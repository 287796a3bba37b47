// The main window against the simulated sensor over loopback TCP: the connect sequence's commands,
// the menu set and item states for each kind of sensor, the engineering and offline items, and
// the views the window opens.

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QtTest>
#include <algorithm>

#include "app/about_dialog.h"
#include "app/link_status_bar.h"
#include "app/main_window.h"
#include "app/sensor_info_dialog.h"
#include "modal_driver.h"
#include "support/find_child.h"
#include "support/main_window_harness.h"

using namespace qvx;
using namespace qvx::gui;
using qvx::test::MainWindowHarness;

namespace {

// The request codes of the log without the multi-drop prefix; "S4" keeps only its code.
std::vector<std::string> Codes(const std::vector<std::string>& frames) {
    std::vector<std::string> codes;
    for (std::string frame : frames) {
        if (frame.rfind("Z0", 0) == 0)
            frame = frame.substr(6);
        if (frame.rfind("S4", 0) == 0)
            frame = "S4";
        codes.push_back(frame);
    }
    return codes;
}

std::string Joined(const std::vector<std::string>& codes) {
    std::string text;
    for (const std::string& code : codes)
        text += (text.empty() ? "" : " ") + code;
    return text;
}

// What came after the connection dialog's own exchanges (which end with the collection probe).
std::vector<std::string> AfterConnection(const std::vector<std::string>& codes) {
    const auto probe = std::find(codes.begin(), codes.end(), "S02");
    return probe == codes.end() ? codes : std::vector<std::string>(probe + 1, codes.end());
}

bool Enabled(MainWindow& window, MenuItem item) {
    QAction* action = window.menuAction(item);
    return action && action->isEnabled();
}

bool Checked(MainWindow& window, MenuItem item) {
    QAction* action = window.menuAction(item);
    return action && action->isChecked();
}

QStringList TopMenus(MainWindow& window) {
    QStringList titles;
    for (QAction* action : window.menuBar()->actions())
        titles << action->text().remove('&');
    return titles;
}

sim::SensorSettings Sensor(bool forward_fire, char config_mode) {
    sim::SensorSettings sensor = MainWindowHarness::DefaultSensor();
    sensor.forward_fire = forward_fire;
    if (forward_fire)
        sensor.version.amm = "F03";
    sensor.config_mode = config_mode;
    sensor.auto_config_seconds = 3600;  // stays in mode '0' for the test
    return sensor;
}

}  // namespace

class TstMainWindow : public QObject {
    Q_OBJECT
  private slots:
    void startsWithTheChooserAndGreyedSensorItems() {
        MainWindowHarness harness;
        harness.open(false);
        MainWindow& window = harness.window();
        QCOMPARE(window.windowTitle(), QString("Quorvix Manager 3.0.1"));
        QTRY_VERIFY(window.currentView() != nullptr);
        QCOMPARE(window.currentView()->viewCode(), ViewCode::ConnectionChooser);
        QCOMPARE(window.menuSet(), MenuSet::SideFire);
        QCOMPARE(TopMenus(window), (QStringList{"File", "Edit", "View", "Data Collection", "Tools", "Help"}));
        for (MenuItem item : {MenuItem::SensorInfo, MenuItem::Traffic, MenuItem::SensorDateTime,
                              MenuItem::CloseConnection, MenuItem::Properties})
            QVERIFY(!Enabled(window, item));
        QVERIFY(Enabled(window, MenuItem::NewInternet));
        QVERIFY(Checked(window, MenuItem::SideFire));
        test::SaveScreenshot(&window, "main_window_no_sensor");

        // Every view now exists: no item carries the "later version" word.
        QAction* lanes = window.menuAction(MenuItem::LaneConfiguration);
        QVERIFY(!lanes->toolTip().contains("later version"));

        // Ctrl+D offers the sensor items without a sensor, and takes them back.
        QTest::keyClick(&window, Qt::Key_D, Qt::ControlModifier);
        QVERIFY(window.offlineItemsEnabled());
        QVERIFY(Enabled(window, MenuItem::Traffic));
        QVERIFY(Enabled(window, MenuItem::SensorDateTime));
        QVERIFY(!Enabled(window, MenuItem::CloseConnection));
        QTest::keyClick(&window, Qt::Key_D, Qt::ControlModifier);
        QVERIFY(!Enabled(window, MenuItem::Traffic));
    }

    void menusCarryMnemonicsShortcutsAndEllipses() {
        MainWindowHarness harness;
        harness.open(false);
        MainWindow& window = harness.window();
        QTRY_VERIFY(window.currentView() != nullptr);
        QStringList tops;
        for (QAction* action : window.menuBar()->actions())
            tops << action->text();
        QCOMPARE(tops, (QStringList{"&File", "&Edit", "&View", "&Data Collection", "&Tools", "&Help"}));
        QCOMPARE(window.menuAction(MenuItem::SensorInfo)->shortcut(), QKeySequence("Ctrl+S"));
        QCOMPARE(window.menuAction(MenuItem::Hyperterminal)->shortcut(), QKeySequence("Ctrl+H"));
        QCOMPARE(window.menuAction(MenuItem::FirmwareUpload)->shortcut(), QKeySequence("Ctrl+U"));
        QCOMPARE(window.menuAction(MenuItem::HelpContents)->shortcut(),
                 QKeySequence(QKeySequence::HelpContents));
        QVERIFY(window.menuAction(MenuItem::NewSerial)->text().endsWith("..."));
        QVERIFY(!window.menuAction(MenuItem::Exit)->text().endsWith("..."));
        // The literal '&' stays one character on screen and the item still gets a mnemonic.
        QCOMPARE(window.menuAction(MenuItem::SensorDateTime)->text().remove("&&").count('&'), 1);
        // Each menu's mnemonics differ.
        for (QAction* top : window.menuBar()->actions()) {
            QSet<QChar> letters;
            for (QAction* action : top->menu()->actions()) {
                const QString text = action->text().remove("&&");
                if (action->isSeparator() || !text.contains('&'))
                    continue;
                const QChar letter = text[text.indexOf('&') + 1].toUpper();
                QVERIFY2(!letters.contains(letter), qPrintable(action->text()));
                letters.insert(letter);
            }
        }
        // After a rebuild only the new items answer the keys: F1 opens help once.
        QTest::keyClick(&window, Qt::Key_D, Qt::ControlModifier);
        QTest::keyClick(&window, Qt::Key_D, Qt::ControlModifier);
        QCoreApplication::processEvents();
        QCOMPARE(window.menuAction(MenuItem::HelpContents)->shortcut(),
                 QKeySequence(QKeySequence::HelpContents));
    }

    void connectSequenceCommandsInOrder() {
        MainWindowHarness harness;
        QVERIFY(harness.started());
        harness.open();
        QVERIFY(harness.waitConnected());
        const std::vector<std::string> expected = {"S5", "S01", "S3", "S3N", "S02",
                                                   "S5", "SB",  "S4", "S5",  "S6"};
        QCOMPARE(AfterConnection(Codes(harness.takeRequests())), expected);
        MainWindow& window = harness.window();
        QCOMPARE(window.menuSet(), MenuSet::SideFire);
        QVERIFY(Checked(window, MenuItem::NewInternet));
        QVERIFY(!Checked(window, MenuItem::NewSerial));
        QVERIFY(Enabled(window, MenuItem::CloseConnection));
        QVERIFY(!Enabled(window, MenuItem::DataAcquisition));
        QVERIFY(window.pendingAddress().isEmpty());
        // The title and the status bar name the sensor and the link.
        QVERIFY2(window.windowTitle().startsWith("Sensor 0012 (127.0.0.1:"),
                 qPrintable(window.windowTitle()));
        QVERIFY(window.windowTitle().endsWith("Quorvix Manager 3.0.1"));
        const QString status = test::Child<LinkStatusBar>(&window, "linkStatusBar")->text();
        QVERIFY2(
            status.contains("127.0.0.1:") && status.contains("Sensor 0012") && status.contains("Last answer"),
            qPrintable(status));
        QCOMPARE(test::Child<LinkStatusBar>(&window, "linkStatusBar")->health(), LinkHealth::Ok);
        test::SaveScreenshot(&window, "main_window_side_fire");
    }

    void menuSetAndDefaultViewPerSensor_data() {
        QTest::addColumn<bool>("forward_fire");
        QTest::addColumn<char>("config_mode");
        QTest::addColumn<int>("set");
        QTest::addColumn<int>("view");
        QTest::addColumn<bool>("traffic_enabled");
        QTest::newRow("side-fire mode 0") << false << '0' << 102 << int(ViewCode::LaneConfiguration) << false;
        QTest::newRow("side-fire mode 1") << false << '1' << 102 << int(ViewCode::SideFireTraffic) << true;
        QTest::newRow("side-fire mode 2") << false << '2' << 102 << int(ViewCode::LaneConfiguration) << true;
        QTest::newRow("forward-fire") << true << '0' << 108 << int(ViewCode::ForwardFireTraffic) << false;
    }

    void menuSetAndDefaultViewPerSensor() {
        QFETCH(bool, forward_fire);
        QFETCH(char, config_mode);
        QFETCH(int, set);
        QFETCH(int, view);
        QFETCH(bool, traffic_enabled);
        MainWindowHarness harness(Sensor(forward_fire, config_mode));
        harness.open();
        QVERIFY(harness.waitConnected());
        MainWindow& window = harness.window();
        QCOMPARE(int(window.menuSet()), set);
        QVERIFY(window.currentView());
        QCOMPARE(int(window.currentView()->viewCode()), view);
        QCOMPARE(window.menuAction(MenuItem::LaneConfiguration) != nullptr, !forward_fire);
        QCOMPARE(window.menuAction(MenuItem::IntervalData) != nullptr, !forward_fire);
        QCOMPARE(window.menuAction(MenuItem::Traffic)->text().remove('&'),
                 forward_fire ? QString("Traffic") : QString("Traffic (Event Data)"));
        QCOMPARE(Checked(window, MenuItem::ForwardFire), forward_fire);
        QCOMPARE(Checked(window, MenuItem::SideFire), !forward_fire);
        // The open view's own item is greyed; the traffic item follows the configuration mode.
        if (!forward_fire) {
            QCOMPARE(Enabled(window, MenuItem::Download), traffic_enabled);
            QCOMPARE(Enabled(window, MenuItem::IntervalData), traffic_enabled);
        } else {
            QVERIFY(Enabled(window, MenuItem::Download));
            QVERIFY(!Enabled(window, MenuItem::Traffic));
            test::SaveScreenshot(&window, "main_window_forward_fire");
        }
    }

    void engineeringMenusByPasswordAndCtrlQ() {
        MainWindowHarness harness;
        harness.open();
        QVERIFY(harness.waitConnected());
        MainWindow& window = harness.window();
        QCOMPARE(window.menuSet(), MenuSet::SideFire);

        // A wrong password only says so.
        test::ModalDriver ok("okButton");
        QVERIFY(!window.unlockEngineering("mord63TB"));
        QVERIFY(ok.clicked());
        QCOMPARE(window.menuSet(), MenuSet::SideFire);
        QVERIFY(harness.application().prompts().asked().back() == "Error!|Error! Invalid Password.");

        QVERIFY(window.unlockEngineering("mord63tb"));
        QVERIFY(window.engineeringMenus());
        QCOMPARE(window.menuSet(), MenuSet::SideFireEngineering);
        QVERIFY(window.menuAction(MenuItem::PllUtility));
        QVERIFY(!Enabled(window, MenuItem::DataAcquisition));  // not over the Internet
        test::SaveScreenshot(&window, "main_window_side_fire_engineering");

        // A closed modal window leaves no active window offscreen; the hot key needs one.
        QApplication::setActiveWindow(&window);
        QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!window.engineeringMenus());
        QCOMPARE(window.menuSet(), MenuSet::SideFire);
        QVERIFY(!window.menuAction(MenuItem::PllUtility));
    }

    void aboutWindowCtrlWAsksForThePassword() {
        MainWindowHarness harness;
        harness.open(false);
        MainWindow& window = harness.window();
        QTRY_VERIFY(window.currentView() != nullptr);
        bool password_asked = false;
        bool key_sent = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* about = qobject_cast<AboutDialog*>(modal); about && !key_sent) {
                key_sent = true;
                test::SaveScreenshot(about, "about_window");
                // Sent from its own timer event: the password window's loop must find this poll idle.
                QTimer::singleShot(0, about,
                                   [about] { QTest::keyClick(about, Qt::Key_W, Qt::ControlModifier); });
            } else if (modal && modal->objectName() == "passwordDialog") {
                password_asked = true;
                poll.stop();
                auto* field = modal->findChild<QLineEdit*>("passwordField");
                field->setText("mord63tb");
                modal->findChild<QPushButton*>("okButton")->click();
            }
        });
        poll.start(20);
        window.showAbout();
        QVERIFY(password_asked);
        QCOMPARE(window.menuSet(), MenuSet::SideFireEngineering);
        QCOMPARE(window.currentView()->viewCode(), ViewCode::ConnectionChooser);
    }

    void switchingToTheModeInUseOnlyInforms() {
        MainWindowHarness harness;
        harness.open(false);
        MainWindow& window = harness.window();
        QTRY_VERIFY(window.currentView() != nullptr);
        test::ModalDriver ok("okButton");
        window.switchOperatingMode(true);
        QVERIFY(ok.clicked());
        QCOMPARE(harness.application().prompts().asked().back(),
                 std::string("Side-Fire Mode...|The sensor is already in Side-Fire Mode."));
        QCOMPARE(window.menuSet(), MenuSet::SideFire);

        // Without a sensor, switching changes the menus and returns to the chooser.
        test::ModalDriver yes("yesButton");
        window.switchOperatingMode(false);
        QVERIFY(yes.clicked());
        QCOMPARE(window.menuSet(), MenuSet::ForwardFire);
        QVERIFY(Checked(window, MenuItem::ForwardFire));
        QCOMPARE(window.currentView()->viewCode(), ViewCode::ConnectionChooser);
    }

    void viewsOpenOneAtATimeAndRememberTheLast() {
        MainWindowHarness harness;
        harness.open();
        QVERIFY(harness.waitConnected());
        MainWindow& window = harness.window();
        const ViewCode first = window.currentView()->viewCode();
        window.menuAction(MenuItem::Setup)->trigger();
        QCOMPARE(window.currentView()->viewCode(), ViewCode::StudySetup);
        QVERIFY(!Enabled(window, MenuItem::Setup));
        QCOMPARE(window.lastViewCode(), first);
        QCOMPARE(window.currentView()->objectName(), QString("StudySetupView"));
        window.reopenLastView();
        QCOMPARE(window.currentView()->viewCode(), first);
        QVERIFY(Enabled(window, MenuItem::Setup));
    }

    void closingSequenceCommandsInOrder_data() {
        QTest::addColumn<bool>("automatic_multidrop");
        QTest::newRow("one sensor") << false;
        QTest::newRow("automatic multi-drop") << true;
    }

    void closingSequenceCommandsInOrder() {
        QFETCH(bool, automatic_multidrop);
        MainWindowHarness harness;
        harness.open();
        QVERIFY(harness.waitConnected());
        MainWindow& window = harness.window();
        harness.takeRequests();
        if (automatic_multidrop)
            harness.context().state.multidrop_mode = 1;

        test::ModalDriver yes("yesButton");
        window.closeConnectionCommand();
        QVERIFY(yes.clicked());
        std::vector<std::string> expected = {"S8468013579246801"};
        if (automatic_multidrop)
            expected.insert(expected.end(), 5, "B3");
        expected.push_back("X7");
        // The opening view (lane configuration) reads from the sensor until it is closed, which is
        // the sequence's first step: its requests come before the sequence's own.
        std::vector<std::string> codes = Codes(harness.takeRequests());
        codes.erase(codes.begin(), std::find(codes.begin(), codes.end(), expected.front()));
        QVERIFY2(codes == expected, qPrintable(QString::fromStdString(Joined(codes))));
        QVERIFY(!window.connected());
        QCOMPARE(window.currentView()->viewCode(), ViewCode::ConnectionChooser);
        QVERIFY(!Enabled(window, MenuItem::CloseConnection));
        QVERIFY(!Checked(window, MenuItem::NewInternet));
        QVERIFY(harness.sensor().is_protected());
        QVERIFY(harness.sensor().push_mode());
        QCOMPARE(window.windowTitle(), QString("Quorvix Manager 3.0.1"));
        QCOMPARE(test::Child<LinkStatusBar>(&window, "linkStatusBar")->text(), QString("Not connected"));
        // The shell takes clicks again once the closing is over.
        QTRY_VERIFY(window.centralWidget()->isEnabled() && window.menuBar()->isEnabled());
    }

    // Without --connect a parameters file only waits for the Internet dialog: nothing connects.
    void parametersFileAloneDoesNotConnect() {
        MainWindowHarness harness;
        gui::MainWindowOptions options;
        options.splash_ms = 0;
        options.pending_address = harness.paramsPath();
        harness.openWith(options);
        MainWindow& window = harness.window();
        QTRY_VERIFY(window.currentView() != nullptr);
        QCOMPARE(window.currentView()->viewCode(), ViewCode::ConnectionChooser);
        QTest::qWait(500);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(!window.connected());
        QCOMPARE(window.pendingAddress(), harness.paramsPath());
        QVERIFY(harness.takeRequests().empty());
    }

    // The connect sequence has stopped push and unprotected the sensor when the compatibility
    // window offers Exit; leaving there still protects the sensor and restores push mode.
    void exitFromTheCompatibilityWindowRunsTheClosingSequence() {
        sim::SensorSettings sensor = MainWindowHarness::DefaultSensor();
        sensor.version.dd = "01";  // older than the built-in bundle
        MainWindowHarness harness(sensor);
        test::ModalDriver exit_button("exitButton");
        harness.open();
        QTRY_VERIFY_WITH_TIMEOUT(exit_button.clicked(), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(!harness.window().isVisible(), 30000);
        QVERIFY(!harness.window().connected());
        QVERIFY(harness.sensor().is_protected());
        QVERIFY(harness.sensor().push_mode());
    }

    void closingASilentSensorWarnsTwiceAndTheWarningsCloseThemselves() {
        MainWindowHarness harness;
        harness.open();
        QVERIFY(harness.waitConnected());
        MainWindow& window = harness.window();
        harness.server().Stop();

        // Declines every retry; the warnings afterwards are left alone to close by themselves.
        int declined = 0;
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible())
                return;
            if (auto* no = modal->findChild<QPushButton*>("noButton")) {
                ++declined;
                QTimer::singleShot(0, no, &QPushButton::click);
            }
        });
        answer.start(20);
        QElapsedTimer elapsed;
        elapsed.start();
        window.closeConnection();
        answer.stop();

        QCOMPARE(declined, 2);
        QVERIFY(!window.connected());
        QVERIFY2(elapsed.elapsed() >= 2 * 2500 - 200, "each warning stays about 2.5 s");
        std::vector<std::string> shutdown;
        for (const std::string& asked : harness.application().prompts().asked()) {
            if (asked.rfind("Shutdown", 0) == 0)
                shutdown.push_back(asked);
        }
        const std::vector<std::string> expected = {
            "Shutdown Warning: Do you want to retry?|Due to a communication error,\nthe sensor's command "
            "firewall "
            "may not have been enabled.",
            "Shutdown Warning: Do you want to retry?|Due to a communication error,\nconnected Tessel devices "
            "may "
            "not be able to report their data.",
            "Shutdown Warning!|Shutdown Warning!  Push mode may not be restored.",
            "Shutdown Warning!|Shutdown Warning!  Command mode may not be protected.",
        };
        QCOMPARE(shutdown, expected);
    }

    void sensorInformationWindow() {
        MainWindowHarness harness;
        harness.open();
        QVERIFY(harness.waitConnected());
        SensorInfoDialog dialog(harness.context(), &harness.window());
        dialog.show();
        QTRY_VERIFY(dialog.fieldText("Sensor ID") != "Unknown");
        QCOMPARE(dialog.fieldText("Sensor ID"), QString("0012"));
        QVERIFY(dialog.fieldText("DSP").contains("v2"));
        test::SaveScreenshot(&dialog, "sensor_information");
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_main_window.moc"
