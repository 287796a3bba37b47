#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include "support/find_child.h"
#include "support/screenshot.h"

#include "firmware/compatibility.h"
#include "firmware/compatibility_dialog.h"

using qvx::gui::CompatibilityDialog;
namespace outcome = qvx::compatibility_outcome;

namespace {

qvx::CompatibilityState StateFor(const std::string& reply) {
    qvx::CompatibilityState state;
    state.bundle = qvx::ParseBundleVersion(qvx::kBundleName);
    state.sensor = qvx::ParseSensorVersion(reply);
    state.decision = qvx::ComparePlan(state.sensor, state.bundle, std::nullopt);
    state.rows = qvx::ComparisonTable(state.sensor, state.bundle);
    return state;
}

QPushButton* Button(CompatibilityDialog& dialog, const QString& text) {
    for (auto* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

const char* kOlderSensor = "DSP: QVX_v2.30.09.S03.R05 FPGA: 0029";
const char* kForeignSensor = "DSP: QVX_v3.30.10.S03.R05 FPGA: 0030";

}  // namespace

class TstCompatibilityDialog : public QObject {
    Q_OBJECT
  private slots:
    void buttonsGiveTheirOutcomes_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("expected");
        QTest::newRow("upload") << "UPLOAD" << outcome::kUpload;
        QTest::newRow("continue") << "Continue w/o upload" << outcome::kContinue;
        QTest::newRow("exit") << "Exit Quorvix Manager" << outcome::kExit;
    }
    void buttonsGiveTheirOutcomes() {
        QFETCH(QString, button);
        QFETCH(int, expected);
        CompatibilityDialog dialog(StateFor(kOlderSensor));
        QCOMPARE(dialog.windowTitle(), QString("Warning - incompatible firmware/software..."));
        dialog.show();
        QPushButton* pressed = Button(dialog, button);
        QVERIFY(pressed != nullptr);
        QTest::mouseClick(pressed, Qt::LeftButton);
        QCOMPARE(dialog.result(), expected);
        QVERIFY(!dialog.isVisible());
    }

    // Esc gets rid of the window without ending the program; closing it leaves the program.
    void escapeContinuesAndClosingMeansExit() {
        CompatibilityDialog dialog(StateFor(kOlderSensor));
        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(dialog.result(), outcome::kContinue);
        QVERIFY(!dialog.isVisible());
        CompatibilityDialog closed(StateFor(kOlderSensor));
        closed.show();
        closed.close();
        QCOMPARE(closed.result(), outcome::kExit);
    }

    void uploadNeedsAPlan() {
        CompatibilityDialog dialog(StateFor(kForeignSensor));
        dialog.show();
        QPushButton* upload = Button(dialog, "UPLOAD");
        QVERIFY(upload != nullptr);
        QVERIFY(!upload->isEnabled());
        QTest::mouseClick(upload, Qt::LeftButton);
        QVERIFY(dialog.isVisible());
    }

    void detailsToggleShowsMarkedTable() {
        CompatibilityDialog dialog(StateFor(kOlderSensor));
        dialog.show();
        auto* table = qvx::test::Child<QTableWidget>(&dialog, "comparisonTable");
        QVERIFY(!table->isVisible());
        QTest::mouseClick(Button(dialog, "View Details"), Qt::LeftButton);
        QVERIFY(table->isVisible());
        QVERIFY(Button(dialog, "Hide Details") != nullptr);
        QCOMPARE(table->horizontalHeaderItem(0)->text(), QString("Sensor"));
        QCOMPARE(table->horizontalHeaderItem(1)->text(), QString("Quorvix Mgr."));
        QCOMPARE(table->rowCount(), 5);
        // FPGA 29 against 30 and year 09 against 10 differ; the rest match.
        const QList<bool> differs = {false, true, true, false, false};
        for (int row = 0; row < 5; ++row) {
            const QString label = table->verticalHeaderItem(row)->text();
            QCOMPARE(label.contains(QChar(0x2260)), differs[row]);
            QCOMPARE(table->item(row, 0)->font().bold(), differs[row]);
        }
        QCOMPARE(table->verticalHeaderItem(0)->text(), QString("Version"));
        const QString legend = qvx::test::Child<QLabel>(&dialog, "legend")->text();
        QVERIFY(legend.contains("YY = Year"));
        QVERIFY(legend.contains("AMM = Algorithm / Month"));
        QVERIFY(legend.contains("DD.A = Day.Application Code"));

        QDir().mkpath(QVX_SCREENSHOT_DIR);
        qvx::test::GrabScreenshot(&dialog, "compatibility_dialog_details");

        QTest::mouseClick(Button(dialog, "Hide Details"), Qt::LeftButton);
        QVERIFY(!table->isVisible());
        qvx::test::GrabScreenshot(&dialog, "compatibility_dialog");
    }
};

QTEST_MAIN(TstCompatibilityDialog)
#include "tst_compatibility_dialog.moc"
