#pragma once
// Byte I/O for the test side of a link (the pty master or an accepted socket): write all, read
// what arrives within a time limit. Nothing here sleeps; waits are poll()s.

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace qvx::test {

inline bool WriteAll(int fd, std::string_view bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd entry{fd, POLLOUT, 0};
            poll(&entry, 1, 1000);
        } else if (!(n < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

// Reads until want bytes have arrived or limit_ms passed; returns what arrived.
inline std::string ReadFor(int fd, std::size_t want, int limit_ms) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(limit_ms);
    std::string got;
    char buffer[4096];
    while (got.size() < want) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) {
            break;
        }
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        const std::size_t room = std::min(sizeof buffer, want - got.size());
        const ssize_t n = read(fd, buffer, room);
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                continue;
            }
            break;
        }
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

}  // namespace qvx::test
