// The program against a sensor that streams on its own (push mode): it connects through the
// stream, finds each reply's header among pushed frames, and its "Stop push" silences the line.
// Over the pty and over TCP.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <thread>

#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "../support/sim_program_link.h"
#include "connect/internet_connect.h"
#include "connect/serial_connect.h"
#include "context/app_context.h"
#include "protocol/transaction_result.h"

namespace qvx::sim {
namespace {

using namespace std::chrono_literals;
using test::SimProgramLink;

// A busy sensor that pushes everything it can: a record every second, events and actuation.
SensorSettings StreamingSensor() {
    SensorSettings sensor;
    sensor.lanes = 8;
    sensor.interval_seconds = 1;
    sensor.vehicles_per_hour = 2400;
    sensor.push_types = {"XD", "XA", "X1"};
    return sensor;
}

bool WaitForPushes(const SimServer& server, std::size_t at_least) {
    for (int i = 0; i < 300 && server.pushed_frames() < at_least; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    return server.pushed_frames() >= at_least;
}

class SimPushProgramTest : public ::testing::TestWithParam<Transport> {};

TEST_P(SimPushProgramTest, ReadsSucceedWhileTheSensorStreamsAndStopPushSilencesIt) {
    SimProgramLink link(GetParam(), {StreamingSensor()});
    std::string why;
    ASSERT_TRUE(link.Open(&why)) << why;
    ASSERT_TRUE(link.sensor().push_mode());
    ASSERT_TRUE(WaitForPushes(link.server(), 3)) << "the sensor pushed nothing";

    const std::size_t pushed_before = link.server().pushed_frames();
    for (int round = 0; round < 16; ++round) {
        for (const char* code : {"S0", "S01", "SB", "S6"}) {
            std::string reply;
            EXPECT_EQ(link.Send(code, "\r", reply), TransactionResult::Ok)
                << code << " in round " << round << ": " << reply;
        }
        std::string reply;
        EXPECT_EQ(link.Send("XD", "0001\r", reply), TransactionResult::Ok) << round;
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_GT(link.server().pushed_frames(), pushed_before + 3) << "the line was quiet during the reads";

    std::string reply;
    ASSERT_EQ(link.Send("X5", "\r", reply), TransactionResult::Ok);
    EXPECT_EQ(reply, "Success");
    EXPECT_FALSE(link.sensor().push_mode());
    const std::size_t after_stop = link.server().pushed_frames();
    std::this_thread::sleep_for(1200ms);
    EXPECT_EQ(link.server().pushed_frames(), after_stop) << "pushing went on after \"Stop push\"";
    EXPECT_EQ(link.Send("S6", "\r", reply, 0), TransactionResult::Ok);
}

INSTANTIATE_TEST_SUITE_P(Transports, SimPushProgramTest, ::testing::Values(Transport::Pty, Transport::Tcp),
                         test::TransportName);

class SimPushConnectTest : public ::testing::Test {
  protected:
    void SetUp() override {
        prompts_.default_communication_answer = TransactionResult::Ignore;
        // The added wait a fresh installation starts with: the calibration times 240 characters,
        // and the longest configuration reply is a few characters longer.
        app_.state.response_wait_ms = 10;
    }
    void TearDown() override { ::unsetenv("QVX_SERIAL_PORTS"); }

    void ExpectConfigurationReads() {
        for (const char* code : {"S0", "S01", "S02", "S5"}) {
            std::string reply;
            EXPECT_EQ(app_.protocol.SendSensorCommand({.code = code, .payload = "\r", .retries = 1}, reply),
                      TransactionResult::Ok)
                << code;
        }
    }

    test::ScratchFolder dir_;
    ScriptedPrompts prompts_;
    AppContext app_{prompts_, RegistryStore(dir_ / "registry")};
};

TEST_F(SimPushConnectTest, TheSerialSearchConnectsToAStreamingSensorAndStopsIt) {
    ServerSettings settings;
    settings.transport = Transport::Pty;
    SimServer server({StreamingSensor()}, settings);
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(WaitForPushes(server, 3));  // waiting in the line before the port is even opened
    ::setenv("QVX_SERIAL_PORTS", server.pty_path().c_str(), 1);
    app_.state.auto_port_and_baud = true;
    app_.state.port_setting = "Auto-find";
    app_.state.multidrop_mode = -1;
    SerialConnectWorker worker(app_);
    ASSERT_EQ(worker.Run(), SerialConnectWorker::Outcome::Connected);
    ProgressText status;
    ASSERT_EQ(AfterSerialConnect(app_, true, {}, status), ConnectFinish::Success);
    EXPECT_FALSE(server.sensor(0).push_mode());
    ExpectConfigurationReads();
}

TEST_F(SimPushConnectTest, TheInternetConnectionConnectsToAStreamingSensorAndStopsIt) {
    SimServer server({StreamingSensor()}, ServerSettings{});
    ASSERT_TRUE(server.Start());
    ConnectionDefaults defaults;
    OpenInternetConnection(app_, "", defaults);
    PrepareInternetConnect(app_, "127.0.0.1", std::to_string(server.tcp_port()));
    InternetConnectWorker worker(app_);
    ASSERT_EQ(worker.Run(), InternetConnectWorker::Outcome::Answered);
    ProgressText status;
    ASSERT_EQ(AfterInternetConnect(app_, {}, status), ConnectFinish::Success);
    EXPECT_FALSE(server.sensor(0).push_mode());
    ExpectConfigurationReads();
}

}  // namespace
}  // namespace qvx::sim
