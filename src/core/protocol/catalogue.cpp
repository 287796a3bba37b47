#include "protocol/catalogue.h"

namespace qvx {

namespace {

using namespace status_bit;

constexpr bool kSum = true;
constexpr bool kPlain = false;
constexpr int kNone = kNoReplyLength;
constexpr int kAny = kMultiDropLength;

struct Row {
    const char* request_code;
    const char* response_code;
    const char* name;
    int min_length;
    int max_length;
    bool checksummed;
    int extra_wait_ms;
    std::uint8_t status_mask;
};

// Index order matters: FindCommand returns the first exact match and callers keep indexes.
std::vector<Row> CatalogueRows() {
    return {
        {"S0", "S0", "Get config info", 167, 167, kSum, 0, kFailure},
        {"S01", "S01", "Get extended config info", 87, 87, kSum, 0, kFailure},
        {"S02", "S02", "Get collection config info", 240, 240, kSum, 0, kFailure},
        {"S1", "S1", "Set config info", 0, 0, kPlain, 0, kSuccess | kFailure},
        {"S11", "S11", "Set extended config info", 0, 0, kPlain, 0, kSuccess | kFailure},
        {"S12", "S12", "Set collection config info", 0, 0, kPlain, 0, kSuccess | kFailure},
        {"S2", "S2", "Set SF algorithm info", 0, 0, kPlain, 0, kSuccess | kFailure},
        {"S2N", "S2N", "Set SF algorithm noise info", 0, 0, kPlain, 0, kSuccess | kFailure},
        {"S20", "S20", "Set SF algorithm occupancy info", 0, 0, kPlain, 0, kSuccess | kFailure},
        {"S3", "S3", "Get SF algorithm info", 104, 104, kSum, 0, 0},
        {"S3N", "S3N", "Get SF algorithm noise info", 64, 64, kSum, 0, 0},
        {"S30", "S30", "Get SF algorithm occupancy info", 64, 64, kSum, 0, 0},
        {"S4", "S4", "Set time", 0, 0, kPlain, 0, kSuccess | kFailure},
        {"S5", "S5", "Get version", 36, 36, kPlain, 0, 0},
        {"S6", "S6", "Get config mode", 1, 1, kPlain, 0, 0},
        {"S7", "S7", "Set baud", 0, 0, kPlain, 0, kSuccess | kFailure},
        {"S8", "S8", "Ping for checksum", 1, 36, kSum, 0, kFailure},
        {cmd::kUnprotect, "S8", "Unprotect Sensor", 15, 15, kSum, 0, kFailure},
        {cmd::kProtect, "S8", "Protect Sensor", 15, 15, kSum, 0, kFailure},
        {"S8B00FF", "S8", "Mute multi-drop ID responses", 5, 5, kSum, 0, kFailure},
        {"S9", "S9", "Start push", kNone, kNone, kPlain, 0, 0},
        {"SA", "SA", "Start push", kNone, kNone, kPlain, 0, 0},
        {"SB", "SB", "Get time", 8, 8, kPlain, 0, 0},
        {"SC", "SC", "Start push", kNone, kNone, kPlain, 0, kFailure},
        {"SD", "SD", "Set config mode", 0, 0, kPlain, 0, kSuccess | kFailure},
        {"SE", "SE", "Save config to FLASH", 0, 0, kPlain, 10000, kSuccess | kFailure},
        {"SF0", "SF0", "Set FF algorithm info 0", 0, 0, kSum, 0, kSuccess | kFailure | kInvalid},
        {"SF1", "SF1", "Set FF algorithm info 1", 0, 0, kSum, 0, kSuccess | kFailure | kInvalid},
        {"SF2", "SF2", "Set FF algorithm info 2", 0, 0, kSum, 0, kSuccess | kFailure | kInvalid},
        {"SF3", "SF3", "Set FF algorithm info 3", 0, 0, kSum, 0, kSuccess | kFailure | kInvalid},
        {"SG0", "SG0", "Get FF algorithm info 0", 200, 200, kSum, 0, kInvalid},
        {"SG1", "SG1", "Get FF algorithm info 1", 240, 240, kSum, 0, kInvalid},
        {"SG2", "SG2", "Get FF algorithm info 2", 240, 240, kSum, 0, kInvalid},
        {"SG3", "SG3", "Get FF algorithm info 3", 240, 240, kSum, 0, kInvalid},
        {"SH", "SH", "Get connection port", 4, 6, kPlain, 0, 0},
        {"SI", "SI", "Set internal command buffer", 0, 0, kSum, 0, kSuccess | kFailure},
        {"SJ", "SJ", "Get partial config info", 1, 240, kSum, 0, kFailure},
        {"SK", "SK", "Set partial config info", 0, 0, kPlain, 0, kSuccess | kFailure},
        {"X0", "X0", "Get latest interval", 37, 240, kPlain, 0, kEmpty | kNoLanes},
        {"X1", "X1", "Get actuation", 4, 4, kPlain, kPollWait, 0},
        {"X2", "X2", "Start push and flash", 0, 0, kPlain, 10000, kSuccess | kFailure},
        {"X3", "X3", "Start push", kNone, kNone, kPlain, 0, kFailure},
        {"X4", "X4", "Start push", kNone, kNone, kPlain, 0, kFailure},
        {"X5", "X5", "Stop push", 0, 0, kPlain, 0, kSuccess | kFailure},
        {"X6", "X6", "Read  memory", 1, 4096, kPlain, 0, kFailure},
        {"X7", "X7", "Start push", 0, 0, kPlain, 0, kSuccess | kFailure},
        {"X8", "X8", "Raw dump", kNone, kNone, kPlain, 0, kFailure},
        {"X9", "X9", "Get histogram", 256, 256, kPlain, 0, kFailure},
        {"XA", "XA", "Get event", 18, 18, kPlain, 0, kEmpty},
        {"XB", "XB", "Start push", kNone, kNone, kPlain, 0, 0},
        {"XC", "XC", "Start push", kNone, kNone, kPlain, 0, 0},
        {"XD", "XD", "Get indexed data", 37, 244, kSum, 2000, kFailure | kInvalid | kEmpty | kNoLanes},
        {"XE", "XE", "Flush SRAM intervals", 0, 0, kPlain, 0, kSuccess | kFailure},
        {"XEE", "XE", "Flush SRAM events", 0, 0, kPlain, 0, kSuccess | kFailure},
        {"XF", "XF", "Flush FLASH interval", 0, 0, kPlain, 10000, kSuccess | kFailure},
        {"XG", "XG", "Get FF actuation", 8, 8, kPlain, kPollWait, 0},
        {"XH", "XH", "Set communication options", kNone, kNone, kPlain, 0, kFailure},
        {"B0", "B1", "Request multi-drop IDs", kAny, kAny, kPlain, 250, 0},
        {"B2", "B2", "Enable multi-drop ID responses", kAny, kAny, kPlain, 0, 0},
        {"B3", "B3", "Broadcast Start Push", kAny, kAny, kPlain, 0, 0},
        {"D0", "D0", "Reset sensor", kNone, kNone, kPlain, 0, kFailure},
        {"D0Default", "D0", "Reset sensor to defaults", 0, 0, kPlain, 0, kSuccess | kFailure},
        {"D1", "D1", "Upload dsp packet", 5, 8, kPlain, 10000, kSuccess | kFailure},
        {"D2", "D2", "Get self diagnostic info", 45, 45, kPlain, 0, kFailure},
        {"D3", "D3", "Ready dsp upload", 8, 8, kPlain, 10000, kFailure | kReady},
        {"D4", "D4", "Start push", kNone, kNone, kPlain, 0, kFailure},
        {"D5", "D5", "Send dsp file checksum", 8, 8, kPlain, 0, kFailure},
        {"D6", "D6", "Get dsp upload status", 0, 0, kPlain, 10000, kSuccess | kFailure | kReady | kNull},
        {"D7", "D7", "Get event diagnostic info", 48, 48, kPlain, 0, kFailure},
        {"D8", "D8", "Set event diagnostic info", 0, 0, kPlain, 0, kFailure},
        {"F0", "F0", "Upload fpga packet", 0, 0, kPlain, 10000, kSuccess | kFailure},
        {"F1", "F1", "Ready fpga upload", 8, 8, kPlain, 10000, kFailure | kReady},
        {"F2", "F2", "Start push", kNone, kNone, kPlain, 0, kFailure},
        {"F3", "F3", "Send fpga file checksum", 8, 8, kPlain, 10000, kFailure},
        {"F4", "F4", "Get fpga upload status", 0, 0, kPlain, 0, kSuccess | kFailure | kReady | kNull},
        {"F5", "F5", "Reset and reload", kNone, kNone, kPlain, 0, kFailure},
        {"F6", "F6", "Write to port", 14, 14, kPlain, 0, kFailure | kInvalid},
        {"F7P0", "F7P0", "Read from port", 4, 4, kPlain, 0, kFailure | kInvalid},
        {"P0", "P0", "Write PLL F Register", 8, 8, kPlain, 0, 0},
        {"P1", "P1", "Read PLL F Register", 8, 8, kPlain, 0, 0},
        {"P2", "P2", "Write PLL N Register", 8, 8, kPlain, 0, 0},
        {"P3", "P3", "Read PLL N Register", 8, 8, kPlain, 0, 0},
        {"P4", "P4", "Write PLL R Register", 8, 8, kPlain, 0, 0},
        {"P5", "P5", "Read PLL R Register", 8, 8, kPlain, 0, 0},
    };
}

}  // namespace

CommandCatalogue::CommandCatalogue() {
    const std::vector<Row> rows = CatalogueRows();
    rows_.reserve(rows.size());
    for (const Row& row : rows) {
        CommandDescriptor descriptor;
        descriptor.request_code = row.request_code;
        descriptor.response_code = row.response_code;
        descriptor.name = row.name;
        descriptor.max_length = row.max_length;
        descriptor.min_length = row.min_length;
        descriptor.checksummed = row.checksummed;
        descriptor.extra_wait_ms = row.extra_wait_ms;
        descriptor.status_mask = row.status_mask;
        rows_.push_back(std::move(descriptor));
    }
}

CommandId CommandCatalogue::FindCommand(std::string_view request_code) const {
    for (std::size_t index = 0; index < rows_.size(); ++index) {
        if (rows_[index].request_code == request_code) {
            return static_cast<CommandId>(index);
        }
    }
    return -1;
}

const CommandCatalogue& BuildCommandCatalogue() {
    static const CommandCatalogue catalogue;
    return catalogue;
}

}  // namespace qvx
