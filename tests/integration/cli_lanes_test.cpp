// qvx lanes against the simulated sensor over a pseudo-terminal and TCP.

#include <gtest/gtest.h>

#include "../support/cli_runner.h"
#include "protocol/frame.h"

namespace qvx::test {
namespace {

class CliLanesTest : public ::testing::TestWithParam<sim::Transport> {
  protected:
    void SetUp() override {
        sim::SensorSettings sensor;
        sensor.lanes = 5;
        runner_.StartSim(GetParam(), {sensor});
    }
    std::vector<std::string> FramesOf(const std::string& code) const {
        std::vector<std::string> frames;
        for (const std::string& frame : const_cast<CliRunner&>(runner_).sim().RequestLog()) {
            if (frame.starts_with(code)) {
                frames.push_back(frame);
            }
        }
        return frames;
    }
    CliRunner runner_;
};

TEST_P(CliLanesTest, ShowPrintsOneLinePerRoad) {
    const ChildResult text = runner_.Run({"lanes", "show"});
    ASSERT_EQ(text.exit_code, 0) << text.err;
    const std::vector<std::string> lines = SplitLines(text.out);
    ASSERT_EQ(lines.size(), 3u) << text.out;
    EXPECT_EQ(lines[0], "Orbek - Manual configuration mode.  Sensor's current gain value: 03");
    EXPECT_EQ(lines[1],
              "Road 1: edges 6 and 18; lane 1 \"Lane 1\" L bins 7-9 centre 8; lane 2 \"Lane 2\" L bins 11-13 "
              "centre 12; lane 3 \"Lane 3\" L bins 15-17 centre 16");
    EXPECT_EQ(lines[2],
              "Road 2: edges 21 and 29; lane 4 \"Lane 4\" R bins 22-24 centre 23; lane 5 \"Lane 5\" R "
              "bins 26-28 centre 27");
    const ChildResult tsv = runner_.Run({"lanes", "show", "--format", "tsv"});
    ASSERT_EQ(tsv.exit_code, 0) << tsv.err;
    EXPECT_EQ(SplitLines(tsv.out).size(), 6u);
    EXPECT_EQ(SplitLines(tsv.out)[5], "2\t21\t29\t5\tLane 5\tR\t26\t28\t27");
    const ChildResult json = runner_.Run({"lanes", "show", "--format", "json"});
    ASSERT_EQ(json.exit_code, 0) << json.err;
    EXPECT_TRUE(json.out.starts_with("{\"mode\":\"manual\",\"gain\":\"03\",\"roads\":[{\"road\":1,"))
        << json.out;
}

TEST_P(CliLanesTest, RestartSendsTheModePayloadWithAndWithoutBlinders) {
    ASSERT_EQ(runner_.Run({"lanes", "restart"}).exit_code, 0);
    ASSERT_EQ(runner_.Run({"lanes", "restart", "--blinders", "10", "60"}).exit_code, 0);
    EXPECT_EQ(FramesOf("SD"), (std::vector<std::string>{"SD0", "SD0000A003C1"}));
    const ChildResult shown = runner_.Run({"lanes", "show"});
    EXPECT_TRUE(shown.out.starts_with("Orbek - Automatic configuration mode.")) << shown.out;
    EXPECT_NE(shown.out.find("No roads."), std::string::npos);
}

TEST_P(CliLanesTest, SaveSendsTheSensorsPictureBackUnchanged) {
    const std::string before = runner_.sim().sensor(0).Record(sim::RecordKind::SfAlgorithm);
    const ChildResult saved = runner_.Run({"lanes", "save"});
    ASSERT_EQ(saved.exit_code, 0) << saved.err;
    EXPECT_EQ(saved.out, "Sensor configuration settings saved!\n");
    EXPECT_EQ(runner_.sim().sensor(0).Record(sim::RecordKind::SfAlgorithm), before);
    const std::vector<std::string> writes = FramesOf("S2");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0], "S2" + before + ComputeFrameChecksum(before));
}

TEST_P(CliLanesTest, BadArgumentsSendNothing) {
    EXPECT_EQ(runner_.Run({"lanes", "restart", "--blinders", "10", "12"}).exit_code, 2);
    EXPECT_EQ(runner_.Run({"lanes", "restart", "--blinders", "10"}).exit_code, 2);
    EXPECT_EQ(runner_.Run({"lanes", "show", "--blinders", "10", "20"}).exit_code, 2);
    EXPECT_EQ(runner_.Run({"lanes", "paint"}).exit_code, 2);
    EXPECT_TRUE(FramesOf("SD").empty());
}

INSTANTIATE_TEST_SUITE_P(Transports, CliLanesTest,
                         ::testing::Values(sim::Transport::Pty, sim::Transport::Tcp),
                         [](const ::testing::TestParamInfo<sim::Transport>& info) {
                             return std::string(info.param == sim::Transport::Pty ? "Pty" : "Tcp");
                         });

}  // namespace
}  // namespace qvx::test
