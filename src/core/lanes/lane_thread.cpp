#include "lanes/lane_thread.h"

#include "context/app_context.h"
#include "lanes/lane_configuration.h"
#include "live/event_fetcher.h"

namespace qvx {

LaneThread::LaneThread(AppContext& context, EventFetcher& events, LaneConfiguration& lanes)
    : context_(context), events_(events), lanes_(lanes) {}

LaneThread::~LaneThread() {
    Stop();
}

void LaneThread::Start(const LaneModel& shown) {
    if (thread_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(picture_mutex_);
        known_ = shown;
        new_picture_.reset();
    }
    context_.objects.Event(sync_name::kKillDataThread).Reset();
    context_.objects.Event(sync_name::kDataThreadKilled).Reset();
    thread_ = std::thread([this] { Run(); });
}

bool LaneThread::Stop(int wait_ms) {
    if (!thread_.joinable()) {
        return true;
    }
    context_.objects.Event(sync_name::kKillDataThread).Set();
    const bool ended = context_.objects.Event(sync_name::kDataThreadKilled).WaitFor(wait_ms);
    thread_.join();
    return ended;
}

bool LaneThread::Paused() const {
    return context_.objects.Event(sync_name::kResetDtftFreqs).IsSet() ||
           context_.objects.Event(sync_name::kOpeningSensorInfo).IsSet() ||
           context_.objects.Event(sync_name::kGetProperties).IsSet();
}

void LaneThread::Run() {
    const ManualResetEvent& kill = context_.objects.Event(sync_name::kKillDataThread);
    while (!kill.IsSet()) {
        // Waiting on the kill event instead of sleeping lets a stop end the pause at once.
        kill.WaitFor(Paused() ? kPausedCycleMs : cycle_ms_);
        if (!kill.IsSet() && !Paused()) {
            Poll();
        }
    }
    context_.objects.Event(sync_name::kDataThreadKilled).Set();
}

void LaneThread::Poll() {
    ScopedTryLock lock(context_.objects.SyncData(), kMutexWaitMs);
    if (!lock.held()) {
        return;
    }
    const unsigned cycle = cycles_.fetch_add(1) + 1;
    if (!EventsBlockedByResponseWait(context_.state.response_wait_ms.load(), Mounting::SideFire)) {
        events_.FetchEvent(false);
    }
    if (!picture_refresh_.load() || cycle % static_cast<unsigned>(refresh_cycles_) != 0) {
        return;
    }
    picture_reads_.fetch_add(1);
    std::optional<LaneModel> picture = lanes_.RereadPicture();
    if (!picture) {
        return;
    }
    std::lock_guard picture_lock(picture_mutex_);
    if (!(*picture == known_)) {
        known_ = *picture;
        new_picture_ = std::move(picture);
        context_.objects.Event(sync_name::kDrawDtftFreqs).Set();
    }
}

std::optional<LaneModel> LaneThread::TakeNewPicture() {
    std::lock_guard lock(picture_mutex_);
    std::optional<LaneModel> picture = std::move(new_picture_);
    new_picture_.reset();
    return picture;
}

}  // namespace qvx
