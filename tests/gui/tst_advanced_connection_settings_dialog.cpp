#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "../support/pty_line.h"
#include "connect/advanced_connection_settings_dialog.h"
#include "platform/registry_store.h"
#include "support/find_child.h"
#include "support/scripted_dialog_prompts.h"

using namespace qvx;
using namespace qvx::gui;

namespace {

QStringList Items(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->itemText(i);
    }
    return items;
}

}  // namespace

class TstAdvancedConnectionSettingsDialog : public QObject {
    Q_OBJECT
  private:
    QTemporaryDir dir_;
    std::unique_ptr<RegistryStore> registry_;
    std::unique_ptr<ConnectionState> state_;
    int registry_number_ = 0;

    std::vector<std::string> noPorts() { return {kNoPortFound}; }

  private slots:
    void init() {
        registry_ = std::make_unique<RegistryStore>(
            dir_.filePath(QString("registry-%1").arg(++registry_number_)).toStdString());
        state_ = std::make_unique<ConnectionState>();
    }

    void idFieldKeepsOnlyDigitsAndCapitalsAndGatesOk() {
        AdvancedConnectionSettingsDialog dialog(SettingsKind::Internet, *registry_, *state_,
                                                [] { return std::vector<std::string>{}; });
        QVERIFY(dialog.okButton()->isEnabled());
        QVERIFY(!dialog.findChild<QLineEdit*>("idField")->isEnabled());
        dialog.findChild<QRadioButton*>("fixedIdButton")->setChecked(true);
        QVERIFY(dialog.findChild<QLineEdit*>("idField")->isEnabled());
        QVERIFY(!dialog.okButton()->isEnabled());
        QTest::keyClicks(dialog.findChild<QLineEdit*>("idField"), "1 2 a 4");
        QCOMPARE(dialog.findChild<QLineEdit*>("idField")->text(), QString("124"));
        QVERIFY(!dialog.okButton()->isEnabled());
        QTest::keyClicks(dialog.findChild<QLineEdit*>("idField"), "Z9");
        QCOMPARE(dialog.findChild<QLineEdit*>("idField")->text(), QString("124Z"));
        QVERIFY(dialog.okButton()->isEnabled());
        dialog.findChild<QRadioButton*>("detectIdsButton")->setChecked(true);
        dialog.findChild<QLineEdit*>("idField")->clear();
        QVERIFY(dialog.okButton()->isEnabled());
    }

    void internetKindHidesPortAndModemGroups() {
        AdvancedConnectionSettingsDialog dialog(SettingsKind::Internet, *registry_, *state_,
                                                [this] { return noPorts(); });
        dialog.show();
        QVERIFY(!dialog.findChild<QGroupBox*>("portGroup")->isVisible());
        QVERIFY(!dialog.findChild<QGroupBox*>("modemGroup")->isVisible());
        gui::test::SaveScreenshot(dialog, "advanced_connection_settings_internet");
    }

    void modemKindRestoresTheModemStrings() {
        AdvancedConnectionSettingsDialog dialog(SettingsKind::Modem, *registry_, *state_,
                                                [this] { return noPorts(); });
        dialog.show();
        QVERIFY(dialog.findChild<QGroupBox*>("modemGroup")->isVisible());
        QVERIFY(!dialog.findChild<QGroupBox*>("portGroup")->isVisible());
        QCOMPARE(dialog.findChild<QLineEdit*>("modemInitField")->text(),
                 QString("AT E0 Q0 T V1 W2 X3 &K0 &Q0 S48=0 &W"));
        dialog.findChild<QLineEdit*>("modemInitField")->setText("AT&F");
        dialog.findChild<QLineEdit*>("modemAutoField")->setText("ATI");
        gui::test::SaveScreenshot(dialog, "advanced_connection_settings_modem");
        dialog.findChild<QPushButton*>("restoreDefaultsButton")->click();
        QCOMPARE(dialog.findChild<QLineEdit*>("modemInitField")->text(),
                 QString("AT E0 Q0 T V1 W2 X3 &K0 &Q0 S48=0 &W"));
        QCOMPARE(dialog.findChild<QLineEdit*>("modemAutoField")->text(), QString("ATL0"));
    }

    // The ports come from QVX_SERIAL_PORTS; only those that open are listed, after "Auto-find".
    void portListPutsAutoFindFirst() {
        qvx::test::PtyLine first;
        qvx::test::PtyLine second;
        QVERIFY(!first.path().empty() && !second.path().empty());
        std::string ports = first.path() + ":/nonexistent/ttyQVX0:" + second.path();
        qputenv("QVX_SERIAL_PORTS", QByteArray::fromStdString(ports));
        AdvancedConnectionSettingsDialog dialog(SettingsKind::Serial, *registry_, *state_);
        qunsetenv("QVX_SERIAL_PORTS");
        QCOMPARE(Items(dialog.findChild<QComboBox*>("portList")),
                 (QStringList{"Auto-find", QString::fromStdString(first.path()),
                              QString::fromStdString(second.path())}));
        QCOMPARE(Items(dialog.findChild<QComboBox*>("baudList")),
                 (QStringList{"Auto-find", "9600 bps", "19200 bps", "38400 bps", "57600 bps", "115200 bps"}));
        dialog.show();
        gui::test::SaveScreenshot(dialog, "advanced_connection_settings_serial");
    }

    void noPortThatOpensSaysSo() {
        qputenv("QVX_SERIAL_PORTS", "/nonexistent/ttyQVX0");
        AdvancedConnectionSettingsDialog dialog(SettingsKind::Serial, *registry_, *state_);
        qunsetenv("QVX_SERIAL_PORTS");
        QCOMPARE(Items(dialog.findChild<QComboBox*>("portList")), QStringList{"No port found"});
    }

    void firstTimeUserStartsAutomaticSimpleWithClockSync() {
        AdvancedConnectionSettingsDialog dialog(SettingsKind::Serial, *registry_, *state_,
                                                [this] { return noPorts(); });
        QVERIFY(dialog.findChild<QRadioButton*>("autoPortButton")->isChecked());
        QVERIFY(!dialog.findChild<QComboBox*>("portList")->isEnabled());
        QVERIFY(!dialog.findChild<QComboBox*>("baudList")->isEnabled());
        QVERIFY(qvx::test::Child<QRadioButton>(&dialog, "simpleProtocolButton")->isChecked());
        QVERIFY(qvx::test::Child<QCheckBox>(&dialog, "synchronizeBox")->isChecked());
        QVERIFY(!dialog.findChild<QCheckBox*>("useDelayBox")->isChecked());
        QVERIFY(!dialog.findChild<QLineEdit*>("delayField")->isEnabled());
        QCOMPARE(dialog.findChild<QLineEdit*>("maxSensorsField")->text(), QString("10"));
        QVERIFY(!dialog.findChild<QCheckBox*>("saveAsDefaultBox")->isChecked());
    }

    void okAppliesToTheConnectionAndSavesWhenAsked() {
        std::vector<std::string> ports{"Auto-find", "/dev/ttyQVX1", "/dev/ttyQVX2"};
        state_->response_wait_ms = 0;
        {
            AdvancedConnectionSettingsDialog dialog(SettingsKind::Serial, *registry_, *state_,
                                                    [&] { return ports; });
            dialog.findChild<QRadioButton*>("specifyPortButton")->setChecked(true);
            QVERIFY(dialog.findChild<QComboBox*>("portList")->isEnabled());
            dialog.findChild<QComboBox*>("portList")->setCurrentIndex(2);
            dialog.findChild<QComboBox*>("baudList")->setCurrentIndex(4);
            dialog.findChild<QCheckBox*>("useDelayBox")->setChecked(true);
            QVERIFY(dialog.findChild<QLineEdit*>("delayField")->isEnabled());
            dialog.findChild<QLineEdit*>("delayField")->clear();
            QTest::keyClicks(dialog.findChild<QLineEdit*>("delayField"), "1234567");
            QCOMPARE(dialog.findChild<QLineEdit*>("delayField")->text(), QString("12345"));
            dialog.findChild<QRadioButton*>("fixedIdButton")->setChecked(true);
            QTest::keyClicks(dialog.findChild<QLineEdit*>("idField"), "00A7");
            qvx::test::Child<QCheckBox>(&dialog, "synchronizeBox")->setChecked(false);
            dialog.findChild<QCheckBox*>("saveAsDefaultBox")->setChecked(true);
            dialog.okButton()->click();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        QCOMPARE(state_->fixed_baud, 57600u);
        QCOMPARE(state_->port_setting, std::string("/dev/ttyQVX2"));
        QCOMPARE(state_->response_wait_ms.load(), 12345);
        QCOMPARE(state_->multidrop_current_id, std::string("00A7"));
        QVERIFY(state_->multidrop_enabled);
        QVERIFY(!state_->synchronize_clock);
        QCOMPARE(registry_->GetInt(kKeyConnectionDefaults, "Baudrate index").value_or(-1), 4);
        QCOMPARE(registry_->GetString(kKeyConnectionDefaults, "COM port").value_or(""),
                 std::string("/dev/ttyQVX2"));

        AdvancedConnectionSettingsDialog again(SettingsKind::Serial, *registry_, *state_,
                                               [&] { return ports; });
        QVERIFY(again.findChild<QRadioButton*>("specifyPortButton")->isChecked());
        QCOMPARE(again.findChild<QComboBox*>("portList")->currentIndex(), 2);
        QCOMPARE(again.findChild<QComboBox*>("baudList")->currentIndex(), 4);
        QCOMPARE(again.findChild<QLineEdit*>("idField")->text(), QString("00A7"));
    }

    void cancelLeavesTheConnectionAlone() {
        state_->SetMultiDropId("0042");
        state_->multidrop_mode = 0;
        state_->response_wait_ms = 77;
        AdvancedConnectionSettingsDialog dialog(SettingsKind::Internet, *registry_, *state_,
                                                [this] { return noPorts(); });
        dialog.reject();
        QCOMPARE(state_->multidrop_current_id, std::string("0042"));
        QCOMPARE(state_->multidrop_mode, 0);
        QCOMPARE(state_->response_wait_ms.load(), 77);
    }
};

QTEST_MAIN(TstAdvancedConnectionSettingsDialog)
#include "tst_advanced_connection_settings_dialog.moc"
