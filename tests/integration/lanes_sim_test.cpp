// The lane configuration against the simulated sensor over a pseudo-terminal and TCP: what a
// restart sends, the sensor's picture going round the model unchanged, an edit reaching the
// sensor, and the lane thread noticing the picture the automatic configuration settles on.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "../support/sim_program_link.h"
#include "base/progress_reporter.h"
#include "connect/operating_mode.h"
#include "context/app_context.h"
#include "lanes/lane_configuration.h"
#include "lanes/lane_thread.h"
#include "lanes/lane_tools.h"
#include "live/event_fetcher.h"
#include "protocol/catalogue.h"
#include "protocol/frame.h"
#include "sim_server.h"

namespace qvx {
namespace {

class LanesSimTest : public ::testing::TestWithParam<sim::Transport> {
  protected:
    void Start(sim::SensorSettings sensor = {}) {
        sim::ServerSettings settings;
        settings.transport = GetParam();
        settings.pacing = false;
        server_ = std::make_unique<sim::SimServer>(std::vector<sim::SensorSettings>{sensor}, settings);
        std::string why;
        ASSERT_TRUE(server_->Start(&why)) << why;
        ASSERT_TRUE(test::OpenProgramLink(context_.state, context_.link, *server_, &why)) << why;
        std::string reply;
        ASSERT_EQ(context_.protocol.SendSensorCommand({.code = cmd::kUnprotect, .payload = "\r"}, reply),
                  TransactionResult::Ok);
        lanes_ = std::make_unique<LaneConfiguration>(context_);
        lanes_->sleep_ms = [](int) {};
        ASSERT_TRUE(lanes_->ReadSettings().ok());
    }

    void TearDown() override {
        if (context_.state.link_kind == LinkKind::Internet) {
            context_.link.tcp().Close();
        } else if (context_.state.link_kind == LinkKind::Serial) {
            context_.link.serial().Close();
        }
        if (server_) {
            server_->Stop();
        }
    }

    std::vector<std::string> FramesOf(const std::string& code) const {
        std::vector<std::string> frames;
        for (const std::string& frame : server_->RequestLog()) {
            if (frame.starts_with(code) && !(code == "S2" && frame.starts_with("S2N"))) {
                frames.push_back(frame);
            }
        }
        return frames;
    }

    sim::SimulatedSensor& sensor() { return server_->sensor(0); }

    test::ScratchFolder folder_;
    ScriptedPrompts prompts_;
    AppContext context_{prompts_, RegistryStore(folder_ / "registry")};
    std::unique_ptr<sim::SimServer> server_;
    std::unique_ptr<LaneConfiguration> lanes_;
};

TEST_P(LanesSimTest, ARestartSendsAnEmptyRoadAndTheModePayloads) {
    Start();
    ASSERT_TRUE(lanes_->Send(lanes_->SensorModel(), true, LaneSend::Restart, lanes_->Gain()).ok());
    std::string empty;
    for (int marker = 0; marker < 20; ++marker) {
        empty += "0000";
    }
    empty += "00FF00FF00FF00FFRRRRRRRR";
    const std::string record = sensor().Record(sim::RecordKind::SfAlgorithm);
    EXPECT_EQ(record, empty);
    ASSERT_EQ(FramesOf("S2").size(), 1u);
    EXPECT_EQ(FramesOf("S2")[0], "S2" + empty + ComputeFrameChecksum(empty));
    EXPECT_TRUE(FramesOf("SE").empty());  // a restart is not saved to flash

    ASSERT_TRUE(lanes_->SetConfigMode(RestartModePayload(BlinderSettings{})).ok());
    ASSERT_TRUE(lanes_->SetConfigMode(RestartModePayload(BlinderSettings{.enabled = true})).ok());
    EXPECT_EQ(FramesOf("SD"), (std::vector<std::string>{"SD0", "SD0000000531"}));
    SilentProgress progress;
    EXPECT_EQ(lanes_->QueryConfigMode(progress), config_mode::kAutoConfiguring);
}

TEST_P(LanesSimTest, TheSensorsPictureGoesRoundTheModelUnchanged) {
    Start();
    const std::string before = sensor().Record(sim::RecordKind::SfAlgorithm);
    ASSERT_TRUE(lanes_->Send(lanes_->SensorModel(), true, LaneSend::Save, "").ok());
    EXPECT_EQ(sensor().Record(sim::RecordKind::SfAlgorithm), before);
    ASSERT_EQ(FramesOf("S2").size(), 1u);
    EXPECT_EQ(FramesOf("S2")[0], "S2" + before + ComputeFrameChecksum(before));
    EXPECT_EQ(FramesOf("SE").size(), 1u);
    EXPECT_EQ(FramesOf("S11").size(), 1u);
}

TEST_P(LanesSimTest, AnEditReachesTheSensorAndReadsBack) {
    sim::SensorSettings two;
    two.lanes = 2;
    Start(two);
    LaneModel model = lanes_->SensorModel();
    ASSERT_EQ(model.lane_count(), 2);
    const int wide = model.lanes()[0].first;
    ASSERT_TRUE(DragLaneMark(model, model.roads()[0].closing_edge, model.roads()[0].closing_edge + 6) > 0);
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::PaintLines, model.roads()[0].closing_edge - 3));
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::ReverseDirection, wide));
    ASSERT_EQ(model.Problem(), "");
    ASSERT_TRUE(lanes_->Send(model, true, LaneSend::Update, "").ok());
    EXPECT_EQ(sensor().lanes(), 3);
    ASSERT_TRUE(lanes_->ReadSettings().ok());
    EXPECT_EQ(lanes_->SensorModel(), model);
    EXPECT_EQ(context_.state.lane_count, 3);
}

TEST_P(LanesSimTest, TheLaneThreadNoticesTheSettledPicture) {
    sim::SensorSettings sensor_settings;
    sensor_settings.lanes = 3;
    sensor_settings.auto_config_seconds = 1;
    Start(sensor_settings);
    ASSERT_TRUE(lanes_->Send(lanes_->SensorModel(), true, LaneSend::Restart, "").ok());
    ASSERT_TRUE(lanes_->SetConfigMode("0\r").ok());
    EventFetcher events(context_, Mounting::SideFire);
    LaneThread thread(context_, events, *lanes_);
    thread.set_timing(20, 3);
    ManualResetEvent& draw = context_.objects.Event(sync_name::kDrawDtftFreqs);
    draw.Reset();
    thread.Start(LaneModel());
    const bool drawn = draw.WaitFor(5000);
    ASSERT_TRUE(thread.Stop());
    ASSERT_TRUE(drawn);
    const std::optional<LaneModel> picture = thread.TakeNewPicture();
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->lane_count(), 3);
    EXPECT_FALSE(thread.TakeNewPicture().has_value());
    EXPECT_GT(FramesOf("XA").size(), 0u);
    draw.Reset();
}

INSTANTIATE_TEST_SUITE_P(Transports, LanesSimTest,
                         ::testing::Values(sim::Transport::Pty, sim::Transport::Tcp), test::TransportName);

}  // namespace
}  // namespace qvx
