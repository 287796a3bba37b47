#pragma once
// The text of the three log files: the interval log, the event log and the download file (the
// interval log's layout with marks for doubtful records). The export reads these files back, so
// every column is fixed. Texts are built with "\n"; AppendLogText writes each as CR LF.

#include <atomic>
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
    WriteFailed,  // opened, but not everything was written; the file was cut back to its old end
    Torn,         // not everything was written and the file could not be cut back
};
// Opens the file for appending (creating it when absent), writes the text with CR LF line ends
// and closes it again. The text goes in whole or not at all: after a short write (a full disk)
// the file is cut back to where it ended. errno tells why a write failed.
LogWrite AppendLogText(const std::string& path, std::string_view text);

// Data lines for one log file. Lines that could not be written (the file could not be opened, or
// the disk took only part of them) are held back for their own file and written ahead of the next
// lines that get through, so a log that was briefly locked, moved or on a removed stick loses
// nothing. Lines held for one file never go into another: when the path changes they are written
// to their file once more or given up. What is held back is bounded; beyond the bound the oldest
// lines give way. Lines given up are counted, so the caller can report them.
class LogLineWriter {
  public:
    static constexpr std::size_t kMaxHeldBackBytes = 1 << 20;

    // True when the text (and everything held back) reached the file.
    bool Write(const std::string& path, std::string_view text);
    std::size_t held_back_bytes() const { return held_back_.size(); }
    // Lines given up: the bound was reached, their file changed, or a write was torn.
    std::size_t dropped_bytes() const { return dropped_.load(); }
    // The last write reached an open file but not the disk (full disk, I/O error). May be read
    // from another thread than the writing one.
    bool write_failed() const { return write_failed_.load(); }
    // errno of the last failed write or open.
    int last_error() const { return last_error_.load(); }
    // True once for each write that failed since the last call (for one message per failure).
    bool TakeUnreportedFailure() { return unreported_failure_.exchange(false); }

  private:
    void HoldBack(std::string_view text);
    void GiveUpHeldBack();

    std::string held_path_;
    std::string held_back_;
    std::atomic<std::size_t> dropped_{0};
    std::atomic<bool> write_failed_{false};
    std::atomic<bool> unreported_failure_{false};
    std::atomic<int> last_error_{0};
};

}  // namespace qvx
