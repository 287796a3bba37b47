#pragma once
// The fixed table of the 84 commands the program sends. Built once, never changed.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvx {

using CommandId = int;

namespace status_bit {
inline constexpr std::uint8_t kSuccess = 0x40;
inline constexpr std::uint8_t kFailure = 0x20;
inline constexpr std::uint8_t kInvalid = 0x10;
inline constexpr std::uint8_t kReady = 0x08;
inline constexpr std::uint8_t kEmpty = 0x04;
inline constexpr std::uint8_t kNull = 0x02;
inline constexpr std::uint8_t kNoLanes = 0x01;
}  // namespace status_bit

// Data-length markers of the catalogue.
inline constexpr int kNoReplyLength = -1;    // the command expects no reply
inline constexpr int kMultiDropLength = -2;  // multi-drop command: any length
inline constexpr int kPollWait = -1;         // extra_wait_ms of the polled actuation reads

inline constexpr const char* kUnprotectCode = "7C3A9E1B5D2F486";
inline constexpr const char* kProtectCode = "468013579246801";

struct CommandDescriptor {
    std::string request_code;
    std::string response_code;
    std::string name;
    int max_length = 0;
    int min_length = 0;
    bool checksummed = false;
    int extra_wait_ms = 0;
    std::uint8_t status_mask = 0;
};

class CommandCatalogue {
  public:
    CommandCatalogue();  // BuildCommandCatalogue
    // Index 0..83 of the first row whose request code equals the text exactly, or -1.
    CommandId FindCommand(std::string_view request_code) const;
    const CommandDescriptor& DescribeCommand(CommandId id) const { return rows_.at(id); }
    std::size_t size() const { return rows_.size(); }

  private:
    std::vector<CommandDescriptor> rows_;
};

// The one catalogue of the process.
const CommandCatalogue& BuildCommandCatalogue();

// Request codes the procedures use by name.
namespace cmd {
inline constexpr const char* kGetConfigInfo = "S0";
inline constexpr const char* kGetExtendedConfigInfo = "S01";
inline constexpr const char* kGetCollectionConfigInfo = "S02";
inline constexpr const char* kSetConfigInfo = "S1";
inline constexpr const char* kSetExtendedConfigInfo = "S11";
inline constexpr const char* kSetCollectionConfigInfo = "S12";
inline constexpr const char* kSetSfAlgorithmInfo = "S2";
inline constexpr const char* kSetSfAlgorithmNoiseInfo = "S2N";
inline constexpr const char* kGetSfAlgorithmInfo = "S3";
inline constexpr const char* kGetSfAlgorithmNoiseInfo = "S3N";
inline constexpr const char* kSetTime = "S4";
inline constexpr const char* kGetVersion = "S5";
inline constexpr const char* kGetConfigMode = "S6";
inline constexpr const char* kSetBaud = "S7";
inline constexpr const char* kPing = "S8";
inline constexpr const char* kUnprotect = "S87C3A9E1B5D2F486";
inline constexpr const char* kProtect = "S8468013579246801";
inline constexpr const char* kMuteMultiDrop = "S8B00FF";
inline constexpr const char* kStartPush = "S9";
inline constexpr const char* kStartPushConfirmed = "X7";  // answered "Success" or "Failure"
inline constexpr const char* kGetTime = "SB";
inline constexpr const char* kSetConfigMode = "SD";
inline constexpr const char* kSaveConfig = "SE";
inline constexpr const char* kGetConnectionPort = "SH";
inline constexpr const char* kGetLatestInterval = "X0";
inline constexpr const char* kStopPush = "X5";
inline constexpr const char* kGetEvent = "XA";
inline constexpr const char* kGetIndexedData = "XD";
inline constexpr const char* kRequestMultiDropIds = "B0";
inline constexpr const char* kEnableMultiDrop = "B2";
inline constexpr const char* kBroadcastStartPush = "B3";
inline constexpr const char* kResetSensor = "D0";
}  // namespace cmd

}  // namespace qvx
