#include "live/interval_data_thread.h"

#include "context/app_context.h"
#include "live/interval_fetcher.h"

namespace qvx {

namespace {
// The first fetch stands in for the one the view made before its thread existed; it may wait a
// little longer for a window that still holds the link.
constexpr int kFirstFetchMutexWaitMs = 1000;
}  // namespace

IntervalDataThread::IntervalDataThread(AppContext& context, IntervalFetcher& fetcher)
    : context_(context), fetcher_(fetcher) {}

IntervalDataThread::~IntervalDataThread() {
    if (thread_.joinable()) {
        Stop();
    }
}

void IntervalDataThread::Start() {
    if (thread_.joinable()) {
        return;
    }
    context_.objects.Event(sync_name::kKillDataThread).Reset();
    context_.objects.Event(sync_name::kDataThreadKilled).Reset();
    thread_ = std::thread([this] { Run(); });
}

bool IntervalDataThread::Stop(int wait_ms) {
    if (!thread_.joinable()) {
        return true;
    }
    context_.objects.Event(sync_name::kKillDataThread).Set();
    const bool ended = context_.objects.Event(sync_name::kDataThreadKilled).WaitFor(wait_ms);
    thread_.join();
    return ended;
}

void IntervalDataThread::Run() {
    const ManualResetEvent& kill = context_.objects.Event(sync_name::kKillDataThread);
    FirstFetch();
    while (!kill.IsSet()) {
        Pass();
        kill.WaitFor(kPassPauseMs);
    }
    context_.objects.Event(sync_name::kDataThreadKilled).Set();
}

void IntervalDataThread::FirstFetch() {
    ScopedTryLock lock(context_.objects.SyncData(), kFirstFetchMutexWaitMs);
    if (lock.held() && !context_.objects.Event(sync_name::kKillDataThread).IsSet()) {
        fetcher_.FetchLatestInterval(false);
    }
}

void IntervalDataThread::Pass() {
    NamedObjects& objects = context_.objects;
    if (objects.Event(sync_name::kOpeningSensorInfo).IsSet() ||
        objects.Event(sync_name::kGetProperties).IsSet()) {
        skipped_passes_.fetch_add(1);
        return;
    }
    if (!objects.Event(sync_name::kGoFetchData).WaitFor(kGoWaitMs) ||
        objects.Event(sync_name::kKillDataThread).IsSet()) {
        return;
    }
    ScopedTryLock lock(objects.SyncData(), kMutexWaitMs);
    if (!lock.held()) {
        skipped_passes_.fetch_add(1);
        return;
    }
    if (fetcher_.FetchLatestInterval(fetcher_.logging_enabled()) == 1) {
        fetcher_.FetchCompleted();
    }
}

}  // namespace qvx
