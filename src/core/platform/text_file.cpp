#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/file_read.h"

namespace qvx {

namespace {

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The file a write must replace: the target of a symbolic link (a link to a shared book or the
// system's hosts table must stay a link), else the path itself.
std::string ResolvedWritePath(const std::string& path) {
    struct stat info {};
    char resolved[PATH_MAX];
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && ::realpath(path.c_str(), resolved)) {
        return resolved;
    }
    return path;
}

// A new temporary file beside path, created with 0666 so that the process umask decides its
// permissions as it does for any new file (mkstemp would force 0600).
int CreateTemporaryBeside(const std::string& path, std::string& temp_path) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        temp_path = path + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
                    std::to_string(ticks % 1000000) + ".tmp";
        int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

}  // namespace

std::optional<std::string> ReadTextFile(const std::string& path, std::size_t max_bytes) {
    FileRead read = ReadRegularFile(path, max_bytes);
    if (!read.ok()) {
        return std::nullopt;
    }
    return std::move(read.content);
}

bool WriteTextFileAtomically(const std::string& requested_path, const std::string& content) {
    const std::string path = ResolvedWritePath(requested_path);
    std::string temp_path;
    int fd = CreateTemporaryBeside(path, temp_path);
    if (fd < 0) {
        return false;
    }
    struct stat old_status {};
    if (::stat(path.c_str(), &old_status) == 0) {
        ::fchmod(fd, old_status.st_mode & 07777);
    }
    bool written = WriteAll(fd, content) && ::fsync(fd) == 0;
    written = (::close(fd) == 0) && written;
    if (!written || ::rename(temp_path.c_str(), path.c_str()) != 0) {
        ::unlink(temp_path.c_str());
        return false;
    }
    return true;
}

bool AppendToTextFile(const std::string& path, const std::string& text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool written = WriteAll(fd, text);
    return (::close(fd) == 0) && written;
}

std::vector<std::string> SplitTextLines(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string line = content.substr(start, end - start);
        while (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

}  // namespace qvx
