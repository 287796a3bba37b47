#pragma once
// The byte pipe to the sensor: one serial port (termios, raw 8N1, exclusive) or one TCP socket
// (non-blocking IPv4 + poll()). SensorLink picks the medium by ConnectionState::link_kind in one
// place, so the protocol layer calls one set of operations for every medium; a modem line is a
// serial port. Only the steps that differ by medium (opening, rate changes, TCP recovery, the
// calibration's timed reads) reach serial() or tcp().
//
// Waiting keeps the documented deadlines (timeout + response_wait_ms) on a monotonic clock, but a
// read returns as soon as its condition is met instead of finishing a fixed sleep step, and never
// later than its deadline.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/connection_state.h"
#include "link/serial_port.h"
#include "link/tcp_link.h"

namespace qvx {

struct BaudRate {
    std::uint32_t bps;
    const char* text;
};
// The port a fresh link names before the user picks one.
inline constexpr const char* kDefaultPortName = "/dev/ttyS0";
// A read with max_len 0 takes up to this many bytes at once.
inline constexpr std::size_t kBulkReadSize = 270;
// PurgeInput gives up after discarding this many bytes from a talking line.
inline constexpr std::size_t kPurgeLimit = 5000;
// The Debug entry for bytes a purge threw away: "RX discarded 7 bytes: XD0001<0D>".
inline constexpr const char* kDiscardedLogPrefix = "RX discarded ";
// Frames go out over TCP with this send limit.
inline constexpr int kTcpSendTimeoutMs = 3000;
inline constexpr int kTcpConnectTimeoutMs = 7000;

// The supported rates with their display texts, in ascending order.
const std::vector<BaudRate>& SupportedBaudRates();
// "9600 bps" etc., or nullptr when the rate is not supported.
const char* BaudRateText(std::uint32_t bps);

// The platform's serial devices in a stable order, or the colon-separated list in
// QVX_SERIAL_PORTS when it is set ("Auto-find" searches these).
std::vector<std::string> EnumerateSerialPorts();

class SensorLink {
  public:
    explicit SensorLink(ConnectionState& state);
    SensorLink(const SensorLink&) = delete;
    SensorLink& operator=(const SensorLink&) = delete;

    ConnectionState& state() { return state_; }
    SerialPort& serial() { return serial_; }
    TcpLink& tcp() { return tcp_; }

    // Clears last_link_error, sets port_name to the default and link_kind to None, and numbers the
    // running instance (0..8, from lock files in the runtime directory).
    void Init();

    // Bytes written; 0 is a failure. An empty text sends one NUL byte: the sensor expects at least
    // one byte per write.
    std::size_t Write(std::string_view text);
    std::size_t ReadUntil(std::string& out, std::size_t max_len, int timeout_ms, char terminator,
                          char escape);
    std::size_t ReadAvailable(std::string& out, std::size_t max_len, int wait_ms);
    std::size_t ReadRaw(std::string& out, std::size_t count);
    // Discards pending input; the bytes discarded are logged at Debug.
    void PurgeInput();
    // The serial port's write and purge whatever the link kind, logged like the others: a
    // modem's commands go out before the link is a modem link, and after it failed.
    std::size_t WriteSerial(std::string_view text);
    void PurgeSerialInput();
    bool IsOpen();
    bool UsesTcp() const { return state_.link_kind == LinkKind::Internet; }
    // Closes the socket and the port, whichever is open; the link kind goes back to None.
    void Close();
    // The open medium's description: "port @ rate" or "host:port".
    std::string Description();

    std::uint32_t GetLastLinkError() const { return state_.last_link_error; }
    void SetLastLinkError(std::uint32_t code) { state_.last_link_error = code; }

  private:
    // The one place that chooses the medium.
    LinkMedium& Active();
    std::size_t WriteTo(LinkMedium& medium, std::string_view text);
    void PurgeFrom(LinkMedium& medium);

    ConnectionState& state_;
    SerialPort serial_;
    TcpLink tcp_;
};

}  // namespace qvx
