#include "live/event_polling_thread.h"

#include "context/app_context.h"
#include "live/interval_fetcher.h"

namespace qvx {

EventPollingThread::EventPollingThread(AppContext& context, EventFetcher& events)
    : context_(context), events_(events) {}

EventPollingThread::EventPollingThread(AppContext& context, EventFetcher& events, IntervalFetcher& intervals)
    : context_(context), events_(events), intervals_(&intervals) {}

EventPollingThread::~EventPollingThread() {
    if (thread_.joinable()) {
        Stop();
    }
}

void EventPollingThread::Start() {
    if (thread_.joinable()) {
        return;
    }
    context_.objects.Event(sync_name::kKillDataThread).Reset();
    context_.objects.Event(sync_name::kDataThreadKilled).Reset();
    thread_ = std::thread([this] { intervals_ != nullptr ? RunForwardFire() : RunSkelda(); });
}

bool EventPollingThread::Stop(int wait_ms) {
    if (!thread_.joinable()) {
        return true;
    }
    context_.objects.Event(sync_name::kKillDataThread).Set();
    const bool ended = context_.objects.Event(sync_name::kDataThreadKilled).WaitFor(wait_ms);
    thread_.join();
    return ended;
}

bool EventPollingThread::LinkLentToAnotherWindow() const {
    return context_.objects.Event(sync_name::kOpeningSensorInfo).IsSet() ||
           context_.objects.Event(sync_name::kGetProperties).IsSet();
}

void EventPollingThread::RunSkelda() {
    const ManualResetEvent& kill = context_.objects.Event(sync_name::kKillDataThread);
    while (!kill.IsSet()) {
        const bool polling = !LinkLentToAnotherWindow() && event_mode_.load();
        // Waiting on the kill event instead of sleeping lets a stop end the pause at once.
        kill.WaitFor(polling ? kSkeldaPollMs : kRestMs);
        if (!kill.IsSet()) {
            SkeldaPoll();
        }
    }
    context_.objects.Event(sync_name::kDataThreadKilled).Set();
}

void EventPollingThread::SkeldaPoll() {
    if (!event_mode_.load() || LinkLentToAnotherWindow()) {
        return;
    }
    ScopedTryLock lock(context_.objects.SyncData(), kSkeldaMutexWaitMs);
    if (!lock.held()) {
        skipped_polls_.fetch_add(1);
        return;
    }
    if (!EventsBlockedByResponseWait(context_.state.response_wait_ms.load(), Mounting::SideFire)) {
        event_polls_.fetch_add(1);
        events_.FetchEvent(events_.event_logging());
    }
}

void EventPollingThread::RunForwardFire() {
    const ManualResetEvent& kill = context_.objects.Event(sync_name::kKillDataThread);
    while (!kill.IsSet()) {
        kill.WaitFor(LinkLentToAnotherWindow() ? kRestMs : kForwardFirePollMs);
        if (!kill.IsSet()) {
            ForwardFirePoll();
        }
    }
    context_.objects.Event(sync_name::kDataThreadKilled).Set();
}

void EventPollingThread::ForwardFirePoll() {
    if (LinkLentToAnotherWindow()) {
        return;
    }
    ScopedTryLock lock(context_.objects.SyncData(), kForwardFireMutexWaitMs);
    if (!lock.held()) {
        skipped_polls_.fetch_add(1);
        return;
    }
    if (!EventsBlockedByResponseWait(context_.state.response_wait_ms.load(), Mounting::ForwardFire)) {
        events_.FetchFfActuation();
        event_polls_.fetch_add(1);
        events_.FetchEvent(events_.event_logging());
    }
    if (intervals_->fetch_requested() &&
        intervals_->FetchLatestInterval(intervals_->logging_enabled()) == 1) {
        intervals_->FetchCompleted();
    }
}

}  // namespace qvx
