// "Memory View" against the simulated sensor: the range rules, the table formats, a reply that
// did not change, the histogram, and auto-refresh storing the event list.

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "app/main_window.h"
#include "modal_driver.h"
#include "support/find_child.h"
#include "support/main_window_harness.h"
#include "tools/memory_histogram.h"
#include "tools/memory_view.h"

using namespace qvx;
using namespace qvx::gui;
using qvx::test::MainWindowHarness;

class TstMemoryView : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<MainWindowHarness> harness_;

    MemoryView* openMemory() {
        harness_ = std::make_unique<MainWindowHarness>();
        harness_->open();
        if (!harness_->waitConnected())
            return nullptr;
        harness_->window().openView(ViewCode::MemoryView);
        harness_->takeRequests();
        return qobject_cast<MemoryView*>(harness_->window().currentView());
    }

    static bool refresh(MemoryView* view) {
        const int reads = view->reads();
        test::Child<QPushButton>(view, "manualRefreshButton")->click();
        return QTest::qWaitFor([&] { return view->reads() > reads && !view->busy(); }, 10000);
    }

  private slots:
    void cleanup() { harness_.reset(); }

    void rangeRulesAndTableFormats() {
        MemoryView* view = openMemory();
        QVERIFY(view);
        auto* lower_field = test::Child<QLineEdit>(view, "lowerField");
        QCOMPARE(lower_field->text(), QString("0000"));
        auto* upper_field = test::Child<QLineEdit>(view, "upperField");
        QCOMPARE(upper_field->text(), QString("0100"));
        lower_field->setText("0100");
        upper_field->setText("0000");
        QVERIFY(refresh(view));
        QCOMPARE(harness_->takeRequests(), std::vector<std::string>{"Z00012X601000100"});
        auto* memory_output = test::Child<QPlainTextEdit>(view, "memoryOutput");
        QVERIFY(memory_output->toPlainText().startsWith("0x0100\t0x"));
        QCOMPARE(memory_output->toPlainText().count('\n'), 1);

        lower_field->setText("0000");
        upper_field->setText("0800");
        QVERIFY(refresh(view));
        QCOMPARE(upper_field->text(), QString("400"));
        QCOMPARE(harness_->takeRequests(), std::vector<std::string>{"Z00012X600000400"});
        QCOMPARE(view->findChild<QLabel*>("noteLabel")->text(),
                 QString("The sensor returned 1024 of the 1025 words asked for; only those are shown."));
        QCOMPARE(memory_output->toPlainText().count('\n'), 64);

        test::Child<QComboBox>(view, "formatBox")->setCurrentIndex(1);  // Decimal
        QVERIFY(!memory_output->toPlainText().contains("0x0000\t0x"));
        QVERIFY(memory_output->toPlainText().startsWith("0x0000\t"));
        QTest::qWait(200);
        test::SaveScreenshot(view, "memory_view_table");

        // The same reply again leaves the table as it was. The range stays clear of the event list,
        // which changes whenever a vehicle passes.
        lower_field->setText("0300");
        upper_field->setText("033F");
        QVERIFY(refresh(view));
        const int writes = view->tableWrites();
        QVERIFY(refresh(view));
        QCOMPARE(view->tableWrites(), writes);
    }

    void histogramWithManualScale() {
        MemoryView* view = openMemory();
        QVERIFY(view);
        test::Child<QLineEdit>(view, "upperField")->setText("003F");
        test::Child<QComboBox>(view, "formatBox")->setCurrentIndex(3);  // Histogram
        QVERIFY(refresh(view));
        QCOMPARE(test::Child<MemoryHistogram>(view, "memoryHistogram")->bars().size(), std::size_t{64});
        test::Child<QComboBox>(view, "dataSizeBox")->setCurrentIndex(0);  // 8-bit
        QCOMPARE(test::Child<MemoryHistogram>(view, "memoryHistogram")->bars().size(), std::size_t{128});
        test::Child<QComboBox>(view, "yScaleBox")->setCurrentIndex(1);
        test::Child<QDoubleSpinBox>(view, "lowerYField")->setValue(500);
        test::Child<QDoubleSpinBox>(view, "upperYField")->setValue(100);
        QVERIFY(view->findChild<QLabel*>("noteLabel")
                    ->text()
                    .contains("UPPER manual y-coordinate must be greater"));
        test::Child<QDoubleSpinBox>(view, "lowerYField")->setValue(0);
        test::Child<QDoubleSpinBox>(view, "upperYField")->setValue(40000);
        QVERIFY(view->findChild<QLabel*>("noteLabel")->text().isEmpty());
        test::Child<QComboBox>(view, "dataSizeBox")->setCurrentIndex(1);
        QTest::qWait(200);
        test::SaveScreenshot(&harness_->window(), "memory_view_histogram_in_main_window");
    }

    void autoRefreshStoresTheEventList() {
        MemoryView* view = openMemory();
        QVERIFY(view);
        QTemporaryDir dir;
        auto* lower_field = test::Child<QLineEdit>(view, "lowerField");
        lower_field->setText("0200");
        view->findChild<QLineEdit*>("storagePathField")->setText(dir.filePath("events"));
        test::Child<QComboBox>(view, "storageFormatBox")->setCurrentIndex(1);
        view->findChild<QCheckBox*>("bufferChangesBox")->setChecked(true);
        test::Child<QSpinBox>(view, "refreshIntervalField")->setValue(100);
        view->findChild<QPushButton*>("autoRefreshButton")->setChecked(true);
        QVERIFY(view->autoRefreshing());
        QCOMPARE(test::Child<QLineEdit>(view, "upperField")->text(), QString("0231"));
        QVERIFY(!lower_field->isEnabled());
        QVERIFY(!view->findChild<QLineEdit*>("storagePathField")->isEnabled());
        QTRY_VERIFY(view->reads() >= 1);
        harness_->sensor().AdvanceClock(std::chrono::minutes(2));
        QTRY_VERIFY(view->reads() >= 4);
        view->findChild<QPushButton*>("autoRefreshButton")->setChecked(false);
        QTRY_VERIFY(!view->busy());
        QFile file(dir.filePath("events.dat"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.startsWith("Lane\tH PC\tL PC\tDur\tEngy\tVel\tFlag\r\n1\t"));
        QVERIFY(text.count('\n') > 9);  // the first read's 8 records and the changes after it
        QVERIFY(lower_field->isEnabled());
    }

    void anUnusableStoragePathStopsAutoRefresh() {
        MemoryView* view = openMemory();
        QVERIFY(view);
        view->findChild<QLineEdit*>("storagePathField")->setText("/nonexistent-folder/events");
        view->findChild<QCheckBox*>("bufferChangesBox")->setChecked(true);
        view->findChild<QPushButton*>("autoRefreshButton")->setChecked(true);
        QVERIFY(!view->autoRefreshing());
        QVERIFY(!view->findChild<QPushButton*>("autoRefreshButton")->isChecked());
        QCOMPARE(view->findChild<QLabel*>("noteLabel")->text(),
                 QString("  ERROR: Invalid storage file path..."));
    }
};

QTEST_MAIN(TstMemoryView)
#include "tst_memory_view.moc"
