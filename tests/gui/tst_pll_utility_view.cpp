// "PLL Utility" against the simulated sensor: the registers are read on opening, Edit/Submit
// writes a register and reads it back, Cancel leaves editing, and ratios are clamped.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "app/main_window.h"
#include "modal_driver.h"
#include "support/find_child.h"
#include "support/main_window_harness.h"
#include "tools/pll_utility_view.h"

using namespace qvx;
using namespace qvx::gui;
using qvx::test::MainWindowHarness;

class TstPllUtilityView : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<MainWindowHarness> harness_;

    PllUtilityView* openPll() {
        harness_ = std::make_unique<MainWindowHarness>();
        harness_->open();
        if (!harness_->waitConnected())
            return nullptr;
        harness_->takeRequests();
        harness_->window().openView(ViewCode::PllUtility);
        auto* view = qobject_cast<PllUtilityView*>(harness_->window().currentView());
        if (view)
            (void)QTest::qWaitFor(
                [&] { return !view->busy() && view->tab(PllRegister::NCounter).hex->text() == "002581"; },
                5000);
        return view;
    }

  private slots:
    void cleanup() { harness_.reset(); }

    void opensWithTheSensorsRegisters() {
        PllUtilityView* view = openPll();
        QVERIFY(view);
        QCOMPARE(harness_->takeRequests(), (std::vector<std::string>{"Z00012P1", "Z00012P5", "Z00012P3"}));
        QCOMPARE(test::Child<QLineEdit>(view, "nRatioField")->text(), QString("2400"));
        QCOMPARE(test::Child<QLineEdit>(view, "rRatioField")->text(), QString("10"));
        QCOMPARE(view->tab(PllRegister::FunctionLatch).hex->text(), QString("00B082"));
        QVERIFY(!test::Child<QLineEdit>(view, "nRatioField")->isEnabled());
        QTest::qWait(200);
        test::SaveScreenshot(view, "pll_utility_latches");
        test::Child<QTabWidget>(view, "pllTabs")->setCurrentIndex(2);
        test::SaveScreenshot(&harness_->window(), "pll_utility_in_main_window");
    }

    void submitWritesAndReadsBack() {
        PllUtilityView* view = openPll();
        QVERIFY(view);
        harness_->takeRequests();
        const auto& n = view->tab(PllRegister::NCounter);
        n.right->click();  // Edit
        QCOMPARE(n.right->text(), QString("Submit"));
        QCOMPARE(n.left->text(), QString("Cancel"));
        auto* n_ratio_field = test::Child<QLineEdit>(view, "nRatioField");
        QVERIFY(n_ratio_field->isEnabled());
        n_ratio_field->setText("992");
        QCOMPARE(n.hex->text(), QString("000F81"));  // displays follow every change
        test::Child<QCheckBox>(view, "goBitBox")->setChecked(true);
        QCOMPARE(n.hex->text(), QString("100F81"));
        QCOMPARE(n.binary->text(), QString("000100000000111110000001"));
        n.right->click();  // Submit
        QTRY_VERIFY(!view->busy() && n.right->text() == "Edit");
        QCOMPARE(harness_->takeRequests(), (std::vector<std::string>{"Z00012P200100F81", "Z00012P3"}));
        QVERIFY(!n_ratio_field->isEnabled());

        const auto& r = view->tab(PllRegister::RCounter);
        r.right->click();
        test::Child<QLineEdit>(view, "rRatioField")->setText("1");
        r.right->click();  // the ratio is raised to 3 before it is written
        QTRY_VERIFY(!view->busy() && r.right->text() == "Edit");
        QCOMPARE(test::Child<QLineEdit>(view, "rRatioField")->text(), QString("3"));
        QCOMPARE(r.hex->text(), QString("00000C"));
        QCOMPARE(harness_->takeRequests(), (std::vector<std::string>{"Z00012P40000000C", "Z00012P5"}));

        const auto& latch = view->tab(PllRegister::FunctionLatch);
        latch.right->click();
        for (int k = 0; k < 5; ++k)
            test::Child<QCheckBox>(view, qPrintable(QString("latchBox%1").arg(k)))->setChecked(k == 0);
        test::Child<QComboBox>(view, "foldCombo")->setCurrentIndex(0);
        test::Child<QComboBox>(view, "fastLockCombo")->setCurrentIndex(0);
        test::Child<QComboBox>(view, "timeoutCombo")->setCurrentIndex(0);
        QCOMPARE(latch.hex->text(), QString("000006"));
        latch.right->click();
        QTRY_VERIFY(!view->busy() && latch.right->text() == "Edit");
        QCOMPARE(harness_->takeRequests(), (std::vector<std::string>{"Z00012P000000006", "Z00012P1"}));
    }

    void cancelLeavesEditingWithoutWriting() {
        PllUtilityView* view = openPll();
        QVERIFY(view);
        harness_->takeRequests();
        const auto& n = view->tab(PllRegister::NCounter);
        n.right->click();
        auto* n_ratio_field = test::Child<QLineEdit>(view, "nRatioField");
        n_ratio_field->setText("5000");
        n.left->click();  // Cancel
        QCOMPARE(n.right->text(), QString("Edit"));
        QCOMPARE(n.left->text(), QString("Refresh"));
        QVERIFY(!n_ratio_field->isEnabled());
        n.left->click();  // Refresh shows the sensor's value again
        QTRY_VERIFY(!view->busy() && n_ratio_field->text() == "2400");
        QCOMPARE(harness_->takeRequests(), std::vector<std::string>{"Z00012P3"});
    }
};

QTEST_MAIN(TstPllUtilityView)
#include "tst_pll_utility_view.moc"
