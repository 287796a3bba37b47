// The interval view offscreen against the simulated sensor (5-second interval): it fills at once,
// follows each interval, logs, keeps its Edit/Submit rules, asks for the event view and ends its
// data thread when closed. Without a link its buttons are off.

#include <sys/resource.h>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>
#include <cstdio>
#include <fstream>
#include <memory>

#include "../support/scratch_folder.h"
#include "../support/sim_connection.h"
#include "live/interval_view.h"
#include "live/lane_history_chart.h"
#include "platform/text_file.h"
#include "protocol/sensor_operations.h"

using namespace qvx;
using namespace qvx::gui;

namespace {
constexpr int kLanes = 4;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A line of /proc/self/status ("VmRSS:", "VmHWM:") in kB.
long StatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(field.size()));
    }
    return -1;
}
}  // namespace

class TstIntervalView : public QObject {
    Q_OBJECT

  private:
    test::ScratchFolder folder_;
    ScriptedPrompts prompts_;
    std::unique_ptr<AppContext> context_;
    std::unique_ptr<sim::SimServer> server_;

    void connectToSim() {
        sim::SensorSettings sensor;
        sensor.lanes = kLanes;
        sensor.interval_seconds = 5;
        sensor.firewall = false;
        server_ =
            std::make_unique<sim::SimServer>(std::vector<sim::SensorSettings>{sensor}, sim::ServerSettings{});
        std::string why;
        QVERIFY2(server_->Start(&why), why.c_str());
        context_ = std::make_unique<AppContext>(prompts_, RegistryStore(folder_ / "registry"));
        QVERIFY2(test::ConnectToSim(*context_, *server_, &why), why.c_str());
        context_->state.lane_count = kLanes;
    }

  private slots:
    void cleanup() {
        if (context_)
            context_->link.tcp().Close();
        if (server_)
            server_->Stop();
        context_.reset();
        server_.reset();
        prompts_ = ScriptedPrompts();
    }

    void fillsAtOnceAndFollowsEachInterval() {
        connectToSim();
        SensorOperations operations(context_->protocol, context_->objects.SyncData());
        IntervalView view(*context_, operations);
        view.resize(940, 430);
        view.show();
        QTRY_VERIFY_WITH_TIMEOUT(view.timerActive(), 3000);
        QCOMPARE(view.intervalField()->text(), QString("5"));
        QCOMPARE(view.table()->horizontalHeaderItem(2)->text(), QString("Speed\n(mph)"));
        QCOMPARE(view.visibleRows(), kLanes);
        QTRY_VERIFY_WITH_TIMEOUT(view.updatedLabel()->text().startsWith("Updated: 20"), 2000);
        // The lane names come from the sensor, though nothing before the view read them.
        QCOMPARE(view.table()->item(0, 0)->text().trimmed(), QString("Lane 1"));
        QCOMPARE(view.table()->item(kLanes - 1, 0)->text().trimmed(), QString("Lane %1").arg(kLanes));
        QVERIFY(view.table()->item(0, 1)->text().size() == 10);

        // The next record arrives soon after the interval's end; the elapsed time then restarts.
        const QString first = view.updatedLabel()->text();
        QTRY_VERIFY_WITH_TIMEOUT(view.updatedLabel()->text() != first, 7000);
        QTRY_VERIFY_WITH_TIMEOUT(view.sinceUpdatedLabel()->text().startsWith("Since updated: 0:0:0:"), 1000);
        QTRY_VERIFY_WITH_TIMEOUT(view.chart(0)->history().size() >= 3, 12000);

        QDir().mkpath(QVX_SCREENSHOT_DIR);
        QVERIFY(view.grab().save(QString(QVX_SCREENSHOT_DIR) + "/interval_view.png"));

        QVERIFY(view.shutdown());
        QVERIFY(context_->objects.Event(sync_name::kDataThreadKilled).IsSet());
        QVERIFY(!view.dataThreadRunning());
    }

    void loggingWritesABannerThenLines() {
        connectToSim();
        SensorOperations operations(context_->protocol, context_->objects.SyncData());
        IntervalView view(*context_, operations);
        const std::string path = folder_ / "view.log";
        view.setLogFileChooser([&](LogKind) { return std::optional<std::string>(path); });
        prompts_.ask_answers = {true};
        QTRY_VERIFY_WITH_TIMEOUT(view.timerActive(), 3000);
        view.loggingButton()->click();
        QCOMPARE(view.loggingButton()->toolTip(), QString("Turn interval data logging off"));
        QTRY_VERIFY_WITH_TIMEOUT(ReadTextFile(path).value_or("").find("\t") != std::string::npos, 7000);
        const std::string text = ReadTextFile(path).value_or("");
        QVERIFY(text.find("SERIAL NUMBER: ") != std::string::npos);
        QCOMPARE(std::count(text.begin(), text.end(), '\t') % (kLanes * 8), 0L);
        QVERIFY2(text.find("Lane 1") != std::string::npos, text.c_str());  // not eight blanks

        view.loggingButton()->click();
        QCOMPARE(view.loggingButton()->toolTip(), QString("Turn interval data logging on"));

        std::vector<std::string> opened;
        view.setEditorLauncher([&](const std::string& file) {
            opened.push_back(file);
            return true;
        });
        view.viewLogButton()->click();
        QCOMPARE(opened, std::vector<std::string>{path});
    }

    void editSubmitAndEventData() {
        connectToSim();
        SensorOperations operations(context_->protocol, context_->objects.SyncData());
        IntervalView view(*context_, operations);
        QTRY_VERIFY_WITH_TIMEOUT(view.timerActive(), 3000);
        QVERIFY(view.intervalField()->isReadOnly());

        view.editButton()->click();
        QCOMPARE(view.editButton()->text(), QString("Cancel"));
        QCOMPARE(view.refreshButton()->text(), QString("Submit"));
        QVERIFY(!view.intervalField()->isReadOnly());
        view.intervalField()->setText("4");
        view.refreshButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!view.workRunning(), 3000);
        QCOMPARE(prompts_.messages.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(prompts_.messages[0].text),
                 QString("The minimum interval is 5 seconds!"));
        QVERIFY(view.editMode());
        QVERIFY(view.timerActive());

        view.intervalField()->setText("6");
        view.refreshButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!view.editMode(), 5000);
        QCOMPARE(view.intervalField()->text(), QString("6"));
        QCOMPARE(view.editButton()->text(), QString("Edit"));
        QTRY_VERIFY_WITH_TIMEOUT(view.timerActive(), 1000);

        view.editButton()->click();
        view.intervalField()->setText("77");
        view.editButton()->click();  // Cancel
        QCOMPARE(view.intervalField()->text(), QString("6"));

        QSignalSpy requested(&view, &WorkingView::viewRequested);
        view.eventDataButton()->click();
        QCOMPARE(requested.count(), 1);
        QCOMPARE(requested.at(0).at(0).value<ViewCode>(), ViewCode::SideFireTraffic);
    }

    // scripts/measure-interval-view: the view open for QVX_SOAK_SECONDS against the qvx-sim at
    // QVX_SIM_TCP_PORT; prints the CPU time and memory this process used meanwhile.
    void soakWithTheViewOpen() {
        const int seconds = qEnvironmentVariableIntValue("QVX_SOAK_SECONDS");
        const int port = qEnvironmentVariableIntValue("QVX_SIM_TCP_PORT");
        if (seconds <= 0 || port <= 0)
            QSKIP("a timed run: scripts/measure-interval-view");
        context_ = std::make_unique<AppContext>(prompts_, RegistryStore(folder_ / "registry"));
        context_->state.host_address = "127.0.0.1";
        context_->state.tcp_port = static_cast<std::uint16_t>(port);
        QVERIFY(context_->link.tcp().Connect());
        QVERIFY(context_->records.ReadExtendedConfigInfo().ok());
        QVERIFY(context_->records.ReadConnectionPort().ok());
        context_->state.lane_count = kLanes;
        SensorOperations operations(context_->protocol, context_->objects.SyncData());
        IntervalView view(*context_, operations);
        view.resize(940, 430);
        view.show();
        QTRY_VERIFY_WITH_TIMEOUT(view.updatedLabel()->text().startsWith("Updated: 20"), 5000);
        const long rss_before = StatusKb("VmRSS:");
        const double cpu_before = CpuSeconds();
        const auto started = std::chrono::steady_clock::now();
        QTest::qWait(seconds * 1000);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        const double cpu = CpuSeconds() - cpu_before;
        std::printf(
            "[ figures  ] view open %.1f s: CPU %.3f s = %.2f %% of one core; RSS %ld kB (at start of "
            "the run %ld kB), peak RSS %ld kB; records shown %zu\n",
            wall, cpu, 100.0 * cpu / wall, StatusKb("VmRSS:"), rss_before, StatusKb("VmHWM:"),
            static_cast<std::size_t>(view.chart(0)->history().size()));
        QVERIFY(view.shutdown());
    }

    void withoutALinkTheButtonsAreOffAndRowsCountDown() {
        context_ = std::make_unique<AppContext>(prompts_, RegistryStore(folder_ / "registry"));
        SensorOperations operations(context_->protocol, context_->objects.SyncData());
        IntervalView first(*context_, operations);
        QVERIFY(!first.refreshButton()->isEnabled());
        QVERIFY(!first.editButton()->isEnabled());
        QVERIFY(!first.loggingButton()->isEnabled());
        QVERIFY(!first.viewLogButton()->isEnabled());
        QVERIFY(!first.resyncButton()->isEnabled());
        QVERIFY(!first.timerActive());
        IntervalView second(*context_, operations);
        QCOMPARE(second.visibleRows(), first.visibleRows() == 1 ? 8 : first.visibleRows() - 1);
    }
};

QTEST_MAIN(TstIntervalView)
#include "tst_interval_view.moc"
