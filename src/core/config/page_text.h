#pragma once
// Small text rules the settings pages share: padding, trimming and number parsing of entries.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx::page_text {

// Removes blanks from the end, but never the first character.
std::string TrimRight(std::string text);
// Cut to width, then padded on the left (or right) with fill up to width.
std::string PadLeft(std::string_view text, std::size_t width, char fill);
std::string PadRight(std::string_view text, std::size_t width, char fill);
// A decimal entry of digits only (at most 10); nullopt otherwise.
std::optional<long long> ParseDecimal(std::string_view text);
// The decimal text of a hex field; empty when the field is not hex.
std::string HexAsDecimal(std::string_view hex_text);
// value as 4 upper-case hex digits (the low 16 bits).
std::string Hex4(long long value);
// Keeps only characters accepted by keep (after map).
template <typename Keep, typename Map>
std::string Filter(std::string_view text, Keep keep, Map map) {
    std::string out;
    for (char c : text) {
        c = map(c);
        if (keep(c)) {
            out += c;
        }
    }
    return out;
}

}  // namespace qvx::page_text
