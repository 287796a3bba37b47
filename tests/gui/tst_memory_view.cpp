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
        view->refreshButton()->click();
        return QTest::qWaitFor([&] { return view->reads() > reads && !view->busy(); }, 10000);
    }

  private slots:
    void cleanup() { harness_.reset(); }

    void rangeRulesAndTableFormats() {
        MemoryView* view = openMemory();
        QVERIFY(view);
        QCOMPARE(view->lowerField()->text(), QString("0000"));
        QCOMPARE(view->upperField()->text(), QString("0100"));
        view->lowerField()->setText("0100");
        view->upperField()->setText("0000");
        QVERIFY(refresh(view));
        QCOMPARE(harness_->takeRequests(), std::vector<std::string>{"Z00012X601000100"});
        QVERIFY(view->output()->toPlainText().startsWith("0x0100\t0x"));
        QCOMPARE(view->output()->toPlainText().count('\n'), 1);

        view->lowerField()->setText("0000");
        view->upperField()->setText("0800");
        QVERIFY(refresh(view));
        QCOMPARE(view->upperField()->text(), QString("400"));
        QCOMPARE(harness_->takeRequests(), std::vector<std::string>{"Z00012X600000400"});
        QCOMPARE(view->noteLabel()->text(),
                 QString("The sensor returned 1024 of the 1025 words asked for; only those are shown."));
        QCOMPARE(view->output()->toPlainText().count('\n'), 64);

        view->formatBox()->setCurrentIndex(1);  // Decimal
        QVERIFY(!view->output()->toPlainText().contains("0x0000\t0x"));
        QVERIFY(view->output()->toPlainText().startsWith("0x0000\t"));
        QTest::qWait(200);
        test::SaveScreenshot(view, "memory_view_table");

        // The same reply again leaves the table as it was. The range stays clear of the event list,
        // which changes whenever a vehicle passes.
        view->lowerField()->setText("0300");
        view->upperField()->setText("033F");
        QVERIFY(refresh(view));
        const int writes = view->tableWrites();
        QVERIFY(refresh(view));
        QCOMPARE(view->tableWrites(), writes);
    }

    void histogramWithManualScale() {
        MemoryView* view = openMemory();
        QVERIFY(view);
        view->upperField()->setText("003F");
        view->formatBox()->setCurrentIndex(3);  // Histogram
        QVERIFY(refresh(view));
        QCOMPARE(view->histogram()->bars().size(), std::size_t{64});
        view->dataSizeBox()->setCurrentIndex(0);  // 8-bit
        QCOMPARE(view->histogram()->bars().size(), std::size_t{128});
        view->yScaleBox()->setCurrentIndex(1);
        view->lowerYField()->setValue(500);
        view->upperYField()->setValue(100);
        QVERIFY(view->noteLabel()->text().contains("UPPER manual y-coordinate must be greater"));
        view->lowerYField()->setValue(0);
        view->upperYField()->setValue(40000);
        QVERIFY(view->noteLabel()->text().isEmpty());
        view->dataSizeBox()->setCurrentIndex(1);
        QTest::qWait(200);
        test::SaveScreenshot(&harness_->window(), "memory_view_histogram_in_main_window");
    }

    void autoRefreshStoresTheEventList() {
        MemoryView* view = openMemory();
        QVERIFY(view);
        QTemporaryDir dir;
        view->lowerField()->setText("0200");
        view->storagePathField()->setText(dir.filePath("events"));
        view->storageFormatBox()->setCurrentIndex(1);
        view->bufferChangesBox()->setChecked(true);
        view->intervalField()->setValue(100);
        view->autoRefreshButton()->setChecked(true);
        QVERIFY(view->autoRefreshing());
        QCOMPARE(view->upperField()->text(), QString("0231"));
        QVERIFY(!view->lowerField()->isEnabled());
        QVERIFY(!view->storagePathField()->isEnabled());
        QTRY_VERIFY(view->reads() >= 1);
        harness_->sensor().AdvanceClock(std::chrono::minutes(2));
        QTRY_VERIFY(view->reads() >= 4);
        view->autoRefreshButton()->setChecked(false);
        QTRY_VERIFY(!view->busy());
        QFile file(dir.filePath("events.dat"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.startsWith("Lane\tH PC\tL PC\tDur\tEngy\tVel\tFlag\r\n1\t"));
        QVERIFY(text.count('\n') > 9);  // the first read's 8 records and the changes after it
        QVERIFY(view->lowerField()->isEnabled());
    }

    void anUnusableStoragePathStopsAutoRefresh() {
        MemoryView* view = openMemory();
        QVERIFY(view);
        view->storagePathField()->setText("/nonexistent-folder/events");
        view->bufferChangesBox()->setChecked(true);
        view->autoRefreshButton()->setChecked(true);
        QVERIFY(!view->autoRefreshing());
        QVERIFY(!view->autoRefreshButton()->isChecked());
        QCOMPARE(view->noteLabel()->text(), QString("  ERROR: Invalid storage file path..."));
    }
};

QTEST_MAIN(TstMemoryView)
#include "tst_memory_view.moc"
