// "Hyperterminal" against the simulated sensor: typed lines reach it and its replies show in the
// console, the binary-mode typing rule, the mode buttons, and closing with a reply pending.

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QtTest>

#include "app/main_window.h"
#include "modal_driver.h"
#include "support/find_child.h"
#include "support/main_window_harness.h"
#include "tools/terminal_view.h"

using namespace qvx;
using namespace qvx::gui;
using qvx::test::MainWindowHarness;

class TstTerminalView : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<MainWindowHarness> harness_;

    TerminalView* openTerminal() {
        harness_ = std::make_unique<MainWindowHarness>();
        harness_->open();
        if (!harness_->waitConnected())
            return nullptr;
        harness_->window().openView(ViewCode::Terminal);
        return qobject_cast<TerminalView*>(harness_->window().currentView());
    }

  private slots:
    void cleanup() { harness_.reset(); }

    void typedLinesReachTheSensorAndRepliesShow() {
        TerminalView* view = openTerminal();
        QVERIFY(view);
        QVERIFY(test::Child<QRadioButton>(view, "lineMode")->isChecked());
        harness_->takeRequests();
        QTest::keyClicks(view->findChild<QLineEdit*>("commandLine"), "Z00012S5");
        QTest::keyClick(view->findChild<QLineEdit*>("commandLine"), Qt::Key_Return);
        QVERIFY(view->findChild<QLineEdit*>("commandLine")->text().isEmpty());
        auto* terminal_output = test::Child<QPlainTextEdit>(view, "terminalOutput");
        QTRY_VERIFY_WITH_TIMEOUT(terminal_output->toPlainText().contains("FPGA"), 5000);
        QVERIFY(terminal_output->toPlainText().startsWith("Z00012S5\nZ00012S5DSP: "));
        QCOMPARE(harness_->takeRequests(), std::vector<std::string>{"Z00012S5"});

        view->findChild<QCheckBox*>("binaryMode")->setChecked(true);
        QVERIFY(!test::Child<QRadioButton>(view, "lineMode")->isEnabled());
        QTest::keyClicks(view->findChild<QLineEdit*>("commandLine"), "0G");
        QCOMPARE(view->findChild<QLineEdit*>("commandLine")->text(),
                 QString("0"));  // the G is removed at once
        view->findChild<QLineEdit*>("commandLine")
            ->setText("5A30 0012");  // pasted: a blank is no hexadecimal digit
        QTest::keyClick(view->findChild<QLineEdit*>("commandLine"), Qt::Key_Return);
        QTRY_VERIFY(terminal_output->toPlainText().contains("ERROR: Invalid binary input!"));
        QTest::keyClicks(view->findChild<QLineEdit*>("commandLine"), "5a30303031325342");
        QTest::keyClick(view->findChild<QLineEdit*>("commandLine"), Qt::Key_Return);
        QTest::keyClicks(view->findChild<QLineEdit*>("commandLine"), "0d");
        QTest::keyClick(view->findChild<QLineEdit*>("commandLine"), Qt::Key_Return);
        // The reply, "Z00012SB" + the sensor time + CR, comes back as hexadecimal digits.
        QTRY_VERIFY_WITH_TIMEOUT(terminal_output->toPlainText().contains("0D\n5A30303031325342"), 5000);
        QVERIFY(terminal_output->toPlainText().endsWith("0D"));
        QTest::qWait(300);
        test::SaveScreenshot(&harness_->window(), "terminal_view_in_main_window");
        test::SaveScreenshot(view, "terminal_view");
    }

    void textModesChangeOnlyWithAnEmptyCommandLine() {
        TerminalView* view = openTerminal();
        QVERIFY(view);
        QTest::keyClicks(view->findChild<QLineEdit*>("commandLine"), "abc");
        view->findChild<QRadioButton*>("characterMode")->click();
        QVERIFY(test::Child<QRadioButton>(view, "lineMode")->isChecked());
        QCOMPARE(view->session().mode(), TerminalMode::Line);
        view->findChild<QLineEdit*>("commandLine")->clear();
        view->findChild<QRadioButton*>("characterMode")->click();
        QCOMPARE(view->session().mode(), TerminalMode::Character);
        view->findChild<QCheckBox*>("binaryMode")->setChecked(true);
        view->findChild<QCheckBox*>("binaryMode")->setChecked(false);
        QCOMPARE(view->session().mode(), TerminalMode::Character);
    }

    void closingWithAReplyPendingDoesNotHang() {
        TerminalView* view = openTerminal();
        QVERIFY(view);
        QTest::keyClicks(view->findChild<QLineEdit*>("commandLine"), "no such command");
        QTest::keyClick(view->findChild<QLineEdit*>("commandLine"), Qt::Key_Return);
        QTest::qWait(100);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(harness_->window().closeCurrentView());
        QVERIFY(timer.elapsed() < 1500);
    }
};

QTEST_MAIN(TstTerminalView)
#include "tst_terminal_view.moc"
