#include "protocol/calibration.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "../support/scripted_peer.h"
#include "link/sensor_link.h"

namespace qvx {
namespace {

using test::ScriptedPeer;

const std::string kModeAnswer = "S62\r";
const std::string kLongAnswer = "S02" + std::string(240, 'A') + "3D80\r";

class CalibrationTest : public ::testing::Test {
  protected:
    void SetUp() override { std::signal(SIGPIPE, SIG_IGN); }

    void StartLine(std::vector<std::string> replies) {
        state_.current_baud = 9600;
        peer_ = test::AttachScriptedPeer(link_, std::move(replies));
        ASSERT_NE(peer_, nullptr);
    }

    ConnectionState state_;
    SensorLink link_{state_};
    std::unique_ptr<ScriptedPeer> peer_;
};

TEST_F(CalibrationTest, AQuickLongAnswerSetsTheWaitFromItsDurationAndReadsReturnToNonBlocking) {
    StartLine({kModeAnswer, kLongAnswer});
    EXPECT_TRUE(CalibrateResponseWait(link_));
    EXPECT_EQ(peer_->requests(), (std::vector<std::string>{"S6\r", "S02\r"}));
    // 240 characters over a local socket: (256 div 240) x a few ms, far below the latency value.
    EXPECT_GE(state_.base_response_wait_ms, 0);
    EXPECT_LT(state_.base_response_wait_ms, 200);
    const SerialTimeouts t = link_.serial().timeouts();
    EXPECT_EQ(t.read_interval, kReadIntervalNoWait);
    EXPECT_EQ(t.read_multiplier, 0u);
    EXPECT_EQ(t.read_constant, 0u);
    // Only 240 characters are timed; the answer's tail (checksum and CR) is read away too, or the
    // next exchange would find it on the line.
    std::string left;
    EXPECT_EQ(link_.ReadAvailable(left, 100, 100), 0u) << left;
}

TEST_F(CalibrationTest, NoFirstCharacterLeavesTheStartingValue) {
    StartLine({});
    EXPECT_FALSE(CalibrateResponseWait(link_));
    EXPECT_EQ(state_.base_response_wait_ms, 281);  // 2,560,000 / 9600 + 15
    EXPECT_EQ(link_.serial().timeouts().read_interval, kReadIntervalNoWait);
}

TEST_F(CalibrationTest, NoLongAnswerKeepsTheLatencyValue) {
    StartLine({kModeAnswer});
    EXPECT_FALSE(CalibrateResponseWait(link_));
    // 266 + latency + 1, the latency of a local socket being a few ms at most.
    EXPECT_GE(state_.base_response_wait_ms, 267);
    EXPECT_LT(state_.base_response_wait_ms, 281 + 100);
}

TEST_F(CalibrationTest, MultiDropAddressingPutsThePrefixAheadOfBothProbes) {
    state_.multidrop_enabled = true;
    state_.SetMultiDropId("00A1");
    StartLine({kModeAnswer, kLongAnswer});
    EXPECT_TRUE(CalibrateResponseWait(link_));
    EXPECT_EQ(peer_->requests(), (std::vector<std::string>{"Z000A1S6\r", "Z000A1S02\r"}));
}

}  // namespace
}  // namespace qvx
