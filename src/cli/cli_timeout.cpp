#include "cli_timeout.h"

namespace qvx::cli {

namespace {
constexpr auto kFollowStep = std::chrono::milliseconds(20);
}

RunTimeout::RunTimeout(const std::atomic<bool>& outer_stop, int seconds, std::function<void()> on_expiry)
    : outer_stop_(outer_stop),
      seconds_(seconds),
      deadline_(std::chrono::steady_clock::now() + std::chrono::seconds(seconds)),
      on_expiry_(std::move(on_expiry)) {
    thread_ = std::thread([this] { Watch(); });
}

RunTimeout::~RunTimeout() {
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void RunTimeout::Watch() {
    std::unique_lock lock(mutex_);
    while (!finished_) {
        if (outer_stop_.load()) {
            stop_.store(true);
        }
        if (seconds_ > 0 && !expired_.load() && std::chrono::steady_clock::now() >= deadline_) {
            expired_.store(true);
            stop_.store(true);
            if (on_expiry_) {
                on_expiry_();
            }
        }
        wake_.wait_for(lock, kFollowStep);
    }
}

}  // namespace qvx::cli
