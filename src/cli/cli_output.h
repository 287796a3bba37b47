#pragma once
// The pieces every data command's tsv and json output is made of: one escaping rule for each
// format and one time format, so that a script reads every command the same way.

#include <cstdint>
#include <string>
#include <string_view>

namespace qvx::cli {

// text as a JSON string, quotes included. Control bytes, DEL and 8-bit bytes become \u00XX (each
// byte read as Latin-1), so the output is plain ASCII and always valid UTF-8.
std::string JsonString(std::string_view text);

// text as one tsv field: a backslash, tab, line feed and carriage return become \\, \t, \n and
// \r, so a field never splits a line or a row.
std::string TsvField(std::string_view text);

// A moment as ISO 8601 with the zone: "2026-12-08T15:04:05+01:00" in the PC's local time, or
// "2026-12-08T14:04:05Z" when utc.
std::string IsoTime(std::int64_t unix_seconds, bool utc);
// The same with milliseconds: "2026-12-08T15:04:05.250+01:00".
std::string IsoTimeMs(std::int64_t unix_ms, bool utc);

// A sensor clock reading as ISO 8601. A UTC sensor clock names its moment directly; a clock that
// keeps the local wall-clock time is read as that local time (the zone rules of its date decide
// the offset).
std::string SensorIsoTime(std::uint32_t sensor_seconds, bool sensor_clock_is_utc, bool utc);

}  // namespace qvx::cli
