#pragma once
// A plain client for the simulated sensor in tests: loopback TCP or the pty slave opened raw at a
// chosen rate. Independent of the program's own link layer, so the simulator is tested on its own.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace qvx::test {

inline speed_t SpeedOf(std::uint32_t bps) {
    switch (bps) {
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 921600:
            return B921600;
        default:
            return B9600;
    }
}

class SimTestClient {
  public:
    static SimTestClient Tcp(std::uint16_t port) {
        SimTestClient client;
        client.fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        if (::connect(client.fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            client.Close();
        }
        return client;
    }

    static SimTestClient Pty(const std::string& path, std::uint32_t bps) {
        SimTestClient client;
        client.fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (client.fd_ >= 0) {
            termios line{};
            ::tcgetattr(client.fd_, &line);
            ::cfmakeraw(&line);
            ::tcsetattr(client.fd_, TCSANOW, &line);
            client.SetBaud(bps);
        }
        return client;
    }

    SimTestClient() = default;
    SimTestClient(SimTestClient&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    SimTestClient& operator=(SimTestClient&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~SimTestClient() { Close(); }

    bool is_open() const { return fd_ >= 0; }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    void SetBaud(std::uint32_t bps) {
        termios line{};
        ::tcgetattr(fd_, &line);
        ::cfsetispeed(&line, SpeedOf(bps));
        ::cfsetospeed(&line, SpeedOf(bps));
        ::tcsetattr(fd_, TCSANOW, &line);
    }

    bool Send(std::string_view bytes) {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Reads until a CR arrives (kept) or timeout_ms passes; returns what arrived.
    std::string ReadFrame(int timeout_ms) { return Read(timeout_ms, true); }
    // Reads everything that arrives within timeout_ms.
    std::string ReadFor(int timeout_ms) { return Read(timeout_ms, false); }
    // True when the peer closed the connection within timeout_ms.
    bool SeesEof(int timeout_ms) {
        Read(timeout_ms, false);
        return eof_;
    }

    std::string Exchange(std::string_view request, int timeout_ms = 3000) {
        Send(std::string(request) + "\r");
        return ReadFrame(timeout_ms);
    }

  private:
    std::string Read(int timeout_ms, bool stop_at_cr) {
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (fd_ >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd in{fd_, POLLIN, 0};
            if (::poll(&in, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            char buffer[4096];
            const ssize_t count = ::read(fd_, buffer, sizeof buffer);
            if (count <= 0) {
                eof_ = true;
                break;
            }
            text.append(buffer, static_cast<std::size_t>(count));
            if (stop_at_cr && text.find('\r') != std::string::npos) {
                break;
            }
        }
        return text;
    }

    int fd_ = -1;
    bool eof_ = false;
};

}  // namespace qvx::test
