// The interval view offscreen against the simulated sensor (5-second interval): it fills at once,
// follows each interval, logs, keeps its Edit/Submit rules, asks for the event view and ends its
// data thread when closed. Without a link its buttons are off.

#include <sys/resource.h>
#include <QHeaderView>
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
#include "support/find_child.h"
#include "support/screenshot.h"

#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
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
        auto* table = test::Child<QTableWidget>(&view, "intervalTable");
        auto* updated = test::Child<QLabel>(&view, "updatedLabel");
        QCOMPARE(test::Child<QLineEdit>(&view, "intervalField")->text(), QString("5"));
        QCOMPARE(table->horizontalHeaderItem(2)->text(), QString("Speed\n(mph)"));
        QCOMPARE(view.visibleRows(), kLanes);
        QTRY_VERIFY_WITH_TIMEOUT(updated->text().startsWith("Updated: 20"), 2000);
        // The lane names come from the sensor, though nothing before the view read them.
        QCOMPARE(table->item(0, 0)->text().trimmed(), QString("Lane 1"));
        QCOMPARE(table->item(kLanes - 1, 0)->text().trimmed(), QString("Lane %1").arg(kLanes));
        QVERIFY(table->item(0, 1)->text().size() == 10);

        // The next record arrives soon after the interval's end; the elapsed time then restarts.
        const QString first = updated->text();
        QTRY_VERIFY_WITH_TIMEOUT(updated->text() != first, 7000);
        QTRY_VERIFY_WITH_TIMEOUT(
            test::Child<QLabel>(&view, "sinceUpdatedLabel")->text().startsWith("Since updated: 0:0:0:"),
            1000);
        QTRY_VERIFY_WITH_TIMEOUT(view.chart(0)->history().size() >= 3, 12000);
        // The figures fit their columns on one line, and the chart takes the spare width.
        QHeaderView* header = table->horizontalHeader();
        const QFontMetrics metrics(table->item(0, 1)->font());
        QVERIFY(header->sectionSize(1) >= metrics.horizontalAdvance(table->item(0, 1)->text()));
        QVERIFY(header->sectionSize(7) > header->sectionSize(1) * 2);

        QDir().mkpath(QVX_SCREENSHOT_DIR);
        qvx::test::GrabScreenshot(&view, "interval_view");

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
        auto* logging_button = test::Child<QToolButton>(&view, "loggingButton");
        logging_button->click();
        QCOMPARE(logging_button->toolTip(), QString("Turn interval data logging off"));
        QTRY_VERIFY_WITH_TIMEOUT(ReadTextFile(path).value_or("").find("\t") != std::string::npos, 7000);
        const std::string text = ReadTextFile(path).value_or("");
        QVERIFY(text.find("SERIAL NUMBER: ") != std::string::npos);
        QCOMPARE(std::count(text.begin(), text.end(), '\t') % (kLanes * 8), 0L);
        QVERIFY2(text.find("Lane 1") != std::string::npos, text.c_str());  // not eight blanks

        logging_button->click();
        QCOMPARE(logging_button->toolTip(), QString("Turn interval data logging on"));

        std::vector<std::string> opened;
        view.setEditorLauncher([&](const std::string& file) {
            opened.push_back(file);
            return true;
        });
        test::Child<QToolButton>(&view, "viewLogButton")->click();
        QCOMPARE(opened, std::vector<std::string>{path});
    }

    void editSubmitAndEventData() {
        connectToSim();
        SensorOperations operations(context_->protocol, context_->objects.SyncData());
        IntervalView view(*context_, operations);
        QTRY_VERIFY_WITH_TIMEOUT(view.timerActive(), 3000);
        auto* interval_field = test::Child<QLineEdit>(&view, "intervalField");
        QVERIFY(interval_field->isReadOnly());

        auto* edit_button = test::Child<QPushButton>(&view, "editButton");
        edit_button->click();
        QCOMPARE(edit_button->text(), QString("Cancel"));
        auto* refresh_button = test::Child<QPushButton>(&view, "refreshButton");
        QCOMPARE(refresh_button->text(), QString("Submit"));
        QVERIFY(!interval_field->isReadOnly());
        interval_field->setText("4");
        refresh_button->click();
        QTRY_VERIFY_WITH_TIMEOUT(!view.workRunning(), 3000);
        QCOMPARE(prompts_.messages.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(prompts_.messages[0].text),
                 QString("The minimum interval is 5 seconds!"));
        QVERIFY(view.editMode());
        QVERIFY(view.timerActive());

        interval_field->setText("6");
        refresh_button->click();
        QTRY_VERIFY_WITH_TIMEOUT(!view.editMode(), 5000);
        QCOMPARE(interval_field->text(), QString("6"));
        QCOMPARE(edit_button->text(), QString("Edit"));
        QTRY_VERIFY_WITH_TIMEOUT(view.timerActive(), 1000);

        edit_button->click();
        interval_field->setText("77");
        edit_button->click();  // Cancel
        QCOMPARE(interval_field->text(), QString("6"));

        QSignalSpy requested(&view, &WorkingView::viewRequested);
        test::Child<QPushButton>(&view, "eventDataButton")->click();
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
        QTRY_VERIFY_WITH_TIMEOUT(test::Child<QLabel>(&view, "updatedLabel")->text().startsWith("Updated: 20"),
                                 5000);
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

    // Before the lanes are configured the lane count is the default 8; the rows follow the lanes
    // the sensor reports, and the history outlives the view while the connection lasts.
    void rowsFollowTheSensorsLanesAndHistoryOutlivesTheView() {
        connectToSim();
        context_->state.lane_count = 8;
        SensorOperations operations(context_->protocol, context_->objects.SyncData());
        qsizetype kept = 0;
        {
            IntervalView view(*context_, operations);
            view.show();
            QTRY_VERIFY_WITH_TIMEOUT(
                test::Child<QLabel>(&view, "updatedLabel")->text().startsWith("Updated: 20"), 5000);
            QCOMPARE(view.visibleRows(), kLanes);
            kept = view.chart(0)->history().size();
            QVERIFY(view.shutdown());
        }
        IntervalView again(*context_, operations);
        again.show();
        QTRY_VERIFY_WITH_TIMEOUT(again.chart(0)->history().size() >= kept, 5000);
        QVERIFY(kept >= 1);
        QVERIFY(again.shutdown());
    }

    void withoutALinkTheButtonsAreOffAndRowsCountDown() {
        context_ = std::make_unique<AppContext>(prompts_, RegistryStore(folder_ / "registry"));
        SensorOperations operations(context_->protocol, context_->objects.SyncData());
        IntervalView first(*context_, operations);
        QVERIFY(!test::Child<QPushButton>(&first, "refreshButton")->isEnabled());
        QVERIFY(!test::Child<QPushButton>(&first, "editButton")->isEnabled());
        QVERIFY(!test::Child<QToolButton>(&first, "loggingButton")->isEnabled());
        QVERIFY(!test::Child<QToolButton>(&first, "viewLogButton")->isEnabled());
        QVERIFY(!test::Child<QToolButton>(&first, "resyncButton")->isEnabled());
        QVERIFY(!first.timerActive());
        IntervalView second(*context_, operations);
        QCOMPARE(second.visibleRows(), first.visibleRows() == 1 ? 8 : first.visibleRows() - 1);
    }
};

QTEST_MAIN(TstIntervalView)
#include "tst_interval_view.moc"
