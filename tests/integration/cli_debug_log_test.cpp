// qvx --debug against the simulated sensor: the communication log on stderr shows every request
// the sensor saw, in order, and replies coming back, with times that never run backwards; the
// data on stdout is the same as without the log.

#include <gtest/gtest.h>

#include <regex>

#include "../support/cli_runner.h"

namespace qvx {
namespace {

using test::ChildResult;
using test::CliRunner;
using test::SplitLines;

struct LogLine {
    double seconds = 0;
    std::string tag;
    std::string text;
};

std::vector<LogLine> ParseLog(const std::string& err) {
    static const std::regex kLine(R"(^ *(\d+\.\d{6}) (TX|RX|DEBUG|INFO|WARN|ERROR) (.*)$)");
    std::vector<LogLine> lines;
    for (const std::string& line : SplitLines(err)) {
        std::smatch match;
        if (std::regex_match(line, match, kLine)) {
            lines.push_back({std::stod(match[1]), match[2], match[3]});
        }
    }
    return lines;
}

std::string TransportName(const ::testing::TestParamInfo<sim::Transport>& info) {
    return info.param == sim::Transport::Pty ? "Pty" : "Tcp";
}

class CliDebugLogTest : public ::testing::TestWithParam<sim::Transport> {
  protected:
    CliRunner runner_;
};

TEST_P(CliDebugLogTest, InfoLogsEveryRequestAndTheRepliesWithRisingTimes) {
    runner_.StartSim(GetParam(), {sim::SensorSettings{}});
    const ChildResult plain = runner_.Run({"info"});
    ASSERT_EQ(plain.exit_code, 0) << plain.err;
    EXPECT_TRUE(ParseLog(plain.err).empty()) << plain.err;  // off unless asked for

    const std::size_t requests_before = runner_.sim().RequestLog().size();
    const ChildResult run = runner_.Run({"--debug", "info"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, plain.out);

    const std::vector<LogLine> log = ParseLog(run.err);
    const std::vector<std::string> all_requests = runner_.sim().RequestLog();
    const std::vector<std::string> requests(
        all_requests.begin() + static_cast<std::ptrdiff_t>(requests_before), all_requests.end());
    ASSERT_FALSE(requests.empty());
    std::size_t next = 0;
    std::size_t received = 0;
    double previous = 0;
    for (const LogLine& line : log) {
        EXPECT_GE(line.seconds, previous) << line.text;
        previous = line.seconds;
        if (line.tag == "TX" && next < requests.size() &&
            line.text.find(requests[next]) != std::string::npos) {
            ++next;
        }
        received += line.tag == "RX" ? 1 : 0;
    }
    EXPECT_EQ(next, requests.size()) << "request " << (next < requests.size() ? requests[next] : "")
                                     << " missing in\n"
                                     << run.err;
    EXPECT_GE(received, requests.size() - 1) << run.err;  // all but the last ("S9": no reply)
    const bool connected = std::any_of(log.begin(), log.end(), [](const LogLine& line) {
        return line.tag == "INFO" &&
               (line.text.starts_with("serial port ") || line.text.starts_with("TCP connected"));
    });
    EXPECT_TRUE(connected) << run.err;
}

INSTANTIATE_TEST_SUITE_P(BothLinks, CliDebugLogTest,
                         ::testing::Values(sim::Transport::Pty, sim::Transport::Tcp), TransportName);

}  // namespace
}  // namespace qvx
