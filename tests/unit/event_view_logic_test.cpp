// The vehicle event views' rules without a window: the counter store, the drawing's ring, the
// response-wait gates and mode texts, and FetchEvent against a scripted sensor, whose event logs
// are compared with golden files.

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "../support/reply_wait.h"
#include "../support/scoped_time_zone.h"
#include "../support/scratch_folder.h"
#include "../support/scripted_peer.h"
#include "../support/scripted_prompts.h"
#include "app/menus.h"
#include "context/app_context.h"
#include "context/lane_statistics.h"
#include "live/event_fetcher.h"
#include "live/forward_fire_config.h"
#include "live/interval_log.h"
#include "live/vehicle_track.h"

namespace qvx {
namespace {

using test::ReadFileText;

CountedEvent Lane(int lane) {
    return CountedEvent{lane, 0, 50, 100, 0};
}

TEST(LaneStatistics, PausedCountingChangesNothing) {
    LaneStatistics statistics;
    statistics.Pause();
    EXPECT_FALSE(statistics.CountEvent(Lane(1)));
    EXPECT_FALSE(statistics.count_changed());
    EXPECT_EQ(statistics.Counts()[0], 0u);
    statistics.Resume();
    EXPECT_TRUE(statistics.CountEvent(Lane(1)));
    EXPECT_TRUE(statistics.count_changed());
    EXPECT_EQ(statistics.TakeCounts()[0], 1u);
    EXPECT_FALSE(statistics.count_changed());
}

TEST(LaneStatistics, LanesOutsideOneToEightAreNotCounted) {
    LaneStatistics statistics;
    EXPECT_FALSE(statistics.CountEvent(Lane(0)));
    EXPECT_FALSE(statistics.CountEvent(Lane(9)));
    EXPECT_FALSE(statistics.CountEvent(Lane(-1)));
    EXPECT_TRUE(statistics.CountEvent(Lane(8)));
    EXPECT_EQ(statistics.Counts(), (LaneCounts{0, 0, 0, 0, 0, 0, 0, 1}));
}

TEST(LaneStatistics, ACountPastTheLimitReturnsThatLaneToZero) {
    LaneStatistics statistics;
    statistics.CountEvent(Lane(2));
    // Drive lane 3 to the limit by counting; 10 million events take well under a second.
    for (std::uint32_t k = 0; k < kMaxLaneCount; ++k) {
        statistics.CountEvent(CountedEvent{3, 2, -40, 10, k});
    }
    EXPECT_EQ(statistics.Counts()[2], kMaxLaneCount);
    EXPECT_EQ(statistics.LargeVehicles()[2], kMaxLaneCount);
    statistics.CountEvent(CountedEvent{3, 2, -40, 10, 0});
    EXPECT_EQ(statistics.Counts()[2], 0u);
    EXPECT_EQ(statistics.LargeVehicles()[2], 0u);
    EXPECT_EQ(statistics.SpeedTotals()[2], 0u);
    EXPECT_EQ(statistics.DurationTotals()[2], 0u);
    EXPECT_EQ(statistics.Counts()[1], 1u);  // the other lanes keep theirs
    statistics.CountEvent(CountedEvent{3, 0, 40, 10, 0});
    EXPECT_EQ(statistics.Counts()[2], 1u);
}

TEST(LaneStatistics, ResetClearsEveryValueAndShowsIt) {
    LaneStatistics statistics;
    statistics.CountEvent(CountedEvent{1, 1, -30, 120, 77});
    statistics.TakeCounts();
    statistics.Reset();
    EXPECT_TRUE(statistics.count_changed());
    EXPECT_EQ(statistics.Counts(), LaneCounts{});
    EXPECT_EQ(statistics.LongVehicles(), LaneCounts{});
    EXPECT_EQ(statistics.SpeedTotals(), LaneCounts{});
    EXPECT_EQ(statistics.last_event_ticks(), 0u);
}

TEST(VehicleTrack, KeepsTheMostRecentOnesOldestFirst) {
    VehicleTrack track;
    for (std::uint32_t k = 1; k <= VehicleTrack::kCapacity + 5; ++k) {
        TrackedVehicle vehicle;
        vehicle.ticks = k;
        track.Add(vehicle);
    }
    const std::vector<TrackedVehicle> kept = track.Snapshot();
    ASSERT_EQ(kept.size(), VehicleTrack::kCapacity);
    EXPECT_EQ(kept.front().ticks, 6u);
    EXPECT_EQ(kept.back().ticks, VehicleTrack::kCapacity + 5);
    EXPECT_EQ(kept.back().serial, VehicleTrack::kCapacity + 5);
    track.Clear();
    EXPECT_TRUE(track.Snapshot().empty());
}

TEST(EventRules, ResponseWaitGatesAndLanes) {
    EXPECT_FALSE(EventsBlockedByResponseWait(499, Mounting::SideFire));
    EXPECT_TRUE(EventsBlockedByResponseWait(500, Mounting::SideFire));
    EXPECT_TRUE(EventsBlockedByResponseWait(600, Mounting::SideFire));
    EXPECT_FALSE(EventsBlockedByResponseWait(1999, Mounting::ForwardFire));
    EXPECT_TRUE(EventsBlockedByResponseWait(2000, Mounting::ForwardFire));
    EXPECT_EQ(DirectionOfSpeed(0), Direction::Approach);
    EXPECT_EQ(DirectionOfSpeed(-1), Direction::Depart);
    EventRecord event;
    for (char digit : {'1', '2', '8'}) {
        event.lane_digit = digit;
        EXPECT_TRUE(IsValidEventLane(event, Mounting::SideFire)) << digit;
        EXPECT_EQ(IsValidEventLane(event, Mounting::ForwardFire), digit == '1') << digit;
    }
    for (char digit : {'0', '9', 'A', ' '}) {
        event.lane_digit = digit;
        EXPECT_FALSE(IsValidEventLane(event, Mounting::SideFire)) << digit;
        EXPECT_FALSE(IsValidEventLane(event, Mounting::ForwardFire)) << digit;
    }
}

TEST(ForwardFireConfig, ModeTextsAndTheSaveButton) {
    ConfigModeDisplay display;
    ASSERT_TRUE(DisplayForConfigMode(config_mode::kAutoConfiguring, display));
    EXPECT_EQ(display.text, "Automatic configuration in progress...");
    EXPECT_FALSE(display.save_enabled);
    ASSERT_TRUE(DisplayForConfigMode(config_mode::kConfigured, display));
    EXPECT_EQ(display.text, "Automatic configuration in progress...press FINISHED to save configuration.");
    EXPECT_TRUE(display.save_enabled);
    ASSERT_TRUE(DisplayForConfigMode(config_mode::kManual, display));
    EXPECT_EQ(display.text, "Operating in Forward-fire Mode");
    EXPECT_TRUE(display.settled);
    // A failed read leaves what is shown.
    EXPECT_FALSE(DisplayForConfigMode(config_mode::kFailed, display));
    EXPECT_FALSE(DisplayForConfigMode(config_mode::kUndecided, display));
    EXPECT_EQ(display.text, "Operating in Forward-fire Mode");
    EXPECT_TRUE(DirectionChoiceNeedsConfirmation(1, 2));
    EXPECT_FALSE(DirectionChoiceNeedsConfirmation(1, 1));
    EXPECT_FALSE(DirectionChoiceNeedsConfirmation(2, 0));
}

class EventFetcherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::signal(SIGPIPE, SIG_IGN);
        context_.state.lane_names[0] = "NB 1    ";
        context_.state.lane_names[1] = "SB 1";
        context_.protocol.sleep_ms = [](int) {};
        context_.live.log_paths.Set(LogKind::Event, log_path_);
        test::AllowSlowReplies(context_.state);
    }

    void StartSensor(std::vector<std::string> replies) {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        context_.link.serial().Adopt(fds[0]);
        context_.state.link_kind = LinkKind::Serial;
        peer_ = std::make_unique<test::ScriptedPeer>(fds[1], std::move(replies));
    }

    static std::string Event(const std::string& data) { return "XA" + data + "\r"; }

    // The banner the goldens start with, then whatever FetchEvent logs.
    void WriteBanner() {
        LogBannerInfo info;
        info.date = "March 7, 2011";
        info.serial = "QX00000000012345";
        info.description = "Main St northbound              ";
        info.location = "Mile 12.5                       ";
        info.units = 'E';
        ASSERT_EQ(AppendLogText(log_path_, EventLogBanner(info)), LogWrite::Written);
    }

    static std::string Golden(const std::string& name) {
        return ReadFileText(std::string(QVX_TEST_DATA_DIR) + "/live/" + name);
    }

    test::ScopedTimeZone utc_{"UTC"};
    test::ScratchFolder folder_;
    std::string log_path_ = folder_ / "events.log";
    ScriptedPrompts prompts_;
    AppContext context_{prompts_, RegistryStore(folder_ / "registry")};
    std::unique_ptr<test::ScriptedPeer> peer_;
};

TEST_F(EventFetcherTest, SideFireCountsDrawsAndLogsAsTheSensorSentIt) {
    StartSensor({Event("00057E401006400375"),  // class digit 5: counted and drawn as 0, logged as 5
                 Event("000000019000100010"),  // lane 9: nothing
                 Event("00057E41300C8FFCE2"),  // speed -50: departing
                 "XAEmpty\r"});
    WriteBanner();
    EventFetcher fetcher(context_, Mounting::SideFire);
    EXPECT_EQ(fetcher.FetchEvent(true), 1);
    EXPECT_EQ(fetcher.detected_direction(), Direction::Approach);
    EXPECT_EQ(fetcher.FetchEvent(true), 0);
    EXPECT_EQ(fetcher.FetchEvent(true), 1);
    EXPECT_EQ(fetcher.FetchEvent(true), 0);
    EXPECT_EQ(ReadFileText(log_path_), Golden("event_log_side_fire.golden"));

    EXPECT_EQ(fetcher.detected_direction(), Direction::Approach);  // the first event's
    EXPECT_EQ(fetcher.current_direction(), Direction::Depart);
    const LaneStatistics& counted = context_.live.lane_statistics;
    EXPECT_EQ(counted.Counts(), (LaneCounts{1, 0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(counted.LongVehicles()[0], 0u);  // class 5 counts as small
    EXPECT_EQ(counted.LargeVehicles()[2], 1u);
    EXPECT_EQ(fetcher.events_ignored(), 1u);
    const std::vector<TrackedVehicle> drawn = fetcher.track().Snapshot();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].vehicle_class, 0);
    EXPECT_EQ(drawn[0].end_ticks, 360000u + 100u);
    EXPECT_EQ(drawn[1].lane, 3);
    EXPECT_EQ(drawn[1].speed, -50);
    // Every request was the bare "XA".
    for (const std::string& request : peer_->requests()) {
        EXPECT_EQ(request, "XA\r");
    }
}

TEST_F(EventFetcherTest, ForwardFireIgnoresLaneTwoAndDepartingTrafficSetsDirectionTwo) {
    StartSensor({Event("00057E4010064FFCE1"),  // lane 1, speed -50
                 Event("00057E412006400371")});
    WriteBanner();
    EventFetcher fetcher(context_, Mounting::ForwardFire);
    EXPECT_EQ(fetcher.FetchEvent(true), 1);
    EXPECT_EQ(fetcher.detected_direction(), Direction::Depart);
    EXPECT_EQ(fetcher.FetchEvent(true), 0);
    EXPECT_EQ(ReadFileText(log_path_), Golden("event_log_forward_fire.golden"));
    EXPECT_EQ(context_.live.lane_statistics.Counts(), (LaneCounts{1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(EventFetcherTest, OccupancyValuesAndTheFlush) {
    StartSensor({"X10005\r", "XG80000001\r", "XESuccess\r", ""});
    EventFetcher fetcher(context_, Mounting::SideFire);
    EXPECT_EQ(fetcher.FetchActuation(), TransactionResult::Ok);
    EXPECT_EQ(fetcher.actuation(), 0x05);
    EXPECT_EQ(fetcher.FetchFfActuation(), TransactionResult::Ok);
    EXPECT_EQ(fetcher.ff_actuation(), 0x80000001u);
    EXPECT_EQ(fetcher.FlushStoredEvents(), 1);
    // A flush the sensor does not answer counts as done unless the user cancels.
    test::ExpectSilence(context_.state);
    prompts_.communication_answers = {TransactionResult::Ignore};
    EXPECT_EQ(fetcher.FlushStoredEvents(), 1);
    prompts_.communication_answers = {TransactionResult::Cancel};
    EXPECT_EQ(fetcher.FlushStoredEvents(), 0);
    const std::vector<std::string> requests = peer_->requests();
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ(requests[0], "X1\r");
    EXPECT_EQ(requests[1], "XG\r");
    EXPECT_EQ(requests[2], "XEE\r");
}

}  // namespace
}  // namespace qvx
