// The vehicle event views' polling threads against the simulated sensor, over a pseudo-terminal
// and over TCP: with busy traffic in 8 lanes every event the sensor serves is counted once in its
// lane; a long response wait keeps "XA" off the line; another window's use of the link pauses the
// polls; the forward-fire thread fetches the latest interval when asked; a sensor that falls
// silent costs nothing but time, and the thread still ends at once.
//
// QVX_LONG_TESTS=1 runs the busy-traffic check for 5 minutes instead of 15 seconds
// (scripts/check-event-counts).

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "context/app_context.h"
#include "live/event_fetcher.h"
#include "live/event_polling_thread.h"
#include "live/interval_fetcher.h"
#include "sim_server.h"

namespace qvx {
namespace {

using namespace std::chrono_literals;

constexpr int kBusyLanes = 8;

int BusySeconds() {
    const char* env = std::getenv("QVX_LONG_TESTS");
    return env != nullptr && std::string(env) == "1" ? 300 : 15;
}

class EventPollingTest : public ::testing::TestWithParam<sim::Transport> {
  protected:
    void Start(sim::SensorSettings sensor, sim::FaultSettings faults = {}) {
        sensor.firewall = false;
        sim::ServerSettings settings;
        settings.transport = GetParam();
        settings.faults = faults;
        settings.pacing = false;
        server_ = std::make_unique<sim::SimServer>(std::vector<sim::SensorSettings>{sensor}, settings);
        std::string why;
        ASSERT_TRUE(server_->Start(&why)) << why;
        ConnectionState& state = context_.state;
        // What the calibration measures on a busy test machine; a reply later than the wait is
        // an event the sensor handed out and the program never saw.
        state.base_response_wait_ms = 250;
        if (GetParam() == sim::Transport::Tcp) {
            state.host_address = "127.0.0.1";
            state.tcp_port = server_->tcp_port();
            ASSERT_TRUE(context_.link.tcp().Connect());
        } else {
            state.link_kind = LinkKind::Serial;
            state.port_name = server_->pty_path();
            state.current_baud = state.pending_baud = 9600;
            ASSERT_TRUE(context_.link.serial().Open(9600, {kReadIntervalNoWait, 0, 0}));
        }
        ASSERT_TRUE(context_.records.ReadExtendedConfigInfo().ok());
    }

    void TearDown() override {
        if (context_.state.link_kind == LinkKind::Internet) {
            context_.link.tcp().Close();
        } else if (context_.state.link_kind == LinkKind::Serial) {
            context_.link.serial().Close();
        }
        if (server_) {
            server_->Stop();
        }
    }

    std::size_t RequestsOf(const std::string& code) const {
        std::size_t count = 0;
        for (const std::string& frame : server_->RequestLog()) {
            count += frame == code ? 1 : 0;
        }
        return count;
    }

    sim::SimulatedSensor& sensor() { return server_->sensor(0); }

    test::ScratchFolder folder_;
    ScriptedPrompts prompts_;
    AppContext context_{prompts_, RegistryStore(folder_ / "registry")};
    std::unique_ptr<sim::SimServer> server_;
};

TEST_P(EventPollingTest, BusyTrafficIsCountedOncePerEventServed) {
    sim::SensorSettings busy;
    busy.lanes = kBusyLanes;
    busy.vehicles_per_hour = 3600;
    Start(busy);
    EventFetcher fetcher(context_, Mounting::SideFire);
    ASSERT_EQ(fetcher.FlushStoredEvents(), 1);
    std::mutex mutex;
    std::set<std::pair<std::uint32_t, char>> seen;
    std::size_t doubled = 0;
    fetcher.on_event = [&](const EventRecord& event) {
        std::lock_guard lock(mutex);
        doubled += seen.insert({event.ticks, event.lane_digit}).second ? 0 : 1;
    };
    const std::vector<std::uint64_t> served_before = sensor().EventsServed();
    context_.live.lane_statistics.Reset();
    EventPollingThread thread(context_, fetcher);
    thread.Start();
    std::this_thread::sleep_for(std::chrono::seconds(BusySeconds()));
    ASSERT_TRUE(thread.Stop());

    const std::vector<std::uint64_t> served = sensor().EventsServed();
    const LaneCounts counts = context_.live.lane_statistics.Counts();
    std::uint64_t total = 0;
    for (int lane = 0; lane < kBusyLanes; ++lane) {
        const std::uint64_t expected = served[lane] - served_before[lane];
        EXPECT_EQ(counts[lane], expected) << "lane " << lane + 1;
        std::printf("lane %d: %llu events served, %u counted\n", lane + 1,
                    static_cast<unsigned long long>(expected), counts[lane]);
        // At least one vehicle per second in each lane (the last second's may still be queued).
        EXPECT_GE(expected, static_cast<std::uint64_t>(BusySeconds() - 2)) << "lane " << lane + 1;
        total += expected;
    }
    std::printf("%llu failed event polls\n", static_cast<unsigned long long>(fetcher.failed_event_polls()));
    EXPECT_EQ(fetcher.failed_event_polls(), 0u);
    std::printf("%u event polls in %d s\n", thread.event_polls(), BusySeconds());
    EXPECT_EQ(doubled, 0u);
    EXPECT_EQ(seen.size(), total);
    EXPECT_EQ(sensor().EventsDropped(), 0u);
}

TEST_P(EventPollingTest, ALongResponseWaitKeepsEventRequestsOffTheLine) {
    Start(sim::SensorSettings{});
    context_.state.response_wait_ms = 600;
    EventFetcher fetcher(context_, Mounting::SideFire);
    EventPollingThread thread(context_, fetcher);
    thread.Start();
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(thread.Stop());
    EXPECT_EQ(RequestsOf("XA"), 0u);
    EXPECT_EQ(thread.event_polls(), 0u);
    EXPECT_TRUE(context_.objects.Event(sync_name::kDataThreadKilled).IsSet());
}

TEST_P(EventPollingTest, AnotherWindowUsingTheLinkPausesThePolls) {
    Start(sim::SensorSettings{});
    EventFetcher fetcher(context_, Mounting::SideFire);
    EventPollingThread thread(context_, fetcher);
    thread.Start();
    std::this_thread::sleep_for(300ms);
    ManualResetEvent& opening = context_.objects.Event(sync_name::kOpeningSensorInfo);
    opening.Set();
    std::this_thread::sleep_for(100ms);  // a poll under way finishes
    const std::size_t before = RequestsOf("XA");
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(RequestsOf("XA"), before);
    opening.Reset();
    std::this_thread::sleep_for(700ms);
    EXPECT_GT(RequestsOf("XA"), before);
    // While the sync mutex is held elsewhere, polls are skipped, not queued.
    ASSERT_TRUE(context_.objects.SyncData().TryLockFor(500));
    std::this_thread::sleep_for(200ms);
    EXPECT_GT(thread.skipped_polls(), 0u);
    context_.objects.SyncData().Unlock();
    ASSERT_TRUE(thread.Stop());
}

TEST_P(EventPollingTest, ForwardFireThreadPollsOccupancyEventsAndTheAskedInterval) {
    sim::SensorSettings forward;
    forward.forward_fire = true;
    forward.lanes = 1;
    forward.vehicles_per_hour = 3600;
    forward.interval_seconds = 20;
    Start(forward);
    EventFetcher events(context_, Mounting::ForwardFire);
    IntervalFetcher intervals(context_);
    intervals.ResetForOpening();
    context_.live.lane_statistics.Reset();
    EventPollingThread thread(context_, events, intervals);
    thread.Start();
    context_.objects.Event(sync_name::kGoFetchData).Set();
    const auto until = std::chrono::steady_clock::now() + 8s;
    while ((intervals.fetches_done() == 0 || events.events_taken() < 3) &&
           std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_TRUE(thread.Stop());
    EXPECT_EQ(intervals.fetches_done(), 1u);
    EXPECT_FALSE(intervals.fetch_requested());
    EXPECT_GE(events.events_taken(), 3u);
    EXPECT_EQ(context_.live.lane_statistics.Counts()[0], events.events_taken());
    EXPECT_GT(RequestsOf("XG"), 0u);
    EXPECT_EQ(RequestsOf("XD0001"), 1u);
}

TEST_P(EventPollingTest, ASilentSensorNeitherHangsNorCountsAnything) {
    sim::FaultSettings faults;
    faults.mute_after = 3;  // the record read, then silence
    Start(sim::SensorSettings{}, faults);
    EventFetcher fetcher(context_, Mounting::SideFire);
    EventPollingThread thread(context_, fetcher);
    context_.live.lane_statistics.Reset();
    thread.Start();
    std::this_thread::sleep_for(800ms);
    const auto stop_started = std::chrono::steady_clock::now();
    ASSERT_TRUE(thread.Stop());
    EXPECT_LT(std::chrono::steady_clock::now() - stop_started, 2s);
    EXPECT_EQ(context_.live.lane_statistics.Counts(), LaneCounts{});
    EXPECT_NE(fetcher.last_event_result(), TransactionResult::Ok);
}

INSTANTIATE_TEST_SUITE_P(Transports, EventPollingTest,
                         ::testing::Values(sim::Transport::Pty, sim::Transport::Tcp),
                         [](const ::testing::TestParamInfo<sim::Transport>& info) {
                             return std::string(info.param == sim::Transport::Pty ? "Pty" : "Tcp");
                         });

}  // namespace
}  // namespace qvx
