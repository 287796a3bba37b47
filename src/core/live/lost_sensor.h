#pragma once
// When a live view without a window (the command line) gives up on a sensor: the line is gone
// (hung up, unplugged, the TCP link dropped and could not be re-opened), or no exchange has
// succeeded for a bound. The bound is two of the sensor's intervals and at least 30 s, so a
// sensor that is merely slow to complete its next record is never taken for a lost one.

#include <chrono>
#include <cstdint>
#include <string>

namespace qvx {

class SensorLink;

inline constexpr int kLostSensorFloorSeconds = 30;

// Two intervals, and at least floor_seconds.
std::chrono::seconds LostSensorBound(std::uint32_t interval_seconds,
                                     int floor_seconds = kLostSensorFloorSeconds);

// True when no reply can come any more: the link is closed or its last error is a hang-up.
bool LinkIsGone(SensorLink& link);

class LostSensorWatch {
  public:
    using Clock = std::chrono::steady_clock;

    explicit LostSensorWatch(Clock::duration bound, Clock::time_point now = Clock::now())
        : bound_(bound), last_answer_(now) {}

    // After each exchange: an answer restarts the count; a gone line is lost at once.
    void Exchange(bool answered, bool link_gone, Clock::time_point now = Clock::now());
    bool Lost(Clock::time_point now = Clock::now()) const;
    // Why the sensor counts as lost, for the message ("the link is gone", "no answer for 30 s").
    std::string Reason(Clock::time_point now = Clock::now()) const;

  private:
    Clock::duration bound_;
    Clock::time_point last_answer_;
    bool link_gone_ = false;
};

}  // namespace qvx
