#pragma once
// The configuration records and the version text a simulated sensor starts with. Every record is
// built to its exact wire length and is self-consistent: the lane count, the lane map of the
// side-fire record, the lane letters and the lane names agree.

#include <cstdint>
#include <string>
#include <vector>

#include "sensor_text.h"

namespace qvx::sim {

inline constexpr std::size_t kConfigInfoLength = 167;
inline constexpr std::size_t kExtendedConfigLength = 87;
inline constexpr std::size_t kCollectionConfigLength = 240;
inline constexpr std::size_t kSfAlgorithmLength = 104;
inline constexpr std::size_t kSfNoiseLength = 64;
inline constexpr std::size_t kSfOccupancyLength = 64;
inline constexpr std::size_t kFfPart0Length = 200;
inline constexpr std::size_t kFfPartLength = 240;
inline constexpr std::size_t kVersionLength = 36;
inline constexpr int kMaxLanes = 8;

// Positions of the ConfigInfo fields the sensor acts on.
namespace config_pos {
inline constexpr std::size_t kSerialNumber = 0;
inline constexpr std::size_t kMultiDropId = 66;
inline constexpr std::size_t kIntervalLength = 142;
inline constexpr std::size_t kFlags = 150;
inline constexpr std::size_t kBaudCodes = 151;
inline constexpr std::size_t kLaneDirections = 159;
}  // namespace config_pos

// Bits of the ConfigInfo flags character.
namespace flag_bit {
inline constexpr unsigned kFlashStorage = 0x01;
inline constexpr unsigned kErrorRecovery = 0x04;
inline constexpr unsigned kReadFlash = 0x10;
inline constexpr unsigned kReadSram = 0x20;
inline constexpr unsigned kStatusEnabled = 0x80;
}  // namespace flag_bit

// Index of each port in the four baud codes of ConfigInfo.
enum class SensorPort : int { ExpansionA = 0, Rs232 = 1, ExpansionB = 2, Rs485 = 3 };

struct RecordSeed {
    std::string id = "0001";  // the sensor's multi-drop ID
    std::uint32_t seed = 1;
    int lanes = 4;
    char units = 'E';
    std::uint32_t interval_seconds = 20;
    bool multi_drop_network = false;  // collection field 215: multi-drop instead of simple protocol
    SensorPort port = SensorPort::Rs232;
    std::uint32_t baud = 9600;
    std::vector<std::string> push_types;  // "XD", "XA", "X1": pushed on the port above in push mode
};

// The letter a push set-up uses for a port: 'F' RS-232, 'S' RS-485, 'A' and 'B' the expansion ports.
char PushPortLetter(SensorPort port);

std::string BuildConfigInfo(const RecordSeed& seed);
std::string BuildExtendedConfigInfo(const RecordSeed& seed);
std::string BuildCollectionConfigInfo(const RecordSeed& seed);
std::string BuildSfAlgorithmInfo(const RecordSeed& seed);
std::string BuildSfNoiseInfo(const RecordSeed& seed);
std::string BuildSfOccupancyInfo(const RecordSeed& seed);
// part 0..3: "SG0" is 200 characters, the others 240.
std::string BuildFfAlgorithmInfo(const RecordSeed& seed, int part);

// The "S5" text: "DSP: " + 20 characters + " FPGA: " + 4 digits, 36 in all.
struct VersionParts {
    std::string primary = "v2";
    std::string yy = "10";
    std::string amm = "S03";  // 'S' side-fire or 'F' forward-fire, then the month
    std::string dd = "05";
    std::string fpga = "0030";
    std::string dsp_text;  // the whole DSP version instead of the parts above, when set
};
std::string BuildVersionText(const VersionParts& parts);

// Lanes described by a side-fire record: the lane centres of its used groups.
int LaneCountOfSfAlgorithm(const std::string& record);

// Baud code digit '0'..'7' <-> bits per second; 0 / '\0' when not one of the eight rates.
std::uint32_t BaudOfCode(char code);
char CodeOfBaud(std::uint32_t baud);

}  // namespace qvx::sim
