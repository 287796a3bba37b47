#pragma once
// The connection defaults every connection procedure starts from: how the port and baud rate are
// found, which network protocol is used, whether the sensor clock follows the PC, how much extra
// time answers get, and the modem strings. Kept per user under
// "Software\Korvane\DLX2.0\Connection Default Settings", one set of multi-drop values per link kind.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/connection_state.h"

namespace qvx {

class RegistryStore;

enum class SettingsKind : int { Serial = 0, Modem = 1, Internet = 2 };

inline constexpr const char* kDefaultModemInit = "AT E0 Q0 T V1 W2 X3 &K0 &Q0 S48=0 &W";
inline constexpr const char* kDefaultModemAutoCmd = "ATL0";
inline constexpr std::size_t kModemInitMaxChars = 200;
inline constexpr std::size_t kModemAutoCmdMaxChars = 20;
inline constexpr int kDefaultMaxMultiDropSensors = 10;
// The added wait switched on when a user has never stored "Use Delay".
inline constexpr int kFirstRunAddedDelayMs = 10;

inline constexpr int kMultiDropSimple = -1;
inline constexpr int kMultiDropFixedId = 0;
inline constexpr int kMultiDropDetect = 1;
inline constexpr std::size_t kMultiDropIdLength = 4;

// Registry value names.
namespace defaults_value {
inline constexpr const char* kAutoComBaud = "Auto-COM-baud";
inline constexpr const char* kComPort = "COM port";
inline constexpr const char* kBaudrateIndex = "Baudrate index";
inline constexpr const char* kModemInitStr = "Modem Init Str";
inline constexpr const char* kModemAutoCmd = "Modem Auto Cmd";
inline constexpr const char* kUseDelay = "Use Delay";
inline constexpr const char* kUserAddedDelay = "User Added Delay";
inline constexpr const char* kCommonMultiDropDetection = "Multi-drop Detection";
inline constexpr const char* kCommonMaxMultiDropSensors = "Max Multi-drop Sensors";
inline constexpr const char* kSynchronize = "Synchronize";
inline constexpr std::size_t kShortStringBytes = 20;
inline constexpr std::size_t kIdReadBytes = 25;
inline constexpr std::size_t kModemStringBytes = 500;
}  // namespace defaults_value

// "Serial", "Modem" or "Inet": the prefix of the link kind's own multi-drop values.
const char* SettingsKindPrefix(SettingsKind kind);
std::string MultiDropDetectionValueName(SettingsKind kind);
std::string MaxMultiDropSensorsValueName(SettingsKind kind);
std::string SingleMultiDropIdValueName(SettingsKind kind);

struct ConnectionDefaults {
    SettingsKind settings_kind = SettingsKind::Serial;
    bool save_as_default = false;
    bool auto_port_and_baud = true;
    bool use_delay = false;
    bool synchronize_clock = true;
    int baud_index = 0;  // 0 automatic, then 9600 ... 921600 bps
    int user_added_delay = 0;
    int max_multidrop_sensors = kDefaultMaxMultiDropSensors;
    int multidrop_mode = kMultiDropSimple;
    std::string multidrop_id;
    std::string com_port;
    std::string modem_init = kDefaultModemInit;
    std::string modem_auto_cmd = kDefaultModemAutoCmd;
};

// --- the baud list ---
// 0 for index 0 (detect) and for indexes outside the table.
std::uint32_t BaudForIndex(int baud_index);
inline constexpr int kBaudIndexCount = 9;
// The choices the dialog offers: "Auto-find", "9600 bps" ... "115200 bps".
const std::vector<std::string>& BaudChoices();

// Reads the link kind's defaults and sets the connection state's port, baud, multi-drop,
// added-wait and clock settings (and, for the modem kind, its modem strings) from them.
ConnectionDefaults LoadConnectionDefaults(SettingsKind settings_kind, RegistryStore& registry,
                                          ConnectionState& state);
// Stores the defaults of their link kind. The older common multi-drop values are never written.
bool SaveConnectionDefaults(const ConnectionDefaults& defaults, RegistryStore& registry);

// The "Advanced Connection Settings" OK: puts the values into the connection state and stores
// them when save_as_default is set. selected_port is the port list's current choice.
bool ApplyConnectionDefaults(const ConnectionDefaults& defaults, const std::string& selected_port,
                             RegistryStore& registry, ConnectionState& state);

// --- field rules of the dialog ---
// Only 0-9 and A-Z are kept, at most 4 of them ("1 2 a 4" becomes "124").
std::string FilterMultiDropIdText(const std::string& text);
// The fixed-ID protocol needs exactly 4 characters; the other protocols accept anything.
bool AdvancedSettingsAcceptable(int multidrop_mode, const std::string& id);
// Digits only, at most `max_digits`.
std::string FilterDigitsText(const std::string& text, std::size_t max_digits);

// --- the serial port list ---
inline constexpr const char* kAutoFindPort = "Auto-find";
inline constexpr const char* kNoPortFound = "No port found";
using PortOpenTest = std::function<bool(const std::string& port)>;
// "Auto-find" followed by the ports that open, or just "No port found".
std::vector<std::string> BuildPortChoices(const std::vector<std::string>& ports,
                                          const PortOpenTest& can_open);
// Index of the stored port in the list, 0 when it is not there.
int PortChoiceIndex(const std::vector<std::string>& choices, const std::string& stored_port);
// Whether the device opens for reading and writing now (and is not held exclusively elsewhere).
bool CanOpenSerialPort(const std::string& port);
// BuildPortChoices over the platform's serial ports (EnumerateSerialPorts) and CanOpenSerialPort.
std::vector<std::string> SerialPortChoices();

}  // namespace qvx
