#pragma once
// One piece of link work on a thread of its own, for a window that polls it with a timer: the
// window never waits for the link, the work never touches a widget.

#include <atomic>
#include <functional>
#include <thread>

namespace qvx::gui {

class BackgroundTask {
  public:
    BackgroundTask() = default;
    ~BackgroundTask() { join(); }
    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

    void start(std::function<void()> work) {
        join();
        done_.store(false);
        running_ = true;
        thread_ = std::thread([this, work = std::move(work)] {
            work();
            done_.store(true);
        });
    }
    // Started and not yet collected.
    bool running() const { return running_; }
    // The work has ended; collect() then returns at once.
    bool done() const { return done_.load(); }
    // Joins a finished thread; true when it did (the window then acts on the result once).
    bool collect() {
        if (!running_ || !done_.load()) {
            return false;
        }
        join();
        return true;
    }

  private:
    void join() {
        if (thread_.joinable()) {
            thread_.join();
        }
        running_ = false;
    }

    std::thread thread_;
    std::atomic<bool> done_{false};
    bool running_ = false;
};

}  // namespace qvx::gui
