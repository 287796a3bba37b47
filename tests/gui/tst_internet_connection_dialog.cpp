#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <memory>

#include "../support/scripted_prompts.h"
#include "connect/internet_connection_dialog.h"
#include "context/app_context.h"
#include "modal_driver.h"
#include "protocol/user_prompts.h"
#include "sim_server.h"
#include "support/find_child.h"

using namespace qvx;
using namespace qvx::gui;

// The connection work runs on a worker thread of a busy machine.
constexpr int kPatientMs = 20000;

class TstInternetConnectionDialog : public QObject {
    Q_OBJECT
  private:
    QTemporaryDir dir_;
    int registry_number_ = 0;
    ScriptedPrompts prompts_;
    std::unique_ptr<AppContext> app_;

    QString writeParameters(const std::string& text) {
        const QString path = dir_.filePath(QString("params-%1").arg(registry_number_));
        std::ofstream(path.toStdString(), std::ios::binary) << text;
        return path;
    }

  private slots:
    void init() {
        app_ = std::make_unique<AppContext>(
            prompts_,
            RegistryStore(dir_.filePath(QString("registry-%1").arg(++registry_number_)).toStdString()));
    }
    void cleanup() { app_.reset(); }

    void thePortIsClampedAndConnectNeedsAPort() {
        InternetConnectionDialog dialog(*app_);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QString("Internet connection..."));
        QCOMPARE(test::Child<QLabel>(&dialog, "promptLabel")->text(),
                 QString("Enter the sensor's connection information or \nopen the IP Address Book..."));
        QCOMPARE(test::Child<QLabel>(&dialog, "propertiesLabel")->text(),
                 QString("  ID - Simple;    Synchronize - Yes;    Wait - 0"));
        auto* port_field = test::Child<QLineEdit>(&dialog, "portField");
        port_field->clear();
        QVERIFY(!test::Child<QPushButton>(&dialog, "connectButton")->isEnabled());
        QTest::keyClicks(port_field, "70000");
        QCOMPARE(port_field->text(), QString("65535"));
        QCOMPARE(app_->state.tcp_port, 65535);
        QVERIFY(test::Child<QPushButton>(&dialog, "connectButton")->isEnabled());
        QTest::keyClicks(test::Child<QLineEdit>(&dialog, "addressField"), "192.168.001.0201234");
        QCOMPARE(test::Child<QLineEdit>(&dialog, "addressField")->text(), QString("192.168.001.020"));
        test::SaveScreenshot(&dialog, "internet_connection_dialog_idle");
    }

    void autoConnectWithAParametersFileEndsConnected() {
        sim::SimServer sensor({sim::SensorSettings{}}, sim::ServerSettings{});
        QVERIFY(sensor.Start());
        const std::string port = std::to_string(sensor.tcp_port());
        InternetConnectionDialog dialog(*app_, writeParameters("127.0.0.1 " + port + "\r\n"), true);
        QCOMPARE(test::Child<QLineEdit>(&dialog, "addressField")->text(), QString("127.0.0.1"));
        QCOMPARE(dialog.run(), int(QDialog::Accepted));
        QCOMPARE(app_->state.link_kind, LinkKind::Internet);
        QVERIFY(app_->state.socket_open);
        QCOMPARE(app_->state.connection_description, "127.0.0.1/" + port);
        QVERIFY(prompts_.messages.empty());
    }

    void disconnectAndCancelCloseTheSocket() {
        sim::SimServer sensor({sim::SensorSettings{}}, sim::ServerSettings{});
        QVERIFY(sensor.Start());
        InternetConnectionDialog dialog(*app_);
        dialog.show();
        test::Child<QLineEdit>(&dialog, "addressField")->setText("127.0.0.1");
        test::Child<QLineEdit>(&dialog, "portField")->setText(QString::number(sensor.tcp_port()));
        auto* connect_button = test::Child<QPushButton>(&dialog, "connectButton");
        connect_button->click();
        auto* status_label = test::Child<QLabel>(&dialog, "statusLabel");
        QVERIFY(status_label->text().startsWith("Connecting to 127.0.0.1"));
        QVERIFY(QTest::qWaitFor([&] { return connect_button->text() == "Disconnect"; }, kPatientMs));
        QCOMPARE(status_label->text(), QString("Remote connection established!"));
        auto* cancel_button = test::Child<QPushButton>(&dialog, "cancelButton");
        QCOMPARE(cancel_button->text(), QString("Continue"));
        QVERIFY(connect_button->isEnabled());
        test::SaveScreenshot(&dialog, "internet_connection_dialog_connected");
        connect_button->click();
        QCOMPARE(status_label->text(), QString("Remote connection terminated!"));
        QVERIFY(!app_->state.socket_open);
        QCOMPARE(cancel_button->text(), QString("Cancel"));
        cancel_button->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    // The worker is inside a slow probe: the window says so, waits until the worker took the
    // cancel back, and only then closes the socket and itself.
    void cancelWhileConnectingWaitsForTheWorker() {
        sim::ServerSettings settings;
        settings.faults.slow_ms = 1500;
        sim::SimServer sensor({sim::SensorSettings{}}, settings);
        QVERIFY(sensor.Start());
        InternetConnectionDialog dialog(*app_);
        dialog.show();
        test::Child<QLineEdit>(&dialog, "addressField")->setText("127.0.0.1");
        test::Child<QLineEdit>(&dialog, "portField")->setText(QString::number(sensor.tcp_port()));
        test::Child<QPushButton>(&dialog, "connectButton")->click();
        QVERIFY(QTest::qWaitFor([&] { return sensor.exchanges() > 0; }, kPatientMs));
        test::Child<QPushButton>(&dialog, "cancelButton")->click();
        QCOMPARE(test::Child<QLabel>(&dialog, "statusLabel")->text(),
                 QString("Cancelling connection attempt...please wait..."));
        QVERIFY(!test::Child<QPushButton>(&dialog, "cancelButton")->isEnabled());
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.workerRunning());
        QVERIFY(QTest::qWaitFor([&] { return !dialog.isVisible(); }, kPatientMs));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!app_->state.cancel_connect.load());
        QVERIFY(!app_->state.socket_open);
    }

    void anUnusableParametersFileIsReportedAndNotUsed() {
        InternetConnectionDialog dialog(*app_, writeParameters("garbage\n"), false);
        QTimer::singleShot(0, &dialog, &QDialog::reject);
        dialog.run();
        QCOMPARE(prompts_.messages.size(), std::size_t{1});
        QCOMPARE(prompts_.messages[0].text,
                 std::string("Error processing Input Parameters File, Parameters not used."));
        QCOMPARE(test::Child<QLineEdit>(&dialog, "addressField")->text(), QString());
    }
};

QTEST_MAIN(TstInternetConnectionDialog)
#include "tst_internet_connection_dialog.moc"
