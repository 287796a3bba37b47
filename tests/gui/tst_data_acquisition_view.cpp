// "Data Acquisition" against the simulated sensor on a pseudo-terminal: the rate switch on opening,
// a two-second recording with its counts and file, the rates restored on closing, a sensor that
// cannot follow, and the window over TCP.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "../support/scripted_prompts.h"
#include "app/main_window.h"
#include "context/app_context.h"
#include "modal_driver.h"
#include "sim_server.h"
#include "support/find_child.h"
#include "support/main_window_harness.h"
#include "tools/data_acquisition_view.h"

using namespace qvx;
using namespace qvx::gui;

namespace {

// A program context on the simulator's pseudo-terminal, as after a serial connection.
class SerialSim {
  public:
    explicit SerialSim(sim::SensorPort port) {
        sim::SensorSettings sensor;
        sensor.port = port;
        sensor.firewall = false;
        sim::ServerSettings line;
        line.transport = sim::Transport::Pty;
        server_ = std::make_unique<sim::SimServer>(std::vector<sim::SensorSettings>{sensor}, line);
        started_ = server_->Start();
        app_.state.port_name = server_->pty_path();
        started_ = started_ && app_.link.serial().Open(9600, {kReadIntervalNoWait, 0, 0});
        app_.state.link_kind = LinkKind::Serial;
        app_.state.current_baud = app_.state.pending_baud = 9600;
        app_.state.base_response_wait_ms = 300;
    }
    bool started() const { return started_; }
    AppContext& app() { return app_; }
    ScriptedPrompts& prompts() { return prompts_; }
    sim::SimServer& server() { return *server_; }

  private:
    QTemporaryDir dir_;
    ScriptedPrompts prompts_;
    AppContext app_{prompts_, RegistryStore(dir_.filePath("registry").toStdString())};
    std::unique_ptr<sim::SimServer> server_;
    bool started_ = false;
};

}  // namespace

class TstDataAcquisitionView : public QObject {
    Q_OBJECT
  private slots:
    void recordsTwoSecondsAndRestoresTheRates() {
        SerialSim sim(sim::SensorPort::Rs485);
        QVERIFY(sim.started());
        QTemporaryDir dir;
        auto view = std::make_unique<DataAcquisitionView>(sim.app());
        view->resize(640, 520);
        view->show();
        QCOMPARE(test::Child<QLineEdit>(view, "intervalField")->text(), QString("60"));
        QVERIFY(view->findChild<QLineEdit*>("pathField")->text().endsWith("/raw_acq.dat"));
        QTRY_VERIFY_WITH_TIMEOUT(view->ready(), 5000);
        QCOMPARE(test::Child<QLabel>(view, "portLabel")->text(),
                 QString::fromStdString(sim.server().pty_path()) + " @ 921600 bps");
        QCOMPARE(sim.server().sensor(0).LineRate(), 921600u);

        test::Child<QLineEdit>(view, "intervalField")->setText("2");
        view->findChild<QLineEdit*>("pathField")->setText(dir.filePath("capture"));
        test::Child<QPushButton>(view, "startButton")->click();
        QVERIFY(view->recording());
        QVERIFY(test::Child<QPushButton>(view, "stopButton")->isEnabled());
        QVERIFY(!test::Child<QPushButton>(view, "startButton")->isEnabled());
        QCOMPARE(test::Child<QLabel>(view, "expectedLabel")->text(), QString("93380"));
        QTRY_VERIFY_WITH_TIMEOUT(!view->recording(), 15000);
        QCOMPARE(test::Child<QLabel>(view, "receivedLabel")->text(), QString("93380"));
        QCOMPARE(test::Child<QLabel>(view, "trailingLabel")->text(), QString("116"));
        QCOMPARE(QFileInfo(dir.filePath("capture.dat")).size(), 93380);
        QCOMPARE(view->findChild<QLineEdit*>("pathField")->text(), dir.filePath("capture.dat"));
        QCOMPARE(sim.app().registry.GetString(kKeyLogs, kRawPathValue),
                 std::optional<std::string>(dir.filePath("capture.dat").toStdString()));
        QCOMPARE(sim.app().registry.GetString(kKeyLogs, kRawIntervalValue), std::optional<std::string>("2"));
        test::SaveScreenshot(view.get(), "data_acquisition_view");

        view->shutdown();
        QCOMPARE(sim.app().state.current_baud, 9600u);
        QCOMPARE(sim.server().sensor(0).LineRate(), 9600u);
    }

    void aSensorThatCannotFollowLeavesStartDisabled() {
        SerialSim sim(sim::SensorPort::Rs232);
        QVERIFY(sim.started());
        sim.prompts().ask_answers = {false};
        DataAcquisitionView view(sim.app());
        QTRY_VERIFY_WITH_TIMEOUT(!sim.prompts().questions.empty() &&
                                     !test::Child<QPushButton>(&view, "startButton")->isEnabled() &&
                                     !view.findChild<QLabel*>("messageLabel")->text().startsWith("Moving"),
                                 10000);
        QVERIFY(!view.ready());
        QVERIFY(sim.prompts().questions.front().find("Unable to set baud rate at 921600 bps!") !=
                std::string::npos);
        QCOMPARE(sim.app().state.current_baud, 9600u);
        auto* interval_field = test::Child<QLineEdit>(&view, "intervalField");
        interval_field->setText("5000");
        interval_field->editingFinished();
        QCOMPARE(interval_field->text(), QString("900"));
    }

    void overTcpTheWindowSaysSoAndSendsNothing() {
        test::MainWindowHarness harness;
        harness.open();
        QVERIFY(harness.waitConnected());
        harness.takeRequests();
        harness.window().openView(ViewCode::DataAcquisition);
        auto* view = qobject_cast<DataAcquisitionView*>(harness.window().currentView());
        QVERIFY(view);
        QTest::qWait(200);
        QCOMPARE(view->findChild<QLabel*>("messageLabel")->text(),
                 QString("Raw data acquisition works over a serial connection only."));
        QVERIFY(!test::Child<QPushButton>(view, "startButton")->isEnabled());
        QVERIFY(harness.takeRequests().empty());
        test::SaveScreenshot(&harness.window(), "data_acquisition_over_tcp");
    }
};

QTEST_MAIN(TstDataAcquisitionView)
#include "tst_data_acquisition_view.moc"
