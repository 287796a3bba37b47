#pragma once
// The state of the one sensor connection of the process. One instance per run, owned by the
// application context and handed to every component by reference; tests build their own.

#include <atomic>
#include <cstdint>
#include <string>

namespace qvx {

enum class LinkKind : int { None = 0, Serial = 1, Internet = 2, Modem = 3 };

// Own codes stored in last_link_error besides the operating system's errors.
namespace link_error {
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kSendTimeout = 20000;      // a send did not complete in time
inline constexpr std::uint32_t kReceiveTimeout = 20001;   // a receive wait ended without data
inline constexpr std::uint32_t kAlreadyOpen = 20004;      // connect while a socket is open
inline constexpr std::uint32_t kConnectTimeout = 20005;   // no connection within 7000 ms
inline constexpr std::uint32_t kUnexpected = 0xFFFFFFFF;  // -1: an unexpected wait or lookup result
// Socket errors are kept in the range the transaction treats as "socket error".
inline constexpr std::uint32_t kSocketBase = 10000;
inline constexpr std::uint32_t kHostNotFound = 11001;

inline bool IsSocketError(std::uint32_t code) {
    return (code >= 10004 && code <= 11004) || (code >= 20000 && code <= 20005);
}
}  // namespace link_error

inline constexpr const char* kNoMultiDropId = "FFFF";

struct ConnectionState {
    // --- link (serial port and TCP socket) ---
    LinkKind link_kind = LinkKind::None;
    LinkKind connection_type = LinkKind::None;  // kind of the last connection; survives a dropped link
    std::string port_name = "/dev/ttyS0";       // a device path on this platform
    std::uint32_t current_baud = 9600;
    std::uint32_t pending_baud = 9600;
    std::string host_address = "000.000.000.000";
    std::uint16_t tcp_port = 0;
    bool socket_open = false;
    // The TCP link went down by a failure (reset by the peer, or not re-opened by the recovery)
    // rather than by the closing sequence; the closing sequence tells the user once.
    bool link_dropped = false;
    std::uint32_t last_link_error = 0;
    std::string instance_number;  // "0".."8"; empty when every number is taken

    // The additional response wait the user sets (0..99998 ms); every read deadline adds it.
    // Atomic because the communication-error dialog may change it while a worker waits.
    std::atomic<int> response_wait_ms{0};
    int base_response_wait_ms = 0;  // set by the response-wait calibration

    // --- multi-drop addressing ---
    bool multidrop_enabled = false;      // frames carry the "Z0" + ID prefix
    bool multidrop_enable_next = false;  // one-shot: the next SendFrame switches addressing on
    std::string multidrop_current_id = kNoMultiDropId;
    std::string multidrop_target_id = kNoMultiDropId;

    // --- reliability counters ---
    std::uint32_t transactions_total = 0;
    std::uint32_t transactions_ok = 0;
    // When the last exchange ended well and when the last one failed (Unix milliseconds, 0: none
    // yet); the transaction writes them, the status bar reads them from its own thread.
    std::atomic<std::int64_t> last_good_exchange_ms{0};
    std::atomic<std::int64_t> last_failed_exchange_ms{0};

    // --- connection settings (connection dialogs and defaults) ---
    std::string port_setting = "NULL";
    bool auto_port_and_baud = true;
    std::uint32_t fixed_baud = 0;  // 0: detect
    int multidrop_mode = -1;       // -1 simple protocol, 0 one fixed ID, 1 detect IDs
    bool synchronize_clock = true;
    std::string connection_description;
    bool manual_dial = false;
    std::atomic<bool> cancel_connect{false};
    std::string modem_init = "AT E0 Q0 T V1 W2 X3 &K0 &Q0 S48=0 &W";
    std::string modem_auto_cmd = "ATL0";

    // --- main window ---
    int side_fire_mode = 1;  // 1 side-fire, 0 forward-fire
    int sync_interval = 3600000;  // ms; the periodic timer never runs faster than 60000
    bool sync_suspended = false;
    bool sensor_clock_is_utc = true;
    std::int64_t reset_clock_time = -1;
    std::int64_t reset_clock_correction = 0;

    // --- the connected sensor ---
    char units = 'E';  // 'E' English (mph), otherwise metric
    int lane_count = 8;
    std::string lane_names[8];

    void SetMultiDropId(const std::string& id) {
        multidrop_current_id = id;
        multidrop_target_id = id;
    }
};

}  // namespace qvx
