#include "platform/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace qvx {

namespace {

FileReadStatus StatusOfErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return FileReadStatus::Missing;
        case EINVAL:
            return FileReadStatus::NotRegular;
        default:
            return FileReadStatus::Unreadable;
    }
}

// Reads up to limit bytes; false on a read error.
bool ReadUpTo(int fd, std::size_t limit, std::string& out) {
    char buffer[65536];
    while (out.size() < limit) {
        const std::size_t wanted = std::min(sizeof buffer, limit - out.size());
        const ssize_t got = ::read(fd, buffer, wanted);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        out.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

}  // namespace

int OpenRegularFileForReading(const std::string& path) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info {};
    const bool stated = ::fstat(fd, &info) == 0;
    if (!stated || !S_ISREG(info.st_mode)) {
        const int error = stated ? EINVAL : errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

FileRead ReadRegularFile(const std::string& path, std::size_t max_bytes, OverSize over) {
    FileRead result;
    const int fd = OpenRegularFileForReading(path);
    if (fd < 0) {
        result.os_error = errno;
        result.status = StatusOfErrno(errno);
        return result;
    }
    struct stat info {};
    ::fstat(fd, &info);
    if (over == OverSize::Refuse && static_cast<std::uintmax_t>(info.st_size) > max_bytes) {
        ::close(fd);
        result.status = FileReadStatus::TooLarge;
        return result;
    }
    // One byte past the cap tells a file that grew while we read it from one that fits.
    const std::size_t limit = over == OverSize::Refuse ? max_bytes + 1 : max_bytes;
    const bool read_ok = ReadUpTo(fd, limit, result.content);
    result.os_error = read_ok ? 0 : errno;
    ::close(fd);
    if (!read_ok) {
        result.content.clear();
        result.status = FileReadStatus::Unreadable;
    } else if (result.content.size() > max_bytes) {
        result.content.clear();
        result.status = FileReadStatus::TooLarge;
    }
    return result;
}

std::string FileReadProblem(const std::string& path, const FileRead& read, std::size_t max_bytes,
                            const std::string& what_it_is) {
    switch (read.status) {
        case FileReadStatus::Ok:
            return {};
        case FileReadStatus::Missing:
            return "The " + what_it_is + " " + path + " does not exist.";
        case FileReadStatus::NotRegular:
            return "The " + what_it_is + " " + path +
                   " is not a regular file (a folder, pipe or device); it was not read.";
        case FileReadStatus::TooLarge:
            return "The " + what_it_is + " " + path + " is larger than " + std::to_string(max_bytes) +
                   " bytes; it cannot be one and was not read.";
        case FileReadStatus::Unreadable:
            return "The " + what_it_is + " " + path + " cannot be read: " + std::strerror(read.os_error) +
                   ".";
    }
    return {};
}

}  // namespace qvx
