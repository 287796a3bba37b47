// The serial search against the simulated sensor on a pseudo-terminal, with silent and looped
// ports around it: rates in the order of attempts, a fixed rate, a looped line, cancel, and the
// multi-drop selection of one of three sensors on one line.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "../support/pty_line.h"
#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "connect/serial_connect.h"
#include "context/app_context.h"
#include "protocol/catalogue.h"
#include "protocol/transaction_result.h"
#include "protocol/user_prompts.h"
#include "sim_server.h"

namespace qvx {
namespace {

using test::PtyLine;
using test::ScratchFolder;

const std::vector<std::uint32_t> kSearchRates{9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

std::unique_ptr<sim::SimServer> StartPtySensors(std::vector<sim::SensorSettings> sensors) {
    sim::ServerSettings settings;
    settings.transport = sim::Transport::Pty;
    auto server = std::make_unique<sim::SimServer>(std::move(sensors), settings);
    std::string error;
    EXPECT_TRUE(server->Start(&error)) << error;
    return server;
}

std::unique_ptr<sim::SimServer> StartPtySensor(std::uint32_t baud) {
    sim::SensorSettings sensor;
    sensor.baud = baud;
    return StartPtySensors({sensor});
}

std::size_t CountRequests(const sim::SimServer& server, const std::string& frame) {
    const auto log = server.RequestLog();
    return static_cast<std::size_t>(std::count(log.begin(), log.end(), frame));
}

class SerialConnectTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app_.state.auto_port_and_baud = true;
        app_.state.port_setting = "Auto-find";
        app_.state.fixed_baud = 0;
        app_.state.multidrop_mode = -1;
        app_.state.response_wait_ms = 0;
        prompts_.default_communication_answer = TransactionResult::Ignore;
    }
    void TearDown() override { ::unsetenv("QVX_SERIAL_PORTS"); }

    void SearchPorts(const std::vector<std::string>& ports) {
        std::string list;
        for (const auto& port : ports) {
            list += (list.empty() ? "" : ":") + port;
        }
        ::setenv("QVX_SERIAL_PORTS", list.c_str(), 1);
    }

    std::vector<std::string> LookingTexts() const {
        std::vector<std::string> texts;
        for (const auto& text : worker_.status_history()) {
            if (text.starts_with("Looking for initial response on ")) {
                texts.push_back(text);
            }
        }
        return texts;
    }

    ScratchFolder dir_;
    ScriptedPrompts prompts_;
    AppContext app_{prompts_, RegistryStore(dir_ / "registry")};
    SerialConnectWorker worker_{app_};
};

class SerialRateTest : public SerialConnectTest, public ::testing::WithParamInterface<std::size_t> {};

// Three ports, the sensor on the second: every rate is tried on the first, then the second is
// walked up the table until the sensor's rate answers.
TEST_P(SerialRateTest, TheSensorIsFoundAtItsRateAfterTheAttemptsBeforeIt) {
    const std::size_t index = GetParam();
    const std::uint32_t rate = kSearchRates[index];
    PtyLine first;
    PtyLine third;
    auto sensor = StartPtySensor(rate);
    SearchPorts({first.path(), sensor->pty_path(), third.path()});

    ASSERT_EQ(worker_.Run(), SerialConnectWorker::Outcome::Connected);
    EXPECT_EQ(worker_.attempts_made(), static_cast<int>(8 + index + 1));
    std::vector<std::string> expected;
    for (std::uint32_t tried : kSearchRates) {
        expected.push_back("Looking for initial response on " + first.path() + " @ " + std::to_string(tried) +
                           " bps...");
    }
    for (std::size_t i = 0; i <= index; ++i) {
        expected.push_back("Looking for initial response on " + sensor->pty_path() + " @ " +
                           std::to_string(kSearchRates[i]) + " bps...");
    }
    EXPECT_EQ(LookingTexts(), expected);
    const SerialSearchLog log = worker_.search_log();
    ASSERT_EQ(log.tried.size(), 2u);
    EXPECT_EQ(log.tried[0].rates, kSearchRates);
    EXPECT_EQ(log.tried[1].rates,
              std::vector<std::uint32_t>(kSearchRates.begin(), kSearchRates.begin() + index + 1));
    EXPECT_EQ(worker_.status(),
              "Connection Established on " + sensor->pty_path() + " @ " + std::to_string(rate) + " bps!");
    // Each unanswered attempt sends "Stop push" twice (one retry), the answered one once.
    EXPECT_EQ(CountRequests(*sensor, "X5"), 2 * index + 1);

    ProgressText status;
    ASSERT_EQ(AfterSerialConnect(app_, true, {}, status), ConnectFinish::Success);
    EXPECT_EQ(app_.state.link_kind, LinkKind::Serial);
    EXPECT_EQ(app_.state.connection_type, LinkKind::Serial);
    EXPECT_EQ(app_.state.connection_description, sensor->pty_path() + " @ " + std::to_string(rate) + " bps");
    EXPECT_EQ(CountRequests(*sensor, "S6"), 1u);
    EXPECT_EQ(CountRequests(*sensor, "S02"), 1u);
    std::string reply;
    EXPECT_EQ(app_.protocol.SendSensorCommand({.code = cmd::kGetConfigMode, .payload = "\r"}, reply),
              TransactionResult::Ok);
}

INSTANTIATE_TEST_SUITE_P(EveryRate, SerialRateTest, ::testing::Range<std::size_t>(0, 8),
                         [](const auto& info) { return std::to_string(kSearchRates[info.param]); });

TEST_F(SerialConnectTest, AFixedRateMakesOneAttemptPerPort) {
    PtyLine first;
    auto sensor = StartPtySensor(19200);
    SearchPorts({first.path(), sensor->pty_path()});

    app_.state.fixed_baud = 9600;
    EXPECT_EQ(worker_.Run(), SerialConnectWorker::Outcome::NotFound);
    EXPECT_EQ(worker_.attempts_made(), 2);
    EXPECT_EQ(FailedSerialSearchText(worker_.search_log()),
              "Tried " + first.path() + ", " + sensor->pty_path() + " at 9600 bps.");
    EXPECT_FALSE(app_.link.serial().IsOpen());

    app_.state.fixed_baud = 19200;
    EXPECT_EQ(worker_.Run(), SerialConnectWorker::Outcome::Connected);
    EXPECT_EQ(worker_.attempts_made(), 2);
    EXPECT_EQ(app_.state.port_name, sensor->pty_path());
}

TEST_F(SerialConnectTest, AChosenPortWithAutomaticDetectionOffIsTheOnlyOneSearched) {
    PtyLine first;
    auto sensor = StartPtySensor(9600);
    SearchPorts({first.path(), sensor->pty_path()});
    app_.state.auto_port_and_baud = false;
    app_.state.port_setting = sensor->pty_path();

    EXPECT_EQ(worker_.Run(), SerialConnectWorker::Outcome::Connected);
    EXPECT_EQ(worker_.attempts_made(), 1);
}

TEST_F(SerialConnectTest, ALoopedLineIsLeftAtOnce) {
    PtyLine looped(PtyLine::Behaviour::Echo);
    auto sensor = StartPtySensor(9600);
    SearchPorts({looped.path(), sensor->pty_path()});

    ASSERT_EQ(worker_.Run(), SerialConnectWorker::Outcome::Connected);
    EXPECT_EQ(worker_.attempts_made(), 2);  // one on the looped line, one on the sensor's
    EXPECT_GT(looped.echoed(), 0u);
    EXPECT_EQ(app_.state.port_name, sensor->pty_path());
    const auto history = worker_.status_history();
    EXPECT_NE(std::find(history.begin(), history.end(),
                        "Establishing checksum on " + looped.path() + " @ 9600 bps..."),
              history.end());
}

TEST_F(SerialConnectTest, CancelEndsTheSearchWithoutTheFinishingStep) {
    PtyLine first;
    PtyLine second;
    SearchPorts({first.path(), second.path()});

    auto search = std::async(std::launch::async, [this] { return worker_.Run(); });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (worker_.attempts_made() < 2 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    worker_.RequestCancel();
    ASSERT_EQ(search.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(search.get(), SerialConnectWorker::Outcome::Cancelled);
    EXPECT_LE(worker_.attempts_made(), 3);
    EXPECT_FALSE(app_.state.cancel_connect.load());  // the worker took the flag back
    EXPECT_FALSE(app_.link.serial().IsOpen());
    EXPECT_EQ(app_.state.link_kind, LinkKind::None);
}

TEST_F(SerialConnectTest, ThreeSensorsOnOneLineAreListedOnceAndTheChosenOneAnswers) {
    std::vector<sim::SensorSettings> sensors(3);
    const std::vector<std::string> ids{"0012", "0045", "00A1"};
    for (std::size_t i = 0; i < sensors.size(); ++i) {
        sensors[i].id = ids[i];
        sensors[i].multi_drop_network = true;
    }
    auto line = StartPtySensors(sensors);
    SearchPorts({line->pty_path()});
    app_.state.multidrop_mode = 1;
    app_.state.multidrop_enabled = true;
    app_.state.SetMultiDropId("");

    ASSERT_EQ(worker_.Run(), SerialConnectWorker::Outcome::Connected);
    MultiDropDetection seen;
    SensorSelector choose_second = [&seen](AppContext& app) {
        GatherMultiDropIds(app.protocol, seen);
        SensorSelection selection{TakeChosenSensorId(app.state, seen.ids.at(1)), seen.count};
        return selection;
    };
    ProgressText status;
    ASSERT_EQ(AfterSerialConnect(app_, true, choose_second, status), ConnectFinish::Success);
    EXPECT_EQ(seen.ids, ids);
    EXPECT_EQ(seen.count, 3);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        EXPECT_TRUE(line->sensor(i).muted()) << ids[i];
        EXPECT_EQ(CountRequests(*line, "Z0" + ids[i] + "S8B00FF"), 1u) << ids[i];
    }
    EXPECT_EQ(app_.state.multidrop_target_id, "0045");
    EXPECT_EQ(app_.state.link_kind, LinkKind::Serial);

    std::string reply;
    EXPECT_EQ(app_.protocol.SendSensorCommand({.code = cmd::kGetConfigMode, .payload = "\r"}, reply),
              TransactionResult::Ok);
    EXPECT_EQ(line->RequestLog().back(), "Z00045S6");
}

TEST_F(SerialConnectTest, NoSensorOnAnyLineEndsNotFound) {
    PtyLine silent;
    SearchPorts({dir_ / "no-such-port", silent.path()});
    EXPECT_EQ(worker_.Run(), SerialConnectWorker::Outcome::NotFound);
    ASSERT_EQ(worker_.unopened_ports().size(), 1u);
    EXPECT_EQ(FailedSerialSearchText(worker_.search_log()),
              "Tried " + silent.path() +
                  " at 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600 bps. " + "Could not open " +
                  (dir_ / "no-such-port") + " (No such file or directory).");
    ProgressText status;
    EXPECT_EQ(AfterSerialConnect(app_, false, {}, status), ConnectFinish::Failed);
    EXPECT_EQ(app_.state.link_kind, LinkKind::None);
}

}  // namespace
}  // namespace qvx
