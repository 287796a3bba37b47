#include "sensor_text.h"

namespace qvx::sim {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";
constexpr int kChecksumDigits = 4;

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

std::uint32_t CharacterSum(std::string_view text) {
    std::uint32_t sum = 0;
    for (char c : text) {
        sum += static_cast<unsigned char>(c);
    }
    return sum;
}

}  // namespace

std::string Hex(std::uint32_t value, int digits) {
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
        value >>= 4;
    }
    return text;
}

bool ParseHex(std::string_view text, std::uint32_t& value) {
    if (text.empty() || text.size() > 8) {
        return false;
    }
    std::uint32_t result = 0;
    for (char c : text) {
        const int digit = DigitValue(c);
        if (digit < 0) {
            return false;
        }
        result = (result << 4) | static_cast<std::uint32_t>(digit);
    }
    value = result;
    return true;
}

std::string PadRight(std::string text, std::size_t width) {
    text.resize(width, ' ');
    return text;
}

std::string SensorChecksum(std::string_view text) {
    // Records are at most 240 characters of 7-bit text, so four digits always hold the sum.
    return Hex(CharacterSum(text), kChecksumDigits);
}

bool SensorChecksumMatches(std::string_view text, std::string_view field) {
    std::uint32_t value = 0;
    return field.size() == kChecksumDigits && ParseHex(field, value) && value == CharacterSum(text);
}

}  // namespace qvx::sim
