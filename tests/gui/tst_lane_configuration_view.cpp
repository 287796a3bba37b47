// The lane configuration view offscreen against the simulated sensor: automatic mode with the
// range blinders and vehicles, manual mode with each tool's cursor over allowed and refused bins,
// a refused ninth lane, an update that reaches the sensor, a save that switches to Skelda, a
// restart, and the question when leaving with unsaved changes. Also measures the window's CPU use
// while the lane thread polls.

#include <sys/resource.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "../support/sim_connection.h"
#include "lanes/lane_configuration_view.h"
#include "lanes/lane_cross_section.h"
#include "protocol/sensor_operations.h"
#include "support/scripted_dialog_prompts.h"

using namespace qvx;
using namespace qvx::gui;

namespace {

// who: RUSAGE_SELF (the test process, simulator included) or RUSAGE_THREAD (the window's thread).
double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::vector<std::string> FramesOf(sim::SimServer& server, const std::string& code) {
    std::vector<std::string> frames;
    for (const std::string& frame : server.RequestLog()) {
        if (frame.starts_with(code) && !(code == "S2" && frame.starts_with("S2N"))) {
            frames.push_back(frame);
        }
    }
    return frames;
}

}  // namespace

class TstLaneConfigurationView : public QObject {
    Q_OBJECT

  private:
    qvx::test::ScratchFolder folder_;
    ScriptedPrompts prompts_;
    std::unique_ptr<AppContext> context_;
    std::unique_ptr<SensorOperations> operations_;
    std::unique_ptr<sim::SimServer> server_;

    void makeContext() {
        context_ = std::make_unique<AppContext>(prompts_, RegistryStore(folder_ / "registry"));
        operations_ = std::make_unique<SensorOperations>(context_->protocol, context_->objects.SyncData());
    }

    void connectToSim(char config_mode, int lanes = 4) {
        sim::SensorSettings sensor;
        sensor.lanes = lanes;
        sensor.vehicles_per_hour = 3600;
        sensor.firewall = false;
        sensor.config_mode = config_mode;
        sensor.auto_config_seconds = 600;
        server_ =
            std::make_unique<sim::SimServer>(std::vector<sim::SensorSettings>{sensor}, sim::ServerSettings{});
        std::string why;
        QVERIFY2(server_->Start(&why), why.c_str());
        makeContext();
        QVERIFY2(qvx::test::ConnectToSim(*context_, *server_, &why), why.c_str());
        context_->state.link_kind = LinkKind::Internet;
    }

    void hover(LaneConfigurationView& view, int bin) {
        LaneCrossSection* section = view.crossSection();
        const QPointF point(section->width() / 2, section->rowCentre(bin));
        QMouseEvent move(QEvent::MouseMove, point, section->mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(section, &move);
    }

  private slots:
    void cleanup() {
        if (context_)
            context_->link.tcp().Close();
        if (server_)
            server_->Stop();
        operations_.reset();
        context_.reset();
        server_.reset();
        prompts_ = ScriptedPrompts();
    }

    void automaticModeWithBlindersAndVehicles() {
        connectToSim('0');
        bool automatic_menus = false;
        LaneConfigurationView::Hooks hooks;
        hooks.mode_menus = [&](bool automatic) { automatic_menus = automatic; };
        LaneConfigurationView view(*context_, *operations_, hooks);
        view.resize(900, 600);
        view.show();
        QTRY_VERIFY_WITH_TIMEOUT(view.ready() && view.laneThread().running(), 5000);
        QCOMPARE(view.mode(), std::optional<LaneMode>(LaneMode::Automatic));
        QVERIFY(automatic_menus);
        QVERIFY(view.statusLabel()->text().startsWith(
            "Orbek - Automatic configuration mode.  Sensor's current gain value: "));
        QCOMPARE(view.model().lane_count(), 4);
        QVERIFY(!view.toolAction(LaneTool::PaintLines)->isEnabled());
        QVERIFY(view.toolAction(LaneTool::EditBlinders)->isEnabled());
        QVERIFY(view.manualButton()->isEnabled());
        QVERIFY(!view.updateButton()->isEnabled());

        view.toolAction(LaneTool::EditBlinders)->trigger();
        view.pressBin(0);
        view.dragBin(3);
        view.releaseBin();
        view.pressBin(83);
        view.dragBin(60);
        view.releaseBin();
        QCOMPARE(view.blinders().low, 3);
        QCOMPARE(view.blinders().high, 60);
        QVERIFY(view.blinders().enabled);
        QTRY_VERIFY_WITH_TIMEOUT(view.crossSection()->vehiclesShown() >= 2, 8000);

        // The window's own CPU while the lane thread polls and the timer draws.
        const QElapsedTimer wall = [] {
            QElapsedTimer t;
            t.start();
            return t;
        }();
        const double process_before = CpuSeconds(RUSAGE_SELF);
        const double window_before = CpuSeconds(RUSAGE_THREAD);
        QTest::qWait(5000);
        const double seconds = wall.elapsed() / 1000.0;
        std::printf(
            "lane configuration view: window thread %.2f %%, whole test process (simulator and lane "
            "thread included) %.2f %% of one core\n",
            (CpuSeconds(RUSAGE_THREAD) - window_before) * 100.0 / seconds,
            (CpuSeconds(RUSAGE_SELF) - process_before) * 100.0 / seconds);
        qvx::gui::test::SaveScreenshot(view, "lane_configuration_automatic");

        prompts_.ask_answers = {true};
        view.restartButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(view.ready() && view.laneThread().running(), 5000);
        QCOMPARE(FramesOf(*server_, "SD"), (std::vector<std::string>{"SD00003003C1"}));
        QCOMPARE(view.model().lane_count(), 0);

        // Manual adjustments keep the blinders in use, so the picture refresh stays on.
        view.manualButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(view.mode(), std::optional<LaneMode>(LaneMode::Manual), 5000);
        QCOMPARE(FramesOf(*server_, "SD").back(), std::string("SD2"));
        QCOMPARE(view.blinders().low, 3);
        QVERIFY(view.laneThread().picture_refresh());
        QVERIFY(view.toolAction(LaneTool::ConstructRoads)->isEnabled());
        QVERIFY(!view.gainButton()->isEnabled());
        QVERIFY(view.shutdown());
    }

    void manualModeToolsAndCursors() {
        connectToSim('2', 4);
        LaneConfigurationView view(*context_, *operations_);
        view.resize(900, 600);
        view.show();
        QTRY_VERIFY_WITH_TIMEOUT(view.ready(), 5000);
        QCOMPARE(view.mode(), std::optional<LaneMode>(LaneMode::Manual));
        QVERIFY(view.statusLabel()->text().startsWith("Orbek - Manual configuration mode."));
        QVERIFY(!view.toolAction(LaneTool::EditBlinders)->isEnabled());
        const LaneModel& model = view.model();
        QCOMPARE(model.road_count(), 2);
        // Widen the last lane, so that a barrier has room in it.
        view.toolAction(LaneTool::AdjustLanes)->trigger();
        const int closing = model.roads()[1].closing_edge;
        view.pressBin(closing);
        view.dragBin(closing + 10);
        view.releaseBin();
        QCOMPARE(model.roads()[1].closing_edge, closing + 10);
        const int gap = model.roads()[0].closing_edge + 1;
        const int edge = model.roads()[0].opening_edge;
        const int centre = model.centres()[0];
        struct Case {
            LaneTool tool;
            int allowed_bin;
            int refused_bin;
            const char* name;
        };
        const Case cases[] = {
            {LaneTool::AdjustLanes, edge, 60, "adjust_lanes"},
            {LaneTool::PaintLines, centre, edge, "paint_lines"},
            {LaneTool::RemoveLines, centre + 2, centre, "remove_lines"},
            {LaneTool::RemoveLane, centre, edge, "remove_lane"},
            {LaneTool::ReverseDirection, centre, 60, "reverse_direction"},
            {LaneTool::ConstructRoads, 60, 0, "construct_roads"},
            {LaneTool::RemoveRoads, centre, 60, "remove_roads"},
            {LaneTool::ConstructBarriers, closing + 4, edge + 1, "construct_barriers"},
            {LaneTool::RemoveBarriers, gap, centre, "remove_barriers"},
        };
        for (const Case& c : cases) {
            view.toolAction(c.tool)->setChecked(true);
            QCOMPARE(view.tool(), c.tool);
            QVERIFY2(view.cursorFor(c.allowed_bin) != Qt::ForbiddenCursor, c.name);
            QCOMPARE(view.cursorFor(c.refused_bin), Qt::ForbiddenCursor);
            hover(view, c.allowed_bin);
            QCOMPARE(view.crossSection()->cursor().shape(), view.cursorFor(c.allowed_bin));
            qvx::gui::test::SaveScreenshot(view, QString("lane_configuration_manual_%1").arg(c.name));
            hover(view, c.refused_bin);
            QVERIFY2(view.crossSection()->cursor().shape() == Qt::ForbiddenCursor, c.name);
        }

        // Paint a line in lane 1 and reverse lane 2: Update sends both and the sensor holds them.
        view.toolAction(LaneTool::PaintLines)->trigger();
        view.pressBin(centre);
        QCOMPARE(view.model().lane_count(), 5);
        QVERIFY(view.changed());
        QVERIFY(view.updateButton()->isEnabled());
        view.toolAction(LaneTool::ReverseDirection)->trigger();
        view.pressBin(view.model().centres()[2]);
        const LaneModel sent = view.model();
        context_->state.synchronize_clock = false;  // the clock is read before and set after
        const std::size_t heard_before = server_->RequestLog().size();
        view.updateButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!view.changed() && !view.workRunning(), 8000);
        QCOMPARE(server_->sensor(0).lanes(), 5);
        QCOMPARE(FramesOf(*server_, "SE").size(), std::size_t{1});
        // The update is one sensor operation: the clock read opens it, the clock write after the
        // save closes it, and no poll of the lane thread comes in between.
        const std::vector<std::string> log = server_->RequestLog();
        const std::vector<std::string> update(log.begin() + static_cast<long>(heard_before), log.end());
        QVERIFY(!update.empty());
        QCOMPARE(update.front(), std::string("SB"));
        const auto save = std::find(update.begin(), update.end(), "SE");
        const auto clock_set =
            std::find_if(save, update.end(), [](const std::string& f) { return f.starts_with("S4"); });
        QVERIFY(clock_set != update.end());
        QVERIFY(std::none_of(update.begin(), clock_set,
                             [](const std::string& f) { return f.starts_with("XA"); }));
        QVERIFY(!prompts_.messages.empty());
        QCOMPARE(prompts_.messages.back().text, std::string("Sensor configuration settings saved!"));

        // Undo goes back to what was sent, not to what was read.
        view.pressBin(view.model().centres()[0]);
        QVERIFY(view.changed());
        view.undoButton()->click();
        QVERIFY(view.model() == sent);
        QVERIFY(!view.changed());
        QVERIFY(view.shutdown());
    }

    void aNinthLaneIsRefusedAndNothingChanges() {
        connectToSim('2', 8);
        LaneConfigurationView view(*context_, *operations_);
        view.resize(900, 600);
        view.show();
        QTRY_VERIFY_WITH_TIMEOUT(view.ready(), 5000);
        QCOMPARE(view.model().lane_count(), 8);
        view.toolAction(LaneTool::PaintLines)->trigger();
        const int centre = view.model().centres()[0];
        const LaneModel before = view.model();
        QCOMPARE(view.cursorFor(centre), Qt::ForbiddenCursor);
        hover(view, centre);
        view.pressBin(centre);
        QVERIFY(view.model() == before);
        QVERIFY(!view.changed());
        qvx::gui::test::SaveScreenshot(view, "lane_configuration_refused_ninth_lane");
        QVERIFY(view.shutdown());
    }

    void saveSwitchesToSkeldaAndLeavingAsksAboutUnsavedChanges() {
        connectToSim('2', 3);
        LaneConfigurationView view(*context_, *operations_);
        view.resize(900, 600);
        view.show();
        QTRY_VERIFY_WITH_TIMEOUT(view.ready(), 5000);
        view.toolAction(LaneTool::RemoveLane)->trigger();
        view.pressBin(view.model().centres()[2]);
        QVERIFY(view.changed());
        prompts_.default_ask_answer = false;
        QVERIFY(!view.shutdown());
        QCOMPARE(prompts_.questions.back(),
                 std::string(
                     "Warning...|You haven't saved the sensor's configuration.  Are sure you want to exit?"));
        QSignalSpy requested(&view, &WorkingView::viewRequested);
        view.saveButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(requested.count(), 1, 8000);
        QCOMPARE(requested.at(0).at(0).value<ViewCode>(), ViewCode::SideFireTraffic);
        QCOMPARE(server_->sensor(0).lanes(), 2);
        QCOMPARE(prompts_.messages.back().text, std::string("Configuration saved...switching to Skelda..."));
        QVERIFY(view.shutdown());
    }

    void withoutALinkNothingIsSent() {
        makeContext();
        LaneConfigurationView view(*context_, *operations_);
        view.show();
        QTest::qWait(100);
        QVERIFY(!view.ready());
        QVERIFY(!view.restartButton()->isEnabled());
        QVERIFY(!view.namesButton()->isEnabled());
        QVERIFY(view.shutdown());
    }
};

QTEST_MAIN(TstLaneConfigurationView)
#include "tst_lane_configuration_view.moc"
