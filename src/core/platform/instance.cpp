#include "platform/instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

namespace qvx {

namespace {

constexpr int kInstanceCount = 9;

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

}  // namespace

std::string RuntimeDirectory() {
    std::string dir = EnvOrEmpty("QVX_RUNTIME_DIR");
    if (dir.empty()) {
        dir = EnvOrEmpty("XDG_RUNTIME_DIR");
    }
    if (dir.empty()) {
        dir = "/tmp/quorvix-" + std::to_string(getuid());
    }
    // Only the owner may see or take the lock files; an existing folder is used as it is.
    mkdir(dir.c_str(), 0700);
    return dir;
}

std::string InstanceLockPath(const std::string& dir, int number) {
    return dir + "/DLXCommActiveEvent" + std::to_string(number) + ".lock";
}

int LockFirstFreeInstance(const std::string& dir, int& lock_fd) {
    for (int number = 0; number < kInstanceCount; ++number) {
        const int fd = open(InstanceLockPath(dir, number).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            continue;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            lock_fd = fd;
            return number;
        }
        close(fd);
    }
    lock_fd = -1;
    return -1;
}

std::string AcquireInstanceNumber() {
    // The lock descriptor stays open until the process ends: that is what keeps the number taken.
    static std::mutex guard;
    static bool acquired = false;
    static std::string number;
    std::lock_guard<std::mutex> lock(guard);
    if (!acquired) {
        acquired = true;
        int lock_fd = -1;
        const int free_number = LockFirstFreeInstance(RuntimeDirectory(), lock_fd);
        if (free_number >= 0) {
            number = std::to_string(free_number);
        }
    }
    return number;
}

}  // namespace qvx
