#pragma once
// The "Sensor Date and Time" window's link work: a poller that keeps the last sensor clock reading
// while the window is open (yielding to windows that need the link for a while), and the save of
// an edited date and time.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

#include "protocol/sensor_clock.h"

namespace qvx {

class AppContext;

struct ClockReading {
    std::uint32_t seconds = 0;
    std::chrono::steady_clock::time_point taken;

    // The sensor clock now, running on from the reading.
    std::uint32_t Now(std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now()) const;
};

inline constexpr int kClockPollMutexWaitMs = 10;
inline constexpr int kClockPollPauseMs = 100;
inline constexpr int kClockPollYieldMs = 500;

class ClockPoller {
  public:
    explicit ClockPoller(AppContext& app);
    ~ClockPoller();
    ClockPoller(const ClockPoller&) = delete;
    ClockPoller& operator=(const ClockPoller&) = delete;

    // Starts the thread ("KillDataThreadEvent" and "DataThreadKilledEvent" are reset first).
    void Start();
    // Asks the thread to end and waits up to wait_ms for it; true when it ended.
    bool Stop(int wait_ms = 10000);

    std::optional<ClockReading> Latest() const;
    long reads() const;

  private:
    void Run();

    AppContext& app_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::optional<ClockReading> latest_;
    long reads_ = 0;
};

enum class ClockSave { Saved, Busy, Failed, Invalid };
inline constexpr int kClockSaveMutexWaitMs = 500;
inline constexpr int kClockSyncMutexWaitMs = 1000;
inline constexpr const char* kClockSaveFailedText = "Problem encountered saving sensor time!";

// Writes the date and time the user typed: for a UTC sensor clock the local time is converted to
// UTC first. Holds "SyncDataMutex" (at most 500 ms; a busy mutex skips the save). A failed write
// is reported ("Warning", closing by itself after 2,500 ms).
ClockSave SaveSensorClock(AppContext& app, const CalendarTime& local, bool sensor_clock_is_utc);

}  // namespace qvx
