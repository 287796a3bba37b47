#include "connect/multidrop.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "../support/scripted_peer.h"
#include "../support/scripted_prompts.h"
#include "link/sensor_link.h"
#include "protocol/frame.h"
#include "protocol/transaction.h"
#include "protocol/user_prompts.h"

namespace qvx {
namespace {

using test::ScriptedPeer;

const std::string kEnabled = "B2\r";

std::string Discovery(const std::vector<std::string>& ids) {
    std::string text;
    for (const auto& id : ids) {
        text += "B1" + id + ComputeFrameChecksum(id) + "\r";
    }
    return text;
}

std::string Muted(const std::string& id) {
    return "Z0" + id + "S8B00FF" + ComputeFrameChecksum("B00FF") + "\r";
}

// Drives the detection against a scripted line: four enabling answers, then per poll and mute
// what the script says.
class MultiDropDetectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::signal(SIGPIPE, SIG_IGN);
        protocol_.sleep_ms = [](int) {};
        // The discovery collects until its deadline; a short base wait keeps the test quick.
        state_.base_response_wait_ms = 60;
        state_.multidrop_enabled = true;
        state_.multidrop_mode = 1;
    }

    void StartLine(std::vector<std::string> replies) {
        peer_ = test::AttachScriptedPeer(link_, std::move(replies));
        ASSERT_NE(peer_, nullptr);
    }

    std::vector<std::string> Requests() const { return peer_->requests(); }

    ConnectionState state_;
    SensorLink link_{state_};
    ScriptedPrompts prompts_;
    SensorProtocol protocol_{link_, prompts_};
    std::unique_ptr<ScriptedPeer> peer_;
    MultiDropDetection detection_;
};

TEST_F(MultiDropDetectionTest, ThreeIdsInOnePollAreMutedUnderTheirOwnIdAndListedInOrder) {
    StartLine({kEnabled, kEnabled, kEnabled, kEnabled, Discovery({"0012", "0045", "00A1"}), Muted("0012"),
               Muted("0045"), Muted("00A1")});
    GatherMultiDropIds(protocol_, detection_);

    EXPECT_EQ(detection_.ids, (std::vector<std::string>{"0012", "0045", "00A1"}));
    EXPECT_EQ(detection_.count, 3);
    EXPECT_EQ(detection_.selected, 0);
    EXPECT_EQ(detection_.prompt,
              "To complete the connection...\r\nSelect a sensor from among the 3 ID(s) listed below...");
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 11u);
    EXPECT_EQ(requests[4], "B000\r");
    EXPECT_EQ(requests[5], "Z00012S8B00FF\r");
    EXPECT_EQ(requests[6], "Z00045S8B00FF\r");
    EXPECT_EQ(requests[7], "Z000A1S8B00FF\r");
    EXPECT_EQ(requests[8], "B001\r");
    EXPECT_EQ(requests[10], "B003\r");
    // The ID in use before the detection is back.
    EXPECT_EQ(state_.multidrop_current_id, "FFFF");
    EXPECT_EQ(state_.multidrop_target_id, "FFFF");
}

TEST_F(MultiDropDetectionTest, AnIdReportedAgainIsListedOnceAndAFailedMuteLeavesItOut) {
    // Slot 0: 0012 (muted) and 0045 (its mute goes unanswered); slot 1: both again, 0045 now mutes.
    StartLine({kEnabled, kEnabled, kEnabled, kEnabled, Discovery({"0012", "0045"}), Muted("0012"), "",
               Discovery({"0012", "0045"}), Muted("0045")});
    GatherMultiDropIds(protocol_, detection_);

    EXPECT_EQ(detection_.ids, (std::vector<std::string>{"0012", "0045"}));
    EXPECT_EQ(detection_.count, 2);
    const auto requests = Requests();
    ASSERT_GE(requests.size(), 9u);
    EXPECT_EQ(requests[7], "B001\r");
    EXPECT_EQ(requests[8], "Z00045S8B00FF\r");  // 0012 is not muted a second time
}

TEST_F(MultiDropDetectionTest, ASilentLineIsPolledInAllFourSlotsAndListsNothing) {
    // The enabling expects no answer, so silence counts as heard; the polls find nobody.
    StartLine({});
    GatherMultiDropIds(protocol_, detection_);

    EXPECT_EQ(detection_.count, 0);
    EXPECT_EQ(detection_.selected, -1);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"B2\r", "B2\r", "B2\r", "B2\r", "B000\r", "B001\r",
                                                    "B002\r", "B003\r"}));
    EXPECT_NE(detection_.prompt.find("the 0 ID(s)"), std::string::npos);
}

TEST_F(MultiDropDetectionTest, AFilledListOnlyRewritesThePromptButRedetectPollsAgain) {
    detection_.ids = {"0012"};
    detection_.count = 1;
    StartLine({kEnabled, kEnabled, kEnabled, kEnabled, Muted("0012"), Discovery({"0077"}), Muted("0077")});
    GatherMultiDropIds(protocol_, detection_);
    EXPECT_TRUE(Requests().empty());
    EXPECT_NE(detection_.prompt.find("the 1 ID(s)"), std::string::npos);

    RedetectMultiDropIds(protocol_, detection_);
    EXPECT_EQ(detection_.ids, (std::vector<std::string>{"0012", "0077"}));
    const auto requests = Requests();
    ASSERT_GE(requests.size(), 6u);
    EXPECT_EQ(requests[4], "Z00012S8B00FF\r");  // the listed sensor is silenced before the polls
    EXPECT_EQ(requests[5], "B000\r");
}

TEST(ChosenSensorIdTest, AnEmptyChoiceCancelsAnyOtherBecomesBothIds) {
    ConnectionState state;
    EXPECT_FALSE(TakeChosenSensorId(state, ""));
    EXPECT_EQ(state.multidrop_target_id, "FFFF");
    EXPECT_TRUE(TakeChosenSensorId(state, "00A1"));
    EXPECT_EQ(state.multidrop_current_id, "00A1");
    EXPECT_EQ(state.multidrop_target_id, "00A1");
}

}  // namespace
}  // namespace qvx
