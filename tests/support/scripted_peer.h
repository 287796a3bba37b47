#pragma once
// A scripted sensor at the far end of a socket: it reads CR-terminated requests and answers each
// with the next scripted reply (an empty reply is silence). Used to drive the transaction without
// a simulator.

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "link/sensor_link.h"

namespace qvx::test {

class ScriptedPeer {
  public:
    // fd: the peer's end; the peer owns and closes it. Requests past the script get silence.
    ScriptedPeer(int fd, std::vector<std::string> replies) : fd_(fd), replies_(std::move(replies)) {
        thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedPeer() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    std::vector<std::string> requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }
    // Waits (generously) until count requests arrived; the last write may still be in flight when
    // the transaction returns.
    std::size_t WaitForRequests(std::size_t count) const {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (requests().size() < count && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return requests().size();
    }

  private:
    void Serve() {
        std::string pending;
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 5) <= 0) {
                continue;
            }
            char buffer[512];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) {
                return;
            }
            pending.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t cr = pending.find('\r'); cr != std::string::npos; cr = pending.find('\r')) {
                Answer(pending.substr(0, cr + 1));
                pending.erase(0, cr + 1);
            }
        }
    }

    void Answer(const std::string& request) {
        std::string reply;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const std::size_t index = requests_.size();
            requests_.push_back(request);
            if (index < replies_.size()) {
                reply = replies_[index];
            }
        }
        if (!reply.empty()) {
            (void)!::write(fd_, reply.data(), reply.size());
        }
    }

    int fd_;
    std::vector<std::string> replies_;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A scripted peer on the far end of a socketpair whose near end the link adopts as its serial
// port; nullptr when the system gives no socketpair.
inline std::unique_ptr<ScriptedPeer> AttachScriptedPeer(SensorLink& link, std::vector<std::string> replies) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) {
        return nullptr;
    }
    link.serial().Adopt(fds[0]);
    link.state().link_kind = LinkKind::Serial;
    return std::make_unique<ScriptedPeer>(fds[1], std::move(replies));
}

}  // namespace qvx::test
