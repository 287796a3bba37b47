#pragma once
// The "Communication" settings page: the two IP addresses, the port rates, the packet script
// names, the response delays, the advanced communication register (simple protocol, flow
// control) and the four data push set-ups.

#include <array>
#include <string>

namespace qvx {

class SensorConfiguration;
class UserPrompts;

// Port rate items; the RS-232 and RS-485 lists end after the first five.
inline constexpr std::array<const char*, 8> kBaudItems = {"9600 bps",   "19200 bps",  "38400 bps",
                                                          "57600 bps",  "115200 bps", "230400 bps",
                                                          "460800 bps", "921600 bps"};
inline constexpr int kMainPortBaudItems = 5;
inline constexpr std::array<const char*, 4> kPushPortNames = {"RS-232", "RS-485", "Exp A", "Exp B"};
inline constexpr std::array<const char*, 4> kPushDataTypes = {"QV Bin Data", "QV Event Data", "QV Actuation",
                                                              "RTMS Bin Data"};

// Indexes of the four ports in the page's rate lists and response delays.
namespace comm_port {
inline constexpr int kExpansionA = 0;  // the baud code positions of ConfigInfo field 13
inline constexpr int kRs232 = 1;
inline constexpr int kExpansionB = 2;
inline constexpr int kRs485 = 3;
}  // namespace comm_port

struct PushSetup {
    bool enabled = false;
    int port = -1;       // index into kPushPortNames; -1: unknown code, kept as stored
    int data_type = -1;  // index into kPushDataTypes; -1: unknown code, kept as stored
};

struct CommunicationPageModel {
    std::array<std::string, 4> modem_ip;  // octets as decimal text
    std::array<std::string, 4> collector_ip;
    std::array<int, 4> baud{};  // by comm_port index: the list item; -1 keeps the stored code
    std::string config_script;
    std::string data_script;
    std::string variable_name;
    std::string tcp_port = "80";
    std::array<std::string, 4> delays;  // by comm_port index, decimal milliseconds
    bool simple_protocol = true;
    bool rts_cts = false;
    std::array<PushSetup, 4> push;
};

CommunicationPageModel ShowCommunicationPage(const SensorConfiguration& config);

// Copies the controls to the records. When "Simple Protocol" is switched off while the program
// talks to the sensor without multi-drop addressing, the user is asked first; Cancel leaves the
// register as it was and the collect returns 0 (a save stops). Otherwise 1.
int CollectCommunicationPage(const CommunicationPageModel& page, SensorConfiguration& config,
                             UserPrompts& prompts, bool multidrop_in_use);

// The register value the page's two choices give.
std::string CommunicationRegister(bool simple_protocol, bool rts_cts);

// The question asked before simple protocol is switched off.
std::string SimpleProtocolQuestion(const SensorConfiguration& config);
inline constexpr const char* kFlowControlOnWarning =
    "If CTS/RTS lines are not connected, enabling flow control disables RS-232 communication.";
inline constexpr const char* kFlowControlOffWarning =
    "If CTS/RTS lines are connected, turning flow control off disables RS-232 communication.";

// Checks as the user leaves a field, and filters while typing.
void LeaveScriptName(std::string& text, std::size_t width);  // empty: width '-'
void LeaveAddressOctets(std::array<std::string, 4>& octets);
void LeaveRs485Delay(std::string& text);
std::string FilterDelayTyping(std::string_view text);

}  // namespace qvx
