#pragma once
// The named synchronisation objects shared by the threads and windows of one running copy:
// a timed mutex ("SyncDataMutex") and manual-reset events, each name followed by the instance
// number so that two running copies never share them.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace qvx {

class NamedMutex {
  public:
    // Waits at most timeout_ms (0: only tries); true when the mutex is now held.
    bool TryLockFor(int timeout_ms);
    void Unlock();

  private:
    // Recursive: an owner that waits for it again (a write that ends by synchronising the clock)
    // must not deadlock itself. Built from a plain mutex, a condition variable and an owner count
    // so that thread checkers see every hand-over.
    std::mutex state_mutex_;
    std::condition_variable released_;
    std::thread::id owner_;
    int depth_ = 0;
};

class ManualResetEvent {
  public:
    void Set();
    void Reset();
    bool IsSet() const;
    // Waits at most timeout_ms for the event (a negative time waits without limit); true when
    // it is set.
    bool WaitFor(int timeout_ms) const;

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool set_ = false;
};

// Object names, without the instance suffix.
namespace sync_name {
inline constexpr const char* kSyncData = "SyncDataMutex";
inline constexpr const char* kKillDataThread = "KillDataThreadEvent";
inline constexpr const char* kDataThreadKilled = "DataThreadKilledEvent";
inline constexpr const char* kOpeningSensorInfo = "OpeningSensorInfoEvent";
inline constexpr const char* kGetProperties = "GetPropertiesEvent";
inline constexpr const char* kGoFetchData = "GoFetchDataEvent";
inline constexpr const char* kDrawDtftFreqs = "DrawDtftFreqsEvent";
inline constexpr const char* kResetDtftFreqs = "ResetDtftFreqsEvent";
inline constexpr const char* kTerminalThread = "TerminalThreadEvent";
inline constexpr const char* kKillTerminalThread = "KillTerminalThreadEvent";
}  // namespace sync_name

// The objects of one running copy, created on first use and kept for the life of the process.
// Objects are shared by name + suffix across the whole process: every NamedObjects with the same
// suffix hands out the same objects, and references stay valid until the process ends.
class NamedObjects {
  public:
    explicit NamedObjects(std::string instance_suffix);
    NamedMutex& Mutex(const std::string& name);
    ManualResetEvent& Event(const std::string& name);
    const std::string& suffix() const { return suffix_; }

    // Shorthands for the objects every window uses.
    NamedMutex& SyncData() { return Mutex(sync_name::kSyncData); }

  private:
    std::string suffix_;
};

// Holds a NamedMutex for a scope when TryLockFor succeeded.
class ScopedTryLock {
  public:
    ScopedTryLock(NamedMutex& mutex, int timeout_ms) : mutex_(mutex), held_(mutex.TryLockFor(timeout_ms)) {}
    ~ScopedTryLock() {
        if (held_)
            mutex_.Unlock();
    }
    ScopedTryLock(const ScopedTryLock&) = delete;
    ScopedTryLock& operator=(const ScopedTryLock&) = delete;
    bool held() const { return held_; }

  private:
    NamedMutex& mutex_;
    bool held_;
};

}  // namespace qvx
