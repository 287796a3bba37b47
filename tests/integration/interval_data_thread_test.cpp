// The interval view's data thread against the simulated sensor with a 5-second interval: the
// table fills at once, each interval's record arrives within about a second of the interval's end,
// the log gets one line per lane per interval and never a record twice.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <thread>

#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "../support/sim_connection.h"
#include "live/interval_data_thread.h"
#include "live/interval_fetcher.h"
#include "live/log_files.h"
#include "platform/text_file.h"
#include "protocol/sensor_clock.h"
#include "protocol/sensor_operations.h"

namespace qvx {
namespace {

using Clock = std::chrono::system_clock;
constexpr int kLanes = 4;
constexpr std::uint32_t kInterval = 5;

double UnixNow() {
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

class IntervalDataThreadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::SensorSettings sensor;
        sensor.lanes = kLanes;
        sensor.interval_seconds = kInterval;
        sensor.firewall = false;
        // The simulated clock starts from the PC's whole second; started just after one, it runs
        // within a few milliseconds of the PC clock, so the delays below are the program's own.
        const double now = UnixNow();
        std::this_thread::sleep_for(std::chrono::duration<double>(std::ceil(now) - now + 0.005));
        server_ =
            std::make_unique<sim::SimServer>(std::vector<sim::SensorSettings>{sensor}, sim::ServerSettings{});
        std::string why;
        ASSERT_TRUE(server_->Start(&why)) << why;
        ASSERT_TRUE(test::ConnectToSim(context_, *server_, &why)) << why;
        context_.protocol.sleep_ms = [](int ms) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        };
    }
    void TearDown() override {
        context_.link.tcp().Close();
        server_->Stop();
    }

    // The view's timer, 30 ms ticks, for the given time; returns the arrival delays of new records
    // after their interval's end, in seconds.
    std::vector<double> RunTimer(IntervalFetcher& fetcher, double seconds) {
        std::vector<double> delays;
        IntervalSnapshot snapshot;
        std::uint32_t last_stamp = context_.live.latest_interval.last_sensor_timestamp;
        const double until = UnixNow() + seconds;
        while (UnixNow() < until) {
            fetcher.RequestFetchIfDue(std::time(nullptr));
            if (fetcher.TakeSnapshot(std::time(nullptr), 15, snapshot)) {
                ScopedTryLock lock(context_.objects.SyncData(), 15);
                const std::uint32_t stamp = context_.live.latest_interval.last_sensor_timestamp;
                if (lock.held() && stamp != last_stamp) {
                    delays.push_back(UnixNow() - (static_cast<double>(stamp) + kSensorEpochUnix));
                    last_stamp = stamp;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        return delays;
    }

    test::ScratchFolder folder_;
    ScriptedPrompts prompts_;
    AppContext context_{prompts_, RegistryStore(folder_ / "registry")};
    std::unique_ptr<sim::SimServer> server_;
};

TEST_F(IntervalDataThreadTest, FillsAtOnceThenLogsEachIntervalOnceWithinASecondOfItsEnd) {
    IntervalFetcher fetcher(context_);
    fetcher.ResetForOpening();
    ASSERT_EQ(fetcher.ReadIntervalLength(), 1);
    ASSERT_EQ(fetcher.interval_seconds(), kInterval);
    const std::string log_path = folder_ / "bins.log";
    prompts_.ask_answers = {true};
    ASSERT_TRUE(TurnLoggingOn(context_, LogKind::Interval, fetcher.IntervalBanner(),
                              [&](LogKind) { return std::optional<std::string>(log_path); }));
    fetcher.set_logging_enabled(true);

    IntervalDataThread thread(context_, fetcher);
    const double started = UnixNow();
    thread.Start();
    IntervalSnapshot snapshot;
    while (UnixNow() - started < 3 && snapshot.last_record_lanes == 0) {
        fetcher.TakeSnapshot(std::time(nullptr), 15, snapshot);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const double fill_time = UnixNow() - started;
    EXPECT_EQ(snapshot.last_record_lanes, static_cast<std::size_t>(kLanes));
    EXPECT_LT(fill_time, 2.0);
    EXPECT_EQ(snapshot.updated_text.rfind("Updated: ", 0), 0u);

    const std::vector<double> delays = RunTimer(fetcher, 3 * kInterval + 1.5);
    EXPECT_TRUE(thread.Stop());
    EXPECT_TRUE(context_.objects.Event(sync_name::kDataThreadKilled).IsSet());

    std::printf("[ figures  ] fill %.3f s; update delays after the interval's end:", fill_time);
    for (double delay : delays)
        std::printf(" %.3f", delay);
    std::printf(" s\n");
    ASSERT_GE(delays.size(), 3u);
    for (double delay : delays) {
        EXPECT_GE(delay, 0.0);
        EXPECT_LT(delay, 1.0);
    }

    // The log: the banner, then for each interval one line per lane, each record once.
    const auto text = ReadTextFile(log_path);
    ASSERT_TRUE(text.has_value());
    std::map<std::string, int> lines_per_stamp;
    for (const std::string& line : SplitTextLines(*text)) {
        if (line.rfind("  20", 0) == 0) {
            ++lines_per_stamp[line.substr(line.rfind('\t') + 1)];
        }
    }
    EXPECT_EQ(lines_per_stamp.size(), delays.size());
    for (const auto& [stamp, count] : lines_per_stamp) {
        EXPECT_EQ(count, kLanes) << stamp;
    }
    EXPECT_EQ(text->find('\n'), text->find("\r\n") + 1);  // CR LF line ends
}

TEST_F(IntervalDataThreadTest, ThreadSkipsWhileAnotherWindowUsesTheLinkAndEndsOnRequest) {
    IntervalFetcher fetcher(context_);
    fetcher.ResetForOpening();
    context_.objects.Event(sync_name::kGetProperties).Set();
    IntervalDataThread thread(context_, fetcher);
    context_.objects.Event(sync_name::kGoFetchData).Set();
    thread.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const std::size_t exchanges = server_->exchanges();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(server_->exchanges(), exchanges);  // only the first fill went out
    EXPECT_GT(thread.skipped_passes(), 0u);
    context_.objects.Event(sync_name::kGetProperties).Reset();

    const auto before_stop = std::chrono::steady_clock::now();
    EXPECT_TRUE(thread.Stop());
    EXPECT_LT(std::chrono::steady_clock::now() - before_stop, std::chrono::seconds(2));
    context_.objects.Event(sync_name::kGoFetchData).Reset();
}

TEST_F(IntervalDataThreadTest, SubmittedIntervalReachesTheSensorAndRestartsTheSchedule) {
    IntervalFetcher fetcher(context_);
    fetcher.ResetForOpening();
    ASSERT_EQ(fetcher.ReadIntervalLength(), 1);
    SensorOperations operations(context_.protocol, context_.objects.SyncData());
    EXPECT_EQ(fetcher.SubmitIntervalLength("7", operations), SubmitOutcome::Saved);
    EXPECT_EQ(fetcher.interval_seconds(), 7u);
    EXPECT_TRUE(prompts_.messages.empty());
    IntervalFetcher reread(context_);
    ASSERT_EQ(reread.RefreshIntervalLength(), 1);
    EXPECT_EQ(reread.interval_seconds(), 7u);
}

}  // namespace
}  // namespace qvx
