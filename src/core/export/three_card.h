#pragma once
// The 3-card export: hourly traffic volume records, one per day, direction and lane code, each
// 141 characters and a line feed. The whole file is composed in memory first and then written
// in one piece, so a failed export leaves nothing behind.

#include <cstdint>
#include <string>
#include <vector>

#include "export/interval_log_reader.h"

namespace qvx {

inline constexpr std::size_t kCardRecordLength = 141;  // without the line feed
inline constexpr std::size_t kMaxStationLength = 6;
inline constexpr const char* kCardFileExtension = ".TM3";

// How one lane name of the log is reported: a lane code '0'..'9' ('0': all lanes of the
// direction together) and the direction's index '0'..'9' in DirectionCodes().
struct LaneMapping {
    char lane_code = '1';
    char direction_index = '0';
    bool operator==(const LaneMapping&) const = default;
};

struct CardSettings {
    std::string start_date;  // "YYYY-MM-DD"
    std::string end_date;
    std::string station;  // 1 to 6 letters or digits
    int state_index = 0;  // in StateCodes()
    int class_index = 0;  // in FunctionalClassCodes()
    int restriction_index = 0;
    std::vector<LaneMapping> lanes;  // one per lane name of the log, in the log's order
    bool open_when_finished = false;
};

// The default mapping of the n-th lane name: lane n+1, direction "N".
LaneMapping DefaultLaneMapping(std::size_t lane);

// A station ID the file name and the settings can carry: 1 to 6 letters or digits.
bool IsValidStation(const std::string& station);
// "42" -> "000042".
std::string PaddedStation(const std::string& station);
// The folder of the log file (up to and including its last '/'; empty for a bare name) and the
// padded station with ".TM3".
std::string CardFilePath(const std::string& log_path, const std::string& station);
std::string FolderOf(const std::string& path);

// Two lane names on the same lane code (other than '0') and the same direction.
bool HasDuplicateLaneMapping(const std::vector<LaneMapping>& lanes);

enum class CardStatus {
    Ok,
    InvalidSelection,  // a state, class or restriction index outside its list
    VolumeTooLarge,    // an hourly sum that does not fit its five columns
};

struct CardComposition {
    CardStatus status = CardStatus::Ok;
    std::string text;  // the file's content (empty unless Ok)
    std::size_t record_count = 0;
    // Records whose lane name is not among the first eight names, or whose lane code was passed
    // over because lane code '0' came first for the direction.
    std::size_t unexported_records = 0;
    // For VolumeTooLarge: where the sum overflowed.
    std::string day;
    int hour = 0;
    char direction_code = '0';
    char lane_code = '0';
    std::uint64_t volume = 0;
};

CardComposition ComposeCardFile(const LogData& log, const CardSettings& settings);

// The message for a failed composition (empty text for Ok).
ExportMessage CardCompositionMessage(const CardComposition& composition);
// "Export of 3 Card file\r\n\"<folder><station>.TM3\"\r\nsuccessfully completed!".
ExportMessage CardSuccessMessage(const std::string& card_path);

inline constexpr const char* kOverwriteCaption = "Overwrite File";
inline constexpr const char* kOverwriteText = "File already exists.  Do you want to overwrite the file?";
inline constexpr const char* kDuplicateLanesText = "Duplicate lane/direction entries found";
inline constexpr const char* kInvalidEntriesCaption = "Invalid entries";

}  // namespace qvx
