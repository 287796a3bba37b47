#include "platform/instance.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace qvx {

namespace {

constexpr int kInstanceCount = 9;

std::mutex notice_guard;
std::string runtime_notice;

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string HomeDirectory() {
    std::string home = EnvOrEmpty("HOME");
    if (home.empty()) {
        if (const passwd* entry = getpwuid(getuid())) {
            home = entry->pw_dir;
        }
    }
    return home;
}

std::string ParentFolder(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// mkdir -p with 0700 for every folder made here.
bool CreateFolders(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) {
        return true;  // checked by the caller
    }
    const std::string parent = ParentFolder(path);
    if (parent != path && !CreateFolders(parent)) {
        return false;
    }
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string PreferredRuntimeFolder() {
    std::string dir = EnvOrEmpty("QVX_RUNTIME_DIR");
    if (dir.empty()) {
        dir = EnvOrEmpty("XDG_RUNTIME_DIR");
    }
    if (dir.empty()) {
        dir = "/tmp/quorvix-" + std::to_string(getuid());
    }
    return dir;
}

std::string FallbackRuntimeFolder() {
    std::string cache = EnvOrEmpty("XDG_CACHE_HOME");
    if (cache.empty()) {
        cache = HomeDirectory() + "/.cache";
    }
    return cache + "/quorvix/run";
}

}  // namespace

FolderSafety MakePrivateFolder(const std::string& path, uid_t owner) {
    if (path.empty() || !CreateFolders(path)) {
        return FolderSafety::CannotCreate;
    }
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        return FolderSafety::CannotCreate;
    }
    if (S_ISLNK(info.st_mode)) {
        return FolderSafety::SymbolicLink;
    }
    if (!S_ISDIR(info.st_mode)) {
        return FolderSafety::NotAFolder;
    }
    if (info.st_uid != owner) {
        return FolderSafety::OtherOwner;
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return FolderSafety::WritableByOthers;
    }
    return FolderSafety::Safe;
}

const char* FolderSafetyText(FolderSafety safety) {
    switch (safety) {
        case FolderSafety::Safe:
            return "safe";
        case FolderSafety::CannotCreate:
            return "it cannot be created";
        case FolderSafety::NotAFolder:
            return "it is not a folder";
        case FolderSafety::SymbolicLink:
            return "it is a symbolic link";
        case FolderSafety::OtherOwner:
            return "it belongs to another user";
        case FolderSafety::WritableByOthers:
            return "other users may write to it";
    }
    return "";
}

RuntimeFolderChoice ChooseRuntimeFolder(const std::string& preferred, const std::string& fallback,
                                        uid_t owner) {
    const FolderSafety safety = MakePrivateFolder(preferred, owner);
    if (safety == FolderSafety::Safe) {
        return {preferred, {}};
    }
    RuntimeFolderChoice choice;
    choice.notice = "The runtime folder " + preferred + " is not used: " + FolderSafetyText(safety) + ".";
    if (MakePrivateFolder(fallback, owner) == FolderSafety::Safe) {
        choice.path = fallback;
    } else {
        // A folder of our own: safe, though copies started now do not see each other's numbers.
        std::string unique = "/tmp/quorvix-" + std::to_string(owner) + "-XXXXXX";
        choice.path = mkdtemp(unique.data()) ? unique : std::string();
    }
    choice.notice += choice.path.empty() ? " No private folder could be made either."
                                         : " Using the private folder " + choice.path + " instead.";
    return choice;
}

std::string RuntimeDirectory() {
    return ChooseRuntimeFolder(PreferredRuntimeFolder(), FallbackRuntimeFolder(), getuid()).path;
}

std::string RuntimeDirectoryNotice() {
    std::lock_guard<std::mutex> lock(notice_guard);
    return runtime_notice;
}

std::string InstanceLockPath(const std::string& dir, int number) {
    return dir + "/DLXCommActiveEvent" + std::to_string(number) + ".lock";
}

int LockFirstFreeInstance(const std::string& dir, int& lock_fd) {
    for (int number = 0; number < kInstanceCount; ++number) {
        const int fd = open(InstanceLockPath(dir, number).c_str(),
                            O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd < 0) {
            continue;
        }
        struct stat info {};
        if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0) {
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
        const RuntimeFolderChoice folder =
            ChooseRuntimeFolder(PreferredRuntimeFolder(), FallbackRuntimeFolder(), getuid());
        if (!folder.notice.empty()) {
            std::fprintf(stderr, "%s\n", folder.notice.c_str());
            std::lock_guard<std::mutex> notice_lock(notice_guard);
            runtime_notice = folder.notice;
        }
        int lock_fd = -1;
        const int free_number = folder.path.empty() ? -1 : LockFirstFreeInstance(folder.path, lock_fd);
        if (free_number >= 0) {
            number = std::to_string(free_number);
        }
    }
    return number;
}

}  // namespace qvx
