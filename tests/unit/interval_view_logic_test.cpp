// The interval view's rules without a window: the row texts, the fetch schedule, the elapsed-time
// text, and the fetch against a scripted sensor.

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../support/file_size_limit.h"
#include "../support/reply_wait.h"
#include "../support/scoped_time_zone.h"
#include "../support/scratch_folder.h"
#include "../support/scripted_peer.h"
#include "../support/scripted_prompts.h"
#include "context/app_context.h"
#include "live/interval_fetcher.h"
#include "live/interval_texts.h"
#include "protocol/frame.h"
#include "protocol/sensor_operations.h"

namespace qvx {
namespace {

using test::ScopedTimeZone;

const std::string kNames[8] = {"NB 1    ", "AB", "ABC", "LONGNAME", "", "", "", ""};

TEST(IntervalRowTexts, FieldsAreFormattedToTheirColumns) {
    struct Case {
        const char* block;
        IntervalRowTexts expected;
    };
    const Case cases[] = {
        {"10000002A00370400000000800001", {"  NB 1  ", "        42", " 55", "100", "  0", " 12.5", "  0.1"}},
        {"2FFFFFFFFFFCE0200000300010000",
         {"   AB   ", "4294967295", "-50", " 50.0", "  0.3", "  0.1", "  0"}},
        {"304000000040003FF000000000000", {"  ABC   ", "  67108864", "1024", " 99.9", "  0", "  0", "  0"}},
        {"4000000000000000200000000000A", {"LONGNAME", "         0", "  0", "  0.2", "  0", "  0", "  1.0"}},
        {"90000000100010000000000000000", {"********", "         1", "  1", "  0", "  0", "  0", "  0"}},
    };
    for (const Case& c : cases) {
        const auto lane = DecodeIntervalLane(c.block);
        ASSERT_TRUE(lane.has_value()) << c.block;
        EXPECT_EQ(FormatIntervalRow(*lane, kNames), c.expected) << c.block;
    }
}

TEST(FetchSchedule, AsksInTheLastSecondOfEachInterval) {
    for (std::uint32_t interval : {20u, 5u, 60u}) {
        const std::int64_t start = 1700000000 - 1700000000 % interval;  // an interval boundary
        for (std::int64_t now = start; now < start + 2 * interval; ++now) {
            EXPECT_EQ(FetchIsDue(now, interval), now % interval == interval - 1) << interval << " at " << now;
        }
    }
    // A sensor that reports 0 must not stop the clock with a division by zero.
    EXPECT_TRUE(FetchIsDue(1700000000, 0));
}

TEST(SinceUpdated, DaysHoursMinutesSecondsWithoutLeadingZeros) {
    EXPECT_EQ(SinceUpdatedText(0), "Since updated: 0:0:0:0");
    EXPECT_EQ(SinceUpdatedText(65), "Since updated: 0:0:1:5");
    EXPECT_EQ(SinceUpdatedText(90061), "Since updated: 1:1:1:1");
    EXPECT_EQ(SinceUpdatedText(3 * 86400 + 23 * 3600 + 59 * 60 + 59), "Since updated: 3:23:59:59");
}

constexpr std::int64_t kNow = 1700000000;
constexpr std::uint32_t Sensor(std::int64_t unix_time) {
    return static_cast<std::uint32_t>(unix_time - 946684800);
}

TEST(ElapsedClock, ComparableSensorClockCountsFromTheRecordTime) {
    ElapsedClock clock;
    EXPECT_EQ(clock.Elapsed(0, kNow, 20), 0);                  // nothing fetched yet
    EXPECT_EQ(clock.Elapsed(Sensor(kNow - 7), kNow, 20), 7);   // a record 7 s old
    EXPECT_EQ(clock.Elapsed(Sensor(kNow + 30), kNow, 20), 0);  // sensor ahead of the PC
    const std::int64_t almost_two_years = 63072000 - 10;
    EXPECT_EQ(clock.Elapsed(Sensor(kNow - almost_two_years), kNow, 20), almost_two_years);
}

TEST(ElapsedClock, FarBehindSensorClockCountsFromTheRecordsArrival) {
    ElapsedClock clock;
    const std::uint32_t record = Sensor(kNow - 63072000 - 5000);  // more than two years behind
    // The first record only sets the reference: its arrival time is not known.
    EXPECT_EQ(clock.Elapsed(record, kNow, 20), 0);
    EXPECT_EQ(clock.Elapsed(record, kNow + 9, 20), 0);
    // The next record arrives at kNow + 10: from then on the count runs.
    EXPECT_EQ(clock.Elapsed(record + 20, kNow + 10, 20), 0);
    EXPECT_EQ(clock.Elapsed(record + 20, kNow + 25, 20), 15);
    // An older record (a sensor clock set back) starts the bookkeeping over.
    EXPECT_EQ(clock.Elapsed(record - 100, kNow + 30, 20), 0);
}

class IntervalFetcherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::signal(SIGPIPE, SIG_IGN);
        context_.state.lane_names[0] = "NB 1    ";
        context_.state.lane_names[1] = "SB";
        context_.protocol.sleep_ms = [](int) {};
        context_.live.log_paths.Set(LogKind::Interval, folder_ / "bins.log");
    }

    void StartSensor(std::vector<std::string> replies) {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        context_.link.serial().Adopt(fds[0]);
        context_.state.link_kind = LinkKind::Serial;
        test::AllowSlowReplies(context_.state);
        peer_ = std::make_unique<test::ScriptedPeer>(fds[1], std::move(replies));
    }

    static std::string Data(const std::string& data) {
        return "XD" + data + ComputeFrameChecksum(data) + "\r";
    }

    std::size_t LoggedLines() {
        const std::string text = test::ReadFileText(folder_ / "bins.log");
        return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    }

    ScopedTimeZone utc_{"UTC"};
    test::ScratchFolder folder_;
    ScriptedPrompts prompts_;
    AppContext context_{prompts_, RegistryStore(folder_ / "registry")};
    std::unique_ptr<test::ScriptedPeer> peer_;
};

const std::string kTwoLanes =
    "1507A868"
    "10000002A00370080040000000002"
    "200012345FFCE0001020001000005";

TEST_F(IntervalFetcherTest, NewRecordFillsTheTableAndTheLogOnceOnly) {
    const std::string next = "1507A87C" + kTwoLanes.substr(8);
    StartSensor({Data(kTwoLanes), Data(kTwoLanes), "XDEmpty\r", Data(next)});
    IntervalFetcher fetcher(context_);
    fetcher.ResetForOpening();

    EXPECT_EQ(fetcher.FetchLatestInterval(true), 1);
    const LatestIntervalTable& table = context_.live.latest_interval;
    EXPECT_EQ(table.updated_text, "Updated: 2011-03-07 14:30:00");
    EXPECT_EQ(table.last_sensor_timestamp, 0x1507A868u);
    EXPECT_EQ(table.rows[0],
              (IntervalRowTexts{"  NB 1  ", "        42", " 55", " 12.5", "100", "  0", "  0.2"}));
    EXPECT_EQ(table.rows[1].label, "   SB   ");
    EXPECT_EQ(LoggedLines(), 2u);

    EXPECT_EQ(fetcher.FetchLatestInterval(true), 0);  // the same record again
    EXPECT_EQ(fetcher.FetchLatestInterval(true), 0);  // "Empty"
    EXPECT_EQ(LoggedLines(), 2u);
    EXPECT_EQ(fetcher.FetchLatestInterval(true), 1);
    EXPECT_EQ(LoggedLines(), 4u);
    EXPECT_EQ(table.history.size(), 2u);
    EXPECT_EQ(peer_->requests(), std::vector<std::string>(4, "XD0001\r"));
    EXPECT_TRUE(prompts_.communication_errors.empty());  // the fetch never raises the dialog
}

// The disk takes no more lines: the record stays out of the log, the view hears about it once and
// logging goes off.
TEST_F(IntervalFetcherTest, AFailedLogWriteTurnsLoggingOffWithOneMessage) {
    StartSensor({Data(kTwoLanes)});
    IntervalFetcher fetcher(context_);
    fetcher.ResetForOpening();
    fetcher.set_logging_enabled(true);
    {
        test::FileSizeLimit full(20);
        EXPECT_EQ(fetcher.FetchLatestInterval(true), 1);
    }
    EXPECT_EQ(test::ReadFileText(folder_ / "bins.log"), "");
    const std::string text = fetcher.TakeLogWriteFailure();
    EXPECT_NE(text.find("Could not write to the interval data log"), std::string::npos) << text;
    EXPECT_FALSE(fetcher.logging_enabled());
    EXPECT_EQ(fetcher.TakeLogWriteFailure(), "");
}

TEST_F(IntervalFetcherTest, ShorterRecordLeavesTheRowsBeyondItAlone) {
    const std::string one_lane =
        "1507A87C"
        "20000000700200000000000000000";
    StartSensor({Data(kTwoLanes), Data(one_lane)});
    IntervalFetcher fetcher(context_);
    ASSERT_EQ(fetcher.FetchLatestInterval(false), 1);
    ASSERT_EQ(fetcher.FetchLatestInterval(false), 1);
    const LatestIntervalTable& table = context_.live.latest_interval;
    EXPECT_EQ(table.rows[0].label, "   SB   ");
    EXPECT_EQ(table.rows[0].volume, "         7");
    EXPECT_EQ(table.rows[1].volume, "     74565");  // kept from the earlier record
    EXPECT_EQ(table.last_record_lanes, 1u);
    EXPECT_FALSE(std::ifstream(folder_ / "bins.log").good());  // logging off: no file
}

TEST_F(IntervalFetcherTest, MalformedRecordIsNotTakenAsSeen) {
    const std::string bad_hex =
        "1507A868"
        "1000000ZZ00370080040000000002";
    StartSensor({Data(bad_hex), Data(kTwoLanes)});
    IntervalFetcher fetcher(context_);
    EXPECT_EQ(fetcher.FetchLatestInterval(true), 0);
    EXPECT_EQ(context_.live.latest_interval.records_stored, 0u);
    EXPECT_EQ(fetcher.FetchLatestInterval(true), 1);  // same stamp, sound numbers: stored
}

TEST_F(IntervalFetcherTest, TimerAsksOncePerIntervalUntilTheThreadAnswers) {
    IntervalFetcher fetcher(context_);
    fetcher.ResetForOpening();
    const std::int64_t last_second = 1700000000 - 1700000000 % 20 + 19;
    EXPECT_FALSE(fetcher.RequestFetchIfDue(last_second - 1));
    EXPECT_TRUE(fetcher.RequestFetchIfDue(last_second));
    EXPECT_FALSE(fetcher.RequestFetchIfDue(last_second));  // one outstanding at a time
    fetcher.FetchCompleted();
    EXPECT_TRUE(fetcher.RequestFetchIfDue(last_second));  // still the last second: ask again
    EXPECT_EQ(fetcher.fetch_requests(), 2u);
    EXPECT_EQ(fetcher.fetches_done(), 1u);
}

TEST_F(IntervalFetcherTest, SubmitRulesAndTheirMessages) {
    std::string config(kConfigInfoLength, '0');
    WriteField(config, ConfigFieldSpan(config_field::kIntervalSeconds), "00000014");
    // S0 for the read, SH for the port (the connect sequence did not run here).
    StartSensor({"S0" + config + ComputeFrameChecksum(config) + "\r", "SHRS-232\r"});
    IntervalFetcher fetcher(context_);
    SensorOperations operations(context_.protocol, context_.objects.SyncData());
    EXPECT_EQ(fetcher.SubmitIntervalLength("30", operations), SubmitOutcome::PortUnknown);
    ASSERT_EQ(fetcher.ReadIntervalLength(), 1);
    EXPECT_EQ(fetcher.interval_seconds(), 20u);

    struct Case {
        const char* field;
        SubmitOutcome outcome;
        const char* message;  // nullptr: none
    };
    const Case cases[] = {
        {"4", SubmitOutcome::BelowMinimum, kMinimumIntervalText},
        {"", SubmitOutcome::NotSaved, kIntervalNotSavedText},
        {"  ", SubmitOutcome::NotSaved, kIntervalNotSavedText},
        {"12x", SubmitOutcome::NotSaved, kIntervalNotSavedText},
        {"99999999999", SubmitOutcome::NotSaved, kIntervalNotSavedText},
        {"20", SubmitOutcome::Unchanged, nullptr},
    };
    for (const Case& c : cases) {
        prompts_.messages.clear();
        EXPECT_EQ(fetcher.SubmitIntervalLength(c.field, operations), c.outcome) << c.field;
        if (c.message) {
            ASSERT_EQ(prompts_.messages.size(), 1u) << c.field;
            EXPECT_EQ(prompts_.messages[0].text, c.message);
            EXPECT_EQ(prompts_.messages[0].caption, "Failure...");
        } else {
            EXPECT_TRUE(prompts_.messages.empty()) << c.field;
        }
        EXPECT_EQ(fetcher.interval_seconds(), 20u) << c.field;
    }
    EXPECT_EQ(peer_->requests().size(), 2u);  // nothing was written
}

}  // namespace
}  // namespace qvx
