#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "modal_driver.h"
#include "protocol/error_dialog.h"

using qvx::gui::ErrorDialog;

namespace {

qvx::MessageRequest Request(const char* text, const char* caption = "Warning") {
    qvx::MessageRequest request;
    request.text = text;
    request.caption = caption;
    request.icon = qvx::IconKind::Warning;
    return request;
}

QPushButton* Button(QWidget& dialog, const char* name) {
    return dialog.findChild<QPushButton*>(name);
}

}  // namespace

class TstErrorDialog : public QObject {
    Q_OBJECT
  private slots:
    void okAndCancelAnswer_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("answer");
        QTest::newRow("ok") << "okButton" << true;
        QTest::newRow("cancel") << "cancelButton" << false;
    }
    void okAndCancelAnswer() {
        QFETCH(QString, button);
        QFETCH(bool, answer);
        auto request = Request("Failure to initialize this XQ command properly!");
        request.show_cancel = true;
        ErrorDialog dialog(request);
        qvx::test::ModalDriver driver(button);
        QCOMPARE(dialog.run(), answer);
        QVERIFY(driver.clicked());
        QCOMPARE(driver.caption(), QString("Warning"));
    }

    void labelsAndHiddenButtons() {
        auto request = Request("Replace the sensor's settings?");
        request.show_ok = false;
        request.show_cancel = true;
        request.cancel_label = "Stop";
        ErrorDialog dialog(request);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(!Button(dialog, "okButton")->isVisible());
        QVERIFY(Button(dialog, "cancelButton")->isVisible());
        QCOMPARE(Button(dialog, "cancelButton")->text(), QString("Stop"));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));

        auto ok_only = Request("Done.");
        ok_only.ok_label = "Continue";
        ErrorDialog plain(ok_only);
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain));
        QVERIFY(!Button(plain, "cancelButton")->isVisible());
        QCOMPARE(Button(plain, "okButton")->text(), QString("Continue"));
        plain.close();  // without a Cancel button closing means OK
        QCOMPARE(plain.result(), int(QDialog::Accepted));
    }

    void emptyCaptionReadsError() {
        ErrorDialog dialog(Request("Text", ""));
        QCOMPARE(dialog.windowTitle(), QString("Error..."));
    }

    void autoCloseAnswersOkWithWaitCursor() {
        auto request = Request("Sensor configuration settings saved!", "Success");
        request.icon = qvx::IconKind::Information;
        request.auto_close_ms = 300;
        ErrorDialog dialog(request);
        QElapsedTimer clock;
        clock.start();
        dialog.open();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        qvx::test::SaveScreenshot(&dialog, "error_dialog_success");
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 10000);
        QVERIFY(clock.elapsed() >= 290);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void screenshotOfAnErrorWithBothButtons() {
        auto request = Request("The settings file could not be read. The sensor's settings were not changed.",
                               "Error...");
        request.icon = qvx::IconKind::Error;
        request.show_cancel = true;
        ErrorDialog dialog(request);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.findChild<QLabel*>("icon"));
        qvx::test::SaveScreenshot(&dialog, "error_dialog");
        ErrorDialog no_icon([] {
            auto plain = Request("No icon");
            plain.icon = qvx::IconKind::None;
            return plain;
        }());
        QVERIFY(!no_icon.findChild<QLabel*>("icon"));
    }
};

QTEST_MAIN(TstErrorDialog)
#include "tst_error_dialog.moc"
