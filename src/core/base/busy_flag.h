#pragma once
// The program-wide busy flag: set while a long operation (or a retried exchange) runs, so the
// user interface can show the wait cursor. Any thread may set or clear it.

#include <atomic>

namespace qvx::busy_flag {

inline std::atomic<bool>& Flag() {
    static std::atomic<bool> busy{false};
    return busy;
}

inline void Set() {
    Flag().store(true);
}
inline void Clear() {
    Flag().store(false);
}
inline bool IsSet() {
    return Flag().load();
}

}  // namespace qvx::busy_flag
