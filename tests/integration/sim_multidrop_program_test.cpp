// The program against a multi-drop line of simulated sensors, over the pty and over TCP:
// detection recovers from colliding discovery replies, the closing sequence's five broadcasts
// put every muted sensor back on the air, and both forms of the firewall acknowledgement pass.

#include <gtest/gtest.h>

#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "../support/sim_program_link.h"
#include "app/close_connection.h"
#include "connect/multidrop.h"
#include "context/app_context.h"
#include "protocol/catalogue.h"
#include "protocol/transaction_result.h"

namespace qvx::sim {
namespace {

std::vector<SensorSettings> Bus(const std::vector<std::string>& ids) {
    std::vector<SensorSettings> bus;
    for (const std::string& id : ids) {
        SensorSettings sensor;
        sensor.id = id;
        sensor.multi_drop_network = true;
        bus.push_back(sensor);
    }
    return bus;
}

class SimMultiDropProgramTest : public ::testing::TestWithParam<Transport> {
  protected:
    void Start(std::vector<SensorSettings> sensors, ServerSettings settings = {}) {
        settings.transport = GetParam();
        settings.pacing = false;
        server_ = std::make_unique<SimServer>(std::move(sensors), settings);
        ASSERT_TRUE(server_->Start());
        std::string why;
        ASSERT_TRUE(test::OpenProgramLink(app_.state, app_.link, *server_, &why)) << why;
        app_.state.multidrop_enabled = true;
        app_.state.multidrop_mode = 1;
    }

    std::vector<std::string> Detect() {
        MultiDropDetection detection;
        GatherMultiDropIds(app_.protocol, detection);
        return detection.ids;
    }

    test::ScratchFolder dir_;
    ScriptedPrompts prompts_;
    AppContext app_{prompts_, RegistryStore(dir_ / "registry")};
    std::unique_ptr<SimServer> server_;
};

TEST_P(SimMultiDropProgramTest, DetectionWithCollidingRepliesEndsWithEveryIdFound) {
    const std::vector<std::string> ids{"0012", "0045", "00A1", "0100", "0200", "0333"};
    ServerSettings settings;
    settings.faults.collisions = true;
    Start(Bus(ids), settings);
    std::vector<std::string> found = Detect();
    EXPECT_GT(server_->collisions(), 0u) << "no reply was garbled";
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, ids);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        EXPECT_TRUE(server_->sensor(i).muted()) << ids[i];
    }
}

TEST_P(SimMultiDropProgramTest, TheFiveBroadcastsOfTheClosingSequenceUnmuteTheLine) {
    Start(Bus({"0012", "0045", "00A1"}));
    ASSERT_EQ(Detect().size(), 3u);
    app_.state.SetMultiDropId("0045");
    std::string reply;
    ASSERT_EQ(app_.protocol.SendSensorCommand({.code = cmd::kStopPush, .payload = "\r", .retries = 1}, reply),
              TransactionResult::Ok);
    ASSERT_FALSE(server_->sensor(1).push_mode());

    const CloseOutcome outcome = CloseConnection(app_);
    EXPECT_TRUE(outcome.push_restored);
    EXPECT_TRUE(outcome.protect_done);
    const auto log = server_->RequestLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "B3"), 5);
    for (std::size_t i = 0; i < server_->sensor_count(); ++i) {
        EXPECT_FALSE(server_->sensor(i).muted()) << "sensor " << i << " still muted";
        EXPECT_TRUE(server_->sensor(i).push_mode()) << "sensor " << i;
    }
}

TEST_P(SimMultiDropProgramTest, TheFirewallIsOpenedAndClosedWhicheverFormTheSensorAcknowledges) {
    for (const bool bare : {false, true}) {
        SCOPED_TRACE(bare ? "bare S8" : "echoed access code");
        SensorSettings sensor;
        sensor.bare_firewall_reply = bare;
        Start({sensor});
        app_.state.multidrop_enabled = false;
        std::string reply;
        EXPECT_EQ(
            app_.protocol.SendSensorCommand({.code = cmd::kUnprotect, .payload = "\r", .retries = 1}, reply),
            TransactionResult::Ok);
        EXPECT_FALSE(server_->sensor(0).is_protected());
        EXPECT_EQ(
            app_.protocol.SendSensorCommand({.code = cmd::kProtect, .payload = "\r", .retries = 1}, reply),
            TransactionResult::Ok);
        EXPECT_TRUE(server_->sensor(0).is_protected());
        CloseConnection(app_);
    }
}

INSTANTIATE_TEST_SUITE_P(Transports, SimMultiDropProgramTest,
                         ::testing::Values(Transport::Pty, Transport::Tcp), test::TransportName);

}  // namespace
}  // namespace qvx::sim
