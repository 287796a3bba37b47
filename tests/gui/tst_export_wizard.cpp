// The export wizard offscreen: the three steps of the 3-card export with their checks and
// registry values, the file equal to the golden one, the overwrite question, "Open 3 Card export
// file when finished", the CSV export, and the chart of a log. No sensor is involved.

#include <QCalendarWidget>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <filesystem>

#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "app/main_window.h"
#include "context/app_context.h"
#include "export/card_settings_step.h"
#include "export/export_file_step.h"
#include "export/export_wizard.h"
#include "export/lane_mapping_step.h"
#include "export/log_chart_window.h"
#include "modal_driver.h"
#include "support/find_child.h"
#include "support/main_window_harness.h"

using namespace qvx;
using namespace qvx::gui;
using qvx::test::ReadFileText;

namespace {
const std::string kData = QVX_TEST_DATA_DIR "/export/";
}

class TstExportWizard : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<qvx::test::ScratchFolder> folder_;
    ScriptedPrompts prompts_;
    std::unique_ptr<AppContext> app_;

    std::string copyLog(const std::string& name) {
        std::filesystem::copy_file(kData + name, *folder_ / name);
        return *folder_ / name;
    }
    std::string lastMessage() const { return prompts_.messages.empty() ? "" : prompts_.messages.back().text; }

    void toStepTwo(ExportWizard& wizard, const std::string& log) {
        auto* file_step = qvx::test::Child<ExportFileStep>(&wizard, "fileStep");
        qvx::test::Child<QLineEdit>(file_step, "exportFile")->setText(QString::fromStdString(log));
        file_step->findChild<QComboBox*>("exportFormat")->setCurrentText("3 Card");
        qvx::test::Child<QPushButton>(file_step, "continue")->click();
    }
    void fillStepTwo(ExportWizard& wizard) {
        CardSettingsStep* step = qvx::test::Child<CardSettingsStep>(&wizard, "settingsStep");
        step->findChild<QCalendarWidget*>("startingDate")->setSelectedDate(QDate(2011, 5, 1));
        step->findChild<QCalendarWidget*>("endingDate")->setSelectedDate(QDate(2011, 5, 1));
        step->findChild<QLineEdit*>("station")->setText("ALASKA");
        qvx::test::Child<QComboBox>(step, "state")->setCurrentText("Alaska");
        qvx::test::Child<QComboBox>(step, "functionalClass")
            ->setCurrentText("URBAN - Principle Arterial - Interstate");
        qvx::test::Child<QComboBox>(step, "restriction")->setCurrentIndex(1);
    }

  private slots:
    void init() {
        folder_ = std::make_unique<qvx::test::ScratchFolder>();
        prompts_ = ScriptedPrompts();
        app_ = std::make_unique<AppContext>(prompts_, RegistryStore(*folder_ / "registry"));
    }
    void cleanup() {
        app_.reset();
        folder_.reset();
    }

    void threeCardExportThroughAllSteps() {
        const std::string log = copyLog("two_directions.log");
        ExportWizard wizard(*app_, std::nullopt);
        std::string opened;
        wizard.setEditorLauncher([&](const std::string& path) {
            opened = path;
            return true;
        });
        wizard.resize(720, 560);
        wizard.show();

        // Step 1: nothing chosen, then a file that is not there.
        qvx::test::Child<QPushButton>(qvx::test::Child<ExportFileStep>(&wizard, "fileStep"), "continue")
            ->click();
        QCOMPARE(lastMessage(), std::string("Please select a file to export."));
        QCOMPARE(prompts_.messages.back().caption, std::string("No File Selected..."));
        toStepTwo(wizard, *folder_ / "absent.log");
        QCOMPARE(lastMessage(), std::string("Cannot open selected file."));
        qvx::test::Child<QLineEdit>(qvx::test::Child<ExportFileStep>(&wizard, "fileStep"), "exportFile")
            ->setText(QString::fromStdString(log));
        qvx::test::SaveScreenshot(&wizard, "export_wizard_step1");
        toStepTwo(wizard, log);
        QCOMPARE(wizard.currentStep(), 2);
        QCOMPARE(app_->registry.GetString(kKeyExport, "ImportFileName").value_or(""), log);
        QCOMPARE(app_->registry.GetString(kKeyExport, "ExportFileType").value_or(""), std::string("3 Card"));

        // Step 2: a bad station is refused, then the days that hold data.
        fillStepTwo(wizard);
        auto* settings_step = qvx::test::Child<CardSettingsStep>(&wizard, "settingsStep");
        settings_step->findChild<QLineEdit*>("station")->setText("");
        qvx::test::Child<QPushButton>(settings_step, "continue")->click();
        QCOMPARE(wizard.currentStep(), 2);
        QCOMPARE(prompts_.messages.back().caption, std::string("Invalid entries"));
        fillStepTwo(wizard);
        qvx::test::SaveScreenshot(&wizard, "export_wizard_step2");
        qvx::test::Child<QPushButton>(settings_step, "continue")->click();
        QTRY_COMPARE(wizard.currentStep(), 3);
        QCOMPARE(app_->registry.GetString(kKeyExportCard, "station").value_or(""), std::string("ALASKA"));
        QCOMPARE(app_->registry.GetString(kKeyExportCard, "startDate").value_or(""),
                 std::string("2011-05-01"));

        // Step 3: the defaults for a new station, a duplicate refused, then the mapping.
        LaneMappingStep* lanes = qvx::test::Child<LaneMappingStep>(&wizard, "laneStep");
        QCOMPARE(lanes->laneRows(), 3);
        QCOMPARE(qvx::test::Child<QLabel>(lanes, "laneName3")->text(), QString("EB"));
        QCOMPARE(lanes->laneList(1)->currentText(), QString("2"));
        lanes->laneList(1)->setCurrentText("1");
        lanes->findChild<QPushButton*>("finish")->click();
        QCOMPARE(lastMessage(), std::string("Duplicate lane/direction entries found"));
        lanes->laneList(0)->setCurrentText("0");
        lanes->laneList(1)->setCurrentText("0");
        lanes->laneList(2)->setCurrentText("1");
        lanes->directionList(2)->setCurrentText("E-W/SE-NW");
        lanes->findChild<QCheckBox*>("openWhenFinished")->setChecked(true);
        qvx::test::SaveScreenshot(&wizard, "export_wizard_step3");
        lanes->findChild<QPushButton*>("finish")->click();

        const std::string card = *folder_ / "ALASKA.TM3";
        QCOMPARE(ReadFileText(card), ReadFileText(kData + "ALASKA.TM3"));
        QCOMPARE(lastMessage(), "Export of 3 Card file\r\n\"" + card + "\"\r\nsuccessfully completed!");
        QCOMPARE(prompts_.messages.back().caption, std::string("Export successful..."));
        QCOMPARE(opened, card);
        QCOMPARE(wizard.currentStep(), 1);
        QCOMPARE(app_->registry.GetString(StationKey("ALASKA"), "lane").value_or(""),
                 std::string("00145678"));
        QCOMPARE(app_->registry.GetString(StationKey("ALASKA"), "travel").value_or(""),
                 std::string("00900000"));

        // Again with the file there: the question is asked and "No" keeps the file.
        toStepTwo(wizard, log);
        qvx::test::Child<QPushButton>(settings_step, "continue")->click();
        QTRY_COMPARE(wizard.currentStep(), 3);
        QCOMPARE(lanes->laneList(2)->currentText(), QString("1"));  // the station's mapping again
        lanes->directionList(2)->setCurrentText("S");
        prompts_.ask_answers = {false};
        lanes->findChild<QPushButton*>("finish")->click();
        QCOMPARE(prompts_.questions.back(),
                 std::string("Overwrite File|File already exists.  Do you want to overwrite the file?"));
        QCOMPARE(wizard.lastResult().outcome, ExportOutcome::Declined);
        QCOMPARE(ReadFileText(card), ReadFileText(kData + "ALASKA.TM3"));
        QCOMPARE(wizard.currentStep(), 3);
    }

    void readFailuresKeepTheWizardOnStepTwo() {
        const std::string log = copyLog("station_42.log");
        ExportWizard wizard(*app_, std::nullopt);
        toStepTwo(wizard, log);
        fillStepTwo(wizard);  // May 1st: the log holds May 3rd only
        auto* settings_step = qvx::test::Child<CardSettingsStep>(&wizard, "settingsStep");
        qvx::test::Child<QPushButton>(settings_step, "continue")->click();
        QTRY_VERIFY(!wizard.reading());
        QTRY_COMPARE(lastMessage(), std::string("No data found on or between the days selected!"));
        QCOMPARE(wizard.currentStep(), 2);

        const std::string incomplete = copyLog("incomplete.log");
        qvx::test::Child<QPushButton>(settings_step, "back")->click();
        toStepTwo(wizard, incomplete);
        settings_step->findChild<QCalendarWidget*>("startingDate")->setSelectedDate(QDate(2011, 7, 4));
        settings_step->findChild<QCalendarWidget*>("endingDate")->setSelectedDate(QDate(2011, 7, 4));
        qvx::test::Child<QPushButton>(settings_step, "continue")->click();
        QTRY_COMPARE(wizard.currentStep(), 3);
        QVERIFY(prompts_.messages.back().text.starts_with(
            "Some interval data sets do not contain all 3 lanes detected!."));
        QVERIFY(prompts_.messages.back().show_cancel);
    }

    void csvExportAsASecondFormat() {
        const std::string log = copyLog("download.log");
        ExportWizard wizard(*app_, std::nullopt);
        QString suggested;
        wizard.setCsvChooser([&](const QString& path) {
            suggested = path;
            return path;
        });
        QSignalSpy finished(&wizard, &ExportWizard::exportFinished);
        auto* file_step = qvx::test::Child<ExportFileStep>(&wizard, "fileStep");
        qvx::test::Child<QLineEdit>(file_step, "exportFile")->setText(QString::fromStdString(log));
        file_step->findChild<QComboBox*>("exportFormat")->setCurrentText("CSV");
        qvx::test::Child<QPushButton>(file_step, "continue")->click();
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(suggested.toStdString(), *folder_ / "download.csv");
        QCOMPARE(ReadFileText(*folder_ / "download.csv"), ReadFileText(kData + "download.csv"));
        QVERIFY(lastMessage().starts_with("Export of CSV file"));
        QCOMPARE(app_->registry.GetString(kKeyExport, "ExportFileType").value_or(""), std::string("CSV"));
    }

    void openedFromDataLogsWithoutASensor() {
        qvx::test::MainWindowHarness harness;
        harness.open(false);
        MainWindow& window = harness.window();
        QTRY_VERIFY(window.currentView() && window.currentView()->viewCode() == ViewCode::ConnectionChooser);
        QVERIFY(window.menuAction(MenuItem::ChartLog)->isEnabled());
        window.menuAction(MenuItem::ExportLog)->trigger();
        QTRY_VERIFY(qobject_cast<ExportWizard*>(window.currentView()));
        auto* wizard = qobject_cast<ExportWizard*>(window.currentView());
        QCOMPARE(wizard->currentStep(), 1);
        qvx::test::Child<ExportFileStep>(wizard, "fileStep")->findChild<QPushButton*>("quit")->click();
        QTRY_VERIFY(window.currentView() && window.currentView()->viewCode() == ViewCode::ConnectionChooser);
    }

    void chartOfALog() {
        LogChartWindow window;
        QVERIFY(window.showLog(QString::fromStdString(kData + "two_directions.log"), prompts_));
        QCOMPARE(window.chart().lanes.size(), std::size_t(3));
        QCOMPARE(window.plot(LogChartWindow::Volume)->chart()->series().size(), 3);
        QVERIFY(window.findChild<QLabel*>("summary")->text().contains("one point per 30 min"));
        window.show();
        qvx::test::SaveScreenshot(&window, "log_chart_window");
        window.toggleLane(1);
        QVERIFY(!window.plot(LogChartWindow::Speed)->chart()->series().at(1)->isVisible());
        QVERIFY(window.plot(LogChartWindow::Speed)->chart()->series().at(0)->isVisible());
        window.toggleLane(1);
        QVERIFY(window.plot(LogChartWindow::Occupancy)->chart()->series().at(1)->isVisible());

        LogChartWindow empty;
        QVERIFY(!empty.showLog(QString::fromStdString(*folder_ / "none.log"), prompts_));
        QCOMPARE(lastMessage(), std::string("The selected log file can not be found!"));
    }
};

QTEST_MAIN(TstExportWizard)
#include "tst_export_wizard.moc"
