// qvx firmware check | upload | update end to end against the simulated sensor, over a
// pseudo-terminal and over TCP.

#include <gtest/gtest.h>

#include <fstream>

#include "../support/cli_runner.h"

namespace qvx {
namespace {

using test::ChildResult;
using test::CliRunner;
using test::SplitLines;

constexpr const char* kOldVersion = "DSP: QVX_v2.30.09.S02.R01 FPGA: 0029";

std::string FpgaFile(std::size_t digits) {
    std::string data = "FFFFFFFFAA99";
    for (std::size_t i = 0; data.size() < digits; ++i)
        data += "0123456789ABCDEF"[(i * 3 + 5) % 16];
    std::string text;
    for (std::size_t i = 0; i < data.size(); i += 64)
        text += data.substr(i, 64) + "\r\n";
    return text;
}

class CliFirmwareTest : public ::testing::TestWithParam<sim::Transport> {
  protected:
    void Start(const std::string& version = kOldVersion) {
        sim::SensorSettings sensor;
        sensor.version_text = version;
        sensor.restart_ms = 500;
        runner_.StartSim(GetParam(), {sensor});
    }
    std::string WriteFile(const std::string& name, const std::string& text) {
        const std::string path = runner_.dir() / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::size_t UploadCommands() {
        std::size_t count = 0;
        for (const std::string& frame : runner_.sim().RequestLog())
            count += frame.starts_with("F") || frame.starts_with("D") ? 1 : 0;
        return count;
    }
    CliRunner runner_;
};

TEST_P(CliFirmwareTest, CheckPrintsOneLinePerImageInEachFormat) {
    Start();
    ChildResult run = runner_.Run({"firmware", "check", "--format", "tsv"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(SplitLines(run.out),
              (std::vector<std::string>{"FPGA\t29\t30\tupload",
                                        "DSP side-fire\tv2.09.S02.01\tv2.10.S03.05\tupload"}));
    run = runner_.Run({"firmware", "check", "--format", "json"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(
        run.out,
        "[{\"image\":\"FPGA\",\"sensor\":\"29\",\"bundle\":\"30\",\"plan\":\"upload\"},\n"
        " {\"image\":\"DSP side-fire\",\"sensor\":\"v2.09.S02.01\",\"bundle\":\"v2.10.S03.05\",\"plan\":"
        "\"upload\"}]\n");
    EXPECT_EQ(UploadCommands(), 0u);
}

TEST_P(CliFirmwareTest, UploadNeedsARecognisedFileAndYes) {
    Start();
    const std::string fpga = WriteFile("fpga.hex", FpgaFile(900));
    ChildResult run = runner_.Run({"firmware", "upload", "--dsp", fpga, "--yes"});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_NE(run.err.find("The selected file is not a DSP hex file."), std::string::npos) << run.err;
    run = runner_.Run({"firmware", "upload", "--fpga", fpga});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_NE(run.err.find("Are you sure you want to overwrite the FPGA firmware with fpga.hex?"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(UploadCommands(), 0u);
}

TEST_P(CliFirmwareTest, FpgaUploadWithoutRebootLoadsTheImage) {
    Start();
    const std::string fpga = WriteFile("fpga.hex", FpgaFile(900));
    const ChildResult run = runner_.Run({"firmware", "upload", "--fpga", fpga, "--yes", "--no-reboot"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "Upload Successful!\n");
    EXPECT_NE(run.err.find("-> Continue"), std::string::npos) << run.err;
    const sim::FirmwareLoader firmware = runner_.sim().sensor(0).Firmware();
    EXPECT_TRUE(firmware.Received(sim::FirmwarePart::Fpga).complete);
    EXPECT_EQ(firmware.restarts(), 0);
}

TEST_P(CliFirmwareTest, AFailedUploadExitsWithFour) {
    sim::SensorSettings sensor;
    sensor.firmware_faults.fail_result = true;
    runner_.StartSim(GetParam(), {sensor});
    const std::string fpga = WriteFile("fpga.hex", FpgaFile(500));
    const ChildResult run = runner_.Run({"firmware", "upload", "--fpga", fpga, "--yes"});
    EXPECT_EQ(run.exit_code, 4) << run.err;
    EXPECT_EQ(run.out, "Upload Failed!\n");
}

INSTANTIATE_TEST_SUITE_P(BothLinks, CliFirmwareTest,
                         ::testing::Values(sim::Transport::Pty, sim::Transport::Tcp),
                         [](const auto& info) { return info.param == sim::Transport::Pty ? "Pty" : "Tcp"; });

// The whole update once (it waits out the sensor's 15-second restart).
TEST(CliFirmwareUpdate, UpdateLoadsThePlannedImagesAndChecksAgain) {
    CliRunner runner;
    sim::SensorSettings sensor;
    sensor.version_text = kOldVersion;
    sensor.restart_ms = 500;
    runner.StartSim(sim::Transport::Tcp, {sensor});
    const ChildResult run = runner.Run({"firmware", "update", "--yes", "--format", "tsv"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const auto lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "FPGA\t30\t30\tcurrent");
    EXPECT_EQ(lines[3], "DSP side-fire\tv2.10.S03.05\tv2.10.S03.05\tcurrent");
    EXPECT_EQ(runner.sim().sensor(0).Firmware().images_loaded(), 2);
}

}  // namespace
}  // namespace qvx
