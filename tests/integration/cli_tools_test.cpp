// qvx terminal, acquire, pll and memory end to end against qvx-sim, over a pseudo-terminal and TCP.

#include <gtest/gtest.h>

#include "sim_tools.h"
#include "support/cli_runner.h"

namespace qvx::test {
namespace {

class CliToolsTest : public ::testing::TestWithParam<sim::Transport> {
  protected:
    // 1025 words take 4.3 s at 9600 bps, longer than the read allows: the line runs faster here.
    void SetUp() override {
        sim::SensorSettings sensor;
        sensor.baud = 115200;
        cli_.StartSim(GetParam(), {sensor});
    }
    CliRunner cli_;
};

TEST_P(CliToolsTest, TerminalSendsLinesAndPrintsReplies) {
    const ChildResult line = cli_.RunWithInput({"terminal"}, "S5\n");
    EXPECT_EQ(line.exit_code, 0) << line.err;
    EXPECT_NE(line.out.find("S5DSP: "), std::string::npos) << line.out;
    EXPECT_EQ(line.out.find("S5\r\nS5"), std::string::npos);  // the typed line is not echoed again

    const ChildResult binary = cli_.RunWithInput({"terminal", "--binary"}, "53420D\n0z\n");
    EXPECT_EQ(binary.exit_code, 0) << binary.err;
    EXPECT_NE(binary.out.find("5342"), std::string::npos) << binary.out;
    EXPECT_NE(binary.out.find("ERROR: Invalid binary input!\r\n"), std::string::npos);
}

TEST_P(CliToolsTest, PllRegistersAreSetAndReadBack) {
    const ChildResult n = cli_.Run({"pll", "set", "n", "992", "go"});
    EXPECT_EQ(n.exit_code, 0) << n.err;
    EXPECT_EQ(n.out, "N Counter  100F81  000100000000111110000001 ratio=992 go=1\n");
    const ChildResult r = cli_.Run({"pll", "set", "r", "3", "--format", "tsv"});
    EXPECT_EQ(r.out, "r\t00000C\t000000000000000000001100\tratio=3\tld-precision=0\n");
    const ChildResult latch = cli_.Run({"pll", "set", "latch", "fo-ld=1", "fastlock=2"});
    EXPECT_EQ(latch.exit_code, 0) << latch.err;
    const ChildResult all = cli_.Run({"pll", "get", "--format", "json"});
    EXPECT_EQ(all.exit_code, 0) << all.err;
    EXPECT_NE(all.out.find("\"register\":\"n\",\"hex\":\"100F81\""), std::string::npos) << all.out;
    EXPECT_NE(all.out.find("\"fo-ld\":1,"), std::string::npos) << all.out;
    EXPECT_NE(all.out.find("\"fastlock\":2,"), std::string::npos) << all.out;
}

TEST_P(CliToolsTest, MemoryTablesNameShortRepliesAndStoreChanges) {
    const ChildResult one = cli_.Run({"memory", "0100", "0000"});
    EXPECT_EQ(one.exit_code, 0) << one.err;
    EXPECT_EQ(one.out.size(), std::string("0x0100\t0x1234\t\n").size());
    EXPECT_EQ(one.out.rfind("0x0100\t0x", 0), 0u);

    const ChildResult most = cli_.Run({"memory", "0", "800", "--format", "dec"});
    EXPECT_EQ(most.exit_code, 0) << most.err;
    EXPECT_NE(most.err.find("the upper address becomes 400"), std::string::npos) << most.err;
    EXPECT_NE(most.err.find("returned 1024 of the 1025 words"), std::string::npos) << most.err;
    EXPECT_EQ(SplitLines(most.out).size(), 64u);

    const std::string store = cli_.dir() / "events";
    const ChildResult watched =
        cli_.Run({"memory", "0200", "0", "--watch", "50", "--count", "3", "--store", store, "--event-list"});
    EXPECT_EQ(watched.exit_code, 0) << watched.err;
    const std::string file = ReadFileText(store + ".dat");
    EXPECT_EQ(file.rfind("Lane\tH PC\tL PC\tDur\tEngy\tVel\tFlag\r\n1\t", 0), 0u) << file;
    const auto log = cli_.sim().RequestLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "X602000231"), 3);
}

INSTANTIATE_TEST_SUITE_P(Links, CliToolsTest, ::testing::Values(sim::Transport::Pty, sim::Transport::Tcp),
                         [](const auto& info) { return info.param == sim::Transport::Pty ? "Pty" : "Tcp"; });

TEST(CliAcquire, TwoSecondsFromTheSimulatorWithTheRateSwitchedThereAndBack) {
    CliRunner cli;
    sim::SensorSettings sensor;
    sensor.port = sim::SensorPort::Rs485;
    cli.StartSim(sim::Transport::Pty, {sensor});
    const std::string path = cli.dir() / "capture";
    const ChildResult run = cli.Run({"acquire", "--seconds", "2", path});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find("Bytes Received: 93380\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Trailing Bytes: 116\n"), std::string::npos) << run.out;
    const std::string file = ReadFileText(path + ".dat");
    EXPECT_EQ(file.size(), 2u * 46748u - 116u);
    EXPECT_EQ(file, sim::RawStreamBytes(sensor.seed, 0, file.size()));
    const std::vector<std::string> switched = cli.RequestsAfterLast("S71217");
    ASSERT_GE(switched.size(), 3u) << "the rate was not switched";
    EXPECT_EQ(switched[0], "S6");
    EXPECT_EQ(switched[1], "X8000200010000");
    EXPECT_EQ(switched[2], "S74440");  // back to the sensor's own rates
    EXPECT_EQ(cli.sim().sensor(0).LineRate(), 9600u);
}

TEST(CliAcquire, RefusedOverTcpAndForAPathThatCannotBeCreated) {
    CliRunner cli;
    cli.StartSim(sim::Transport::Tcp, {sim::SensorSettings{}});
    const ChildResult tcp = cli.Run({"acquire", cli.dir() / "x.dat"});
    EXPECT_EQ(tcp.exit_code, 2);
    EXPECT_NE(tcp.err.find("serial"), std::string::npos);
    EXPECT_EQ(cli.sim().connections(), 0u);
    const ChildResult bad = cli.RunBare({"--serial", "/dev/null", "acquire", "/nonexistent-folder/x"});
    EXPECT_EQ(bad.exit_code, 1);
    EXPECT_NE(bad.err.find("Invalid path or filename"), std::string::npos) << bad.err;
}

TEST(CliTools, UsageErrorsOpenNothing) {
    CliRunner cli;
    cli.StartSim(sim::Transport::Tcp, {sim::SensorSettings{}});
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"pll", "set", "n", "5"},
                                               {"pll", "set", "latch", "fo-ld=8"},
                                               {"pll", "get", "x"},
                                               {"memory", "0", "G"},
                                               {"memory", "0", "1", "--format", "json"},
                                               {"memory", "0", "1", "--store", "f"},
                                               {"memory", "0", "1", "--count", "2"},
                                               {"pll", "get", "--count", "2"},
                                               {"memory", "0", "1", "--watch", "100", "--event-list"},
                                               {"terminal", "--seconds", "3"},
                                               {"info", "--binary"}}) {
        const ChildResult run = cli.Run(args);
        EXPECT_EQ(run.exit_code, 2) << ::testing::PrintToString(args) << run.err;
    }
    EXPECT_EQ(cli.sim().connections(), 0u);
}

}  // namespace
}  // namespace qvx::test
