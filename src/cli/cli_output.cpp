#include "cli_output.h"

#include <cstdio>
#include <ctime>

#include "protocol/sensor_clock.h"

namespace qvx::cli {

std::string JsonString(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(byte));
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string TsvField(std::string_view text) {
    std::string field;
    field.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\\':
                field += "\\\\";
                break;
            case '\t':
                field += "\\t";
                break;
            case '\n':
                field += "\\n";
                break;
            case '\r':
                field += "\\r";
                break;
            default:
                field += c;
        }
    }
    return field;
}

namespace {

// millis < 0: none shown.
std::string FormatIso(std::int64_t unix_seconds, int millis, bool utc) {
    const auto moment = static_cast<std::time_t>(unix_seconds);
    std::tm parts{};
    if (utc) {
        gmtime_r(&moment, &parts);
    } else {
        localtime_r(&moment, &parts);
    }
    char text[48];
    std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    if (millis >= 0) {
        std::snprintf(text + length, sizeof text - length, ".%03d", millis % 1000);
    }
    if (utc) {
        return std::string(text) + "Z";
    }
    // Zone offsets stay within a day, so the hours always fit two digits.
    const int offset_minutes = static_cast<int>(parts.tm_gmtoff / 60 % (24 * 60));
    const int magnitude = offset_minutes < 0 ? -offset_minutes : offset_minutes;
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset_minutes < 0 ? '-' : '+', magnitude / 60 % 100,
                  magnitude % 60);
    return text + std::string(zone);
}

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
    return value / divisor - (value % divisor < 0 ? 1 : 0);
}

}  // namespace

std::string IsoTime(std::int64_t unix_seconds, bool utc) {
    return FormatIso(unix_seconds, -1, utc);
}

std::string IsoTimeMs(std::int64_t unix_ms, bool utc) {
    const std::int64_t seconds = FloorDiv(unix_ms, 1000);
    return FormatIso(seconds, static_cast<int>(unix_ms - seconds * 1000), utc);
}

std::string SensorIsoTime(std::uint32_t sensor_seconds, bool sensor_clock_is_utc, bool utc) {
    if (sensor_clock_is_utc) {
        return IsoTime(static_cast<std::int64_t>(sensor_seconds) + kSensorEpochUnix, utc);
    }
    const CalendarTime wall = SensorSecondsToLocal(sensor_seconds, false);
    std::tm parts{};
    parts.tm_year = wall.year - 1900;
    parts.tm_mon = wall.month - 1;
    parts.tm_mday = wall.day;
    parts.tm_hour = wall.hour;
    parts.tm_min = wall.minute;
    parts.tm_sec = wall.second;
    parts.tm_isdst = -1;
    return IsoTime(static_cast<std::int64_t>(std::mktime(&parts)), utc);
}

}  // namespace qvx::cli
