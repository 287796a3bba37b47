#pragma once
// The lane configuration's polling thread. Every 500 ms (20 ms while the view resets its model or
// another window uses the link) it takes "SyncDataMutex" for at most 10 ms, fetches the next
// vehicle event when the response wait allows it and, every 50th pass while the picture refresh
// is on, re-reads the side-fire record; when the sensor's picture changed it keeps the new one
// and sets "DrawDtftFreqsEvent" for the view's timer. It ends on "KillDataThreadEvent" and answers
// with "DataThreadKilledEvent". It never touches a window.

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

#include "lanes/lane_model.h"

namespace qvx {

class AppContext;
class EventFetcher;
class LaneConfiguration;

class LaneThread {
  public:
    static constexpr int kCycleMs = 500;
    static constexpr int kPausedCycleMs = 20;
    static constexpr int kMutexWaitMs = 10;
    static constexpr int kRefreshCycles = 50;
    static constexpr int kStopWaitMs = 10000;

    LaneThread(AppContext& context, EventFetcher& events, LaneConfiguration& lanes);
    ~LaneThread();
    LaneThread(const LaneThread&) = delete;
    LaneThread& operator=(const LaneThread&) = delete;

    // Clears the kill and killed events and starts the loop; shown is the picture the view draws.
    void Start(const LaneModel& shown);
    // Sets "KillDataThreadEvent", waits up to wait_ms for "DataThreadKilledEvent" and joins.
    bool Stop(int wait_ms = kStopWaitMs);
    bool running() const { return thread_.joinable(); }

    // The re-read of the sensor's picture: on while the sensor configures itself.
    void set_picture_refresh(bool on) { picture_refresh_.store(on); }
    bool picture_refresh() const { return picture_refresh_.load(); }
    // Tests shorten the cycle and the refresh period.
    void set_timing(int cycle_ms, int refresh_cycles) {
        cycle_ms_ = cycle_ms;
        refresh_cycles_ = refresh_cycles;
    }

    // The changed picture the thread found (once), after "DrawDtftFreqsEvent" was set.
    std::optional<LaneModel> TakeNewPicture();
    unsigned cycles() const { return cycles_.load(); }
    unsigned picture_reads() const { return picture_reads_.load(); }

  private:
    void Run();
    void Poll();
    bool Paused() const;

    AppContext& context_;
    EventFetcher& events_;
    LaneConfiguration& lanes_;
    std::thread thread_;
    std::atomic<bool> picture_refresh_{true};
    std::atomic<unsigned> cycles_{0};
    std::atomic<unsigned> picture_reads_{0};
    int cycle_ms_ = kCycleMs;
    int refresh_cycles_ = kRefreshCycles;
    std::mutex picture_mutex_;
    LaneModel known_;
    std::optional<LaneModel> new_picture_;
};

}  // namespace qvx
