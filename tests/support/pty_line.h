#pragma once
// A pseudo-terminal standing in for a serial port the program can open: its master side is
// either held silent (a port with nothing behind it) or repeats every byte back (a looped line).

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "pty_open.h"

namespace qvx::test {

class PtyLine {
  public:
    enum class Behaviour { Silent, Echo };

    explicit PtyLine(Behaviour behaviour = Behaviour::Silent) {
        master_ = OpenPtyMaster(path_);
        if (master_ < 0) {
            return;
        }
        const int slave = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave >= 0) {
            MakeRaw(slave);
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
