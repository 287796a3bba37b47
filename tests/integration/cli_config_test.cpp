// qvx config against the simulated sensor over a pseudo-terminal and TCP: a saved file loads
// back into the sensor, a dry run writes nothing, a file with faults names each field, and show
// prints every field in each format.

#include <gtest/gtest.h>

#include "../support/cli_runner.h"
#include "config/settings_file.h"
#include "protocol/sensor_configuration.h"

namespace qvx {
namespace {

using sim::RecordKind;
using test::ChildResult;
using test::CliRunner;
using test::ReadFileText;
using test::SplitLines;

bool IsWrite(const std::string& frame) {
    return frame.size() > 20 &&
           (frame.starts_with("S1") || frame.starts_with("S2") || frame.starts_with("SF"));
}

class CliConfigTest : public ::testing::TestWithParam<sim::Transport> {
  protected:
    void SetUp() override {
        sim::SensorSettings sensor;
        sensor.seed = 7;
        runner_.StartSim(GetParam(), {sensor});
    }
    sim::SimulatedSensor& sensor() { return runner_.sim().sensor(0); }
    // A 240-character record takes about as long at 9600 bps as the calibrated wait allows, and
    // "S02" is read without a retry: a busy test machine gets the margin a slow line would.
    ChildResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--wait", "300"});
        return runner_.Run(args);
    }
    std::size_t Writes() {
        std::size_t count = 0;
        for (const std::string& frame : runner_.sim().RequestLog()) {
            count += IsWrite(frame) ? 1 : 0;
        }
        return count;
    }
    CliRunner runner_;
};

TEST_P(CliConfigTest, SavedSettingsLoadBackAndADryRunWritesNothing) {
    const std::string path = runner_.dir() / "site";
    ChildResult run = Run({"config", "save", path});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const std::string file = ReadFileText(path + ".qcf");
    const std::string expected =
        std::string(kSettingsFileHeader) + '\0' + sensor().Record(RecordKind::Config) + "\r\n" +
        sensor().Record(RecordKind::Extended) + "\r\n" + sensor().Record(RecordKind::Collection) + "\r\n" +
        sensor().Record(RecordKind::SfAlgorithm) + sensor().Record(RecordKind::SfNoise);
    EXPECT_EQ(file, expected);

    // Change the sensor, then put the file back.
    std::string extended = sensor().Record(RecordKind::Extended);
    extended.replace(1, 8, "Changed ");
    sensor().SetRecord(RecordKind::Extended, extended);
    run = Run({"config", "load", path + ".qcf", "--dry-run"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(Writes(), 0u);
    EXPECT_EQ(sensor().Record(RecordKind::Extended), extended);

    run = Run({"config", "load", path + ".qcf"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(Writes(), 5u);  // S2, S2N, S11, S12, S1
    EXPECT_EQ(sensor().Record(RecordKind::Extended).substr(1, 8), "Lane 1  ");
    EXPECT_NE(run.err.find("Sensor configuration settings saved!"), std::string::npos) << run.err;
}

TEST_P(CliConfigTest, AFileWithFaultsNamesEachFieldAndChangesNothing) {
    const std::string path = runner_.dir() / "faults.qcf";
    ASSERT_EQ(Run({"config", "save", path}).exit_code, 0);
    std::string file = ReadFileText(path);
    const std::size_t config_at = kSettingsFileHeader.size() + 1;
    file.replace(config_at + 142, 8, "00000004");  // interval of 4 s
    runner_.dir().Write("faults.qcf", file);
    ChildResult run = Run({"config", "load", path});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.err.find("Data Collection: Interval (Bin) Size: must be at least 5 seconds"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(Writes(), 0u);

    runner_.dir().Write("short.qcf", file.substr(0, file.size() - 1));
    run = Run({"config", "load", runner_.dir() / "short.qcf"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.err.find("No valid file was selected..."), std::string::npos) << run.err;
    EXPECT_EQ(Writes(), 0u);

    run = Run({"config", "save", runner_.dir() / "no-such-folder/x.qcf"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.err.find("could not be written"), std::string::npos) << run.err;
}

TEST_P(CliConfigTest, ShowPrintsEveryFieldInEachFormat) {
    ChildResult run = Run({"config", "show"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find("[Data Collection]\nInterval (Bin) Size (seconds): 20\n"), std::string::npos);
    EXPECT_NE(run.out.find("Small Max Length (feet): 21\n"), std::string::npos);
    run = Run({"config", "show", "--format", "tsv"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const auto lines = SplitLines(run.out);
    ASSERT_GT(lines.size(), 100u);
    EXPECT_EQ(lines[0].substr(0, 22), "General\tSerial Number\t");
    run = Run({"config", "show", "--format", "json"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(
        run.out.find("{\"page\": \"General\", \"label\": \"Sensor (Multi-drop) ID\", \"value\": \"0001\"}"),
        std::string::npos);
    EXPECT_EQ(runner_.RunBare({"--tcp", "127.0.0.1:1", "config", "show", "--format", "xml"}).exit_code, 2);
    EXPECT_EQ(runner_.RunBare({"--tcp", "127.0.0.1:1", "config", "save", "x", "--dry-run"}).exit_code, 2);
}

INSTANTIATE_TEST_SUITE_P(Links, CliConfigTest, ::testing::Values(sim::Transport::Pty, sim::Transport::Tcp),
                         [](const auto& info) { return info.param == sim::Transport::Pty ? "Pty" : "Tcp"; });

}  // namespace
}  // namespace qvx
