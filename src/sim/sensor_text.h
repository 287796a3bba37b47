#pragma once
// The sensor's own text helpers: fixed-width hexadecimal numbers, blank padding and the additive
// checksum it puts behind a record. Kept apart from the program's helpers on purpose, so that a
// misreading of the wire on either side shows up as a failing exchange.

#include <cstdint>
#include <string>
#include <string_view>

namespace qvx::sim {

// Upper-case hexadecimal, most significant digit first, exactly `digits` wide (higher digits cut).
std::string Hex(std::uint32_t value, int digits);
// Hexadecimal digits of either case, 1..8 of them, nothing else.
bool ParseHex(std::string_view text, std::uint32_t& value);
std::string PadRight(std::string text, std::size_t width);

// The sum of the character codes (unsigned bytes) as four upper-case hexadecimal digits.
std::string SensorChecksum(std::string_view text);
// True when field is four hexadecimal digits (either case) equal to the sum of text.
bool SensorChecksumMatches(std::string_view text, std::string_view field);

}  // namespace qvx::sim
