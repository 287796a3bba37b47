#include "app/clock_poller.h"

#include "context/app_context.h"
#include "protocol/sensor_clock_io.h"

namespace qvx {

namespace {
constexpr int kWarningCloseMs = 2500;
}

std::uint32_t ClockReading::Now(std::chrono::steady_clock::time_point now) const {
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(now - taken).count();
    return seconds + static_cast<std::uint32_t>(elapsed > 0 ? elapsed : 0);
}

ClockPoller::ClockPoller(AppContext& app) : app_(app) {}

ClockPoller::~ClockPoller() {
    Stop();
}

void ClockPoller::Start() {
    if (thread_.joinable())
        return;
    app_.objects.Event(sync_name::kKillDataThread).Reset();
    app_.objects.Event(sync_name::kDataThreadKilled).Reset();
    thread_ = std::thread([this] { Run(); });
}

bool ClockPoller::Stop(int wait_ms) {
    if (!thread_.joinable())
        return true;
    app_.objects.Event(sync_name::kKillDataThread).Set();
    const bool ended = app_.objects.Event(sync_name::kDataThreadKilled).WaitFor(wait_ms);
    // The thread only ever waits a bounded time; joining keeps it from outliving the window.
    thread_.join();
    return ended;
}

std::optional<ClockReading> ClockPoller::Latest() const {
    std::lock_guard lock(mutex_);
    return latest_;
}

long ClockPoller::reads() const {
    std::lock_guard lock(mutex_);
    return reads_;
}

void ClockPoller::Run() {
    ManualResetEvent& kill = app_.objects.Event(sync_name::kKillDataThread);
    ManualResetEvent& opening = app_.objects.Event(sync_name::kOpeningSensorInfo);
    ManualResetEvent& properties = app_.objects.Event(sync_name::kGetProperties);
    NamedMutex& sync = app_.objects.SyncData();
    while (!kill.IsSet()) {
        // Another window is using the link for a while: stay off it.
        if (opening.IsSet() || properties.IsSet()) {
            kill.WaitFor(kClockPollYieldMs);
            continue;
        }
        if (sync.TryLockFor(kClockPollMutexWaitMs)) {
            const ClockReadResult read = ReadSensorClock(app_.protocol, kQuietClockExchange);
            const auto taken = std::chrono::steady_clock::now();
            sync.Unlock();
            std::lock_guard lock(mutex_);
            if (read.ok()) {
                latest_ = ClockReading{*read.seconds, taken};
                ++reads_;
            }
        }
        kill.WaitFor(kClockPollPauseMs);
    }
    app_.objects.Event(sync_name::kDataThreadKilled).Set();
}

ClockSave SaveSensorClock(AppContext& app, const CalendarTime& local, bool sensor_clock_is_utc) {
    const auto seconds = LocalToSensorSeconds(local, sensor_clock_is_utc);
    if (!seconds)
        return ClockSave::Invalid;
    ScopedTryLock lock(app.objects.SyncData(), kClockSaveMutexWaitMs);
    if (!lock.held())
        return ClockSave::Busy;
    if (WriteSensorClock(app.protocol, *seconds, kReportedClockExchange).ok())
        return ClockSave::Saved;
    MessageRequest request;
    request.caption = "Warning";
    request.text = kClockSaveFailedText;
    request.icon = IconKind::Warning;
    request.auto_close_ms = kWarningCloseMs;
    app.prompts().Message(request);
    return ClockSave::Failed;
}

}  // namespace qvx
