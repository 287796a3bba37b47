#include "base/hex_text.h"

namespace qvx::hex {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::optional<std::uint32_t> Parse(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (char c : digits) {
        const int digit = DigitValue(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::optional<std::int16_t> ParseSigned16(std::string_view digits) {
    if (digits.size() != 4) {
        return std::nullopt;
    }
    const auto value = Parse(digits);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(*value));
}

std::string Format(std::uint32_t value, int width) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(static_cast<std::size_t>(width > 0 ? width : 0), '0');
    for (auto it = text.rbegin(); it != text.rend(); ++it) {
        *it = kDigits[value & 0xF];
        value >>= 4;
    }
    return text;
}

}  // namespace qvx::hex
