#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "../support/scripted_prompts.h"
#include "connect/connection_properties_dialog.h"
#include "connect/internet_connect.h"
#include "context/app_context.h"
#include "modal_driver.h"
#include "protocol/user_prompts.h"
#include "sim_server.h"
#include "support/find_child.h"

using namespace qvx;
using namespace qvx::gui;

class TstConnectionPropertiesDialog : public QObject {
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
    void cleanup() { app_.reset(); }

    void withoutALinkNothingCanBeEdited() {
        ConnectionPropertiesDialog dialog(*app_);
        QCOMPARE(dialog.windowTitle(), QString("Current Connection Properties"));
        QCOMPARE(test::Child<QLabel>(&dialog, "typeLabel")->text(), QString("Disconnected"));
        QCOMPARE(test::Child<QLabel>(&dialog, "addressCaption")->text(), QString("Address:"));
        QCOMPARE(test::Child<QLabel>(&dialog, "addressLabel")->text(), QString("None"));
        QCOMPARE(test::Child<QLabel>(&dialog, "protocolLabel")->text(), QString("None"));
        QCOMPARE(test::Child<QLabel>(&dialog, "automaticLabel")->text(), QString("0"));
        QVERIFY(!dialog.findChild<QLineEdit*>("additionalField")->isEnabled());
        QVERIFY(!test::Child<QPushButton>(&dialog, "recalculateButton")->isEnabled());
        QVERIFY(!test::Child<QPushButton>(&dialog, "saveButton")->isEnabled());
    }

    void recalculateMeasuresTheLinkAndTheAdditionalWaitAddsUp() {
        sim::SimServer sensor({sim::SensorSettings{}}, sim::ServerSettings{});
        QVERIFY(sensor.Start());
        PrepareInternetConnect(*app_, "127.0.0.1", std::to_string(sensor.tcp_port()));
        QVERIFY(app_->link.tcp().Connect());
        app_->state.connection_description = "127.0.0.1/" + std::to_string(sensor.tcp_port());
        app_->state.base_response_wait_ms = 999;

        ConnectionPropertiesDialog dialog(*app_);
        dialog.show();
        QCOMPARE(test::Child<QLabel>(&dialog, "typeLabel")->text(), QString("Internet"));
        QCOMPARE(test::Child<QLabel>(&dialog, "protocolLabel")->text(), QString("Simple Quorvix Network"));
        dialog.findChild<QLineEdit*>("additionalField")->setText("250");
        QCOMPARE(app_->state.response_wait_ms.load(), 250);
        QCOMPARE(test::Child<QLabel>(&dialog, "totalLabel")->text(), QString("1249"));
        test::Child<QPushButton>(&dialog, "recalculateButton")->click();
        QVERIFY(QTest::qWaitFor([&] { return !dialog.recalculating(); }, 20000));
        QTest::qWait(100);
        QVERIFY(app_->state.base_response_wait_ms < 999);
        QCOMPARE(test::Child<QLabel>(&dialog, "automaticLabel")->text(),
                 QString::number(app_->state.base_response_wait_ms));
        QCOMPARE(test::Child<QLabel>(&dialog, "totalLabel")->text(),
                 QString::number(app_->state.base_response_wait_ms + 250));
        QVERIFY(!app_->objects.Event("GetPropertiesEvent").IsSet());
        test::SaveScreenshot(&dialog, "connection_properties_dialog");

        test::Child<QPushButton>(&dialog, "saveButton")->click();
        QCOMPARE(app_->registry.GetInt(kKeyConnectionDefaults, "User Added Delay"), 250);
        QCOMPARE(app_->registry.GetBinary(kKeyConnectionDefaults, "Use Delay")->size(), std::size_t{1});
    }
};

QTEST_MAIN(TstConnectionPropertiesDialog)
#include "tst_connection_properties_dialog.moc"
