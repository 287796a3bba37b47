#pragma once
// What the sensor answers, command by command: the request code it recognises, the reply code it
// puts in front of its answer, how long the answer's data is, whether a checksum follows, and which
// status words it may send instead of data. Written from the sensor's side of the protocol; a test
// holds it against the program's catalogue row by row.

#include <cstdint>
#include <string_view>
#include <vector>

namespace qvx::sim {

// Status words a sensor may answer with instead of data.
namespace answer_word {
inline constexpr std::uint8_t kSuccess = 0x40;
inline constexpr std::uint8_t kFailure = 0x20;
inline constexpr std::uint8_t kInvalid = 0x10;
inline constexpr std::uint8_t kReady = 0x08;
inline constexpr std::uint8_t kEmpty = 0x04;
inline constexpr std::uint8_t kNull = 0x02;
inline constexpr std::uint8_t kNoLanes = 0x01;
}  // namespace answer_word

inline constexpr int kSilentLength = -1;  // the sensor sends nothing back
inline constexpr int kAnyLength = -2;     // multi-drop command: as long as the bus makes it

struct SensorCommand {
    std::string_view request;
    std::string_view reply;
    int min_length;  // data characters, checksum not counted
    int max_length;
    bool checksummed;
    std::uint8_t words;  // answer_word bits
};

// Every command the sensor knows, in the order the program's catalogue numbers them.
const std::vector<SensorCommand>& SensorCommands();
// The row whose request code equals code exactly, or nullptr.
const SensorCommand* FindSensorCommand(std::string_view code);
// The text of a status word bit ("Success", ...).
std::string_view AnswerWordText(std::uint8_t word);

// The access codes that follow "S8" to open and to close the command firewall.
inline constexpr std::string_view kUnprotectAccess = "7C3A9E1B5D2F486";
inline constexpr std::string_view kProtectAccess = "468013579246801";

}  // namespace qvx::sim
