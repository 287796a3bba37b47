// The stored-data windows against the simulated sensor: "Download Interval Data" with its three
// choices, the "Data Download" progress and outcome, the buffer status with its two bars (after
// the TCP question), "Download and Erase", and the study set-up's arithmetic and four steps.
// Each window is grabbed to build/debug/screenshots.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>

#include "app/main_window.h"
#include "modal_driver.h"
#include "stored/buffer_status_dialog.h"
#include "stored/data_download_dialog.h"
#include "stored/download_view.h"
#include "stored/study_setup_view.h"
#include "support/find_child.h"
#include "support/main_window_harness.h"

using namespace qvx;
using namespace qvx::gui;
using qvx::test::MainWindowHarness;
using qvx::test::ModalDriver;
using qvx::test::SaveScreenshot;

namespace {

// Waits for a modal window of type T that is ready, then acts on it (on the user-interface thread,
// while its exec() runs).
template <typename T>
class ModalStep : public QObject {
  public:
    ModalStep(std::function<bool(T&)> ready, std::function<void(T&)> act)
        : ready_(std::move(ready)), act_(std::move(act)) {
        connect(&timer_, &QTimer::timeout, this, &ModalStep::poll);
        timer_.start(10);
    }
    bool done() const { return done_; }

  private:
    void poll() {
        auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!modal || !modal->isVisible() || !ready_(*modal))
            return;
        timer_.stop();
        done_ = true;
        act_(*modal);
    }
    std::function<bool(T&)> ready_;
    std::function<void(T&)> act_;
    QTimer timer_;
    bool done_ = false;
};

sim::FaultSettings SlowReplies() {
    sim::FaultSettings faults;
    faults.slow_ms = 15;  // long enough to see the download run
    return faults;
}

}  // namespace

class TstStoredWindows : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<MainWindowHarness> harness_;
    std::unique_ptr<QTemporaryDir> config_;
    QTemporaryDir dir_;
    int test_number_ = 0;

    QString downloadPath() const { return dir_.filePath(QString("download%1.log").arg(test_number_)); }

    template <typename View>
    View* open(ViewCode code, sim::FaultSettings faults = {}) {
        harness_ = std::make_unique<MainWindowHarness>(MainWindowHarness::DefaultSensor(), faults);
        harness_->open();
        if (!harness_->waitConnected())
            return nullptr;
        harness_->window().openView(code);
        return qobject_cast<View*>(harness_->window().currentView());
    }
    DownloadView* openDownload(sim::FaultSettings faults = {}) {
        auto* view = open<DownloadView>(ViewCode::Download, faults);
        if (!view)
            return nullptr;
        if (!QTest::qWaitFor([view] { return !view->opening(); }, 10000))
            return nullptr;
        const std::string path = downloadPath().toStdString();
        view->setLogFileChooser([path](LogKind) { return std::optional<std::string>(path); });
        view->browse();
        view->setProgressHook([](DataDownloadDialog& dialog) { dialog.setSleep([](int) {}); });
        return view;
    }
    // Clicks OK on the progress window once it shows the outcome, grabbing it first.
    std::unique_ptr<ModalStep<DataDownloadDialog>> acceptOutcome(const QString& screenshot = {}) {
        return std::make_unique<ModalStep<DataDownloadDialog>>(
            [](DataDownloadDialog& d) { return d.finished(); },
            [screenshot](DataDownloadDialog& d) {
                if (!screenshot.isEmpty())
                    SaveScreenshot(&d, screenshot);
                qvx::test::Child<QPushButton>(&d, "okButton")->click();
            });
    }

  private slots:
    // Each test starts with a registry of its own: no incremental mark, no remembered file.
    void init() {
        config_ = std::make_unique<QTemporaryDir>();
        qputenv("QVX_CONFIG_HOME", config_->path().toUtf8());
        ++test_number_;
    }
    void cleanup() { harness_.reset(); }

    void downloadViewOffersTheThreeChoicesAndTheMark() {
        DownloadView* view = openDownload();
        QVERIFY(view);
        QVERIFY(view->findChild<QRadioButton*>("incrementalChoice")->isEnabled());
        QVERIFY(view->findChild<QRadioButton*>("incrementalChoice")
                    ->text()
                    .startsWith("Incremental download of data since 2000-01-01"));
        QCOMPARE(view->mode(), DownloadMode::Incremental);
        QVERIFY(qvx::test::Child<QLineEdit>(view, "fileField")->text().endsWith(".log"));
        SaveScreenshot(&harness_->window(), "download_view");
    }

    void downloadShowsProgressThenTheOutcomeAndMovesTheMark() {
        DownloadView* view = openDownload(SlowReplies());
        QVERIFY(view);
        bool grabbed_running = false;
        ModalStep<DataDownloadDialog> running(
            [](DataDownloadDialog& d) {
                return qvx::test::Child<QLabel>(&d, "countLabel")->text() != "Packets downloaded:  0";
            },
            [&](DataDownloadDialog& d) {
                SaveScreenshot(&d, "data_download_running");
                grabbed_running = qvx::test::Child<QPushButton>(&d, "stopButton")->isEnabled() &&
                                  !qvx::test::Child<QPushButton>(&d, "okButton")->isEnabled();
            });
        QString outcome;
        auto accept = std::make_unique<ModalStep<DataDownloadDialog>>(
            [&](DataDownloadDialog& d) { return running.done() && d.finished(); },
            [&](DataDownloadDialog& d) {
                outcome = d.findChild<QLabel*>("outcomeLabel")->text();
                SaveScreenshot(&d, "data_download_outcome");
                qvx::test::Child<QPushButton>(&d, "okButton")->click();
            });
        view->findChild<QPushButton*>("downloadButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(accept->done(), 30000);
        QVERIFY(grabbed_running);
        QVERIFY2(outcome.startsWith("Download completed! \n"), qPrintable(outcome));
        QVERIFY(outcome.endsWith(" data packets downloaded."));
        QCOMPARE(view->lastDownload().status, download_status::kCompleted);
        QVERIFY(!view->findChild<QRadioButton*>("incrementalChoice")
                     ->text()
                     .startsWith("Incremental download of data since 2000-01-01"));
    }

    void stopAnsweredNoClosesTheWindowAndSavesNothing() {
        DownloadView* view = openDownload(SlowReplies());
        QVERIFY(view);
        view->setMode(DownloadMode::Normal);
        ModalStep<DataDownloadDialog> stop(
            [](DataDownloadDialog& d) {
                return qvx::test::Child<QLabel>(&d, "countLabel")->text().endsWith(" 3");
            },
            [](DataDownloadDialog& d) { qvx::test::Child<QPushButton>(&d, "stopButton")->click(); });
        ModalDriver no("noButton");
        view->findChild<QPushButton*>("downloadButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(no.clicked(), 20000);
        QCOMPARE(no.caption(), QString(kSaveAnywayCaption));
        QTRY_COMPARE(view->lastDownload().status, download_status::kStoppedNotSaved);
        QFile file(downloadPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains("\r\n  "));
    }

    void bufferStatusAsksOverTcpThenShowsBothBars() {
        DownloadView* view = openDownload();
        QVERIFY(view);
        ModalDriver yes("yesButton");
        QString flash;
        int sram_bar = -1;
        ModalStep<BufferStatusDialog> shown([](BufferStatusDialog& d) { return d.updates() > 0; },
                                            [&](BufferStatusDialog& d) {
                                                flash = qvx::test::Child<QLabel>(&d, "flashLabel")->text();
                                                sram_bar =
                                                    qvx::test::Child<QProgressBar>(&d, "sramBar")->value();
                                                SaveScreenshot(&d, "buffer_status");
                                                d.findChild<QPushButton*>("closeButton")->click();
                                            });
        view->findChild<QPushButton*>("statusButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(shown.done(), 20000);
        QCOMPARE(yes.caption(), QString(kSlowLinkCaption));
        const int stored = static_cast<int>(harness_->sensor().StoredIntervals(sim::IntervalBuffer::Flash));
        QCOMPARE(flash, QString::fromStdString(DescribeBufferFill(stored, kFlashCapacity).text));
        QCOMPARE(sram_bar, DescribeBufferFill(stored, kSramCapacity).bar);
        QCOMPARE(static_cast<unsigned char>(harness_->sensor().Record(sim::RecordKind::Config)[150]), 0x81u);
    }

    void downloadAndEraseDownloadsThenFlushesBothBuffers() {
        DownloadView* view = openDownload();
        QVERIFY(view);
        QString asked;
        view->setEraseChooser([&](const QString& text) {
            asked = text;
            return EraseChoice::DownloadAndErase;
        });
        auto accept = acceptOutcome();
        harness_->takeRequests();
        view->findChild<QPushButton*>("eraseButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(accept->done(), 20000);
        QTRY_COMPARE(view->lastErase(), EraseOutcome::Erased);
        QCOMPARE(asked, QString(kNewDataEraseText));
        const auto requests = harness_->takeRequests();
        auto has = [&](const std::string& code) {
            return std::find_if(requests.begin(), requests.end(),
                                [&](const std::string& r) { return r.ends_with(code); });
        };
        QVERIFY(has("XE") != requests.end());
        QVERIFY(has("XE") < has("XF"));
        QCOMPARE(harness_->sensor().StoredIntervals(sim::IntervalBuffer::Flash), std::size_t{0});
    }

    void studySetupComputesAsTypedAndStartsTheStudy() {
        auto* view = open<StudySetupView>(ViewCode::StudySetup);
        QVERIFY(view);
        QTRY_VERIFY_WITH_TIMEOUT(qvx::test::Child<QPushButton>(view, "startButton")->isEnabled(), 10000);
        QCOMPARE(qvx::test::Child<QLabel>(view, "statusLabel")->text(), QString(kStudyReadyText));
        auto* interval_field = qvx::test::Child<QLineEdit>(view, "intervalField");
        interval_field->clear();
        QTest::keyClicks(interval_field, "3600");
        QCOMPARE(view->findChild<QLabel*>("storageTimeLabel")->text(),
                 QString("123 day(s) and 23.0 hour(s)"));
        interval_field->clear();
        QTest::keyClicks(interval_field, "20");
        QCOMPARE(view->findChild<QLabel*>("storageTimeLabel")->text(), QString("0 day(s) and 16.5 hour(s)"));
        SaveScreenshot(&harness_->window(), "study_setup");

        ModalDriver proceed("yesButton");  // "If you continue, all data stored..." -> Continue
        view->setStatusWindowHook([](QWidget& status) {
            auto* dialog = qobject_cast<BufferStatusDialog*>(&status);
            QTimer::singleShot(0, dialog, [dialog] {
                QTimer* poll = new QTimer(dialog);
                QObject::connect(poll, &QTimer::timeout, dialog, [dialog] {
                    if (dialog->updates() > 0)
                        dialog->findChild<QPushButton*>("closeButton")->click();
                });
                poll->start(20);
            });
        });
        ModalDriver slow_link("yesButton");  // the status window's TCP question
        qvx::test::Child<QPushButton>(view, "startButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(view->lastOutcome() == StudyOutcome::Started, 30000);
        QTRY_VERIFY(!view->working());
        QVERIFY(qvx::test::Child<QLabel>(view, "statusLabel")
                    ->text()
                    .startsWith("Step 2 completed! Study has started..."));
        QCOMPARE(view->findChild<QLabel*>("updateEveryLabel")->text(),
                 QString("(Update Every: 3600 seconds)"));
        SaveScreenshot(&harness_->window(), "study_setup_started");
        const std::string config = harness_->sensor().Record(sim::RecordKind::Config);
        QCOMPARE(QString::fromStdString(config.substr(142, 8)), QString("00000014"));
    }
};

QTEST_MAIN(TstStoredWindows)
#include "tst_stored_windows.moc"
