#include "sensor_command_table.h"

namespace qvx::sim {

namespace {

using namespace answer_word;

constexpr bool kSum = true;
constexpr bool kBare = false;
constexpr int kNone = kSilentLength;
constexpr int kAny = kAnyLength;

}  // namespace

const std::vector<SensorCommand>& SensorCommands() {
    // clang-format off
    static const std::vector<SensorCommand> commands = {
        // Configuration records, identity, time and firewall
        {"S0", "S0", 167, 167, kSum, kFailure},
        {"S01", "S01", 87, 87, kSum, kFailure},
        {"S02", "S02", 240, 240, kSum, kFailure},
        {"S1", "S1", 0, 0, kBare, kSuccess | kFailure},
        {"S11", "S11", 0, 0, kBare, kSuccess | kFailure},
        {"S12", "S12", 0, 0, kBare, kSuccess | kFailure},
        {"S2", "S2", 0, 0, kBare, kSuccess | kFailure},
        {"S2N", "S2N", 0, 0, kBare, kSuccess | kFailure},
        {"S20", "S20", 0, 0, kBare, kSuccess | kFailure},
        {"S3", "S3", 104, 104, kSum, 0},
        {"S3N", "S3N", 64, 64, kSum, 0},
        {"S30", "S30", 64, 64, kSum, 0},
        {"S4", "S4", 0, 0, kBare, kSuccess | kFailure},
        {"S5", "S5", 36, 36, kBare, 0},
        {"S6", "S6", 1, 1, kBare, 0},
        {"S7", "S7", 0, 0, kBare, kSuccess | kFailure},
        {"S8", "S8", 1, 36, kSum, kFailure},
        {"S87C3A9E1B5D2F486", "S8", 15, 15, kSum, kFailure},
        {"S8468013579246801", "S8", 15, 15, kSum, kFailure},
        {"S8B00FF", "S8", 5, 5, kSum, kFailure},
        {"S9", "S9", kNone, kNone, kBare, 0},
        {"SA", "SA", kNone, kNone, kBare, 0},
        {"SB", "SB", 8, 8, kBare, 0},
        {"SC", "SC", kNone, kNone, kBare, kFailure},
        {"SD", "SD", 0, 0, kBare, kSuccess | kFailure},
        {"SE", "SE", 0, 0, kBare, kSuccess | kFailure},
        {"SF0", "SF0", 0, 0, kSum, kSuccess | kFailure | kInvalid},
        {"SF1", "SF1", 0, 0, kSum, kSuccess | kFailure | kInvalid},
        {"SF2", "SF2", 0, 0, kSum, kSuccess | kFailure | kInvalid},
        {"SF3", "SF3", 0, 0, kSum, kSuccess | kFailure | kInvalid},
        {"SG0", "SG0", 200, 200, kSum, kInvalid},
        {"SG1", "SG1", 240, 240, kSum, kInvalid},
        {"SG2", "SG2", 240, 240, kSum, kInvalid},
        {"SG3", "SG3", 240, 240, kSum, kInvalid},
        {"SH", "SH", 4, 6, kBare, 0},
        {"SI", "SI", 0, 0, kSum, kSuccess | kFailure},
        {"SJ", "SJ", 1, 240, kSum, kFailure},
        {"SK", "SK", 0, 0, kBare, kSuccess | kFailure},
        // Traffic data, memory and buffers
        {"X0", "X0", 37, 240, kBare, kEmpty | kNoLanes},
        {"X1", "X1", 4, 4, kBare, 0},
        {"X2", "X2", 0, 0, kBare, kSuccess | kFailure},
        {"X3", "X3", kNone, kNone, kBare, kFailure},
        {"X4", "X4", kNone, kNone, kBare, kFailure},
        {"X5", "X5", 0, 0, kBare, kSuccess | kFailure},
        {"X6", "X6", 1, 4096, kBare, kFailure},
        {"X7", "X7", 0, 0, kBare, kSuccess | kFailure},
        {"X8", "X8", kNone, kNone, kBare, kFailure},
        {"X9", "X9", 256, 256, kBare, kFailure},
        {"XA", "XA", 18, 18, kBare, kEmpty},
        {"XB", "XB", kNone, kNone, kBare, 0},
        {"XC", "XC", kNone, kNone, kBare, 0},
        {"XD", "XD", 37, 244, kSum, kFailure | kInvalid | kEmpty | kNoLanes},
        {"XE", "XE", 0, 0, kBare, kSuccess | kFailure},
        {"XEE", "XE", 0, 0, kBare, kSuccess | kFailure},
        {"XF", "XF", 0, 0, kBare, kSuccess | kFailure},
        {"XG", "XG", 8, 8, kBare, 0},
        {"XH", "XH", kNone, kNone, kBare, kFailure},
        // Multi-drop discovery: never addressed, never prefixed
        {"B0", "B1", kAny, kAny, kBare, 0},
        {"B2", "B2", kAny, kAny, kBare, 0},
        {"B3", "B3", kAny, kAny, kBare, 0},
        // DSP firmware, reset and diagnostics
        {"D0", "D0", kNone, kNone, kBare, kFailure},
        {"D0Default", "D0", 0, 0, kBare, kSuccess | kFailure},
        {"D1", "D1", 5, 8, kBare, kSuccess | kFailure},
        {"D2", "D2", 45, 45, kBare, kFailure},
        {"D3", "D3", 8, 8, kBare, kFailure | kReady},
        {"D4", "D4", kNone, kNone, kBare, kFailure},
        {"D5", "D5", 8, 8, kBare, kFailure},
        {"D6", "D6", 0, 0, kBare, kSuccess | kFailure | kReady | kNull},
        {"D7", "D7", 48, 48, kBare, kFailure},
        {"D8", "D8", 0, 0, kBare, kFailure},
        // FPGA firmware and the pass-through port
        {"F0", "F0", 0, 0, kBare, kSuccess | kFailure},
        {"F1", "F1", 8, 8, kBare, kFailure | kReady},
        {"F2", "F2", kNone, kNone, kBare, kFailure},
        {"F3", "F3", 8, 8, kBare, kFailure},
        {"F4", "F4", 0, 0, kBare, kSuccess | kFailure | kReady | kNull},
        {"F5", "F5", kNone, kNone, kBare, kFailure},
        {"F6", "F6", 14, 14, kBare, kFailure | kInvalid},
        {"F7P0", "F7P0", 4, 4, kBare, kFailure | kInvalid},
        // PLL registers
        {"P0", "P0", 8, 8, kBare, 0},
        {"P1", "P1", 8, 8, kBare, 0},
        {"P2", "P2", 8, 8, kBare, 0},
        {"P3", "P3", 8, 8, kBare, 0},
        {"P4", "P4", 8, 8, kBare, 0},
        {"P5", "P5", 8, 8, kBare, 0},
    };
    // clang-format on
    return commands;
}

const SensorCommand* FindSensorCommand(std::string_view code) {
    for (const SensorCommand& command : SensorCommands()) {
        if (command.request == code) {
            return &command;
        }
    }
    return nullptr;
}

std::string_view AnswerWordText(std::uint8_t word) {
    switch (word) {
        case kSuccess:
            return "Success";
        case kFailure:
            return "Failure";
        case kInvalid:
            return "Invalid";
        case kReady:
            return "Ready";
        case kEmpty:
            return "Empty";
        case kNull:
            return "Null";
        case kNoLanes:
            return "No lanes";
        default:
            return "";
    }
}

}  // namespace qvx::sim
