#pragma once
// The byte pipe to the sensor: one serial port (termios, raw 8N1, exclusive) or one TCP socket
// (non-blocking IPv4 + poll()). Write, read and purge dispatch on ConnectionState::link_kind, so
// the protocol layer calls one set of operations for every medium; a modem line is a serial port.
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
    ~SensorLink();
    SensorLink(const SensorLink&) = delete;
    SensorLink& operator=(const SensorLink&) = delete;

    ConnectionState& state() { return state_; }

    // --- serial port ---
    // Clears last_link_error, sets port_name to the default and link_kind to None, and numbers the
    // running instance (0..8, from lock files in the runtime directory).
    void InitSerialLink();
    int OpenSerialPort(std::uint32_t baud, std::uint32_t read_interval, std::uint32_t read_multiplier,
                       std::uint32_t read_constant);
    int SetSerialTimeouts(std::uint32_t read_interval, std::uint32_t read_multiplier,
                          std::uint32_t read_constant);
    SerialTimeouts GetSerialTimeouts() const { return timeouts_; }
    int SetSerialBaud(std::uint32_t baud);
    std::uint32_t GetSerialBaud();
    // Bytes written; 0 is a failure. An empty text sends one NUL byte.
    std::size_t SerialWrite(std::string_view text, int sleep_after_ms, bool purge_first);
    // Appends at most max_len bytes to out (max_len 0: one bulk read of up to 270 bytes) and stops
    // at terminator unless the byte before it is escape. Returns the number of bytes stored.
    std::size_t ReadUntil(std::string& out, std::size_t max_len, int timeout_ms, char terminator,
                          char escape);
    // One read of up to count bytes under the current read time-outs.
    std::size_t ReadRaw(std::string& out, std::size_t count);
    // Discards pending input, at most 5000 bytes.
    void PurgeInput();
    // port_name + " @ " + rate text; 1 when the rate is supported, else the text ends after " @ ".
    int DescribePort(std::string& out);
    void CloseSerialPort();
    bool SerialPortOpen() const { return serial_fd_ >= 0; }

    // --- TCP ---
    int TcpConnect();
    std::size_t TcpSend(std::string_view data, int timeout_ms, char terminator, char escape);
    std::size_t TcpReceive(std::string& out, std::size_t max_len, int timeout_ms, char terminator,
                           char escape);
    void TcpClose();
    static bool IsDottedQuad(std::string_view text);

    // --- used by the frame receiver ---
    // Waits at most wait_ms for input on the open link, then appends what is available without
    // blocking, up to max_len bytes. Returns the number of bytes appended. A peer that closed the
    // TCP connection sets last_link_error and closes the socket. Over TCP a wait that brings nothing
    // stores 20001, as a receive pass does; bytes clear last_link_error.
    std::size_t ReadAvailable(std::string& out, std::size_t max_len, int wait_ms);

    std::uint32_t GetLastLinkError() const { return state_.last_link_error; }
    void SetLastLinkError(std::uint32_t code) { state_.last_link_error = code; }

    // Tests: use an already open descriptor (one end of a socketpair or a pty) as the serial port,
    // without touching its line settings. The link takes ownership.
    void AdoptSerialDescriptor(int fd);

  private:
    bool UsesTcp() const { return state_.link_kind == LinkKind::Internet; }
    std::size_t SerialReadUntil(std::string& out, std::size_t max_len, int timeout_ms, char terminator,
                                char escape);
    std::size_t SerialReadAvailable(std::string& out, std::size_t max_len, int wait_ms);
    std::size_t SerialReadRaw(std::string& out, std::size_t count);
    std::size_t SerialWriteBytes(std::string_view bytes);
    std::size_t TcpReadAvailable(std::string& out, std::size_t max_len, int wait_ms);
    void PurgeSerial();
    void DropClosedConnection();
    int ApplyLineSettings(std::uint32_t baud);

    ConnectionState& state_;
    int serial_fd_ = -1;
    bool serial_is_socket_ = false;  // a test's socketpair end standing in for a port
    int socket_fd_ = -1;
    SerialTimeouts timeouts_;
};

}  // namespace qvx
