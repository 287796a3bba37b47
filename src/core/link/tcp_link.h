#pragma once
// One non-blocking IPv4 client socket to the sensor (or its serial server), every wait a bounded
// poll(). Socket failures are stored in last_link_error as the transaction knows them.

#include <cstdint>
#include <string>
#include <string_view>

#include "link/connection_state.h"
#include "link/link_medium.h"

namespace qvx {

class TcpLink final : public LinkMedium {
  public:
    explicit TcpLink(ConnectionState& state) : state_(state) {}
    ~TcpLink() override { Close(); }
    TcpLink(const TcpLink&) = delete;
    TcpLink& operator=(const TcpLink&) = delete;

    // Connects to host_address:tcp_port within 7000 ms; sets socket_open and the link kind.
    bool Connect();
    // Sends data (up to terminator when given) within timeout_ms.
    std::size_t Send(std::string_view data, int timeout_ms, char terminator, char escape);
    // Receives in 10 ms passes; on a failure nothing is appended and 0 returned, except that a bulk
    // read (max_len 0) keeps what came before its time ran out.
    std::size_t Receive(std::string& out, std::size_t max_len, int timeout_ms, char terminator, char escape);
    static bool IsDottedQuad(std::string_view text);

    std::size_t Write(std::string_view bytes) override;
    std::size_t ReadUntil(std::string& out, std::size_t max_len, int timeout_ms, char terminator,
                          char escape) override;
    // A peer that closed the connection sets last_link_error and closes the socket. A wait that
    // brings nothing stores 20001, as a receive pass does; bytes clear last_link_error.
    std::size_t ReadAvailable(std::string& out, std::size_t max_len, int wait_ms) override;
    // Over TCP a raw read takes what has arrived.
    std::size_t ReadRaw(std::string& out, std::size_t count) override;
    void Purge(std::string* discarded) override;
    bool IsOpen() const override { return state_.socket_open && fd_ >= 0; }
    // Closes the socket; a link that was open goes back to no link.
    void Close() override;
    std::string Description() override;

  private:
    void DropClosedConnection();

    ConnectionState& state_;
    int fd_ = -1;
};

}  // namespace qvx
