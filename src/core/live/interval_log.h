#pragma once
// The text of the three log files: the interval log, the event log and the download file (the
// interval log's layout with marks for doubtful records). The export reads these files back, so
// every column is fixed. Texts are built with "\n"; AppendLogText writes each as CR LF.

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "protocol/traffic_records.h"

namespace qvx {

// The banner's header values, taken when the banner is written.
struct LogBannerInfo {
    std::string date;         // "March 7, 2011" (BannerDate)
    std::string serial;       // ConfigInfo field 0, as stored
    std::string description;  // field 10
    std::string location;     // field 9
    char units = 'E';         // 'E': (MPH), anything else (KPH)
};

// The PC's local date of unix_time as the banner shows it: "March 7, 2011".
std::string BannerDate(std::time_t unix_time);

// Each banner begins with a line break, so it follows directly on whatever the file held, and
// ends with one, so the data lines follow its last line.
std::string IntervalLogBanner(const LogBannerInfo& info);
std::string EventLogBanner(const LogBannerInfo& info);

// One line per lane block of the record, in record order. The record time is shown in the PC's
// local time when the sensor clock keeps UTC, as it stands otherwise.
std::string IntervalLogLines(const IntervalRecord& record, const std::string (&lane_names)[8],
                             bool sensor_clock_is_utc);

// How the download judged a stored record.
struct DownloadRecordMarks {
    bool timestamp_unusable = false;  // the time column is left blank
    bool out_of_sequence = false;     // " ???" follows the time column
};
std::string DownloadLogLines(const IntervalRecord& record, const std::string (&lane_names)[8],
                             const DownloadRecordMarks& marks, bool sensor_clock_is_utc);

// The event's 2.5 ms count placed on the PC's current UTC day (an hour later while the PC's
// local time keeps daylight saving), shown as local time of day.
std::string EventLogLine(const EventRecord& event, const std::string (&lane_names)[8], std::time_t now);
// That time of day alone: "HH:MM:SS:mmm".
std::string EventTimeOfDay(const EventRecord& event, std::time_t now);
// The lane name left-aligned in 8 characters; "   --   " when the lane has no name.
std::string EventLaneLabel(char lane_digit, const std::string (&lane_names)[8]);

// The bytes written for a log text: every "\n" becomes CR LF.
std::string ToLogBytes(std::string_view text);

enum class LogWrite {
    Written,
    NotOpened,    // the file could not be opened (or created) for appending
    WriteFailed,  // opened, but not everything was written
};
// Opens the file for appending (creating it when absent), writes the text with CR LF line ends
// and closes it again.
LogWrite AppendLogText(const std::string& path, std::string_view text);

// Data lines for one log file. Lines whose file could not be opened are held back and written
// ahead of the next lines that get through, so a log that was briefly locked, moved or on a
// removed stick loses nothing. What is held back is bounded; beyond the bound the oldest lines
// give way.
class LogLineWriter {
  public:
    static constexpr std::size_t kMaxHeldBackBytes = 1 << 20;

    // True when the text (and everything held back) reached the file.
    bool Write(const std::string& path, std::string_view text);
    std::size_t held_back_bytes() const { return held_back_.size(); }
    // Lines given up because the bound was reached.
    std::size_t dropped_bytes() const { return dropped_; }

  private:
    void HoldBack(std::string_view text);

    std::string held_back_;
    std::size_t dropped_ = 0;
};

}  // namespace qvx
