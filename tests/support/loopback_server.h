#pragma once
// A TCP listener on 127.0.0.1 with a port picked by the system, for tests that play the sensor's
// network side. Nothing leaves the loopback interface.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "support/fd_peer.h"

namespace qvx::test {

class LoopbackServer {
  public:
    // address: any 127.x.y.z address (all of 127/8 is loopback on this platform).
    explicit LoopbackServer(int backlog = 4, const char* address_text = "127.0.0.1") {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        inet_pton(AF_INET, address_text, &address.sin_addr);
        socklen_t size = sizeof address;
        if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            listen(listener_, backlog) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
    }
    ~LoopbackServer() {
        CloseClient();
        if (listener_ >= 0) {
            close(listener_);
        }
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool ok() const { return port_ != 0; }
    std::uint16_t port() const { return port_; }
    int listener() const { return listener_; }
    int client() const { return client_; }

    // Takes the next queued connection as the client; false when none comes within limit_ms.
    bool Accept(int limit_ms = 2000) {
        pollfd entry{listener_, POLLIN, 0};
        if (poll(&entry, 1, limit_ms) <= 0) {
            return false;
        }
        CloseClient();
        client_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        return client_ >= 0;
    }
    void CloseClient() {
        if (client_ >= 0) {
            close(client_);
            client_ = -1;
        }
    }

    bool Send(std::string_view bytes) const { return WriteAll(client_, bytes); }
    std::string Receive(std::size_t want, int limit_ms = 2000) const {
        return ReadFor(client_, want, limit_ms);
    }

  private:
    int listener_ = -1;
    int client_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace qvx::test
