#pragma once
// The modem connection: find a Hayes modem on one of the serial ports, initialise it, dial the
// sensor's number (or let the technician dial by hand), read the modem's result, and once the
// modems are connected prove that the sensor answers. The line between PC and modem always runs
// at 9600 bps. The escape and hang-up at the end belong to the closing sequence.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "connect/connection_defaults.h"
#include "connect/multidrop.h"
#include "connect/progress_text.h"
#include "connect/serial_connect.h"

namespace qvx {

class AppContext;
class SensorLink;

inline constexpr std::uint32_t kModemLineBaud = 9600;
inline constexpr std::size_t kPhoneNumberMaxChars = 29;
inline constexpr std::size_t kPhoneNumberLimit = 91;  // a number must be shorter than this
inline constexpr std::size_t kLastPhoneReadBytes = 30;
inline constexpr const char* kLastPhoneValue = "Last Phone";
inline constexpr const char* kManualDialCommand = "ATX3DT\r";
inline constexpr const char* kDialPrefix = "ATDT";
inline constexpr int kDialSettleMs = 4500;  // timer 1
inline constexpr int kResultPollMs = 2000;  // timer 2
inline constexpr int kResultReadMs = 100;
inline constexpr std::size_t kResultReadChars = 22;
inline constexpr int kTooSlowPauseMs = 2000;

inline constexpr const char* kModemPrompt =
    "Enter sensor's telephone number or \r\nopen the Modem Address Book";
inline constexpr const char* kInvalidNumberText = "Please enter a valid number before dialing!";
inline constexpr const char* kNoModemStatus = "No modem detected...";
inline constexpr const char* kNoModemError = "Error: no modem was detected on this machine!";
inline constexpr const char* kManualDialStatus =
    "Take the phone off hook...\r\nDial sensor's modem number....";
inline constexpr const char* kDialingStatus = "Dialing the sensor's modem number...";
inline constexpr const char* kEstablishingStatus = "Establishing the connection...";
inline constexpr const char* kTooSlowText =
    "The modem connected, but line speed slower than 9600 bps.  Please try to reconnect.";
inline constexpr const char* kModemQueryingFormat =
    "Modem connection established @%i kbps, quering sensor...please wait...";
inline constexpr const char* kAutoDetectingText = "Auto-detecting sensor(s) on network...";
inline constexpr const char* kModemConnectedFormat = "You are connected and communicating @ %i bps";
inline constexpr const char* kNoDialToneText =
    "No dial-tone found. Check modem connections and configuration, then retry";
inline constexpr const char* kNoCarrierText =
    "No carrier detected. Check modem connections and configuration, then retry.";
inline constexpr const char* kModemErrorText =
    "An unspecified error occurred. Check modem connections and configuration, then retry. ";
inline constexpr const char* kSensorFailedText =
    "Sensor was connected to modem...\r\nAfter connection, communication to sensor failed!";
inline constexpr const char* kConnectionCancelledText = "Connection was cancelled!";
inline constexpr const char* kDialCancelledCaption = "Warning";
inline constexpr const char* kDialCancelledText =
    "Connection cancelled while in progress...\r\nLocal modem may need to be reset...";

// --- the modem's answers ---
enum class ModemResult { Connected, TooSlow, NoDialTone, NoCarrier, Other };

struct ModemReply {
    ModemResult result = ModemResult::Other;
    std::uint32_t line_speed = 0;  // bits per second, with CONNECT
};

// A search reply of at least 2 characters names a modem when it holds "OK", or a numeric "0"
// that is not part of an echo of the search command.
bool IsModemSearchReply(const std::string& reply, const std::string& search_command);
// The number after the first 'T' of "CONNECT": blanks, tabs and digits, at most 20 characters.
std::uint32_t ConnectLineSpeed(const std::string& reply);
ModemReply ClassifyModemReply(const std::string& reply);
// The status line for a result other than a connection.
const char* ModemResultText(ModemResult result);
// "@9600" style texts: the format with %i replaced by the speed.
std::string FormatSpeed(const char* format, std::uint32_t speed);

// --- the dialog's fields ---
// Opening: the modem defaults into the connection state, and the number from "Last Phone".
std::string OpenModemConnection(AppContext& app, ConnectionDefaults& defaults);
// Dial step 1: "Last Phone" and the modem kind's multi-drop values.
void StoreModemDialSettings(AppContext& app, const std::string& number);
bool PhoneNumberAcceptable(bool manual_dial, const std::string& number);
// "Manually Dialed @ 9600 bps", number + " @ 9600 bps", or "Information unavailable".
std::string ModemConnectionDescription(bool manual_dial, const std::string& number);
// A Modem Address Book entry chosen: a 4-character ID is the fixed ID, anything else detects.
void TakeModemBookEntry(ConnectionState& state, const std::string& sensor_id);

// --- the AT layer ---
// The ports the search walks: the machine's serial ports in order (or QVX_SERIAL_PORTS).
std::vector<std::string> ModemPortsToSearch();
using CancelCheck = std::function<bool()>;
using SleepFunction = std::function<void(int ms)>;
// Tries each port in turn (all of ModemPortsToSearch when ports is empty) at 9600 bps; true with
// the first port holding a modem left open and named in port_name.
bool FindModemPort(AppContext& app, const CancelCheck& cancelled = {}, std::vector<std::string> ports = {});
// The initialisation string and "\r"; the modem's answer (up to 200 characters, 500 ms) dropped.
void InitialiseModem(AppContext& app);
// "ATX3DT\r" by hand, else "ATDT" + the number (at most 29 characters) + "\r".
bool DialModem(AppContext& app, bool manual_dial, const std::string& number);
// One look for the modem's result: up to 22 characters within 100 ms (empty: not yet).
std::string ReadModemResult(AppContext& app);
// The result without a window: looks every poll_ms until the modem says something, then reads
// on until it stops. Empty when limit_ms passed or cancelled said so.
std::string AwaitModemResult(AppContext& app, int poll_ms, int limit_ms, const CancelCheck& cancelled = {});
// A line the modems connected but the program will not use: back to command mode and on hook;
// the port stays open for the next attempt.
void DropModemLine(AppContext& app, const SleepFunction& sleep = {});
// A dial abandoned before the modems connected: any character stops the modem dialling, "ATH0"
// puts it on hook, and the port is released so that the next attempt can open it again.
void AbandonModemDial(AppContext& app);

// --- after "CONNECT" ---
// The modems are connected at line_speed (9600 bps or more): the link becomes the modem link,
// the sensor is proven (with the multi-drop selection when detecting), the response wait is
// calibrated. Failed and Cancelled keep the port open: the closing sequence hangs up.
ConnectFinish AfterModemConnect(AppContext& app, std::uint32_t line_speed, const SensorSelector& select,
                                ProgressText& status, const SleepFunction& sleep = {});

}  // namespace qvx
