#pragma once
// The polling thread of a vehicle event view. The Skelda view's thread asks for the next event
// every 10 ms while event mode is on; the forward-fire view's thread asks every 100 ms for the
// occupancy and the next event, and fetches the latest interval when the view's timer asked for
// it. Both hold "SyncDataMutex" around their exchanges (a poll skips when it is busy), rest while
// another window uses the link ("OpeningSensorInfoEvent", "GetPropertiesEvent"), send no event
// request while the additional response wait is too long for it, end when
// "KillDataThreadEvent" is set and answer with "DataThreadKilledEvent". They never touch a window.

#include <atomic>
#include <thread>

#include "live/event_fetcher.h"

namespace qvx {

class AppContext;
class IntervalFetcher;

class EventPollingThread {
  public:
    static constexpr int kSkeldaPollMs = 10;
    static constexpr int kForwardFirePollMs = 100;
    static constexpr int kRestMs = 500;  // while another window uses the link
    static constexpr int kSkeldaMutexWaitMs = 10;
    static constexpr int kForwardFireMutexWaitMs = 15;
    static constexpr int kStopWaitMs = 10000;
    static constexpr int kModeSwitchStopWaitMs = 5000;

    // The Skelda view's thread.
    EventPollingThread(AppContext& context, EventFetcher& events);
    // The forward-fire view's thread; it also fetches the latest interval when asked.
    EventPollingThread(AppContext& context, EventFetcher& events, IntervalFetcher& intervals);
    ~EventPollingThread();
    EventPollingThread(const EventPollingThread&) = delete;
    EventPollingThread& operator=(const EventPollingThread&) = delete;

    // Clears the kill and killed events and starts the loop.
    void Start();
    // Sets "KillDataThreadEvent", waits up to wait_ms for "DataThreadKilledEvent" and joins: the
    // thread refers to the view's fetchers, which must not go before it. True when it ended
    // within the wait.
    bool Stop(int wait_ms = kStopWaitMs);
    bool running() const { return thread_.joinable(); }

    // The Skelda view fetches only in event mode.
    void set_event_mode(bool on) { event_mode_.store(on); }
    bool event_mode() const { return event_mode_.load(); }

    // Passes that found the link busy (another window, or the mutex taken).
    unsigned skipped_polls() const { return skipped_polls_.load(); }
    // Event requests sent.
    unsigned event_polls() const { return event_polls_.load(); }

  private:
    void RunSkelda();
    void RunForwardFire();
    void SkeldaPoll();
    void ForwardFirePoll();
    bool LinkLentToAnotherWindow() const;

    AppContext& context_;
    EventFetcher& events_;
    IntervalFetcher* intervals_ = nullptr;
    std::thread thread_;
    std::atomic<bool> event_mode_{true};
    std::atomic<unsigned> skipped_polls_{0};
    std::atomic<unsigned> event_polls_{0};
};

}  // namespace qvx
