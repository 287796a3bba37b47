#pragma once
// The interval view's worker: fetches the latest interval record once per interval, when the
// view's timer asks through "GoFetchDataEvent", and stores it (and logs it) under
// "SyncDataMutex". It ends when "KillDataThreadEvent" is set and answers with
// "DataThreadKilledEvent". It never touches a window.

#include <atomic>
#include <thread>

namespace qvx {

class AppContext;
class IntervalFetcher;

class IntervalDataThread {
  public:
    static constexpr int kGoWaitMs = 100;
    static constexpr int kMutexWaitMs = 15;
    static constexpr int kPassPauseMs = 200;
    static constexpr int kStopWaitMs = 10000;

    IntervalDataThread(AppContext& context, IntervalFetcher& fetcher);
    ~IntervalDataThread();
    IntervalDataThread(const IntervalDataThread&) = delete;
    IntervalDataThread& operator=(const IntervalDataThread&) = delete;

    // Starts the loop. The first pass fetches at once, without logging, so the view fills
    // without waiting for the interval's end.
    void Start();
    // Sets "KillDataThreadEvent" and waits up to wait_ms for "DataThreadKilledEvent". The thread
    // is always joined before this returns, even after the wait ran out: it refers to the view's
    // fetcher, which must not go before it. True when it ended within the wait.
    bool Stop(int wait_ms = kStopWaitMs);
    bool running() const { return thread_.joinable(); }
    // Passes that found the link busy with another window or the mutex taken.
    unsigned skipped_passes() const { return skipped_passes_.load(); }

  private:
    void Run();
    void FirstFetch();
    void Pass();

    AppContext& context_;
    IntervalFetcher& fetcher_;
    std::thread thread_;
    std::atomic<unsigned> skipped_passes_{0};
};

}  // namespace qvx
