#pragma once
// One serial port in raw 8N1, opened exclusively and non-blocking, with Windows-style read
// time-outs for the raw reads the calibration makes. A modem line is a serial port too.

#include <cstdint>
#include <string>
#include <string_view>

#include "link/connection_state.h"
#include "link/link_medium.h"

namespace qvx {

// Windows-style read time-outs: an all-ones interval with multiplier and constant 0 means a read
// returns at once with whatever is buffered; otherwise a read waits up to
// multiplier * count + constant ms for count bytes.
inline constexpr std::uint32_t kReadIntervalNoWait = 0xFFFFFFFF;

struct SerialTimeouts {
    std::uint32_t read_interval = kReadIntervalNoWait;
    std::uint32_t read_multiplier = 0;
    std::uint32_t read_constant = 0;
};

class SerialPort final : public LinkMedium {
  public:
    explicit SerialPort(ConnectionState& state) : state_(state) {}
    ~SerialPort() override { Close(); }
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens ConnectionState::port_name at baud; false with last_link_error set otherwise (the
    // descriptor may stay open when only the line settings failed: Close it).
    bool Open(std::uint32_t baud, const SerialTimeouts& timeouts);
    bool SetTimeouts(const SerialTimeouts& timeouts);
    SerialTimeouts timeouts() const { return timeouts_; }
    // Changes the line rate and records it as current and pending.
    bool SetBaud(std::uint32_t baud);
    // The line rate the port runs at; 0 when unknown.
    std::uint32_t Baud();
    // port_name + " @ " + rate text; true when the rate is supported, else the text ends after " @ ".
    bool Describe(std::string& out);
    // Tests: use an already open descriptor (one end of a socketpair or a pty) as the port, without
    // touching its line settings. The port takes ownership.
    void Adopt(int fd);

    std::size_t Write(std::string_view bytes) override;
    std::size_t ReadUntil(std::string& out, std::size_t max_len, int timeout_ms, char terminator,
                          char escape) override;
    std::size_t ReadAvailable(std::string& out, std::size_t max_len, int wait_ms) override;
    std::size_t ReadRaw(std::string& out, std::size_t count) override;
    void Purge(std::string* discarded) override;
    bool IsOpen() const override { return fd_ >= 0; }
    void Close() override;
    std::string Description() override;

  private:
    bool ApplyLineSettings(std::uint32_t baud);

    ConnectionState& state_;
    int fd_ = -1;
    bool is_socket_ = false;  // a test's socketpair end standing in for a port
    SerialTimeouts timeouts_;
};

}  // namespace qvx
