#include "platform/named_sync.h"

#include <algorithm>
#include <map>
#include <memory>

namespace qvx {
namespace {

// One table for the whole process, never destroyed: a worker thread still running while the
// program exits may hold a reference to any object in it.
template <typename Object>
class ObjectTable {
  public:
    Object& Get(const std::string& full_name) {
        std::lock_guard<std::mutex> guard(mutex_);
        auto& slot = objects_[full_name];
        if (!slot)
            slot = std::make_unique<Object>();
        return *slot;
    }

  private:
    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<Object>> objects_;
};

template <typename Object>
ObjectTable<Object>& TableOf() {
    static auto* table = new ObjectTable<Object>();
    return *table;
}

}  // namespace

bool NamedMutex::TryLockFor(int timeout_ms) {
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock lock(state_mutex_);
    if (depth_ > 0 && owner_ == self) {
        ++depth_;
        return true;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
    if (!released_.wait_until(lock, deadline, [this] { return depth_ == 0; }))
        return false;
    owner_ = self;
    depth_ = 1;
    return true;
}

// Only the owner releases; an unlock by another thread is ignored, as the system mutex refuses it.
void NamedMutex::Unlock() {
    {
        std::lock_guard lock(state_mutex_);
        if (depth_ == 0 || owner_ != std::this_thread::get_id())
            return;
        if (--depth_ > 0)
            return;
        owner_ = std::thread::id();
    }
    released_.notify_one();
}

void ManualResetEvent::Set() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        set_ = true;
    }
    changed_.notify_all();
}

void ManualResetEvent::Reset() {
    std::lock_guard<std::mutex> guard(mutex_);
    set_ = false;
}

bool ManualResetEvent::IsSet() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return set_;
}

bool ManualResetEvent::WaitFor(int timeout_ms) const {
    std::unique_lock<std::mutex> lock(mutex_);
    if (timeout_ms < 0) {
        changed_.wait(lock, [this] { return set_; });
        return true;
    }
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return set_; });
}

NamedObjects::NamedObjects(std::string instance_suffix) : suffix_(std::move(instance_suffix)) {}

NamedMutex& NamedObjects::Mutex(const std::string& name) {
    return TableOf<NamedMutex>().Get(name + suffix_);
}

ManualResetEvent& NamedObjects::Event(const std::string& name) {
    return TableOf<ManualResetEvent>().Get(name + suffix_);
}

}  // namespace qvx
