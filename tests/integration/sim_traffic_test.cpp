// The simulated sensor's traffic without I/O: one stream of vehicles behind events, actuation and
// interval records, and event counts on the sensor's UTC day.

#include <gtest/gtest.h>

#include "simulated_sensor.h"
#include "traffic_model.h"

namespace qvx::sim {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kStart2010 = 0x12CFF780;  // 2010-01-01 00:00:00 in sensor seconds

TEST(SimTraffic, EventCountsAreTicksOfTheSensorsDayAndWrapAtMidnight) {
    EXPECT_EQ(TicksOfDay(0), 0u);
    EXPECT_EQ(TicksOfDay(3'600'000), 1'440'000u) << "an hour is 400 x 3600 ticks";
    EXPECT_EQ(TicksOfDay(86'400'000 + 2'505), 1'002u);
    SensorSettings settings;
    settings.clock_start = kStart2010 + 13 * 3600 + 50 * 60;  // 13:50:00
    SimulatedSensor sensor(settings);
    sensor.AdvanceClock(60s);
    const std::string reply = sensor.HandleFrame("XA").text;
    ASSERT_EQ(reply.size(), 2 + 18 + 1u) << reply;
    std::uint32_t ticks = 0;
    ASSERT_TRUE(ParseHex(reply.substr(2, 8), ticks));
    EXPECT_GE(ticks, (13 * 3600 + 50 * 60) * 400u);
    EXPECT_LT(ticks, (13 * 3600 + 51 * 60) * 400u);
}

TEST(SimTraffic, ActuationShowsTheVehiclesThatBecomeEvents) {
    const TrafficModel traffic(3, 'E');
    int checked = 0;
    for (std::uint64_t second = 1000; second < 1100; ++second) {
        for (int lane = 0; lane < 4; ++lane) {
            const auto vehicle = traffic.VehicleAt(lane, second);
            if (!vehicle) {
                continue;
            }
            ++checked;
            EXPECT_EQ(vehicle->start_ms / 1000, second);
            EXPECT_LE(vehicle->end_ms(), (second + 1) * 1000) << "a vehicle stays within its second";
            EXPECT_TRUE(traffic.ActuationMask(4, vehicle->start_ms) & (1u << lane));
            EXPECT_FALSE(traffic.ActuationMask(4, vehicle->end_ms()) & (1u << lane));
            const auto leaving = traffic.VehiclesLeaving(4, vehicle->end_ms() - 1, vehicle->end_ms());
            ASSERT_EQ(leaving.size(), 1u);
            EXPECT_EQ(leaving[0].lane, lane);
        }
    }
    EXPECT_GT(checked, 20);
}

TEST(SimTraffic, RoughTrafficBendsTheRecordsAsAsked) {
    TrafficModel traffic(5, 'E');
    RoughTraffic rough;
    rough.lanes_out_of_order = true;
    rough.departing = true;
    traffic.set_rough(rough);
    const std::string record = traffic.IntervalRecord(kStart2010 + 600, 600, 4);
    ASSERT_EQ(record.size(), 8 + 4 * 29u);
    EXPECT_EQ(record[8], '4');
    EXPECT_EQ(record[8 + 3 * 29], '1');
    std::uint32_t speed = 0;
    ASSERT_TRUE(ParseHex(record.substr(8 + 2 * 29 + 9, 4), speed));  // lane 2, third block
    EXPECT_GE(speed, 0x8000u) << "lane 2 carries departing traffic";
}

}  // namespace
}  // namespace qvx::sim
