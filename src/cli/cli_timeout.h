#pragma once
// --timeout SECONDS: a run that takes longer is stopped as SIGTERM stops it (a running command
// ends at its next step and the closing sequence still runs); a connection search still running
// is cancelled.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace qvx::cli {

class RunTimeout {
  public:
    // seconds 0: no limit; the stop flag then only follows outer_stop.
    RunTimeout(const std::atomic<bool>& outer_stop, int seconds, std::function<void()> on_expiry);
    ~RunTimeout();
    RunTimeout(const RunTimeout&) = delete;
    RunTimeout& operator=(const RunTimeout&) = delete;

    // Up when outer_stop went up or the time ran out.
    const std::atomic<bool>& stop() const { return stop_; }
    bool expired() const { return expired_.load(); }

  private:
    void Watch();

    const std::atomic<bool>& outer_stop_;
    const int seconds_;
    const std::chrono::steady_clock::time_point deadline_;
    std::function<void()> on_expiry_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> expired_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool finished_ = false;
    std::thread thread_;
};

}  // namespace qvx::cli
