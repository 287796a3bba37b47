#include "export/interval_log_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "export/calendar_day.h"
#include "platform/file_read.h"

namespace qvx {

namespace {

constexpr std::size_t kStampStart = 2;
constexpr std::size_t kStampLength = 19;
constexpr std::size_t kDashesFrom = 21;  // the 22nd character
constexpr std::size_t kFieldsNeeded = 8;
constexpr std::size_t kReadChunk = 1 << 20;
// No interval line is shorter than this; room for that many records is reserved up front, so
// the record list never moves. Pages that are never written cost no memory.
constexpr std::size_t kShortestIntervalLine = 40;
// More than any real count; a corrupted volume is still far beyond what an hour can hold.
constexpr std::uint64_t kVolumeCeiling = 1'000'000'000'000ULL;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view TrimTrailingBlanks(std::string_view text) {
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view TrimLeadingBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    return text;
}

int TwoDigitNumber(std::string_view text, std::size_t at) {
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

bool ParseVolume(std::string_view text, std::uint64_t& volume) {
    text = TrimLeadingBlanks(text);
    if (text.empty()) {
        return false;
    }
    volume = 0;
    for (char c : text) {
        if (!IsDigit(c)) {
            return false;
        }
        volume = std::min(volume * 10 + static_cast<std::uint64_t>(c - '0'), kVolumeCeiling);
    }
    return true;
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
    text = TrimLeadingBlanks(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

// Cuts a line at its TABs; each field without trailing blanks.
std::size_t SplitFields(std::string_view line, std::string_view (&fields)[kFieldsNeeded]) {
    std::size_t count = 0;
    while (count < kFieldsNeeded) {
        const std::size_t tab = line.find('\t');
        fields[count++] = TrimTrailingBlanks(line.substr(0, tab));
        if (tab == std::string_view::npos) {
            break;
        }
        line.remove_prefix(tab + 1);
    }
    return count;
}

// The stamp as stored: a real date and time, 00:00:00 moved to 24:00:00 of the day before.
bool ReadStamp(std::string_view text, std::array<char, 19>& stamp) {
    const auto day = ParseCalendarDay(text.substr(0, 10));
    const int hour = TwoDigitNumber(text, 11);
    const int minute = TwoDigitNumber(text, 14);
    const int second = TwoDigitNumber(text, 17);
    if (!day || hour > 23 || minute > 59 || second > 59) {
        return false;
    }
    std::memcpy(stamp.data(), text.data(), kStampLength);
    if (hour == 0 && minute == 0 && second == 0) {
        const CalendarDay previous = PreviousDay(*day);
        if (previous.year < 1) {
            return false;
        }
        std::memcpy(stamp.data(), CalendarDayText(previous).data(), 10);
        stamp[11] = '2';
        stamp[12] = '4';
    }
    return true;
}

bool ReadFields(std::string_view line, LogRecord& record) {
    std::string_view fields[kFieldsNeeded];
    if (SplitFields(line, fields) < kFieldsNeeded) {
        return false;
    }
    record.lane_name.assign(fields[1]);
    record.volume_text.assign(fields[2]);
    return ParseVolume(fields[2], record.volume) && ParseNumber(fields[3], record.speed) &&
           ParseNumber(fields[4], record.occupancy) && ParseNumber(fields[5], record.small) &&
           ParseNumber(fields[6], record.medium) && ParseNumber(fields[7], record.large);
}

// Takes the lines one at a time and keeps what the export needs.
class LogParser {
  public:
    explicit LogParser(const DayRange& range) : range_(range) {}

    void AddLine(std::string_view line) {
        saw_line_ = true;
        if (line.size() > kMaxLogLineLength) {
            line = line.substr(0, kMaxLogLineLength);
        }
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!IsIntervalLine(line)) {
            return;
        }
        LogRecord record;
        if (!ReadStamp(line.substr(kStampStart, kStampLength), record.stamp) || !ReadFields(line, record)) {
            ++data_.damaged_lines;
            return;
        }
        if (record.date() < range_.first || record.date() > range_.last) {
            return;
        }
        Take(std::move(record));
    }

    void Reserve(std::size_t records) { data_.records.reserve(records); }

    LogReadResult Finish() {
        LogReadResult result;
        if (!saw_line_) {
            result.status = LogReadStatus::NoLines;
        } else if (data_.records.empty()) {
            result.status = LogReadStatus::NoDataInRange;
        } else if (data_.lane_count == 0) {
            result.status = LogReadStatus::NoLanes;
        } else if (data_.records.size() % static_cast<std::size_t>(data_.lane_count) != 0) {
            result.status = LogReadStatus::IncompleteSets;
        }
        result.data = std::move(data_);
        return result;
    }

  private:
    void Take(LogRecord&& record) {
        run_ = (!data_.records.empty() && data_.records.back().stamp == record.stamp) ? run_ + 1 : 1;
        data_.lane_count = std::max(data_.lane_count, run_);
        NoteLaneName(record.lane_name);
        data_.records.push_back(std::move(record));
    }

    void NoteLaneName(const std::string& name) {
        if (data_.lane_names.size() >= kMaxLogLaneNames) {
            return;
        }
        for (const std::string& known : data_.lane_names) {
            if (known == name) {
                return;
            }
        }
        data_.lane_names.push_back(name);
    }

    const DayRange& range_;
    LogData data_;
    int run_ = 0;
    bool saw_line_ = false;
};

// Feeds the parser every line of a file descriptor, reading in large chunks so that a long file
// never sits in memory twice and a very long line costs no more than its first characters.
class ChunkedLineReader {
  public:
    ChunkedLineReader(int fd, const LogReadProgress& progress) : fd_(fd), progress_(progress) {}

    // False on a read error or a cancel (cancelled() tells which).
    bool Run(LogParser& parser) {
        std::string chunk(kReadChunk, '\0');
        // The line being gathered: at most one character more than is read of it, so a line
        // that runs over a chunk's end or goes on for megabytes costs no more than that.
        std::string pending;
        for (;;) {
            if (progress_.cancel && progress_.cancel->load()) {
                cancelled_ = true;
                return false;
            }
            const ssize_t count = ::read(fd_, chunk.data(), chunk.size());
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0) {
                return false;
            }
            if (count == 0) {
                break;
            }
            if (progress_.bytes) {
                progress_.bytes->fetch_add(static_cast<std::uint64_t>(count));
            }
            std::string_view data(chunk.data(), static_cast<std::size_t>(count));
            while (!data.empty()) {
                const std::size_t end = data.find('\n');
                const std::string_view piece = data.substr(0, end);
                if (pending.size() <= kMaxLogLineLength) {
                    pending.append(piece.substr(0, kMaxLogLineLength + 1 - pending.size()));
                }
                if (end == std::string_view::npos) {
                    break;
                }
                parser.AddLine(pending);
                pending.clear();
                data.remove_prefix(end + 1);
            }
        }
        if (!pending.empty()) {
            parser.AddLine(pending);
        }
        return true;
    }

    bool cancelled() const { return cancelled_; }

  private:
    int fd_;
    const LogReadProgress& progress_;
    bool cancelled_ = false;
};

}  // namespace

bool IsIntervalLine(std::string_view line) {
    if (line.size() < kStampStart + kStampLength) {
        return false;
    }
    const std::string_view stamp = line.substr(kStampStart, kStampLength);
    static constexpr char kPattern[] = "DDDD-DD-DD DD:DD:DD";
    for (std::size_t i = 0; i < kStampLength; ++i) {
        const bool fits = kPattern[i] == 'D' ? IsDigit(stamp[i]) : stamp[i] == kPattern[i];
        if (!fits) {
            return false;
        }
    }
    return line.size() <= kDashesFrom || line.find("--", kDashesFrom) == std::string_view::npos;
}

ExportMessage LogReadMessage(LogReadStatus status, int lane_count) {
    switch (status) {
        case LogReadStatus::FileNotFound:
            return {"The selected log file can not be found!", "File not found..."};
        case LogReadStatus::ReadFailed:
            return {"The selected log file could not be read to its end.", "File error..."};
        case LogReadStatus::NoLines:
            return {"No data found in selected log file!", "File error..."};
        case LogReadStatus::NoDataInRange:
            return {"No data found on or between the days selected!", "Error..."};
        case LogReadStatus::NoLanes:
            return {"No lanes detected in selected log file!", "Error..."};
        case LogReadStatus::IncompleteSets:
            return {"Some interval data sets do not contain all " + std::to_string(lane_count) +
                        " lanes detected!.",
                    "Error..."};
        case LogReadStatus::Ok:
        case LogReadStatus::Cancelled:
            break;
    }
    return {};
}

LogReadResult ReadIntervalLog(const std::string& path, const DayRange& range,
                              const LogReadProgress& progress) {
    LogReadResult result;
    // Opening a FIFO must not wait for a writer; only a regular file is read.
    const int fd = OpenRegularFileForReading(path);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        result.status = LogReadStatus::FileNotFound;
        return result;
    }
    if (progress.total) {
        progress.total->store(static_cast<std::uint64_t>(status.st_size));
    }
    LogParser parser(range);
    parser.Reserve(static_cast<std::size_t>(status.st_size) / kShortestIntervalLine);
    ChunkedLineReader reader(fd, progress);
    const bool read_whole = reader.Run(parser);
    ::close(fd);
    if (!read_whole) {
        result.status = reader.cancelled() ? LogReadStatus::Cancelled : LogReadStatus::ReadFailed;
        return result;
    }
    return parser.Finish();
}

LogReadResult ReadIntervalLogText(std::string_view text, const DayRange& range) {
    LogParser parser(range);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        parser.AddLine(text.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return parser.Finish();
}

}  // namespace qvx
