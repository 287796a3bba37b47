#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "../support/pty_line.h"
#include "../support/scripted_prompts.h"
#include "connect/modem_connection_dialog.h"
#include "context/app_context.h"
#include "modal_driver.h"
#include "protocol/user_prompts.h"
#include "sim_server.h"
#include "support/find_child.h"

using namespace qvx;
using namespace qvx::gui;

// The dial, the sensor check and the hang-up take several seconds of a busy machine.
constexpr int kPatientMs = 30000;

namespace {

std::unique_ptr<sim::SimServer> ModemSim(sim::ModemSettings modem = {}) {
    sim::ServerSettings settings;
    settings.transport = sim::Transport::Pty;
    settings.modem = true;
    settings.modem_front = modem;
    auto server =
        std::make_unique<sim::SimServer>(std::vector<sim::SensorSettings>{sim::SensorSettings{}}, settings);
    return server->Start() ? std::move(server) : nullptr;
}

bool Logged(const sim::SimServer& server, const std::string& line) {
    const std::vector<std::string> log = server.RequestLog();
    return std::find(log.begin(), log.end(), line) != log.end();
}

}  // namespace

class TstModemConnectionDialog : public QObject {
    Q_OBJECT
  private:
    QTemporaryDir dir_;
    int registry_number_ = 0;
    ScriptedPrompts prompts_;
    std::unique_ptr<AppContext> app_;

    std::unique_ptr<ModemConnectionDialog> openDialog(const std::string& port) {
        qputenv("QVX_SERIAL_PORTS", QByteArray::fromStdString(port));
        auto dialog = std::make_unique<ModemConnectionDialog>(*app_);
        dialog->setTimerIntervals(100, 200);
        dialog->show();
        return dialog;
    }

  private slots:
    void init() {
        prompts_ = ScriptedPrompts();
        app_ = std::make_unique<AppContext>(
            prompts_,
            RegistryStore(dir_.filePath(QString("registry-%1").arg(++registry_number_)).toStdString()));
    }
    void cleanup() { app_.reset(); }

    void idleNumberRulesAndTheLastPhone() {
        test::PtyLine silent;
        auto dialog = openDialog(silent.path());
        QCOMPARE(dialog->windowTitle(), QString("Modem connection..."));
        QCOMPARE(test::Child<QLabel>(dialog.get(), "promptLabel")->text(),
                 QString("Enter sensor's telephone number or \nopen the Modem Address Book"));
        QCOMPARE(test::Child<QLabel>(dialog.get(), "propertiesLabel")->text(),
                 QString("  ID - Simple;    Synchronize - Yes;    Wait - 0"));
        auto* dial_button = test::Child<QPushButton>(dialog.get(), "dialButton");
        QCOMPARE(dial_button->text(), QString("Dial"));
        QTest::keyClicks(dialog->findChild<QLineEdit*>("numberField"), "555-0100");
        test::SaveScreenshot(dialog.get(), "modem_connection_dialog_idle");
        dialog->findChild<QCheckBox*>("manualBox")->setChecked(true);
        QVERIFY(!dialog->findChild<QLineEdit*>("numberField")->isEnabled());
        dialog->findChild<QCheckBox*>("manualBox")->setChecked(false);
        dialog->findChild<QLineEdit*>("numberField")->clear();
        dial_button->click();
        QCOMPARE(test::Child<QLabel>(dialog.get(), "statusLabel")->text(),
                 QString("Please enter a valid number before dialing!"));

        // No modem on the only port: the error, and the window idle again.
        dialog->findChild<QLineEdit*>("numberField")->setText("5550100");
        dial_button->click();
        QVERIFY(QTest::qWaitFor(
            [&] {
                return test::Child<QLabel>(dialog.get(), "statusLabel")->text() == "No modem detected...";
            },
            kPatientMs));
        QCOMPARE(prompts_.messages.back().text, std::string("Error: no modem was detected on this machine!"));
        QVERIFY(dial_button->isEnabled());
        test::SaveScreenshot(dialog.get(), "modem_connection_dialog_no_modem");
        dialog.reset();
        auto again = openDialog(silent.path());
        QCOMPARE(again->findChild<QLineEdit*>("numberField")->text(), QString("5550100"));  // "Last Phone"
    }

    void dialsConnectsAndDisconnectHangsUp() {
        auto modem = ModemSim();
        QVERIFY(modem);
        auto dialog = openDialog(modem->pty_path());
        dialog->findChild<QLineEdit*>("numberField")->setText("5550100");
        test::Child<QPushButton>(dialog.get(), "dialButton")->click();
        QVERIFY(QTest::qWaitFor([&] { return dialog->waitingForModem(); }, kPatientMs));
        test::SaveScreenshot(dialog.get(), "modem_connection_dialog_dialling");
        QVERIFY(QTest::qWaitFor([&] { return dialog->connected(); }, kPatientMs));
        QCOMPARE(test::Child<QLabel>(dialog.get(), "statusLabel")->text(),
                 QString("You are connected and communicating @ 9600 bps"));
        QCOMPARE(test::Child<QPushButton>(dialog.get(), "dialButton")->text(), QString("Continue"));
        QCOMPARE(test::Child<QPushButton>(dialog.get(), "cancelButton")->text(), QString("Disconnect"));
        QCOMPARE(app_->state.link_kind, LinkKind::Modem);
        test::SaveScreenshot(dialog.get(), "modem_connection_dialog_connected");
        QVERIFY(Logged(*modem, "ATDT5550100"));
        test::Child<QPushButton>(dialog.get(), "cancelButton")->click();
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QCOMPARE(app_->state.link_kind, LinkKind::None);
        QVERIFY(Logged(*modem, "+++"));
        QCOMPARE(modem->RequestLog().back(), std::string("ATH0"));
    }

    void continueDescribesTheManualCall() {
        auto modem = ModemSim();
        QVERIFY(modem);
        auto dialog = openDialog(modem->pty_path());
        dialog->findChild<QCheckBox*>("manualBox")->setChecked(true);
        test::Child<QPushButton>(dialog.get(), "dialButton")->click();
        QVERIFY(QTest::qWaitFor([&] { return dialog->connected(); }, kPatientMs));
        QVERIFY(Logged(*modem, "ATX3DT"));
        test::Child<QPushButton>(dialog.get(), "dialButton")->click();
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(app_->state.connection_description, std::string("Manually Dialed @ 9600 bps"));
        QVERIFY(app_->state.manual_dial);
    }

    void noCarrierPutsTheWindowBackToDial() {
        sim::ModemSettings settings;
        settings.outcome = sim::DialOutcome::NoCarrier;
        auto modem = ModemSim(settings);
        QVERIFY(modem);
        auto dialog = openDialog(modem->pty_path());
        dialog->findChild<QLineEdit*>("numberField")->setText("5550100");
        auto* dial_button = test::Child<QPushButton>(dialog.get(), "dialButton");
        dial_button->click();
        QVERIFY(QTest::qWaitFor(
            [&] {
                return test::Child<QLabel>(dialog.get(), "statusLabel")->text() ==
                       "No carrier detected. Check modem connections and configuration, then retry.";
            },
            kPatientMs));
        QCOMPARE(dial_button->text(), QString("Dial"));
        QVERIFY(dial_button->isEnabled());
        QVERIFY(dialog->findChild<QLineEdit*>("numberField")->isEnabled());
        test::SaveScreenshot(dialog.get(), "modem_connection_dialog_no_carrier");
    }

    // Cancel while the far modem is still being dialled: the warnings, then the port is free and
    // the modem in command mode for the next window.
    void cancelWhileDiallingLeavesThePortUsable() {
        sim::ModemSettings settings;
        settings.dial_ms = 4000;
        auto modem = ModemSim(settings);
        QVERIFY(modem);
        auto dialog = openDialog(modem->pty_path());
        dialog->findChild<QCheckBox*>("manualBox")->setChecked(true);
        test::Child<QPushButton>(dialog.get(), "dialButton")->click();
        QVERIFY(QTest::qWaitFor([&] { return dialog->waitingForModem(); }, kPatientMs));
        test::Child<QPushButton>(dialog.get(), "cancelButton")->click();
        QVERIFY(QTest::qWaitFor([&] { return !dialog->isVisible(); }, kPatientMs));
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QCOMPARE(prompts_.messages.size(), std::size_t(2));
        QCOMPARE(prompts_.messages[0].text, std::string("Hang up telephone and then press OK."));
        QCOMPARE(prompts_.messages[1].caption, std::string("Warning"));
        QCOMPARE(
            prompts_.messages[1].text,
            std::string("Connection cancelled while in progress...\r\nLocal modem may need to be reset..."));
        QVERIFY(!app_->link.serial().IsOpen());

        auto next = openDialog(modem->pty_path());
        next->findChild<QCheckBox*>("manualBox")->setChecked(false);
        next->findChild<QLineEdit*>("numberField")->setText("5550100");
        test::Child<QPushButton>(next, "dialButton")->click();
        QVERIFY(QTest::qWaitFor([&] { return next->connected(); }, kPatientMs));
    }
};

QTEST_MAIN(TstModemConnectionDialog)
#include "tst_modem_connection_dialog.moc"
