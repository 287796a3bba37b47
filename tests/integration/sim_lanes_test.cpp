// The simulated sensor's lane configuration: a written side-fire lane map reads back as written,
// maps the sensor could not use are refused, the configuration-mode requests with and without
// range blinders, and the automatic configuration settling on a lane picture.

#include <gtest/gtest.h>

#include "protocol/catalogue.h"
#include "protocol/frame.h"
#include "simulated_sensor.h"

namespace qvx::sim {
namespace {

using namespace std::chrono_literals;

std::string Ask(SimulatedSensor& sensor, const std::string& frame) {
    return sensor.HandleFrame(frame).text;
}

std::string WriteSideFire(SimulatedSensor& sensor, const std::string& record) {
    return Ask(sensor, "S2" + record + ComputeFrameChecksum(record));
}

// Markers at bins 4, 6, 8 (one lane) and 12 .. 22 (two lanes), in a record whose tail is kept.
std::string TwoRoads(const std::string& tail) {
    std::string record = "00100014001800200024002800300034";
    for (int unused = 8; unused < 20; ++unused) {
        record += "0000";
    }
    record += "0000000200FF00FFLRlrRRRR";
    return record + tail.substr(record.size());
}

TEST(SimLanes, AWrittenLaneMapReadsBack) {
    SimulatedSensor sensor(SensorSettings{});
    Ask(sensor, cmd::kUnprotect);
    const std::string before = sensor.Record(RecordKind::SfAlgorithm);
    const std::string record = TwoRoads(before);
    ASSERT_EQ(WriteSideFire(sensor, record), "S2Success\r");
    const std::string read = Ask(sensor, "S3");
    EXPECT_EQ(read, "S3" + record + ComputeFrameChecksum(record) + "\r");
    EXPECT_EQ(sensor.lanes(), 3);
}

TEST(SimLanes, MapsTheSensorCannotUseAreRefused) {
    SimulatedSensor sensor(SensorSettings{});
    Ask(sensor, cmd::kUnprotect);
    const std::string good = TwoRoads(sensor.Record(RecordKind::SfAlgorithm));
    auto refused = [&](std::string record) { return WriteSideFire(sensor, record) == "S2Failure\r"; };
    std::string falling = good;
    falling.replace(4, 4, "000C");  // below the marker before it
    EXPECT_TRUE(refused(falling));
    std::string missing = good;
    missing.replace(28, 4, "0000");  // the last lane's closing edge
    EXPECT_TRUE(refused(missing));
    std::string extra = good;
    extra.replace(32, 4, "0040");
    EXPECT_TRUE(refused(extra));
    std::string last_bin = good;
    last_bin.replace(28, 4, "00AE");  // bin 83
    EXPECT_TRUE(refused(last_bin));
    std::string letter = good;
    letter[100] = ' ';
    EXPECT_TRUE(refused(letter));
    std::string gap = good;
    gap.replace(84, 8, "00FF0002");  // a used group after an unused one
    EXPECT_TRUE(refused(gap));
    EXPECT_NE(sensor.Record(RecordKind::SfAlgorithm), good);
}

TEST(SimLanes, ConfigurationModeRequests) {
    SimulatedSensor sensor(SensorSettings{});
    Ask(sensor, cmd::kUnprotect);
    EXPECT_EQ(Ask(sensor, "SD2"), "SDSuccess\r");
    EXPECT_EQ(Ask(sensor, "S6").substr(2, 1), "2");
    EXPECT_EQ(Ask(sensor, "SD0000000531"), "SDSuccess\r");
    EXPECT_EQ(Ask(sensor, "SD0000500061"), "SDFailure\r");  // 1 bin apart
    EXPECT_EQ(Ask(sensor, "SD0000500541"), "SDFailure\r");  // beyond bin 83
    EXPECT_EQ(Ask(sensor, "SD00005004E2"), "SDFailure\r");
    EXPECT_EQ(Ask(sensor, "SD1000500501"), "SDFailure\r");
    EXPECT_EQ(Ask(sensor, "SD3"), "SDFailure\r");
    EXPECT_EQ(Ask(sensor, "SD"), "SDFailure\r");
}

TEST(SimLanes, TheAutomaticConfigurationSettlesOnALanePicture) {
    SensorSettings settings;
    settings.lanes = 3;
    settings.auto_config_seconds = 5;
    SimulatedSensor sensor(settings);
    Ask(sensor, cmd::kUnprotect);
    ASSERT_EQ(Ask(sensor, "SD0001400401"), "SDSuccess\r");  // blinders at bins 20 and 64
    EXPECT_EQ(Ask(sensor, "S6"), "S60\r");
    EXPECT_EQ(sensor.lanes(), 0);  // the search starts from an empty road
    sensor.AdvanceClock(6s);
    EXPECT_EQ(Ask(sensor, "S6"), "S61\r");
    EXPECT_EQ(sensor.lanes(), 3);
    const std::string record = sensor.Record(RecordKind::SfAlgorithm);
    EXPECT_EQ(record.substr(0, 4), "0032");  // the first edge at bin 21, past the lower blinder
}

}  // namespace
}  // namespace qvx::sim
