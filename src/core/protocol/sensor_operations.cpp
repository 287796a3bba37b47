#include "protocol/sensor_operations.h"

#include <ctime>
#include <string>

#include "platform/named_sync.h"
#include "protocol/sensor_clock.h"
#include "protocol/sensor_clock_io.h"

namespace qvx {

namespace {
constexpr int kSyncMutexWaitMs = 500;
constexpr int kWarningCloseMs = 2500;

void Warn(UserPrompts& prompts, const char* text) {
    MessageRequest request;
    request.text = text;
    request.caption = "Warning";
    request.icon = IconKind::Warning;
    request.auto_close_ms = kWarningCloseMs;
    prompts.Message(request);
}
}  // namespace

SensorOperations::SensorOperations(SensorProtocol& protocol, NamedMutex& sync_data)
    : protocol_(protocol), sync_data_(sync_data) {}

std::uint32_t SensorOperations::PcSensorSeconds() {
    return static_cast<std::uint32_t>(std::time(nullptr) - kSensorEpochUnix);
}

bool SensorOperations::SyncSensorClock(bool force) {
    if (sync_hooks_.started)
        sync_hooks_.started();
    const bool synchronized = SynchronizeHoldingMutex(force);
    if (sync_hooks_.finished)
        sync_hooks_.finished();
    return synchronized;
}

bool SensorOperations::SynchronizeHoldingMutex(bool force) {
    const bool held = sync_data_.TryLockFor(kSyncMutexWaitMs);
    if (!held && !force)
        return false;

    ConnectionState& state = protocol_.state();
    const ClockReadResult read = ReadSensorClock(protocol_, kQuietClockExchange);
    if (read.ok())
        state.reset_clock_time =
            *read.seconds < kUnsetClockLimit ? static_cast<std::int64_t>(*read.seconds) : -1;
    // The clock is set even when the read failed: a sensor that answers only writes still gets the time.
    const std::uint32_t now = PcSensorSeconds();
    state.reset_clock_correction = now;
    const ClockWriteResult written = WriteSensorClock(protocol_, now, kQuietClockExchange);

    // A write the sensor answered with "Failure" set nothing.
    const bool synchronized = read.transaction == TransactionResult::Ok && written.ok();
    if (!synchronized)
        Warn(protocol_.prompts(), "\r\nSensor time may not be synchronized!");
    if (held)
        sync_data_.Unlock();
    return synchronized;
}

void SensorOperations::BeginSensorOperation() {
    ConnectionState& state = protocol_.state();
    state.sync_suspended = true;
    recorded_sensor_time_.reset();
    if (state.synchronize_clock)
        return;
    recorded_at_ = std::chrono::steady_clock::now();
    recorded_sensor_time_ = ReadSensorClock(protocol_, kReportedClockExchange).seconds;
}

void SensorOperations::EndSensorOperation() {
    ConnectionState& state = protocol_.state();
    if (state.synchronize_clock) {
        SyncSensorClock(false);
    } else {
        bool restored = false;
        if (recorded_sensor_time_) {
            const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
                                     std::chrono::steady_clock::now() - recorded_at_)
                                     .count();
            const std::uint32_t now = *recorded_sensor_time_ + static_cast<std::uint32_t>(elapsed);
            restored = WriteSensorClock(protocol_, now, kReportedClockExchange).ok();
        }
        if (!restored)
            Warn(protocol_.prompts(), "Sensor's time may have drifted");
    }
    recorded_sensor_time_.reset();
    state.sync_suspended = false;
}

}  // namespace qvx
