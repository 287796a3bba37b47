#pragma once
// The clock synchronisation with the PC and the preservation of the sensor clock around
// operations that disturb it (configuration writes, uploads, downloads, mode switches).

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace qvx {

class NamedMutex;
class SensorProtocol;

// Sensor clock values below this (two years) mean the clock was never set.
inline constexpr std::uint32_t kUnsetClockLimit = 63072000;

class SensorOperations {
  public:
    // sync_data is "SyncDataMutex": a synchronisation holds it while it talks to the sensor.
    SensorOperations(SensorProtocol& protocol, NamedMutex& sync_data);

    // Reads the sensor clock (recorded for the download when it was unset), then sets it from the
    // PC's UTC time. Waits at most 500 ms for "SyncDataMutex"; without it, force decides whether
    // to go on. Warns when either command failed. Returns true when both succeeded.
    bool SyncSensorClock(bool force);
    void BeginSensorOperation();
    void EndSensorOperation();

    // The PC's UTC time as sensor seconds (since 2000-01-01 00:00:00 UTC).
    static std::uint32_t PcSensorSeconds();

    // The main window's part of a synchronisation: started shows the progress window and stops the
    // periodic timer, finished re-arms it and closes the window. Called on the synchronising thread.
    struct SyncHooks {
        std::function<void()> started;
        std::function<void()> finished;
    };
    void SetSyncHooks(SyncHooks hooks) { sync_hooks_ = std::move(hooks); }

  private:
    bool SynchronizeHoldingMutex(bool force);

    SensorProtocol& protocol_;
    NamedMutex& sync_data_;
    SyncHooks sync_hooks_;
    std::optional<std::uint32_t> recorded_sensor_time_;
    std::chrono::steady_clock::time_point recorded_at_;
};

}  // namespace qvx
