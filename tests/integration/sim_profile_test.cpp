// The simulator's starting state from options and profile files, and the rough situations a
// technician in training can script with them.

#include <gtest/gtest.h>

#include <sstream>

#include "../support/scratch_folder.h"
#include "sim_options.h"
#include "simulated_sensor.h"

namespace qvx::sim {
namespace {

using namespace std::chrono_literals;

SimOptions Parse(const std::vector<std::string>& args) {
    SimOptions options;
    std::string error;
    EXPECT_TRUE(ParseSimOptions(args, options, error)) << error;
    return options;
}

TEST(SimProfile, AProfileSetsTheStartingStateAndLaterArgumentsOverrideIt) {
    test::ScratchFolder dir;
    const std::string profile = dir.Write("training.profile",
                                          "# a forward-fire sensor two years behind\r\n"
                                          "lanes 6\n"
                                          "  forward-fire\n"
                                          "\n"
                                          "clock-offset -63072000\n"
                                          "fpga-version 0042\n"
                                          "dsp-version QVX_v3.30.12.F01.R09\n"
                                          "flash-records 100\n"
                                          "sram-records 7\n"
                                          "mode 0\n"
                                          "auto-config-seconds 30\n"
                                          "push XD,XA\n"
                                          "rough departing,lane-order\n"
                                          "record S01=MLane A\n");
    const SimOptions options = Parse({"--tcp", "0", "--profile", profile, "--lanes", "3"});
    ASSERT_EQ(options.sensors.size(), 1u);
    const SensorSettings& sensor = options.sensors[0];
    EXPECT_EQ(sensor.lanes, 3) << "the later argument wins";
    EXPECT_TRUE(sensor.forward_fire);
    EXPECT_EQ(sensor.clock_offset_seconds, -63072000);
    EXPECT_EQ(sensor.flash_records, 100);
    EXPECT_EQ(sensor.sram_records, 7);
    EXPECT_EQ(sensor.auto_config_seconds, 30);
    EXPECT_EQ(sensor.push_types, (std::vector<std::string>{"XD", "XA"}));
    EXPECT_TRUE(sensor.rough.departing);
    EXPECT_TRUE(sensor.rough.lanes_out_of_order);
    EXPECT_FALSE(sensor.rough.lane_nine);
    ASSERT_EQ(sensor.records.count(RecordKind::Extended), 1u);
    EXPECT_EQ(sensor.records.at(RecordKind::Extended).size(), 87u) << "blanks pad a short record";

    SimulatedSensor simulated(sensor);
    EXPECT_EQ(simulated.StoredIntervals(IntervalBuffer::Flash), 100u);
    EXPECT_EQ(simulated.StoredIntervals(IntervalBuffer::Sram), 7u);
    EXPECT_EQ(simulated.HandleFrame("S5").text, "S5DSP: QVX_v3.30.12.F01.R09 FPGA: 0042\r");
    EXPECT_EQ(simulated.HandleFrame("S6").text, "S60\r") << "automatic configuration running at start";
    simulated.AdvanceClock(31s);
    EXPECT_EQ(simulated.HandleFrame("S6").text, "S61\r");
    EXPECT_EQ(simulated.Record(RecordKind::Extended).substr(0, 7), "MLane A");
}

TEST(SimProfile, BadLinesAndValuesAreReportedWithTheirPlace) {
    test::ScratchFolder dir;
    const std::string profile = dir.Write("bad.profile", "lanes 4\nlanes 12\n");
    SimOptions options;
    std::string error;
    EXPECT_FALSE(ParseSimOptions({"--tcp", "0", "--profile", profile}, options, error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    EXPECT_FALSE(ParseSimOptions({"--tcp", "0", "--profile", dir / "missing"}, options, error));
    const std::string loop = dir.Write("loop.profile", "profile " + dir / "loop.profile" + "\n");
    EXPECT_FALSE(ParseSimOptions({"--tcp", "0", "--profile", loop}, options, error))
        << "a profile naming itself";
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--tcp", "0", "--record", "S0=" + std::string(168, 'x')},
          {"--tcp", "0", "--record", "S9=abc"},
          {"--tcp", "0", "--sram-records", "247"},
          {"--tcp", "0", "--push", "XD,I0"},
          {"--tcp", "0", "--rough", "sideways"},
          {"--tcp", "0", "--firewall-reply", "loud"},
          {"--tcp", "0", "--fpga-version", "12345"},
          {"--tcp", "0", "--traffic", "3601"}}) {
        SimOptions rejected;
        EXPECT_FALSE(ParseSimOptions(bad, rejected, error)) << bad[2] << " " << bad[3];
    }
}

TEST(SimProfile, TheClockFallsBackToZeroOnceMidRun) {
    SensorSettings settings;
    settings.clock_reset_after_seconds = 5;
    SimulatedSensor sensor(settings);
    EXPECT_GT(sensor.SensorSeconds(), 800'000'000u);
    sensor.AdvanceClock(6s);
    EXPECT_EQ(sensor.HandleFrame("SB").text, "SB00000000\r");
    sensor.AdvanceClock(3s);
    EXPECT_EQ(sensor.HandleFrame("SB").text, "SB00000003\r") << "it runs on from 0 and falls back only once";
}

TEST(SimProfile, RoughEventsCarryOddLaneAndClassDigits) {
    SensorSettings settings;
    settings.clock_start = 0x12CFF780;
    settings.vehicles_per_hour = 3000;
    settings.rough.lane_nine = true;
    settings.rough.class_digits = true;
    SimulatedSensor sensor(settings);
    sensor.AdvanceClock(60s);
    bool lane_nine = false;
    bool high_class = false;
    for (std::string reply = sensor.HandleFrame("XA").text; reply != "XAEmpty\r";
         reply = sensor.HandleFrame("XA").text) {
        ASSERT_EQ(reply.size(), 21u) << reply;
        lane_nine |= reply[10] == '9';
        high_class |= reply[19] > '2';
    }
    EXPECT_TRUE(lane_nine);
    EXPECT_TRUE(high_class);
}

TEST(SimProfile, TheReadmeListsEveryOptionWithAnExample) {
    const std::string whole = test::ReadFileText(std::string(QVX_TEST_DATA_DIR) + "/../../README.md");
    const std::size_t section = whole.find("## The simulated sensor");
    ASSERT_NE(section, std::string::npos);
    const std::string readme = whole.substr(section, whole.find("\n## ", section + 1) - section);
    std::istringstream usage(SimUsage());
    int options = 0;
    for (std::string line; std::getline(usage, line);) {
        if (!line.starts_with("  --")) {
            continue;
        }
        const std::string option = line.substr(2, line.find(' ', 2) - 2);
        ++options;
        const std::size_t row = readme.find("| `" + option);
        ASSERT_NE(row, std::string::npos) << option << " has no row";
        const std::string text = readme.substr(row, readme.find('\n', row) - row);
        EXPECT_NE(text.find("`qvx-sim "), std::string::npos) << option << " has no example";
    }
    EXPECT_GT(options, 30);
}

}  // namespace
}  // namespace qvx::sim
