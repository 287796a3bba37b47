// The forward-fire event data view offscreen against a simulated forward-fire sensor: the
// configuration-mode texts follow the sensor through automatic configuration to the save,
// restart asks first and sends "SD" 0, events and the latest interval show, the direction
// question settles the picture, the interval controls follow edit mode, and a response wait of
// 2000 ms keeps occupancy and event requests off the line.

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "../support/sim_connection.h"
#include "live/direction_picture.h"
#include "live/forward_fire_event_view.h"
#include "protocol/sensor_operations.h"
#include "support/find_child.h"
#include "support/scripted_dialog_prompts.h"

using namespace qvx;
using namespace qvx::gui;

namespace {
std::size_t Requests(sim::SimServer& server, const std::string& code) {
    const std::vector<std::string> log = server.RequestLog();
    return static_cast<std::size_t>(std::count(log.begin(), log.end(), code));
}
}  // namespace

class TstForwardFireEventView : public QObject {
    Q_OBJECT

  private:
    qvx::test::ScratchFolder folder_;
    ScriptedPrompts prompts_;
    std::unique_ptr<AppContext> context_;
    std::unique_ptr<sim::SimServer> server_;

    void connectToSim(char config_mode = '2', int response_wait_ms = 0) {
        sim::SensorSettings sensor;
        sensor.forward_fire = true;
        sensor.lanes = 1;
        sensor.vehicles_per_hour = 3600;
        sensor.interval_seconds = 20;
        sensor.config_mode = config_mode;
        sensor.auto_config_seconds = 2;
        sensor.firewall = false;
        server_ =
            std::make_unique<sim::SimServer>(std::vector<sim::SensorSettings>{sensor}, sim::ServerSettings{});
        std::string why;
        QVERIFY2(server_->Start(&why), why.c_str());
        context_ = std::make_unique<AppContext>(prompts_, RegistryStore(folder_ / "registry"));
        QVERIFY2(qvx::test::ConnectToSim(*context_, *server_, &why), why.c_str());
        context_->state.side_fire_mode = 0;
        context_->state.response_wait_ms = response_wait_ms;
        context_->state.synchronize_clock = false;
    }

  private slots:
    void cleanup() {
        if (context_)
            context_->link.tcp().Close();
        if (server_)
            server_->Stop();
        context_.reset();
        server_.reset();
        prompts_ = ScriptedPrompts();
    }

    void showsEventsAndTheLatestInterval() {
        connectToSim();
        SensorOperations operations(context_->protocol, context_->objects.SyncData());
        ForwardFireEventView view(*context_, operations);
        view.resize(900, 620);
        view.show();
        QTRY_VERIFY_WITH_TIMEOUT(view.running(), 5000);
        QCOMPARE(qvx::test::Child<QLabel>(&view, "configModeText")->text(),
                 QString("Operating in Forward-fire Mode"));
        QVERIFY(!view.findChild<QPushButton*>("saveConfigButton")->isEnabled());
        QVERIFY(!view.modeTimerActive());  // mode '2' needs no re-check
        QCOMPARE(Requests(*server_, "XEE"), std::size_t{1});
        QCOMPARE(qvx::test::Child<QLineEdit>(&view, "intervalField")->text(), QString("20"));
        QTRY_VERIFY_WITH_TIMEOUT(
            qvx::test::Child<QLabel>(&view, "updatedLabel")->text().startsWith("Updated: 20"), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(view.findChild<QListWidget*>("eventList")->count() >= 3, 6000);
        QTRY_VERIFY_WITH_TIMEOUT(qvx::test::Child<QLabel>(&view, "eventCount")->text() != "Count: 0", 2000);
        QVERIFY(Requests(*server_, "XG") > 0);
        QVERIFY(qvx::test::Child<DirectionPicture>(&view, "directionPicture")->direction() ==
                Direction::Approach);
        qvx::gui::test::SaveScreenshot(
            view, "forward_fire_event_view" + qEnvironmentVariable("QVX_SCREENSHOT_SUFFIX"));
        QVERIFY(view.shutdown());
        QVERIFY(!view.pollingThread().running());
    }

    void automaticConfigurationIsFollowedAndSaved() {
        connectToSim('0');
        SensorOperations operations(context_->protocol, context_->objects.SyncData());
        ForwardFireEventView view(*context_, operations);
        QTRY_VERIFY_WITH_TIMEOUT(view.running(), 5000);
        auto* config_mode_text = qvx::test::Child<QLabel>(&view, "configModeText");
        QCOMPARE(config_mode_text->text(), QString("Automatic configuration in progress..."));
        QVERIFY(view.modeTimerActive());
        QTRY_COMPARE_WITH_TIMEOUT(
            config_mode_text->text(),
            QString("Automatic configuration in progress...press FINISHED to save configuration."), 8000);
        QTRY_VERIFY_WITH_TIMEOUT(view.findChild<QPushButton*>("saveConfigButton")->isEnabled(), 1000);
        view.findChild<QPushButton*>("saveConfigButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(server_->sensor(0).config_mode(), '2', 5000);
        QTRY_COMPARE_WITH_TIMEOUT(config_mode_text->text(), QString("Operating in Forward-fire Mode"), 8000);
        QVERIFY(Requests(*server_, "SE") >= 1);
        QVERIFY(!view.findChild<QPushButton*>("saveConfigButton")->isEnabled());

        // Restart asks first; "No" sends nothing, "Yes" sends "SD" 0.
        prompts_.ask_answers = {false, true};
        view.findChild<QPushButton*>("restartButton")->click();
        QCOMPARE(Requests(*server_, "SD0"), std::size_t{0});
        view.findChild<QPushButton*>("restartButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(Requests(*server_, "SD0"), std::size_t{1}, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(config_mode_text->text(), QString("Automatic configuration in progress..."),
                                  5000);
        QVERIFY(std::count(
                    prompts_.questions.begin(), prompts_.questions.end(),
                    std::string("Are you sure...?|Restarting will delete the current configuration.  Are you "
                                "sure you want to restart?")) == 2);
    }

    void theDirectionQuestionSettlesThePicture() {
        connectToSim();
        SensorOperations operations(context_->protocol, context_->objects.SyncData());
        ForwardFireEventView view(*context_, operations);
        QTRY_VERIFY_WITH_TIMEOUT(view.running(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(view.events().current_direction() == Direction::Approach, 6000);
        // "Depart" against approaching traffic: asked to confirm; "No" keeps Approach.
        prompts_.ask_answers = {true, false};
        view.askDirection();
        QCOMPARE(view.events().detected_direction(), Direction::Approach);
        QCOMPARE(prompts_.questions.back(),
                 std::string("Are you sure...?|The direction appears to be correct...\r\nAre "
                             "you sure you want to change it?   "));
        prompts_.ask_answers = {true, false, true, true};  // answers are taken in order
        view.askDirection();
        QCOMPARE(view.events().detected_direction(), Direction::Depart);
        QTRY_VERIFY_WITH_TIMEOUT(
            qvx::test::Child<DirectionPicture>(&view, "directionPicture")->direction() == Direction::Depart,
            1000);
    }

    void intervalControlsFollowEditMode() {
        connectToSim();
        SensorOperations operations(context_->protocol, context_->objects.SyncData());
        ForwardFireEventView view(*context_, operations);
        QTRY_VERIFY_WITH_TIMEOUT(view.running(), 5000);
        QVERIFY(qvx::test::Child<QToolButton>(&view, "queryButton")->isEnabled());
        auto* save_interval_button = qvx::test::Child<QToolButton>(&view, "saveIntervalButton");
        QVERIFY(!save_interval_button->isEnabled());
        qvx::test::Child<QToolButton>(&view, "editButton")->click();
        QVERIFY(view.editMode());
        QVERIFY(save_interval_button->isEnabled());
        QVERIFY(!qvx::test::Child<QToolButton>(&view, "queryButton")->isEnabled());
        qvx::test::Child<QLineEdit>(&view, "intervalField")->setText("4");
        save_interval_button->click();
        QTRY_VERIFY_WITH_TIMEOUT(!view.workRunning(), 3000);
        QCOMPARE(prompts_.messages.back().text, std::string("The minimum interval is 5 seconds!"));
        QVERIFY(view.editMode());
        qvx::test::Child<QToolButton>(&view, "cancelButton")->click();
        QVERIFY(!view.editMode());
        QCOMPARE(qvx::test::Child<QLineEdit>(&view, "intervalField")->text(), QString("20"));
    }

    void aLongResponseWaitStopsOccupancyAndEventPolls() {
        connectToSim('2', 2000);
        SensorOperations operations(context_->protocol, context_->objects.SyncData());
        ForwardFireEventView view(*context_, operations);
        // Every exchange may now take the whole extra wait, so opening is slow.
        QTRY_VERIFY_WITH_TIMEOUT(view.running(), 30000);
        QTest::qWait(1000);
        QCOMPARE(Requests(*server_, "XA"), std::size_t{0});
        QCOMPARE(Requests(*server_, "XG"), std::size_t{0});
        QCOMPARE(Requests(*server_, "XEE"), std::size_t{0});  // no flush unless the wait is 0
    }

    void screenshots() {
        if (qEnvironmentVariableIsEmpty("QVX_SCREENSHOT_SUFFIX"))
            return;
        connectToSim('1');
        SensorOperations operations(context_->protocol, context_->objects.SyncData());
        ForwardFireEventView view(*context_, operations);
        view.resize(900, 620);
        view.show();
        QTRY_VERIFY_WITH_TIMEOUT(view.running(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(view.findChild<QListWidget*>("eventList")->count() >= 3, 6000);
        qvx::gui::test::SaveScreenshot(
            view, "forward_fire_event_view" + qEnvironmentVariable("QVX_SCREENSHOT_SUFFIX"));
    }
};

QTEST_MAIN(TstForwardFireEventView)
#include "tst_forward_fire_event_view.moc"
