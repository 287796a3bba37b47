// Every qvx subcommand end to end against the simulated sensor, once over a pseudo-terminal and
// once over TCP: what it prints, what it sends, and the closing sequence that ends every run.

#include <gtest/gtest.h>

#include <ctime>
#include <regex>

#include "../support/cli_runner.h"
#include "platform/text_file.h"
#include "protocol/catalogue.h"

namespace qvx {
namespace {

using test::ChildResult;
using test::CliRunner;
using test::SplitLines;

const std::string kProtect = cmd::kProtect;

std::string TransportName(const ::testing::TestParamInfo<sim::Transport>& info) {
    return info.param == sim::Transport::Pty ? "Pty" : "Tcp";
}

class CliCommandTest : public ::testing::TestWithParam<sim::Transport> {
  protected:
    void StartOneSensor(sim::SensorSettings sensor = {}) { runner_.StartSim(GetParam(), {sensor}); }
    void StartLine(const std::vector<std::string>& ids) {
        runner_.StartSim(GetParam(), test::MultiDropLine(ids));
    }

    CliRunner runner_;
};

TEST_P(CliCommandTest, InfoPrintsEachFieldOnceThenProtectsAndRestoresPush) {
    StartOneSensor();
    const ChildResult run = runner_.Run({"info"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const std::vector<std::string> lines = SplitLines(run.out);
    const std::vector<std::string> names{"Serial Number",    "Description", "Location", "Sensor ID",
                                         "Serial Interface", "DSP",         "FPGA"};
    ASSERT_EQ(lines.size(), names.size()) << run.out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_TRUE(lines[i].starts_with(names[i] + ": ")) << lines[i];
        EXPECT_EQ(lines[i].find("Unknown"), std::string::npos) << lines[i];
    }
    EXPECT_EQ(lines[3], "Sensor ID: 0001");
    EXPECT_EQ(lines[4], "Serial Interface: RS-232");
    EXPECT_EQ(runner_.RequestsAfterLast("SH"),
              (std::vector<std::string>{kProtect, cmd::kStartPushConfirmed}));
    EXPECT_TRUE(runner_.sim().sensor(0).is_protected());
    EXPECT_TRUE(runner_.sim().sensor(0).push_mode());
}

TEST_P(CliCommandTest, SendPrintsTheReplyDataAndARefusalExitsWithFour) {
    StartOneSensor();
    ChildResult run = runner_.Run({"send", "S6"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "2\n");

    run = runner_.Run({"send", "XD", "0001"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out.size(), 8 + 4 * 29 + 1u) << run.out;  // the newest record, four lanes

    // A ping without text is refused.
    run = runner_.Run({"send", "S8"});
    EXPECT_EQ(run.exit_code, 4);
    EXPECT_EQ(run.out, "status: Failure\n");  // a status word, not data
    EXPECT_NE(run.err.find("refused S8"), std::string::npos) << run.err;
    const std::vector<std::string> log = runner_.sim().RequestLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], kProtect);  // a refusal still ends with the closing sequence
    EXPECT_EQ(log.back(), cmd::kStartPushConfirmed);
}

TEST_P(CliCommandTest, ClockSetIsReadBackAndSyncFollowsThePc) {
    StartOneSensor();
    ChildResult run = runner_.Run({"clock", "set", "2021-06-01 12:00:00"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "2021-06-01 12:00:00\n");  // the time it set, as sync prints its time
    run = runner_.Run({"clock", "get"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(std::regex_match(run.out, std::regex("2021-06-01 12:00:0[0-9]\n"))) << run.out;
    run = runner_.Run({"clock", "get", "--utc"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(std::regex_match(run.out, std::regex("2021-06-01 12:00:[0-9][0-9]\n"))) << run.out;

    run = runner_.Run({"clock", "sync"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const auto pc_seconds = static_cast<long long>(std::time(nullptr)) - 946684800;
    EXPECT_NEAR(static_cast<long long>(runner_.sim().sensor(0).SensorSeconds()), pc_seconds, 5);
}

TEST_P(CliCommandTest, DiscoverListsEveryIdOnceAndTellsTheLineToPushAgain) {
    StartLine({"0012", "0045", "00A1"});
    const ChildResult run = runner_.Run({"discover"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "0012\n0045\n00A1\n");
    EXPECT_EQ(runner_.RequestsAfterLast("Z00012S02"),
              (std::vector<std::string>{"Z00012" + kProtect, "B3", "B3", "B3", "B3", "B3", "Z00012X7"}));
}

// An ID is used as discover printed it, lower-case letters and all.
TEST_P(CliCommandTest, AnIdIsTakenAsDiscoverPrintsIt) {
    StartLine({"00ab", "0045"});
    ChildResult run = runner_.Run({"discover"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "00ab\n0045\n");
    run = runner_.Run({"--id", "00ab", "send", "S6"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(runner_.RequestsAfterLast("Z000abS6"),
              (std::vector<std::string>{"Z000ab" + kProtect, "Z000abX7"}));
}

TEST_P(CliCommandTest, AFixedIdAddressesOnlyThatSensor) {
    StartLine({"0012", "0045", "00A1"});
    const ChildResult run = runner_.Run({"--id", "0045", "info"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find("Sensor ID: 0045\n"), std::string::npos) << run.out;
    for (const std::string& frame : runner_.sim().RequestLog()) {
        EXPECT_TRUE(frame.starts_with("Z00045")) << frame;
    }
    EXPECT_EQ(runner_.RequestsAfterLast("Z00045SH"),
              (std::vector<std::string>{"Z00045" + kProtect, "Z00045X7"}));
}

TEST_P(CliCommandTest, DetectedIdsWithPickTalkToTheChosenSensorAndCloseWithFiveBroadcasts) {
    StartLine({"0012", "0045", "00A1"});
    const ChildResult run = runner_.Run({"--id", "auto", "--pick", "2", "send", "S5"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(runner_.RequestsAfterLast("Z00045S5"),
              (std::vector<std::string>{"Z00045" + kProtect, "B3", "B3", "B3", "B3", "B3", "Z00045X7"}));
    EXPECT_TRUE(runner_.sim().sensor(1).is_protected());
}

TEST_P(CliCommandTest, LiveIntervalsPrintsOneLinePerLaneAndLogsTheRecord) {
    StartOneSensor();
    const std::string log = runner_.dir() / "intervals.log";
    const ChildResult run = runner_.Run({"live", "intervals", "--count", "1", "--log", log});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const std::vector<std::string> lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 4u) << run.out;
    const std::regex row(
        " Lane [1-4] +[ 0-9]{10}  [-0-9 ]{3}  ( {0,2}[0-9]{1,3}(\\.[0-9])?  ){4}"
        "Updated: [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}");
    for (const std::string& line : lines) {
        EXPECT_TRUE(std::regex_match(line, row)) << '"' << line << '"';
    }
    const std::string text = ReadTextFile(log).value_or("");
    EXPECT_TRUE(text.starts_with("\r\n _____")) << text.substr(0, 20);
    const std::vector<std::string> log_lines = SplitLines(text);
    ASSERT_GE(log_lines.size(), 4u);
    for (std::size_t i = log_lines.size() - 4; i < log_lines.size(); ++i) {
        EXPECT_TRUE(log_lines[i].starts_with("  20")) << log_lines[i];
        EXPECT_TRUE(log_lines[i].ends_with("\r")) << log_lines[i];
    }
    EXPECT_EQ(runner_.RequestsAfterLast("XD").back(), cmd::kStartPushConfirmed);
}

INSTANTIATE_TEST_SUITE_P(BothLinks, CliCommandTest,
                         ::testing::Values(sim::Transport::Pty, sim::Transport::Tcp), TransportName);

}  // namespace
}  // namespace qvx
