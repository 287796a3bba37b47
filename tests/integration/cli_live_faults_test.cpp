// qvx live intervals against a sensor that dies or falls silent mid-run, over a pseudo-terminal and
// over TCP: the run notices, says so and exits 4 within its bound; a run stopped by a signal
// before its count exits with the signal's code after the closing sequence.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>

#include "../support/cli_runner.h"
#include "../support/file_size_limit.h"
#include "live/interval_log.h"
#include "protocol/catalogue.h"

namespace qvx {
namespace {

using test::ChildResult;
using test::CliRunner;
using Clock = std::chrono::steady_clock;

// The requests of a connection and the interval view's set-up before the first "XD".
constexpr int kRequestsBeforeFirstFetch = 7;

sim::SensorSettings FastSensor() {
    sim::SensorSettings sensor;
    sensor.interval_seconds = 5;
    return sensor;
}

long SecondsSince(Clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count());
}

class CliLiveFaultTest : public ::testing::TestWithParam<sim::Transport> {
  protected:
    CliRunner runner_;
};

TEST_P(CliLiveFaultTest, ASensorThatDiesEndsTheRunAtOnceWithExitFour) {
    runner_.StartSim(GetParam(), {FastSensor()});
    auto child = runner_.Spawn({"live", "intervals"});
    ASSERT_TRUE(child->WaitForLines(4, 30000));
    runner_.sim().Stop();
    const auto start = Clock::now();
    const ChildResult run = child->Finish(60000);
    EXPECT_EQ(run.exit_code, 4) << run.err;
    EXPECT_NE(run.err.find("the link to the sensor is gone"), std::string::npos) << run.err;
    // The next fetch is due within one interval; the closing sequence then fails fast.
    EXPECT_LT(SecondsSince(start), 15);
}

TEST_P(CliLiveFaultTest, ASensorThatFallsSilentEndsTheRunAfterTheBound) {
    sim::FaultSettings faults;
    faults.mute_after = kRequestsBeforeFirstFetch + 1;
    runner_.StartSim(GetParam(), {FastSensor()}, faults);
    const auto start = Clock::now();
    const ChildResult run = runner_.Run({"live", "intervals", "--lost-after", "3"}, 60000);
    EXPECT_EQ(run.exit_code, 4) << run.err;
    EXPECT_NE(run.err.find("the sensor has not answered for"), std::string::npos) << run.err;
    EXPECT_EQ(test::SplitLines(run.out).size(), 4u) << run.out;  // the first record, then silence
    EXPECT_LT(SecondsSince(start), 25);
}

INSTANTIATE_TEST_SUITE_P(Transports, CliLiveFaultTest,
                         ::testing::Values(sim::Transport::Pty, sim::Transport::Tcp),
                         [](const auto& info) { return info.param == sim::Transport::Pty ? "Pty" : "Tcp"; });

TEST(CliLiveStop, SigtermBeforeTheCountExitsWith143AfterTheClosingSequence) {
    CliRunner runner;
    runner.StartSim(sim::Transport::Tcp, {FastSensor()});
    auto child = runner.Spawn({"live", "intervals", "--count", "100"});
    ASSERT_TRUE(child->WaitForLines(4, 30000));
    child->Signal(SIGTERM);
    const ChildResult run = child->Finish(30000);
    EXPECT_EQ(run.exit_code, 143) << run.err;
    const auto log = runner.sim().RequestLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], cmd::kProtect);
    EXPECT_EQ(log.back(), cmd::kStartPushConfirmed);
}

// The disk takes the banner but not the first record: the log keeps no cut line, and the run
// says so and fails.
TEST(CliLiveLog, AFullDiskEndsTheRunWithExitOneAndNoPartOfTheRecordInTheLog) {
    CliRunner runner;
    runner.StartSim(sim::Transport::Tcp, {FastSensor()});
    const std::string log = runner.dir() / "bins.log";
    const std::size_t banner = ToLogBytes(IntervalLogBanner(LogBannerInfo{})).size();
    std::unique_ptr<test::ChildProcess> child;
    {
        test::FileSizeLimit full(banner + 40);
        child = runner.Spawn({"live", "intervals", "--count", "3", "--log", log});
    }
    const ChildResult run = child->Finish(30000);
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_NE(run.err.find("writing the log " + log + " failed"), std::string::npos) << run.err;
    EXPECT_EQ(test::ReadFileText(log).size(), banner);
}

TEST(CliTimeout, AnyCommandStopsAfterItsTimeoutWithExitFour) {
    CliRunner runner;
    runner.StartSim(sim::Transport::Tcp, {FastSensor()});
    const auto start = Clock::now();
    const ChildResult run = runner.Run({"--timeout", "2", "live", "intervals"}, 30000);
    EXPECT_EQ(run.exit_code, 4) << run.err;
    EXPECT_NE(run.err.find("stopped after --timeout 2 s"), std::string::npos) << run.err;
    EXPECT_LT(SecondsSince(start), 10);
    EXPECT_EQ(runner.sim().RequestLog().back(), cmd::kStartPushConfirmed);
}

}  // namespace
}  // namespace qvx
