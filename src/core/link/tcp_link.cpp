// The TCP side of SensorLink: one non-blocking IPv4 client socket, every wait a bounded poll().

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/comm_log.h"
#include "link/link_wait.h"
#include "link/sensor_link.h"
#include "link/socket_error.h"
#include "link/tcp_link.h"

namespace qvx {

using link_detail::Clock;
using link_detail::Deadline;
using link_detail::LineScanner;
using link_detail::WaitFor;

namespace {

constexpr int kReceivePassMs = 10;

// Each group of a dotted quad is read as decimal, so "192.168.001.010" is 192.168.1.10 (the C
// library would read leading zeros as octal).
in_addr DottedQuadAddress(std::string_view text) {
    std::uint32_t value = 0;
    std::uint32_t group = 0;
    for (const char c : text) {
        if (c == '.') {
            value = (value << 8) | group;
            group = 0;
        } else {
            group = group * 10 + static_cast<std::uint32_t>(c - '0');
        }
    }
    value = (value << 8) | group;
    in_addr address{};
    address.s_addr = htonl(value);
    return address;
}

// Resolves host_address; 0 on success, else the code to store.
std::uint32_t ResolveAddress(const std::string& host, in_addr& address) {
    if (TcpLink::IsDottedQuad(host)) {
        address = DottedQuadAddress(host);
        return 0;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (rc != 0 || found == nullptr) {
        return rc != 0 ? LookupErrorCode(rc) : link_error::kHostNotFound;
    }
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return 0;
}

// Connects the non-blocking socket; 0 when connected, else the code to store.
std::uint32_t ConnectWithin(int fd, const sockaddr_in& remote, int limit_ms) {
    if (connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) {
        return 0;
    }
    if (errno != EINPROGRESS && errno != EINTR) {
        return SocketErrorCode(errno);
    }
    const auto wait = WaitFor(fd, std::chrono::milliseconds(limit_ms), true);
    if (!wait.ready && !wait.hangup) {
        return link_error::kConnectTimeout;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        return SocketErrorCode(errno);
    }
    return error == 0 ? 0 : SocketErrorCode(error);
}

}  // namespace

bool TcpLink::IsDottedQuad(std::string_view text) {
    if (text.size() < 7 || text.size() > 15 || std::count(text.begin(), text.end(), '.') != 3) {
        return false;
    }
    int group = 0;
    int digits = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '.') {
            if (digits == 0 || group > 255) {
                return false;
            }
            group = 0;
            digits = 0;
        } else if (text[i] >= '0' && text[i] <= '9') {
            group = std::min(group * 10 + (text[i] - '0'), 1000);
            ++digits;
        } else {
            return false;
        }
    }
    return true;
}

bool TcpLink::Connect() {
    if (state_.socket_open) {
        state_.last_link_error = link_error::kAlreadyOpen;
        return false;
    }
    state_.last_link_error = link_error::kNone;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        state_.last_link_error = SocketErrorCode(errno);
        return false;
    }
    std::uint32_t failure = 0;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = 0;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        failure = SocketErrorCode(errno);
    }
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(state_.tcp_port);
    if (failure == 0) {
        failure = ResolveAddress(state_.host_address, remote.sin_addr);
    }
    if (failure == 0) {
        failure = ConnectWithin(fd, remote, kTcpConnectTimeoutMs);
    }
    const std::string peer = state_.host_address + ":" + std::to_string(state_.tcp_port);
    if (failure != 0) {
        close(fd);
        state_.last_link_error = failure;
        ProgramLog().Message(LogLevel::Warning,
                             "TCP connect to " + peer + " failed" + LinkErrorSuffix(failure));
        return false;
    }
    ProgramLog().Message(LogLevel::Info, "TCP connected to " + peer);
    fd_ = fd;
    state_.socket_open = true;
    state_.link_dropped = false;
    state_.link_kind = LinkKind::Internet;
    state_.connection_type = LinkKind::Internet;
    return true;
}

void TcpLink::Close() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (state_.socket_open) {
        state_.socket_open = false;
        state_.link_kind = LinkKind::None;
    }
}

void TcpLink::DropClosedConnection() {
    state_.last_link_error = SocketErrorCode(ECONNRESET);
    Close();
    state_.link_dropped = true;
}

std::string TcpLink::Description() {
    return state_.host_address + ":" + std::to_string(state_.tcp_port);
}

std::size_t TcpLink::Write(std::string_view bytes) {
    return Send(bytes, kTcpSendTimeoutMs, 0, 0);
}

std::size_t TcpLink::ReadUntil(std::string& out, std::size_t max_len, int timeout_ms, char terminator,
                               char escape) {
    if (!state_.socket_open) {
        state_.last_link_error = SocketErrorCode(ENOTCONN);
        return 0;
    }
    return Receive(out, max_len, timeout_ms, terminator, escape);
}

std::size_t TcpLink::ReadRaw(std::string& out, std::size_t count) {
    if (count == 0) {
        return 0;
    }
    return ReadAvailable(out, count, 0);
}

void TcpLink::Purge(std::string* discarded_bytes) {
    std::size_t count = 0;
    std::string scratch;
    while (count < kPurgeLimit && state_.socket_open) {
        scratch.clear();
        const std::size_t got = Receive(scratch, 1, 10, 0, 0);
        if (got == 0) {
            break;
        }
        if (discarded_bytes) {
            discarded_bytes->append(scratch);
        }
        count += got;
    }
}

std::size_t TcpLink::Send(std::string_view data, int timeout_ms, char terminator, char escape) {
    state_.last_link_error = link_error::kNone;
    if (!state_.socket_open || fd_ < 0) {
        state_.last_link_error = SocketErrorCode(ENOTCONN);
        return 0;
    }
    if (terminator != 0) {
        LineScanner scanner(data.size(), terminator, escape);
        data = data.substr(0, scanner.Take(data.data(), data.size()));
    }
    const Deadline deadline(timeout_ms);
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            state_.last_link_error = SocketErrorCode(errno);
            return 0;
        }
        if (!WaitFor(fd_, deadline.Remaining(), true).ready && deadline.Expired()) {
            state_.last_link_error = link_error::kSendTimeout;
            return 0;
        }
    }
    return sent;
}

std::size_t TcpLink::Receive(std::string& out, std::size_t max_len, int timeout_ms, char terminator,
                             char escape) {
    state_.last_link_error = link_error::kNone;
    if (!state_.socket_open || fd_ < 0) {
        state_.last_link_error = SocketErrorCode(ENOTCONN);
        return 0;
    }
    const bool bulk = max_len == 0;
    const std::size_t limit = bulk ? kBulkReadSize : max_len;
    // The wait is counted in 10 ms passes, so a deadline is rounded up to whole passes.
    const int deadline_ms = timeout_ms != 0 ? std::max(1, timeout_ms + state_.response_wait_ms.load()) : 1;
    const int passes_ms = (deadline_ms + kReceivePassMs - 1) / kReceivePassMs * kReceivePassMs;
    const Deadline deadline(passes_ms);
    LineScanner scanner(limit, terminator, escape);
    const std::size_t start_size = out.size();
    char buffer[kBulkReadSize];
    std::uint32_t error = link_error::kNone;
    while (!deadline.Expired() && !scanner.finished()) {
        const auto pass =
            std::min<Clock::duration>(deadline.Remaining(), std::chrono::milliseconds(kReceivePassMs));
        const auto wait = WaitFor(fd_, pass);
        if (!wait.ready && !wait.hangup) {
            error = link_error::kReceiveTimeout;
            continue;
        }
        // With a terminator the bytes are looked at first and only the reply's own are taken, so
        // the start of whatever follows stays in the socket.
        const std::size_t want = std::min(scanner.room(), sizeof buffer);
        const int flags = MSG_DONTWAIT | (scanner.has_terminator() ? MSG_PEEK : 0);
        const ssize_t n = recv(fd_, buffer, want, flags);
        if (n == 0) {
            DropClosedConnection();
            error = state_.last_link_error;
            break;
        }
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                continue;
            }
            error = SocketErrorCode(errno);
            break;
        }
        const std::size_t take = scanner.Take(buffer, static_cast<std::size_t>(n));
        if (scanner.has_terminator()) {
            recv(fd_, buffer, take, MSG_DONTWAIT);
        }
        out.append(buffer, take);
        error = link_error::kNone;
    }
    state_.last_link_error = error;
    if (error != link_error::kNone && !(bulk && error == link_error::kReceiveTimeout)) {
        out.resize(start_size);
        return 0;
    }
    return out.size() - start_size;
}

std::size_t TcpLink::ReadAvailable(std::string& out, std::size_t max_len, int wait_ms) {
    state_.last_link_error = link_error::kNone;
    if (!state_.socket_open || fd_ < 0) {
        state_.last_link_error = SocketErrorCode(ENOTCONN);
        return 0;
    }
    const auto wait = WaitFor(fd_, std::chrono::milliseconds(std::max(0, wait_ms)));
    if (!wait.ready && !wait.hangup) {
        state_.last_link_error = link_error::kReceiveTimeout;
        return 0;
    }
    char buffer[4096];
    std::size_t taken = 0;
    while (taken < max_len) {
        const ssize_t n = recv(fd_, buffer, std::min(max_len - taken, sizeof buffer), MSG_DONTWAIT);
        if (n > 0) {
            out.append(buffer, static_cast<std::size_t>(n));
            taken += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0) {
            DropClosedConnection();
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            state_.last_link_error = SocketErrorCode(errno);
        }
        break;
    }
    return taken;
}

}  // namespace qvx
