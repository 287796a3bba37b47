#pragma once
// Display texts of the interval record's lane values, shared by the interval view, the interval
// log and the download file so that all three show a value the same way.

#include <cstdint>
#include <string>
#include <string_view>

namespace qvx {

inline constexpr std::size_t kLaneLabelWidth = 8;

// v * 100 / 1024 percent with one decimal, rounded to the nearest tenth; "100.0" shows as "100"
// and "0.0" as "0"; right-aligned so that the integer part takes 3 characters ("  0", " 12.5",
// "100", "  0.5"). Longer values are not cut.
std::string FormatPercent(std::uint16_t value);
// Decimal, right-aligned in 10 characters.
std::string FormatVolume(std::uint32_t volume);
// Signed decimal, right-aligned in 3 characters; longer numbers are not cut.
std::string FormatSpeed(std::int16_t speed);
// The lane name without trailing blanks, centred in 8 characters (a longer name is cut to 8).
std::string CentreLaneName(std::string_view name);
// The label of a lane block: its lane's name centred, or "********" for a lane digit outside
// '1'..'8' (a block the sensor should not have sent).
std::string IntervalLaneLabel(char lane_digit, const std::string (&lane_names)[8]);

}  // namespace qvx
