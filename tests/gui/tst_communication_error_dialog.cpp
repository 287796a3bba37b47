#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <cstdlib>

#include "base/busy_flag.h"
#include "modal_driver.h"
#include "protocol/busy_cursor.h"
#include "protocol/communication_error_dialog.h"
#include "support/screenshot.h"

using qvx::gui::CommunicationErrorDialog;

namespace {

qvx::CommunicationErrorReport NoResponseReport() {
    qvx::CommunicationErrorReport report;
    report.result = qvx::TransactionResult::NoResponse;
    report.error_text = "No Response";
    report.details =
        "Operation: Read General Configuration\r\nResponse Error: No Response\r\nError Code: 0\r\n"
        "Reliability: 75%\r\nAutomatic Retries: 1\r\nResponse Timeout: 161 milliseconds";
    return report;
}

QPushButton* Button(QWidget& dialog, const char* name) {
    return dialog.findChild<QPushButton*>(name);
}

}  // namespace

class TstCommunicationErrorDialog : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() {
        qvx::busy_flag::Clear();
        qvx::gui::BusyCursor::sync();
    }

    void showsTheErrorQuestionAndTooltips() {
        qvx::ConnectionState state;
        CommunicationErrorDialog dialog(NoResponseReport(), state);
        QCOMPARE(dialog.windowTitle(), QString("Communication error..."));
        QCOMPARE(dialog.findChild<QLabel*>("errorText")->text(), QString("No Response"));
        QCOMPARE(dialog.findChild<QLabel*>("questionText")->text(),
                 QString("How should Quorvix Manager proceed?..."));
        QCOMPARE(Button(dialog, "retryButton")->toolTip(), QString("Try executing the operation again"));
        QCOMPARE(Button(dialog, "ignoreButton")->toolTip(),
                 QString("Ignore the error and continue execution"));
        QCOMPARE(Button(dialog, "cancelButton")->toolTip(),
                 QString("Cancel the operation; return to previous state"));
        QCOMPARE(Button(dialog, "exitButton")->toolTip(), QString("Exit Quorvix Manager"));
        QCOMPARE(Button(dialog, "detailsButton")->toolTip(),
                 QString("Click to view communication error details"));
    }

    void eachButtonGivesItsResult_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("busy");
        QTest::newRow("retry") << "retryButton" << 123 << true;
        QTest::newRow("ignore") << "ignoreButton" << 120 << false;
        QTest::newRow("cancel") << "cancelButton" << 121 << false;
        QTest::newRow("exit") << "exitButton" << 122 << false;
    }
    void eachButtonGivesItsResult() {
        QFETCH(QString, button);
        QFETCH(int, result);
        QFETCH(bool, busy);
        qvx::busy_flag::Set();  // left over from an earlier Retry: every other answer clears it
        qvx::gui::BusyCursor::sync();
        qvx::ConnectionState state;
        CommunicationErrorDialog dialog(NoResponseReport(), state);
        qvx::test::ModalDriver driver(button);
        QCOMPARE(qvx::ResultCode(dialog.run()), result);
        QCOMPARE(qvx::busy_flag::IsSet(), busy);
        QCOMPARE(QGuiApplication::overrideCursor() != nullptr, busy);
        if (busy)
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }

    void closingTheWindowCancels() {
        qvx::ConnectionState state;
        CommunicationErrorDialog dialog(NoResponseReport(), state);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.close();
        QCOMPARE(dialog.result(), 121);

        CommunicationErrorDialog escaped(NoResponseReport(), state);
        escaped.show();
        QVERIFY(QTest::qWaitForWindowExposed(&escaped));
        QTest::keyClick(&escaped, Qt::Key_Escape);
        QCOMPARE(escaped.result(), 121);
    }

    void detailsButtonExpandsAndHides() {
        qvx::ConnectionState state;
        state.response_wait_ms = 40;
        CommunicationErrorDialog dialog(NoResponseReport(), state);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* details = Button(dialog, "detailsButton");
        auto* text = dialog.findChild<QPlainTextEdit*>("detailsText");
        auto* field = dialog.findChild<QLineEdit*>("responseWaitField");
        QCOMPARE(details->text(), QString("Details >>"));
        QVERIFY(!text->isVisible());
        qvx::test::SaveScreenshot(&dialog, "communication_error_dialog");
        const int collapsed_height = dialog.height();

        QTest::mouseClick(details, Qt::LeftButton);
        QCOMPARE(details->text(), QString("<< Hide"));
        QVERIFY(text->isVisible());
        QVERIFY(field->isVisible());
        QCOMPARE(field->text(), QString("40"));
        QVERIFY(text->toPlainText().contains("Reliability: 75%\nAutomatic Retries: 1"));
        QTRY_VERIFY(dialog.height() > collapsed_height);
        qvx::test::SaveScreenshot(&dialog, "communication_error_dialog_details");

        QTest::mouseClick(details, Qt::LeftButton);
        QCOMPARE(details->text(), QString("Details >>"));
        QVERIFY(!text->isVisible());
    }

    // The red title must stay readable on a dark palette, also when the palette changes while the
    // window is open.
    void theErrorTitleFollowsThePalette() {
        const QPalette original = QApplication::palette();
        qvx::ConnectionState state;
        CommunicationErrorDialog dialog(NoResponseReport(), state);
        dialog.show();
        auto* title = dialog.findChild<QLabel*>("errorText");
        const auto contrast = [&] {
            title->ensurePolished();
            return std::abs(title->palette().color(QPalette::WindowText).lightness() -
                            QApplication::palette().color(QPalette::Window).lightness());
        };
        QApplication::setPalette(qvx::test::LightPalette());
        QCoreApplication::processEvents();
        QVERIFY2(contrast() > 90, qPrintable(title->styleSheet()));
        const QString light_style = title->styleSheet();
        QApplication::setPalette(qvx::test::DarkPalette());
        QCoreApplication::processEvents();
        QVERIFY2(contrast() > 90, qPrintable(title->styleSheet()));
        QVERIFY(title->styleSheet() != light_style);
        QApplication::setPalette(original);
    }

    void waitFieldTakesOnlyValuesInRange() {
        qvx::ConnectionState state;
        state.response_wait_ms = 40;
        CommunicationErrorDialog dialog(NoResponseReport(), state);
        auto* field = dialog.findChild<QLineEdit*>("responseWaitField");
        field->clear();
        QCOMPARE(state.response_wait_ms.load(), 40);  // an empty field changes nothing
        QTest::keyClicks(field, "250");
        QCOMPARE(state.response_wait_ms.load(), 250);

        struct Entry {
            const char* text;
            int expected;
        };
        const Entry entries[] = {{"100000", 250},  {"99999", 250}, {"-1", 250}, {"12a", 250},
                                 {"99998", 99998}, {"0", 0},       {" 17 ", 17}};
        for (const auto& entry : entries) {
            field->setText(entry.text);
            QVERIFY2(state.response_wait_ms.load() == entry.expected, entry.text);
        }
    }
};

QTEST_MAIN(TstCommunicationErrorDialog)
#include "tst_communication_error_dialog.moc"
