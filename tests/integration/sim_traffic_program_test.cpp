// The program against the simulated sensor's traffic, over the pty and over TCP: event times land
// on the sensor's UTC time of day as the event log reads them, and an interval record summarises
// exactly the vehicles the program saw as events.

#include <gtest/gtest.h>

#include <map>

#include "../support/scoped_time_zone.h"
#include "../support/sim_program_link.h"
#include "live/interval_log.h"
#include "live/interval_texts.h"
#include "protocol/traffic_records.h"

namespace qvx::sim {
namespace {

using namespace std::chrono_literals;
using test::SimProgramLink;

constexpr std::uint32_t kTicksPerSecond = 400;
constexpr std::uint32_t kSecondsPerDay = 86400;

class SimTrafficProgramTest : public ::testing::TestWithParam<Transport> {};

// Every event waiting in the sensor, decoded by the program.
std::vector<EventRecord> DrainEvents(SimProgramLink& link) {
    std::vector<EventRecord> events;
    for (int i = 0; i < 400; ++i) {
        std::string reply;
        if (link.Send("XA", "\r", reply) != TransactionResult::Ok || IsNoRecordReply(reply)) {
            break;
        }
        const auto event = DecodeEventRecord(reply);
        EXPECT_TRUE(event) << reply;
        if (event) {
            events.push_back(*event);
        }
    }
    return events;
}

// "HH:MM:SS:mmm" at the start of an event log line, as seconds of the day.
double LoggedSecondOfDay(const std::string& line) {
    const int hours = std::stoi(line.substr(2, 2));
    const int minutes = std::stoi(line.substr(5, 2));
    const int seconds = std::stoi(line.substr(8, 2));
    const int millis = std::stoi(line.substr(11, 3));
    return hours * 3600 + minutes * 60 + seconds + millis / 1000.0;
}

TEST_P(SimTrafficProgramTest, AnEventIsLoggedWithinASecondOfTheSensorsUtcTimeOfDay) {
    const test::ScopedTimeZone utc("UTC");
    SimProgramLink link(GetParam(), {SensorSettings{}});
    std::string why;
    ASSERT_TRUE(link.Open(&why)) << why;
    std::vector<EventRecord> events;
    for (int poll = 0; poll < 200 && events.empty(); ++poll) {
        std::this_thread::sleep_for(50ms);
        events = DrainEvents(link);
    }
    ASSERT_FALSE(events.empty()) << "no vehicle passed in 10 s";
    const double sensor_now = link.sensor().SensorSeconds() % kSecondsPerDay;
    const std::string names[8] = {"Lane 1", "Lane 2", "Lane 3", "Lane 4"};
    const EventRecord& last = events.back();
    const std::string line = EventLogLine(last, names, std::time(nullptr));
    // The count is the moment the vehicle entered the beam; it is reported once it has left.
    const double left_beam = LoggedSecondOfDay(line) + last.duration / double(kTicksPerSecond);
    if (sensor_now < 2) {
        GTEST_SKIP() << "the sensor's day turned over during the test";
    }
    EXPECT_NEAR(left_beam, sensor_now + 0.5, 1.0) << line;
}

TEST_P(SimTrafficProgramTest, AnIntervalsVolumeSpeedAndClassesAreThoseOfItsEvents) {
    SensorSettings settings;
    settings.interval_seconds = 10;
    settings.lanes = 3;
    SimProgramLink link(GetParam(), {settings});
    std::string why;
    ASSERT_TRUE(link.Open(&why)) << why;
    std::vector<EventRecord> events = DrainEvents(link);
    for (int step = 0; step < 30; ++step) {
        link.sensor().AdvanceClock(1s);
        const auto more = DrainEvents(link);
        events.insert(events.end(), more.begin(), more.end());
    }
    std::string reply;
    ASSERT_EQ(link.Send("X0", "\r", reply), TransactionResult::Ok);
    const auto record = DecodeIntervalRecord(reply);
    ASSERT_TRUE(record) << reply;
    const auto more = DrainEvents(link);
    events.insert(events.end(), more.begin(), more.end());

    const std::uint32_t end_tick = record->end_time % kSecondsPerDay * kTicksPerSecond;
    const std::uint32_t start_tick = end_tick - 10 * kTicksPerSecond;
    ASSERT_GE(end_tick, start_tick) << "the interval spans midnight";
    struct Seen {
        std::uint32_t count = 0;
        long speed_sum = 0;
        std::uint32_t classes[3] = {};
    };
    std::map<int, Seen> seen;
    for (const EventRecord& event : events) {
        if (event.ticks >= start_tick && event.ticks < end_tick) {
            Seen& lane = seen[event.LaneIndex()];
            ++lane.count;
            lane.speed_sum += event.speed;
            ++lane.classes[event.vehicle_class];
        }
    }
    ASSERT_EQ(record->lanes.size(), 3u);
    std::uint32_t total = 0;
    for (const IntervalLane& lane : record->lanes) {
        SCOPED_TRACE(lane.lane_digit);
        const Seen& events_of_lane = seen[lane.LaneIndex()];
        EXPECT_EQ(lane.volume, events_of_lane.count);
        total += lane.volume;
        if (lane.volume == 0) {
            continue;
        }
        EXPECT_NEAR(lane.speed, double(events_of_lane.speed_sum) / lane.volume, 0.5);
        EXPECT_EQ(lane.small, events_of_lane.classes[0] * 1024 / lane.volume);
        EXPECT_EQ(lane.large, events_of_lane.classes[2] * 1024 / lane.volume);
        EXPECT_EQ(lane.small + lane.medium + lane.large, 1024);
    }
    EXPECT_GT(total, 0u) << "ten seconds of three lanes carried no vehicle";
}

// Rough traffic read by the program: lanes in reverse, departing speeds, shares above 1024 and a
// clock that fell back to 0 still decode lane by lane, and the texts show what was sent.
TEST_P(SimTrafficProgramTest, RoughRecordsAndAClockResetStillDecodeLaneByLane) {
    SensorSettings settings;
    settings.interval_seconds = 10;
    settings.lanes = 4;
    settings.vehicles_per_hour = 3000;
    settings.clock_reset_after_seconds = 60;
    settings.rough.lanes_out_of_order = true;
    settings.rough.departing = true;
    settings.rough.big_shares = true;
    SimProgramLink link(GetParam(), {settings});
    std::string why;
    ASSERT_TRUE(link.Open(&why)) << why;
    const std::string names[8] = {"Lane 1", "Lane 2", "Lane 3", "Lane 4"};
    std::string reply;
    ASSERT_EQ(link.Send("X0", "\r", reply), TransactionResult::Ok);
    const auto record = DecodeIntervalRecord(reply);
    ASSERT_TRUE(record) << reply;
    ASSERT_EQ(record->lanes.size(), 4u);
    EXPECT_EQ(record->lanes.front().lane_digit, '4');
    EXPECT_EQ(record->lanes.back().lane_digit, '1');
    const IntervalLane& lane2 = record->lanes[2];
    ASSERT_EQ(lane2.LaneIndex(), 1);
    if (lane2.volume > 0) {
        EXPECT_LT(lane2.speed, 0) << "departing traffic";
        EXPECT_NE(FormatIntervalRow(lane2, names).speed.find('-'), std::string::npos);
    }

    link.sensor().AdvanceClock(61s);
    ASSERT_EQ(link.Send("SB", "\r", reply), TransactionResult::Ok);
    EXPECT_LT(std::stoul(reply, nullptr, 16), 5u) << "the clock fell back to 0";
    link.sensor().AdvanceClock(10s);
    ASSERT_EQ(link.Send("X0", "\r", reply), TransactionResult::Ok);
    const auto after_reset = DecodeIntervalRecord(reply);
    ASSERT_TRUE(after_reset) << reply;
    EXPECT_LE(after_reset->end_time, 20u) << "intervals run on the new clock";
}

INSTANTIATE_TEST_SUITE_P(Transports, SimTrafficProgramTest, ::testing::Values(Transport::Pty, Transport::Tcp),
                         test::TransportName);

}  // namespace
}  // namespace qvx::sim
