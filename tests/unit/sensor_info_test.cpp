// The sensor's self-description taken apart: which characters of which reply become which field,
// and the fields left "Unknown" after the first failing step.

#include "app/sensor_info.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <csignal>
#include <memory>

#include "../support/scripted_peer.h"
#include "link/sensor_link.h"
#include "protocol/frame.h"
#include "protocol/transaction.h"
#include "protocol/transaction_result.h"

namespace qvx {
namespace {

// 36 characters: DSP at 5..24, FPGA at 32..35.
const std::string kVersion = "V2.1 DSP-4.07 build 1234    x   F0A3";
std::string ConfigRecord() {
    std::string record(167, ' ');
    record.replace(0, 16, "QVX-0001234     ");
    record.replace(66, 4, "0045");
    record.replace(78, 32, "Pole 17 & Main St               ");
    record.replace(110, 32, "Northbound I-5                  ");
    return record;
}

class SensorInfoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::signal(SIGPIPE, SIG_IGN);
        protocol_.sleep_ms = [](int) {};
        state_.base_response_wait_ms = 1000;  // replies end the wait at their CR
    }
    void StartPeer(std::vector<std::string> replies) {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        link_.serial().Adopt(fds[0]);
        state_.link_kind = LinkKind::Serial;
        peer_ = std::make_unique<test::ScriptedPeer>(fds[1], std::move(replies));
    }

    ConnectionState state_;
    SensorLink link_{state_};
    ScriptedPrompts prompts_;
    SensorProtocol protocol_{link_, prompts_};
    std::unique_ptr<test::ScriptedPeer> peer_;
};

TEST_F(SensorInfoTest, EachFieldComesFromItsCharacters) {
    ASSERT_EQ(kVersion.size(), 36u);
    const std::string record = ConfigRecord();
    StartPeer({"S5" + kVersion + "\r", "S0" + record + ComputeFrameChecksum(record) + "\r", "SHRS-485\r"});
    SensorInformation info;
    EXPECT_EQ(ReadSensorInformation(protocol_, info), TransactionResult::Ok);
    EXPECT_EQ(info.dsp, "DSP-4.07 build 1234 ");
    EXPECT_EQ(info.fpga, "F0A3");
    EXPECT_EQ(info.serial_number, "QVX-0001234     ");
    EXPECT_EQ(info.sensor_id, "0045");
    EXPECT_EQ(info.location, "Pole 17 & Main St               ");
    EXPECT_EQ(info.description, "Northbound I-5                  ");
    EXPECT_EQ(info.serial_interface, "RS-485");
    EXPECT_EQ(DoubleAmpersands(info.location), "Pole 17 && Main St               ");
}

TEST_F(SensorInfoTest, AFailedStepLeavesItsFieldsAndTheLaterOnesUnknown) {
    // The version answers; the config record never does (two attempts), so "SH" is never sent.
    // The wait stays long enough for the version reply on a busy machine.
    state_.base_response_wait_ms = 300;
    prompts_.default_communication_answer = TransactionResult::Ignore;
    StartPeer({"S5" + kVersion + "\r"});
    SensorInformation info;
    EXPECT_EQ(ReadSensorInformation(protocol_, info), TransactionResult::Ignore);
    EXPECT_EQ(info.fpga, "F0A3");
    EXPECT_EQ(info.serial_number, kUnknownField);
    EXPECT_EQ(info.sensor_id, kUnknownField);
    EXPECT_EQ(info.serial_interface, kUnknownField);
    EXPECT_EQ(prompts_.communication_errors.size(), 1u);  // the failure is reported
    EXPECT_EQ(peer_->WaitForRequests(3), 3u);             // S5, then S0 with its one retry
}

}  // namespace
}  // namespace qvx
