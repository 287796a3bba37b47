#pragma once
// The status line a connection procedure shows while it works. The worker writes it, the window
// (or the CLI) reads it from another thread; every text ever set is kept so a caller can replay
// the sequence of steps.

#include <mutex>
#include <string>
#include <vector>

namespace qvx {

class ProgressText {
  public:
    void Set(const std::string& text) {
        std::lock_guard lock(mutex_);
        current_ = text;
        history_.push_back(text);
    }
    std::string Get() const {
        std::lock_guard lock(mutex_);
        return current_;
    }
    std::vector<std::string> History() const {
        std::lock_guard lock(mutex_);
        return history_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        current_.clear();
        history_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::string current_;
    std::vector<std::string> history_;
};

}  // namespace qvx
