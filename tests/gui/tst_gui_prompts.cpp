#include <QLineEdit>
#include <QMessageBox>
#include <QtTest>
#include <future>

#include "modal_driver.h"
#include "protocol/gui_prompts.h"

using qvx::gui::GuiPrompts;

// Every prompt asked from a worker thread must show on the user-interface thread and hand the
// user's answer back to the worker.
class TstGuiPrompts : public QObject {
    Q_OBJECT

    // Keeps the user-interface thread's event loop running until the worker has its answer.
    template <typename Result>
    static Result AwaitWorker(std::future<Result>& answer) {
        QElapsedTimer clock;
        clock.start();
        while (answer.wait_for(std::chrono::seconds(0)) != std::future_status::ready &&
               clock.elapsed() < 20000) {
            QTest::qWait(10);
        }
        return answer.get();
    }

  private slots:
    void communicationErrorFromWorkerReturnsTheAnswerAndTheNewWait() {
        qvx::ConnectionState state;
        GuiPrompts prompts(state);
        qvx::test::ModalDriver driver("ignoreButton");
        driver.before_click = [](QWidget* dialog) {
            QVERIFY(QThread::currentThread() == qApp->thread());
            dialog->findChild<QLineEdit*>("responseWaitField")->setText("300");
        };
        qvx::CommunicationErrorReport report;
        report.error_text = "Checksum Error";
        auto answer = std::async(std::launch::async, [&] { return prompts.CommunicationError(report); });
        QCOMPARE(AwaitWorker(answer), qvx::TransactionResult::Ignore);
        QCOMPARE(driver.caption(), QString("Communication error..."));
        QCOMPARE(state.response_wait_ms.load(), 300);
    }

    void askFromWorkerUsesTheCustomLabels_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("answer");
        QTest::newRow("first") << "yesButton" << true;
        QTest::newRow("second") << "noButton" << false;
    }
    void askFromWorkerUsesTheCustomLabels() {
        QFETCH(QString, button);
        QFETCH(bool, answer);
        qvx::ConnectionState state;
        GuiPrompts prompts(state);
        QString labels;
        qvx::test::ModalDriver driver(button);
        driver.before_click = [&](QWidget* box) {
            labels = box->findChild<QPushButton*>("yesButton")->text() + "/" +
                     box->findChild<QPushButton*>("noButton")->text();
        };
        auto reply = std::async(std::launch::async, [&] {
            return prompts.Ask("Buffer", "Erase the sensor's buffers?", "Erase", "Keep");
        });
        QCOMPARE(AwaitWorker(reply), answer);
        QCOMPARE(labels, QString("Erase/Keep"));
        QCOMPARE(driver.caption(), QString("Buffer"));
    }

    void aQuestionAskedOnlyInTheCaptionIsRepeatedUnderTheText() {
        using qvx::gui::QuestionOfCaption;
        QCOMPARE(
            QuestionOfCaption(
                "Shutdown Warning: Do you want to retry?",
                "Due to a communication error,\nthe sensor's command firewall may not have been enabled."),
            QString("Do you want to retry?"));
        QCOMPARE(QuestionOfCaption("Are you sure...?",
                                   "Are you sure you want to close the connection to the sensor?"),
                 QString());
        QCOMPARE(QuestionOfCaption("Warning", "Something happened."), QString());

        qvx::ConnectionState state;
        QWidget owner;
        owner.resize(600, 400);
        owner.show();
        GuiPrompts prompts(state, &owner);
        qvx::test::ModalDriver driver("noButton");
        QString informative;
        QWidget* parent = nullptr;
        driver.before_click = [&](QWidget* box) {
            informative = static_cast<QMessageBox*>(box)->informativeText();
            parent = box->parentWidget();
        };
        QVERIFY(!prompts.Ask("Shutdown Warning: Do you want to retry?", "Due to a communication error."));
        QCOMPARE(informative, QString("Do you want to retry?"));
        QCOMPARE(parent, &owner);
    }

    void messageOnTheUiThreadRunsDirectly() {
        qvx::ConnectionState state;
        GuiPrompts prompts(state);
        qvx::MessageRequest request;
        request.text = "Sensor configuration settings saved!";
        request.caption = "Success";
        request.auto_close_ms = 50;
        QVERIFY(prompts.Message(request));

        request.auto_close_ms = 0;
        request.show_cancel = true;
        qvx::test::ModalDriver driver("cancelButton");
        auto reply = std::async(std::launch::async, [&] { return prompts.Message(request); });
        QCOMPARE(AwaitWorker(reply), false);
    }
};

QTEST_MAIN(TstGuiPrompts)
#include "tst_gui_prompts.moc"
