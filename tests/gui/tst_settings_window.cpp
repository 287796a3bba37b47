// "Sensor Settings" against the simulated sensor: the pages of both mountings in English and
// metric units, red marks after a refused save, Save to Sensor, and the settings files.

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "../support/settings_records.h"
#include "app/main_window.h"
#include "config/settings_window.h"
#include "modal_driver.h"
#include "support/find_child.h"
#include "support/main_window_harness.h"

using namespace qvx;
using namespace qvx::gui;
using qvx::test::MainWindowHarness;
using qvx::test::ModalDriver;
using qvx::test::SaveScreenshot;

namespace {

sim::SensorSettings ForwardFireSensor() {
    sim::SensorSettings sensor = MainWindowHarness::DefaultSensor();
    sensor.forward_fire = true;
    return sensor;
}

template <typename T>
T* Find(QWidget* window, const char* name) {
    return window->findChild<T*>(name);
}

}  // namespace

class TstSettingsWindow : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<MainWindowHarness> harness_;
    std::unique_ptr<SettingsWindow> window_;

    SettingsWindow* open(sim::SensorSettings sensor = MainWindowHarness::DefaultSensor()) {
        harness_ = std::make_unique<MainWindowHarness>(sensor);
        harness_->open();
        if (!harness_->waitConnected())
            return nullptr;
        MainWindow& main = harness_->window();
        // As the menu item does: the current view's polling thread gives up the link first.
        if (!main.closeCurrentView())
            return nullptr;
        window_ = std::make_unique<SettingsWindow>(main.app(), main.operations(), &main);
        if (!window_->load())
            return nullptr;
        window_->resize(900, 620);
        window_->show();
        return window_.get();
    }

    // One screenshot per tab, named prefix_<tab>.
    void grabTabs(SettingsWindow* window, const QString& prefix) {
        const char* names[4] = {"general", "communication", "data_collection", "lane_calibration"};
        for (int tab = 0; tab < 4; ++tab) {
            test::Child<QTabWidget>(window, "settingsTabs")->setCurrentIndex(tab);
            QCoreApplication::processEvents();
            SaveScreenshot(window, QString("settings_%1_%2").arg(prefix, names[tab]));
        }
    }

    void switchToMetric(SettingsWindow* window) {
        test::Child<QTabWidget>(window, "settingsTabs")->setCurrentIndex(0);
        Find<QComboBox>(window, "units")->setCurrentIndex(1);
    }

  private slots:
    void cleanup() {
        window_.reset();
        harness_.reset();
    }

    void sideFirePagesInBothUnitsWithMarks() {
        SettingsWindow* window = open();
        QVERIFY(window);
        QVERIFY(window->editor().side_fire());
        QVERIFY(test::Child<QPushButton>(window, "saveToSensor")->isEnabled());
        QCOMPARE(Find<QLineEdit>(window, "multidropId")->text(), QString("0012"));
        grabTabs(window, "side_fire_english");

        switchToMetric(window);
        auto* settings_tabs = test::Child<QTabWidget>(window, "settingsTabs");
        settings_tabs->setCurrentIndex(2);
        QCOMPARE(Find<QSpinBox>(window, "defaultSize")->value(), 183);
        QCOMPARE(Find<QLineEdit>(window, "classLength1")->text(), QString("64"));
        grabTabs(window, "side_fire_metric");

        // Three faults: an interval below 5, a loop spacing not above its size, and a lane
        // boundary array that does not increase.
        settings_tabs->setCurrentIndex(2);
        Find<QPushButton>(window, "viewButton")->click();
        Find<QLineEdit>(window, "interval")->setText("4");
        Find<QSpinBox>(window, "loopSpacing1")->setValue(Find<QSpinBox>(window, "loopSize1")->value());
        settings_tabs->setCurrentIndex(3);
        Find<QLineEdit>(window, "boundary2")->setText(Find<QLineEdit>(window, "boundary1")->text());
        harness_->takeRequests();
        {
            ModalDriver driver("okButton");
            QCOMPARE(window->saveToSensor(), SaveToSensorResult::InputErrors);
            QVERIFY(driver.clicked());
            QCOMPARE(driver.caption(), QString("Input errors found..."));
        }
        QVERIFY(harness_->takeRequests().empty());
        QVERIFY(Find<QLineEdit>(window, "boundary1")->property("marked").toBool());
        QVERIFY(Find<QLineEdit>(window, "boundary2")->property("marked").toBool());
        SaveScreenshot(window, "settings_side_fire_metric_marks_lane_calibration");
        settings_tabs->setCurrentIndex(2);
        QVERIFY(Find<QLineEdit>(window, "interval")->property("marked").toBool());
        QVERIFY(Find<QSpinBox>(window, "loopSize1")->property("marked").toBool());
        SaveScreenshot(window, "settings_side_fire_metric_marks_data_collection");

        // Focus takes a mark away.
        QFocusEvent focus(QEvent::FocusIn);
        QApplication::sendEvent(Find<QLineEdit>(window, "interval"), &focus);
        QTRY_VERIFY(!Find<QLineEdit>(window, "interval")->property("marked").toBool());
    }

    void forwardFirePagesInBothUnits() {
        SettingsWindow* window = open(ForwardFireSensor());
        QVERIFY(window);
        QVERIFY(!window->editor().side_fire());
        QVERIFY(Find<QWidget>(window, "forwardFireCalibrationPage"));
        QVERIFY(!Find<QComboBox>(window, "direction0")->isEnabled());
        grabTabs(window, "forward_fire_english");
        switchToMetric(window);
        test::Child<QTabWidget>(window, "settingsTabs")->setCurrentIndex(2);
        QCOMPARE(Find<QLineEdit>(window, "classLength2")->text(), QString("65"));
        grabTabs(window, "forward_fire_metric");
    }

    void saveToSensorWritesTheEditedRecords() {
        SettingsWindow* window = open();
        QVERIFY(window);
        Find<QLineEdit>(window, "description")->setText("Bridge over the river");
        harness_->takeRequests();
        ModalDriver driver("okButton");  // "Sensor configuration settings saved!"
        QCOMPARE(window->saveToSensor(), SaveToSensorResult::Saved);
        const std::string config = harness_->sensor().Record(sim::RecordKind::Config);
        QCOMPARE(QString::fromStdString(config.substr(110, 32)).trimmed(), QString("Bridge over the river"));
        QCOMPARE(window->statusText(), QString("Saved to the sensor."));
    }

    void settingsFilesRoundTripAndBadFilesAreRefused() {
        SettingsWindow* window = open();
        QVERIFY(window);
        QTemporaryDir dir;
        const QString path = dir.filePath("north");
        window->choose_file = [&](bool) { return path; };
        QVERIFY(window->saveToFile());
        QFile saved(path + ".qcf");
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().contains(
            QByteArray::fromStdString(harness_->sensor().Record(sim::RecordKind::Extended))));

        Find<QLineEdit>(window, "location")->setText("somewhere else");
        QVERIFY(window->openFromFile());
        QVERIFY(Find<QLineEdit>(window, "location")->text() != QString("somewhere else"));

        QFile bad(dir.filePath("bad.qcf"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not a settings file");
        bad.close();
        window->choose_file = [&](bool) { return bad.fileName(); };
        ModalDriver driver("okButton");
        QVERIFY(!window->openFromFile());
        QCOMPARE(driver.caption(), QString("No file opened..."));

        // A file that cannot be created is reported.
        window->choose_file = [&](bool) { return QString("/nonexistent-folder/x.qcf"); };
        ModalDriver failure("okButton");
        QVERIFY(!window->saveToFile());
        QVERIFY(failure.clicked());
        QCOMPARE(failure.caption(), QString("Save to File"));
    }

    void withoutALinkTheWindowOpensAFile() {
        harness_ = std::make_unique<MainWindowHarness>();
        harness_->open(false);
        MainWindow& main = harness_->window();
        QTemporaryDir dir;
        const std::string path = dir.filePath("offline.qcf").toStdString();
        QVERIFY(SaveSettingsFile(path, test::SideFireConfiguration(), true).ok());
        window_ = std::make_unique<SettingsWindow>(main.app(), main.operations(), &main);
        window_->choose_file = [&](bool) { return QString::fromStdString(path); };
        QVERIFY(window_->load());
        window_->show();
        QVERIFY(!test::Child<QPushButton>(window_.get(), "openFromSensor")->isEnabled());
        QVERIFY(!test::Child<QPushButton>(window_.get(), "saveToSensor")->isEnabled());
        QCOMPARE(Find<QLineEdit>(window_.get(), "serialNumber")->text(), QString("Q1234567890ABCDE"));
        QVERIFY(Find<QLineEdit>(window_.get(), "serialNumber")->isReadOnly());
        test::Child<QTabWidget>(window_.get(), "settingsTabs")->setCurrentIndex(2);
        QCOMPARE(Find<QLineEdit>(window_.get(), "flashInterval")->text(), QString("3600"));
        SaveScreenshot(window_.get(), "settings_offline_file_data_collection");

        // Nothing chosen: the load fails with its message and the window is not shown.
        SettingsWindow empty(main.app(), main.operations(), &main);
        empty.choose_file = [](bool) { return QString(); };
        ModalDriver driver("okButton");
        QVERIFY(!empty.load());
        QCOMPARE(driver.caption(), QString("No file opened..."));
    }

    void fieldChecksAndTheFlowControlWarning() {
        SettingsWindow* window = open();
        QVERIFY(window);
        auto* settings_tabs = test::Child<QTabWidget>(window, "settingsTabs");
        settings_tabs->setCurrentIndex(1);
        auto* flow = Find<QComboBox>(window, "flowControl");
        {
            ModalDriver driver("noButton");  // go back
            flow->setCurrentIndex(1);
            emit flow->activated(1);
            QVERIFY(driver.clicked());
            QCOMPARE(driver.caption(), QString("Warning..."));
        }
        QCOMPARE(flow->currentIndex(), 0);
        auto* delay = Find<QLineEdit>(window, "delayRs485");
        delay->setText("1");
        emit delay->editingFinished();
        QCOMPARE(delay->text(), QString("2"));
        Find<QLineEdit>(window, "delayRs232")->clear();
        QTest::keyClicks(Find<QLineEdit>(window, "delayRs232"), "70000");
        QCOMPARE(Find<QLineEdit>(window, "delayRs232")->text(), QString("65534"));

        settings_tabs->setCurrentIndex(0);
        auto* rtms = Find<QLineEdit>(window, "rtmsId");
        rtms->clear();
        QTest::keyClicks(rtms, "300");
        QCOMPARE(rtms->text(), QString("255"));
        rtms->setText("13");
        {
            ModalDriver driver("okButton");  // RTMS ID 13 is refused on the next collect
            settings_tabs->setCurrentIndex(1);
            QVERIFY(driver.clicked());
        }
        settings_tabs->setCurrentIndex(0);
        QCOMPARE(rtms->text(), QString("0"));
        QCOMPARE(QString::fromStdString(window->editor().working_copy().GetConfigField(5)), QString("0000"));
    }

    void menuItemOpensTheWindowAndTheViewComesBack() {
        harness_ = std::make_unique<MainWindowHarness>();
        harness_->open();
        QVERIFY(harness_->waitConnected());
        MainWindow& main = harness_->window();
        QVERIFY(main.currentView());
        const ViewCode before = main.currentView()->viewCode();
        QAction* item = main.menuAction(MenuItem::SensorSettings);
        QVERIFY(item && item->isEnabled());
        ModalDriver driver("close");
        item->trigger();
        QVERIFY(driver.clicked());
        QCOMPARE(driver.caption(), QString("Sensor Settings"));
        QTRY_VERIFY(main.currentView() && main.currentView()->viewCode() == before);
    }
};

QTEST_MAIN(TstSettingsWindow)
#include "tst_settings_window.moc"
