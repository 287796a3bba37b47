#pragma once
// Fixed-width hexadecimal text, the way the sensor writes numbers: upper-case digits, most
// significant first, leading zeros.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx::hex {

// The value of one hex digit (either case), or -1 for any other character.
int DigitValue(char c);
// The value of 1 to 8 hex digits (either case); nullopt for an empty, too long or non-hex text.
std::optional<std::uint32_t> Parse(std::string_view digits);
// The 4 hex digits read as a signed 16-bit number ("FFF6" is -10).
std::optional<std::int16_t> ParseSigned16(std::string_view digits);
// width upper-case digits of the low bits of value.
std::string Format(std::uint32_t value, int width);

}  // namespace qvx::hex
