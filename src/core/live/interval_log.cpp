#include "live/interval_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "protocol/interval_format.h"
#include "protocol/sensor_clock.h"

namespace qvx {

namespace {

constexpr std::size_t kIntervalBannerWidth = 107;
constexpr std::size_t kEventBannerWidth = 67;
constexpr std::size_t kIntervalValueWidth = 66;
constexpr std::size_t kEventValueWidth = 42;
constexpr std::size_t kTimeColumnWidth = 19;
constexpr std::size_t kDownloadStampWidth = 10;
constexpr std::uint32_t kEventTicksPerSecond = 400;
constexpr std::time_t kSecondsPerDay = 86400;

// A header piece followed by its value, filled with blanks to width (a longer value is kept whole).
std::string HeaderLine(std::string_view label, const std::string& value, std::size_t width) {
    std::string line(label);
    line += value;
    if (value.size() < width) {
        line.append(width - value.size(), ' ');
    }
    return line + "|";
}

std::string BannerFrame(std::size_t width) {
    std::string text = "\n " + std::string(width, '_');
    text += "\n|" + std::string(width, ' ') + "|";
    return text;
}

const char* SpeedUnit(char units) {
    return units == 'E' ? "(MPH)" : "(KPH)";
}

std::string RightAligned(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.insert(0, width - text.size(), ' ');
    }
    return text;
}

// Everything after the time column: the lane label up to the sensor timestamp, without it.
std::string LaneColumns(const IntervalLane& lane, const std::string (&lane_names)[8]) {
    std::string line = "\t" + IntervalLaneLabel(lane.lane_digit, lane_names);
    line += "\t" + FormatVolume(lane.volume);
    line += "\t" + FormatSpeed(lane.speed);
    line += "\t" + FormatPercent(lane.occupancy);
    line += "\t" + FormatPercent(lane.small);
    line += "\t" + FormatPercent(lane.medium);
    line += "\t" + FormatPercent(lane.large);
    return line + "\t";
}

std::string DownloadTimeColumn(const IntervalRecord& record, const DownloadRecordMarks& marks,
                               bool sensor_clock_is_utc) {
    std::string column;
    if (record.end_time == kUnusableTimestamp) {
        column.assign(kTimeColumnWidth, '*');
    } else if (marks.timestamp_unusable) {
        column.assign(kTimeColumnWidth, ' ');
    } else {
        column = FormatSensorSeconds(record.end_time, sensor_clock_is_utc);
    }
    if (marks.out_of_sequence) {
        column += " ???";
    }
    return column;
}

std::string TwoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

}  // namespace

std::string BannerDate(std::time_t unix_time) {
    std::tm local{};
    localtime_r(&unix_time, &local);
    return std::string(kMonthNames[static_cast<std::size_t>(local.tm_mon)]) + " " +
           std::to_string(local.tm_mday) + ", " + std::to_string(local.tm_year + 1900);
}

std::string IntervalLogBanner(const LogBannerInfo& info) {
    std::string text = BannerFrame(kIntervalBannerWidth);
    const std::string indent = "\n|                          ";
    text += HeaderLine(indent + "DATE         : ", info.date, kIntervalValueWidth);
    text += HeaderLine(indent + "SERIAL NUMBER: ", info.serial, kIntervalValueWidth);
    text += HeaderLine(indent + "DESCRIPTION  : ", info.description, kIntervalValueWidth);
    text += HeaderLine(indent + "LOCATION     : ", info.location, kIntervalValueWidth);
    text += "\n|" + std::string(kIntervalBannerWidth, '_') + "|";
    text +=
        "\n|                     |             |                |       | Occu-  |   Classification (%)  |"
        "             |";
    text +=
        "\n|                     |             |                | Speed | pancy  |_______________________|"
        "             |";
    text += "\n| YYYY-MM-DD HH:MM:SS |  LANE NAME  |     VOLUME     | ";
    text += SpeedUnit(info.units);
    text += " |  (%)   | Small |  Med  | Large | SENSOR TIME |";
    text +=
        "\n|_____________________|_____________|________________|_______|________|_______|_______|_______|"
        "_____________|\n";
    return text;
}

std::string EventLogBanner(const LogBannerInfo& info) {
    std::string text = BannerFrame(kEventBannerWidth);
    const std::string indent = "\n|          ";
    text += HeaderLine(indent + "DATE         : ", info.date, kEventValueWidth);
    text += HeaderLine(indent + "SERIAL NUMBER: ", info.serial, kEventValueWidth);
    text += HeaderLine(indent + "DESCRIPTION  : ", info.description, kEventValueWidth);
    text += HeaderLine(indent + "LOCATION     : ", info.location, kEventValueWidth);
    text += "\n|" + std::string(kEventBannerWidth, '_') + "|";
    text += "\n|              |             | DURATION|       |       |  COUNT     |";
    text += "\n| HH:MM:SS:MS  |  LANE NAME  | (2.5MS) | ";
    text += SpeedUnit(info.units);
    text += " | CLASS | (2.5MS)    |";
    text += "\n|______________|_____________|_________|_______|_______|____________|\n";
    return text;
}

std::string IntervalLogLines(const IntervalRecord& record, const std::string (&lane_names)[8],
                             bool sensor_clock_is_utc) {
    const std::string time = FormatSensorSeconds(record.end_time, sensor_clock_is_utc);
    const std::string stamp = std::to_string(record.end_time);
    std::string text;
    for (const IntervalLane& lane : record.lanes) {
        text += "  " + time + LaneColumns(lane, lane_names) + stamp + "\n";
    }
    return text;
}

std::string DownloadLogLines(const IntervalRecord& record, const std::string (&lane_names)[8],
                             const DownloadRecordMarks& marks, bool sensor_clock_is_utc) {
    const std::string time = DownloadTimeColumn(record, marks, sensor_clock_is_utc);
    const std::string stamp = RightAligned(std::to_string(record.end_time), kDownloadStampWidth);
    std::string text;
    for (const IntervalLane& lane : record.lanes) {
        text += "  " + time + LaneColumns(lane, lane_names) + stamp + "\n";
    }
    return text;
}

std::string EventLaneLabel(char lane_digit, const std::string (&lane_names)[8]) {
    std::string name;
    if (lane_digit >= '1' && lane_digit <= '8') {
        name = lane_names[lane_digit - '1'];
    }
    const std::size_t end = name.find_last_not_of(' ');
    if (end == std::string::npos) {
        return "   --   ";
    }
    name.resize(std::min(end + 1, kLaneLabelWidth));
    name.resize(kLaneLabelWidth, ' ');
    return name;
}

std::string EventTimeOfDay(const EventRecord& event, std::time_t now) {
    std::tm local_now{};
    localtime_r(&now, &local_now);
    std::time_t base = now - now % kSecondsPerDay;
    if (local_now.tm_isdst > 0) {
        base += 3600;
    }
    const std::time_t event_time = base + static_cast<std::time_t>(event.ticks / kEventTicksPerSecond);
    std::tm local{};
    localtime_r(&event_time, &local);
    char millis[8];
    std::snprintf(millis, sizeof millis, "%03u", (event.ticks % kEventTicksPerSecond) * 5 / 2);
    return TwoDigits(local.tm_hour) + ":" + TwoDigits(local.tm_min) + ":" + TwoDigits(local.tm_sec) + ":" +
           millis;
}

std::string EventLogLine(const EventRecord& event, const std::string (&lane_names)[8], std::time_t now) {
    std::string line = "  " + EventTimeOfDay(event, now);
    line += "\t" + EventLaneLabel(event.lane_digit, lane_names);
    line += "\t" + std::to_string(event.duration);
    line += "\t" + std::to_string(event.speed);
    line += "\t" + std::string(1, event.class_char);
    line += "\t" + std::to_string(event.ticks) + "\n";
    return line;
}

std::string ToLogBytes(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() + text.size() / 32);
    for (char c : text) {
        if (c == '\n') {
            bytes += '\r';
        }
        bytes += c;
    }
    return bytes;
}

LogWrite AppendLogText(const std::string& path, std::string_view text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        return LogWrite::NotOpened;
    }
    const off_t old_end = ::lseek(fd, 0, SEEK_END);
    LogWrite result = LogWrite::Written;
    if (!WriteAll(fd, ToLogBytes(text))) {
        const int error = errno;
        // Half a record would read back as a damaged line: take it out again.
        result = old_end >= 0 && ::ftruncate(fd, old_end) == 0 ? LogWrite::WriteFailed : LogWrite::Torn;
        errno = error;
    }
    const int error = errno;
    if (::close(fd) != 0 && result == LogWrite::Written) {
        return LogWrite::Torn;  // the data may or may not have reached the disk
    }
    errno = error;
    return result;
}

bool LogLineWriter::Write(const std::string& path, std::string_view text) {
    if (!held_back_.empty() && held_path_ != path) {
        // Lines held for another file go there or nowhere.
        if (AppendLogText(held_path_, held_back_) != LogWrite::Written) {
            GiveUpHeldBack();
        }
        held_back_.clear();
    }
    held_path_ = path;
    HoldBack(text);
    const LogWrite result = AppendLogText(path, held_back_);
    if (result != LogWrite::Written) {
        last_error_.store(errno);
    }
    write_failed_.store(result == LogWrite::WriteFailed || result == LogWrite::Torn);
    if (write_failed_.load()) {
        unreported_failure_.store(true);
    }
    if (result == LogWrite::Written) {
        held_back_.clear();
        return true;
    }
    // A torn write left part of the text in the file: writing it again could double it.
    if (result == LogWrite::Torn) {
        GiveUpHeldBack();
    }
    return false;
}

void LogLineWriter::GiveUpHeldBack() {
    dropped_.fetch_add(held_back_.size());
    held_back_.clear();
}

void LogLineWriter::HoldBack(std::string_view text) {
    held_back_ += text;
    if (held_back_.size() <= kMaxHeldBackBytes) {
        return;
    }
    // Give way at a line boundary so the file never gets a torn line.
    std::size_t cut = held_back_.size() - kMaxHeldBackBytes;
    const std::size_t line_end = held_back_.find('\n', cut - 1);
    cut = line_end == std::string::npos ? held_back_.size() : line_end + 1;
    dropped_.fetch_add(cut);
    held_back_.erase(0, cut);
}

}  // namespace qvx
