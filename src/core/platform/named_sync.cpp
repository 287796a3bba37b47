#include "platform/named_sync.h"

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
    if (timeout_ms <= 0)
        return mutex_.try_lock();
    return mutex_.try_lock_for(std::chrono::milliseconds(timeout_ms));
}

void NamedMutex::Unlock() {
    mutex_.unlock();
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
