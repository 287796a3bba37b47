#include "app/sensor_operations.h"

#include <ctime>
#include <string>

#include "app/app_context.h"
#include "protocol/sensor_clock.h"

namespace qvx {

namespace {
constexpr int kSyncMutexWaitMs = 500;
constexpr int kWarningCloseMs = 2500;

void Warn(AppContext& context, const char* text) {
    MessageRequest request;
    request.text = text;
    request.caption = "Warning";
    request.icon = IconKind::Warning;
    request.auto_close_ms = kWarningCloseMs;
    context.prompts().Message(request);
}

int SendTime(AppContext& context, std::uint32_t seconds, int show_error, int retries, bool reconnect) {
    std::string reply;
    return context.protocol.SendSensorCommand(cmd::kSetTime, SensorTimeText(seconds) + "\r", reply,
                                              show_error, retries, reconnect, 0);
}
}  // namespace

SensorOperations::SensorOperations(AppContext& context) : context_(context) {}

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
    NamedMutex& mutex = context_.objects.SyncData();
    const bool held = mutex.TryLockFor(kSyncMutexWaitMs);
    if (!held && !force)
        return false;

    ConnectionState& state = context_.state;
    std::string reply;
    const int read = context_.protocol.SendSensorCommand(cmd::kGetTime, "\r", reply, 0, 0, false, 0);
    if (read == kOk) {
        if (auto seconds = ParseSensorTime(reply))
            state.reset_clock_time = *seconds < kUnsetClockLimit ? static_cast<std::int64_t>(*seconds) : -1;
    }
    // The clock is set even when the read failed: a sensor that answers only writes still gets the time.
    const std::uint32_t now = PcSensorSeconds();
    state.reset_clock_correction = now;
    const int written = SendTime(context_, now, 0, 0, false);

    const bool synchronized = read == kOk && written == kOk;
    if (!synchronized)
        Warn(context_, "\r\nSensor time may not be synchronized!");
    if (held)
        mutex.Unlock();
    return synchronized;
}

void SensorOperations::BeginSensorOperation() {
    ConnectionState& state = context_.state;
    state.sync_suspended = true;
    recorded_sensor_time_.reset();
    if (state.synchronize_clock)
        return;
    recorded_at_ = std::chrono::steady_clock::now();
    std::string reply;
    if (context_.protocol.SendSensorCommand(cmd::kGetTime, "\r", reply, 10, 1, true, 0) == kOk)
        recorded_sensor_time_ = ParseSensorTime(reply);
}

void SensorOperations::EndSensorOperation() {
    ConnectionState& state = context_.state;
    if (state.synchronize_clock) {
        SyncSensorClock(false);
    } else {
        bool restored = false;
        if (recorded_sensor_time_) {
            const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
                                     std::chrono::steady_clock::now() - recorded_at_)
                                     .count();
            restored = SendTime(context_, *recorded_sensor_time_ + static_cast<std::uint32_t>(elapsed), 10, 1,
                                true) == kOk;
        }
        if (!restored)
            Warn(context_, "Sensor's time may have drifted");
    }
    recorded_sensor_time_.reset();
    state.sync_suspended = false;
}

}  // namespace qvx
