#pragma once
// A pseudo-terminal standing in for a serial port the program can open: its master side is
// either held silent (a port with nothing behind it) or repeats every byte back (a looped line).

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace qvx::test {

class PtyLine {
  public:
    enum class Behaviour { Silent, Echo };

    explicit PtyLine(Behaviour behaviour = Behaviour::Silent) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[256];
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
            ::ptsname_r(master_, name, sizeof name) != 0) {
            return;
        }
        path_ = name;
        // Raw at once, so the line discipline never echoes on its own.
        const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave >= 0) {
            termios line{};
            ::tcgetattr(slave, &line);
            ::cfmakeraw(&line);
            ::tcsetattr(slave, TCSANOW, &line);
            ::close(slave);
        }
        if (behaviour == Behaviour::Echo) {
            echo_ = std::thread([this] { Echo(); });
        }
    }
    ~PtyLine() {
        stop_ = true;
        if (echo_.joinable()) {
            echo_.join();
        }
        if (master_ >= 0) {
            ::close(master_);
        }
    }
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    const std::string& path() const { return path_; }
    std::size_t echoed() const { return echoed_.load(); }

  private:
    void Echo() {
        char buffer[256];
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) {
                continue;
            }
            if ((p.revents & POLLIN) == 0) {
                // Nobody holds the port open: the master reports a hang-up until someone does.
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0) {
                (void)!::write(master_, buffer, static_cast<std::size_t>(n));
                echoed_ += static_cast<std::size_t>(n);
            }
        }
    }

    int master_ = -1;
    std::string path_;
    std::thread echo_;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> echoed_{0};
};

}  // namespace qvx::test
