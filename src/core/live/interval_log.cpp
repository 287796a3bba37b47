#include "live/interval_log.h"

#include <cstdio>
#include <ctime>

#include "protocol/interval_format.h"
#include "protocol/sensor_clock.h"
#include "protocol/sensor_configuration.h"

namespace qvx {

namespace {

constexpr std::size_t kBannerInnerWidth = 107;
constexpr std::size_t kBannerValueWidth = 66;
constexpr int kDescriptionField = 10;
constexpr int kLocationField = 9;

constexpr const char* kDateLabel = "\n|                          DATE         : ";
constexpr const char* kSerialLabel = "\n|                          SERIAL NUMBER: ";
constexpr const char* kDescriptionLabel = "\n|                          DESCRIPTION  : ";
constexpr const char* kLocationLabel = "\n|                          LOCATION     : ";
constexpr const char* kHeadingTop =
    "\n|                     |             |                |       | Occu-  |   Classification (%)  |       "
    "      |";
constexpr const char* kHeadingMiddle =
    "\n|                     |             |                | Speed | pancy  |_______________________|       "
    "      |";
constexpr const char* kHeadingMph =
    "\n| YYYY-MM-DD HH:MM:SS |  LANE NAME  |     VOLUME     | (MPH) |  (%)   | Small |  Med  | Large | "
    "SENSOR TIME |";
constexpr const char* kHeadingKph =
    "\n| YYYY-MM-DD HH:MM:SS |  LANE NAME  |     VOLUME     | (KPH) |  (%)   | Small |  Med  | Large | "
    "SENSOR TIME |";
constexpr const char* kHeadingRule =
    "\n|_____________________|_____________|________________|_______|________|_______|_______|_______|_______"
    "______|"
    "\n";

// A longer value is written whole; the frame then simply bulges.
std::string BannerValueLine(const char* label, const std::string& value) {
    std::string line = label + value;
    if (value.size() < kBannerValueWidth) {
        line.append(kBannerValueWidth - value.size(), ' ');
    }
    return line + "|";
}

}  // namespace

std::string FormatLogDate(int year, int month, int day) {
    const char* name = month >= 1 && month <= 12 ? kMonthNames[static_cast<std::size_t>(month - 1)] : "";
    return std::string(name) + " " + std::to_string(day) + ", " + std::to_string(year);
}

std::string LogDateToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return FormatLogDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

LogBannerFields BannerFieldsFrom(const SensorConfiguration& configuration, char units, std::string date) {
    LogBannerFields fields;
    fields.date = std::move(date);
    fields.serial_number = configuration.GetConfigField(config_field::kSerialNumber);
    fields.description = configuration.GetConfigField(kDescriptionField);
    fields.location = configuration.GetConfigField(kLocationField);
    fields.units = units;
    return fields;
}

std::string IntervalLogBanner(const LogBannerFields& fields) {
    std::string text = "\n " + std::string(kBannerInnerWidth, '_');
    text += "\n|" + std::string(kBannerInnerWidth, ' ') + "|";
    text += BannerValueLine(kDateLabel, fields.date);
    text += BannerValueLine(kSerialLabel, fields.serial_number);
    text += BannerValueLine(kDescriptionLabel, fields.description);
    text += BannerValueLine(kLocationLabel, fields.location);
    text += "\n|" + std::string(kBannerInnerWidth, '_') + "|";
    text += kHeadingTop;
    text += kHeadingMiddle;
    text += fields.units == 'E' ? kHeadingMph : kHeadingKph;
    text += kHeadingRule;
    return text;
}

std::string IntervalLogLine(std::string_view time_field, std::string_view lane_label,
                            const IntervalLane& lane, std::string_view stamp_field) {
    std::string line = "  ";
    line += time_field;
    for (const std::string& column :
         {std::string(lane_label), FormatVolume(lane.volume), FormatSpeed(lane.speed),
          FormatPercent(lane.occupancy), FormatPercent(lane.small), FormatPercent(lane.medium),
          FormatPercent(lane.large)}) {
        line += '\t';
        line += column;
    }
    line += '\t';
    line += stamp_field;
    line += '\n';
    return line;
}

std::string IntervalLogRecordLines(const IntervalRecord& record, const std::string (&lane_names)[8]) {
    const std::string time = FormatSensorSeconds(record.end_time, true);
    const std::string stamp = std::to_string(record.end_time);
    std::string lines;
    for (const IntervalLane& lane : record.lanes) {
        lines += IntervalLogLine(time, IntervalLaneLabel(lane.lane_digit, lane_names), lane, stamp);
    }
    return lines;
}

std::string WithCrLf(std::string_view text) {
    std::string converted;
    converted.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') {
            converted += '\r';
        }
        converted += c;
    }
    return converted;
}

bool AppendToLog(const std::string& path, std::string_view text) {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) {
        return false;
    }
    const std::string bytes = WithCrLf(text);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace qvx
