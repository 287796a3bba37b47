#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <thread>

#include "connect/select_sensor_id_dialog.h"
#include "modal_driver.h"
#include "support/find_child.h"

using namespace qvx;
using namespace qvx::gui;

namespace {

// Stands in for the line: the first detection finds `found`, a redetect adds `added`.
SelectSensorIdDialog::Detector FakeLine(std::vector<std::string> found, std::vector<std::string> added = {}) {
    return [found, added](MultiDropDetection& detection, bool redetect) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        for (const auto& id : redetect ? added : found) {
            detection.ids.push_back(id);
            ++detection.count;
        }
        detection.selected = detection.ids.empty() ? -1 : 0;
        detection.prompt = SelectSensorPrompt(detection.count);
    };
}

}  // namespace

class TstSelectSensorIdDialog : public QObject {
    Q_OBJECT
  private slots:
    void continueTakesTheSelectedIdIntoBothCopies() {
        ConnectionState state;
        SelectSensorIdDialog dialog(state, FakeLine({"0012", "0045", "00A1"}));
        test::ModalDriver driver("continueButton");
        driver.before_click = [](QWidget* window) {
            auto* list = window->findChild<QComboBox*>("idList");
            QCOMPARE(list->count(), 3);
            QCOMPARE(list->currentText(), QString("0012"));
            list->setCurrentIndex(2);
            QCOMPARE(
                window->findChild<QLabel*>("promptLabel")->text(),
                QString(
                    "To complete the connection...\nSelect a sensor from among the 3 ID(s) listed below..."));
            test::SaveScreenshot(window, "select_sensor_id_dialog");
        };
        const SensorSelection selection = dialog.run();
        QVERIFY(driver.clicked());
        QCOMPARE(driver.caption(), QString("Select the sensor ID..."));
        QVERIFY(selection.continued);
        QCOMPARE(selection.count, 3);
        QCOMPARE(state.multidrop_current_id, std::string("00A1"));
        QCOMPARE(state.multidrop_target_id, std::string("00A1"));
    }

    void aTypedIdIsTakenAndAnEmptyOneCancels_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("continued");
        QTest::addColumn<QString>("id");
        QTest::newRow("typed") << "12345" << true << "1234";
        QTest::newRow("empty") << "" << false << "FFFF";
    }
    void aTypedIdIsTakenAndAnEmptyOneCancels() {
        QFETCH(QString, typed);
        QFETCH(bool, continued);
        QFETCH(QString, id);
        ConnectionState state;
        SelectSensorIdDialog dialog(state, FakeLine({"0012"}));
        test::ModalDriver driver("continueButton");
        driver.before_click = [typed](QWidget* window) {
            auto* edit = window->findChild<QComboBox*>("idList")->lineEdit();
            edit->clear();
            QTest::keyClicks(edit, typed);
        };
        const SensorSelection selection = dialog.run();
        QCOMPARE(selection.continued, continued);
        QCOMPARE(QString::fromStdString(state.multidrop_target_id), id);
    }

    void nothingFoundNeverShowsTheWindow() {
        ConnectionState state;
        SelectSensorIdDialog dialog(state, FakeLine({}));
        const SensorSelection selection = dialog.run();
        QVERIFY(selection.continued);
        QCOMPARE(selection.count, 0);
        QVERIFY(!dialog.isVisible());
    }

    void cancelEndsCancelled() {
        ConnectionState state;
        SelectSensorIdDialog dialog(state, FakeLine({"0012"}));
        test::ModalDriver driver("cancelButton");
        QVERIFY(!dialog.run().continued);
        QCOMPARE(state.multidrop_target_id, std::string("FFFF"));
    }

    void redetectKeepsTheListAndAddsWhatItFinds() {
        ConnectionState state;
        SelectSensorIdDialog dialog(state, FakeLine({"0012"}, {"0077"}));
        test::ModalDriver redetect("redetectButton");
        QTimer finish;
        connect(&finish, &QTimer::timeout, &dialog, [&dialog] {
            if (redetectDone(dialog)) {
                test::Child<QPushButton>(&dialog, "continueButton")->click();
            }
        });
        finish.start(20);
        const SensorSelection selection = dialog.run();
        QVERIFY(redetect.clicked());
        QCOMPARE(selection.count, 2);
        QCOMPARE(dialog.detection().ids, (std::vector<std::string>{"0012", "0077"}));
    }

  private:
    static bool redetectDone(const SelectSensorIdDialog& dialog) {
        return dialog.isVisible() && dialog.findChild<QComboBox*>("idList")->count() == 2 &&
               test::Child<QPushButton>(&dialog, "continueButton")->isEnabled();
    }
};

QTEST_MAIN(TstSelectSensorIdDialog)
#include "tst_select_sensor_id_dialog.moc"
