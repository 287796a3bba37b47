#pragma once
// What every medium under SensorLink offers: the serial port (a modem line is one) and the TCP
// socket. Procedures see only SensorLink, which picks the medium by the connection's link kind.

#include <cstddef>
#include <string>
#include <string_view>

namespace qvx {

class LinkMedium {
  public:
    virtual ~LinkMedium() = default;

    // Bytes written; 0 is a failure (last_link_error says why).
    virtual std::size_t Write(std::string_view bytes) = 0;
    // Appends at most max_len bytes to out (max_len 0: one bulk read of up to 270 bytes) and stops
    // at terminator unless the byte before it is escape. Waits at most timeout_ms plus the
    // response wait. Returns the number of bytes stored.
    virtual std::size_t ReadUntil(std::string& out, std::size_t max_len, int timeout_ms, char terminator,
                                  char escape) = 0;
    // Waits at most wait_ms for input, then appends what is there without blocking, up to max_len.
    virtual std::size_t ReadAvailable(std::string& out, std::size_t max_len, int wait_ms) = 0;
    // One read of up to count bytes under the medium's own read time-outs.
    virtual std::size_t ReadRaw(std::string& out, std::size_t count) = 0;
    // Discards pending input, at most kPurgeLimit bytes, appending them to discarded when it is
    // not null.
    virtual void Purge(std::string* discarded) = 0;
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;
    // "/dev/ttyUSB0 @ 9600 bps", "192.168.1.10:10001".
    virtual std::string Description() = 0;
};

}  // namespace qvx
