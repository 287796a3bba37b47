#pragma once
// Reads interval logs and download files back for the export: only lines in the interval-line
// layout are taken (banners, headings and blank lines are skipped), so a file of several logging
// sections reads as one sequence of records.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvx {

// One interval line of one lane.
struct LogRecord {
    // "YYYY-MM-DD HH:MM:SS"; a time of exactly 00:00:00 is kept as 24:00:00 of the day before,
    // so that the interval ending at midnight belongs to the day it measured.
    std::array<char, 19> stamp{};
    std::string lane_name;    // the label without trailing blanks (blanks from centring stay)
    std::string volume_text;  // as written, without trailing blanks
    std::uint64_t volume = 0;
    int speed = 0;
    double occupancy = 0;  // percent
    double small = 0;
    double medium = 0;
    double large = 0;

    std::string_view timestamp() const { return {stamp.data(), stamp.size()}; }
    std::string_view date() const { return timestamp().substr(0, 10); }
    // "HH:MM" ("24:00" for the interval that ended at midnight).
    std::string_view hour_minute() const { return timestamp().substr(11, 5); }
};

inline constexpr std::size_t kMaxLogLaneNames = 8;
// A line is read up to this many characters; the rest of it is passed over.
inline constexpr std::size_t kMaxLogLineLength = 512;

struct LogData {
    std::vector<LogRecord> records;       // in file order
    int lane_count = 0;                   // the longest run of records with one timestamp
    std::vector<std::string> lane_names;  // distinct, in order of first appearance, at most 8
    // Lines in the interval-line layout whose fields could not be read (a date that does not
    // exist, a volume that is not a number, missing columns). They are skipped and counted.
    std::size_t damaged_lines = 0;
};

// The first and last day to take, "YYYY-MM-DD", both included.
struct DayRange {
    std::string first = "0000-00-00";
    std::string last = "9999-99-99";
};

enum class LogReadStatus {
    Ok,
    FileNotFound,    // "The selected log file can not be found!"
    ReadFailed,      // the file opened but could not be read to its end
    NoLines,         // "No data found in selected log file!"
    NoDataInRange,   // "No data found on or between the days selected!"
    NoLanes,         // "No lanes detected in selected log file!"
    IncompleteSets,  // the records are there, but not every interval has all lanes
    Cancelled,
};

struct LogReadResult {
    LogReadStatus status = LogReadStatus::Ok;
    LogData data;
    // The records can be exported (IncompleteSets is a warning).
    bool usable() const { return status == LogReadStatus::Ok || status == LogReadStatus::IncompleteSets; }
};

struct ExportMessage {
    std::string text;
    std::string caption;
};
// The message shown for a status; empty text for Ok and Cancelled.
ExportMessage LogReadMessage(LogReadStatus status, int lane_count);

// Optional companions of a read on a worker thread.
struct LogReadProgress {
    const std::atomic<bool>* cancel = nullptr;    // set to stop the read (status Cancelled)
    std::atomic<std::uint64_t>* bytes = nullptr;  // bytes read so far
    std::atomic<std::uint64_t>* total = nullptr;  // the file's size, set when the read starts
};

LogReadResult ReadIntervalLog(const std::string& path, const DayRange& range,
                              const LogReadProgress& progress = {});
// The same rules over text already in memory (tests, the fuzz target).
LogReadResult ReadIntervalLogText(std::string_view text, const DayRange& range);

// True when the line has the interval-line layout: a "YYYY-MM-DD HH:MM:SS" pattern after two
// leading characters, and no "--" from its 22nd character on.
bool IsIntervalLine(std::string_view line);

}  // namespace qvx
