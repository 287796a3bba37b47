// The Internet connection against the simulated sensor over loopback TCP: connect, probe,
// unprotect, calibrate, and the description the window's Continue records.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "connect/internet_connect.h"
#include "context/app_context.h"
#include "protocol/user_prompts.h"
#include "sim_server.h"

namespace qvx {
namespace {

using test::ScratchFolder;

std::unique_ptr<sim::SimServer> StartTcpSensors(std::vector<sim::SensorSettings> sensors) {
    auto server = std::make_unique<sim::SimServer>(std::move(sensors), sim::ServerSettings{});
    std::string error;
    EXPECT_TRUE(server->Start(&error)) << error;
    return server;
}

bool Logged(const sim::SimServer& server, const std::string& frame) {
    const auto log = server.RequestLog();
    return std::find(log.begin(), log.end(), frame) != log.end();
}

class InternetConnectTest : public ::testing::Test {
  protected:
    void SetUp() override { prompts_.default_communication_answer = TransactionResult::Ignore; }

    std::string PortText(const sim::SimServer& server) const { return std::to_string(server.tcp_port()); }

    ScratchFolder dir_;
    ScriptedPrompts prompts_;
    AppContext app_{prompts_, RegistryStore(dir_ / "registry")};
    InternetConnectWorker worker_{app_};
    ConnectionDefaults defaults_;
};

TEST_F(InternetConnectTest, ConnectProbeUnprotectCalibrateAndDescribe) {
    auto sensor = StartTcpSensors({sim::SensorSettings{}});
    OpenInternetConnection(app_, "", defaults_);
    const std::string port = PortText(*sensor);
    PrepareInternetConnect(app_, "127.0.0.1", port);

    ASSERT_EQ(worker_.Run(), InternetConnectWorker::Outcome::Answered);
    EXPECT_EQ(worker_.probes_made(), 1);
    ProgressText status;
    ASSERT_EQ(AfterInternetConnect(app_, {}, status), ConnectFinish::Success);
    EXPECT_EQ(status.Get(), "Remote connection established!");
    EXPECT_EQ(app_.state.link_kind, LinkKind::Internet);
    EXPECT_TRUE(app_.state.socket_open);
    EXPECT_TRUE(Logged(*sensor, "X5"));
    EXPECT_TRUE(Logged(*sensor, "S87C3A9E1B5D2F486"));
    EXPECT_TRUE(Logged(*sensor, "S6"));
    EXPECT_TRUE(Logged(*sensor, "S02"));
    // Latency + 128, or the long answer's time: far below the 228 ms starting value on loopback.
    EXPECT_LT(app_.state.base_response_wait_ms, 228);
    EXPECT_EQ(InternetConnectionDescription("127.0.0.1", port), "127.0.0.1/" + port);
    EXPECT_TRUE(prompts_.questions.empty());
}

TEST_F(InternetConnectTest, AutomaticDetectionPollsInsteadOfStopPushAndSelectsASensor) {
    std::vector<sim::SensorSettings> sensors(2);
    sensors[0].id = "0101";
    sensors[1].id = "0202";
    for (auto& s : sensors) {
        s.multi_drop_network = true;
    }
    auto line = StartTcpSensors(sensors);
    app_.state.multidrop_mode = 1;
    app_.state.multidrop_enabled = true;
    app_.state.SetMultiDropId("");
    PrepareInternetConnect(app_, "127.0.0.1", PortText(*line));

    ASSERT_EQ(worker_.Run(), InternetConnectWorker::Outcome::Answered);
    EXPECT_FALSE(Logged(*line, "X5"));
    ProgressText status;
    SensorSelector pick_last = [](AppContext& app) { return SelectSensorIdAutomatically(app, "0202"); };
    ASSERT_EQ(AfterInternetConnect(app_, pick_last, status), ConnectFinish::Success);
    EXPECT_EQ(app_.state.multidrop_target_id, "0202");
    EXPECT_TRUE(Logged(*line, "Z00202S87C3A9E1B5D2F486"));
}

TEST_F(InternetConnectTest, ACancelledSelectionReportsItAndClosesTheSocket) {
    sim::SensorSettings sensor;
    sensor.multi_drop_network = true;
    auto line = StartTcpSensors({sensor});
    app_.state.multidrop_mode = 1;
    app_.state.multidrop_enabled = true;
    PrepareInternetConnect(app_, "127.0.0.1", PortText(*line));

    ASSERT_EQ(worker_.Run(), InternetConnectWorker::Outcome::Answered);
    ProgressText status;
    SensorSelector cancel = [](AppContext&) { return SensorSelection{false, 1}; };
    EXPECT_EQ(AfterInternetConnect(app_, cancel, status), ConnectFinish::Cancelled);
    EXPECT_EQ(status.Get(), "Remote connection canceled!");
    EXPECT_FALSE(app_.state.socket_open);
    EXPECT_EQ(app_.state.link_kind, LinkKind::None);
}

TEST_F(InternetConnectTest, NoListenerFailsAtOnce) {
    auto sensor = StartTcpSensors({sim::SensorSettings{}});
    const std::string port = PortText(*sensor);
    sensor->Stop();
    PrepareInternetConnect(app_, "127.0.0.1", port);
    EXPECT_EQ(worker_.Run(), InternetConnectWorker::Outcome::NoAnswer);
    EXPECT_EQ(worker_.probes_made(), 0);
    EXPECT_TRUE(prompts_.questions.empty());
}

}  // namespace
}  // namespace qvx
