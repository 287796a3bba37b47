#include <stdlib.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "../support/pty_line.h"
#include "../support/scripted_prompts.h"
#include "connect/serial_connection_dialog.h"
#include "context/app_context.h"
#include "modal_driver.h"
#include "platform/registry_store.h"
#include "protocol/user_prompts.h"
#include "sim_server.h"
#include "support/find_child.h"

using namespace qvx;
using namespace qvx::gui;

// The connection work runs on a worker thread of a busy machine.
constexpr int kPatientMs = 20000;

class TstSerialConnectionDialog : public QObject {
    Q_OBJECT
  private:
    QTemporaryDir dir_;
    int registry_number_ = 0;
    ScriptedPrompts prompts_;
    std::unique_ptr<AppContext> app_;

  private slots:
    void init() {
        app_ = std::make_unique<AppContext>(
            prompts_,
            RegistryStore(dir_.filePath(QString("registry-%1").arg(++registry_number_)).toStdString()));
    }
    void cleanup() {
        ::unsetenv("QVX_SERIAL_PORTS");
        app_.reset();
    }

    void opensIdleWithThePropertiesLine() {
        SerialConnectionDialog dialog(*app_);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QString("Serial connection..."));
        QCOMPARE(
            test::Child<QLabel>(&dialog, "promptLabel")->text(),
            QString("Click <CONNECT> to continue using current settings,\nor click <Advanced>  to adjust the "
                    "settings..."));
        // A first run: automatic port and rate, simple protocol, no added wait.
        QCOMPARE(test::Child<QLabel>(&dialog, "propertiesLabel")->text(),
                 QString("COM - Auto;   Baud - Auto;    ID - Simple;    Synchronize - Yes;    Wait - 0"));
        QVERIFY(test::Child<QPushButton>(&dialog, "connectButton")->isEnabled());
        QVERIFY(test::Child<QPushButton>(&dialog, "connectButton")->isDefault());
        QVERIFY(test::Child<QPushButton>(&dialog, "advancedButton")->isEnabled());
        test::SaveScreenshot(&dialog, "serial_connection_dialog_idle");
    }

    void noPortToOpenEndsInTheFailedState() {
        ::setenv("QVX_SERIAL_PORTS", dir_.filePath("no-such-port").toLocal8Bit().constData(), 1);
        SerialConnectionDialog dialog(*app_);
        dialog.show();
        test::Child<QPushButton>(&dialog, "connectButton")->click();
        QVERIFY(QTest::qWaitFor([&] { return dialog.phase() == SerialConnectionDialog::Phase::Failed; },
                                kPatientMs));
        QCOMPARE(test::Child<QLabel>(&dialog, "promptLabel")->text(),
                 QString("Unable to establish a serial connection!..."));
        // The search says what it tried, in the same words as qvx.
        auto* status = test::Child<QLabel>(&dialog, "statusLabel");
        QCOMPARE(status->text(),
                 "Could not open " + dir_.filePath("no-such-port") + " (No such file or directory).");
        QTRY_VERIFY(status->height() >= status->heightForWidth(status->width()));  // no line cut off
        QVERIFY(test::Child<QPushButton>(&dialog, "connectButton")->isEnabled());
        QVERIFY(test::Child<QPushButton>(&dialog, "advancedButton")->isEnabled());
        QVERIFY(test::Child<QPushButton>(&dialog, "cancelButton")->isEnabled());
        QVERIFY(dialog.isVisible());
        test::SaveScreenshot(&dialog, "serial_connection_dialog_failed");
    }

    void cancelDuringTheSearchClosesAsCancelledOnceTheWorkerEnded() {
        test::PtyLine silent;
        ::setenv("QVX_SERIAL_PORTS", silent.path().c_str(), 1);
        SerialConnectionDialog dialog(*app_);
        dialog.show();
        test::Child<QPushButton>(&dialog, "connectButton")->click();
        QCOMPARE(dialog.phase(), SerialConnectionDialog::Phase::Busy);
        QCOMPARE(test::Child<QLabel>(&dialog, "promptLabel")->text(),
                 QString("Initializing serial communications..."));
        QVERIFY(!test::Child<QPushButton>(&dialog, "connectButton")->isEnabled());
        QVERIFY(!test::Child<QPushButton>(&dialog, "advancedButton")->isEnabled());
        QVERIFY(test::Child<QPushButton>(&dialog, "cancelButton")->isEnabled());
        QVERIFY(QTest::qWaitFor(
            [&] {
                return test::Child<QLabel>(&dialog, "statusLabel")
                    ->text()
                    .startsWith("Looking for initial response on ");
            },
            kPatientMs));
        test::SaveScreenshot(&dialog, "serial_connection_dialog_busy");

        test::Child<QPushButton>(&dialog, "cancelButton")->click();
        QVERIFY(QTest::qWaitFor([&] { return !dialog.isVisible(); }, 5000));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(dialog.worker().attempts_made() < 8);
        QVERIFY(!app_->state.cancel_connect.load());
        QCOMPARE(app_->state.link_kind, LinkKind::None);
    }

    void aSensorOnThePortConnectsCalibratesAndCloses() {
        sim::ServerSettings settings;
        settings.transport = sim::Transport::Pty;
        sim::SimServer sensor({sim::SensorSettings{}}, settings);
        QVERIFY(sensor.Start());
        ::setenv("QVX_SERIAL_PORTS", sensor.pty_path().c_str(), 1);
        SerialConnectionDialog dialog(*app_);
        dialog.show();
        test::Child<QPushButton>(&dialog, "connectButton")->click();
        QVERIFY(QTest::qWaitFor([&] { return !dialog.isVisible(); }, kPatientMs));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(app_->state.link_kind, LinkKind::Serial);
        QCOMPARE(app_->state.connection_description, sensor.pty_path() + " @ 9600 bps");
        QVERIFY(app_->state.base_response_wait_ms > 0);
    }

    // The selection window is asked for by the worker and shown on the user-interface thread.
    void automaticDetectionShowsTheSelectionAndConnectsToTheChosenSensor() {
        std::vector<sim::SensorSettings> sensors(2);
        sensors[0].id = "0101";
        sensors[1].id = "0202";
        for (auto& sensor : sensors) {
            sensor.multi_drop_network = true;
        }
        sim::ServerSettings settings;
        settings.transport = sim::Transport::Pty;
        sim::SimServer line(sensors, settings);
        QVERIFY(line.Start());
        ::setenv("QVX_SERIAL_PORTS", line.pty_path().c_str(), 1);
        app_->registry.CreateKey(kKeyConnectionDefaults);
        app_->registry.SetInt(kKeyConnectionDefaults, "Serial Multi-drop Detection", 1);

        SerialConnectionDialog dialog(*app_);
        QCOMPARE(test::Child<QLabel>(&dialog, "propertiesLabel")->text(),
                 QString("COM - Auto;   Baud - Auto;    ID - Auto;    Synchronize - Yes;    Wait - 10"));
        dialog.show();
        test::ModalDriver driver("continueButton");
        driver.before_click = [](QWidget* window) {
            QVERIFY(QThread::currentThread() == qApp->thread());
            window->findChild<QComboBox*>("idList")->setCurrentIndex(1);
        };
        test::Child<QPushButton>(&dialog, "connectButton")->click();
        QVERIFY(QTest::qWaitFor([&] { return !dialog.isVisible(); }, kPatientMs));
        QVERIFY(driver.clicked());
        QCOMPARE(driver.caption(), QString("Select the sensor ID..."));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(app_->state.multidrop_target_id, std::string("0202"));
        QCOMPARE(app_->state.link_kind, LinkKind::Serial);
        QVERIFY(line.sensor(0).muted());
        QVERIFY(line.sensor(1).muted());
    }
};

QTEST_MAIN(TstSerialConnectionDialog)
#include "tst_serial_connection_dialog.moc"
