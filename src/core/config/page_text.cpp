#include "config/page_text.h"

#include <charconv>

#include "base/hex_text.h"

namespace qvx::page_text {

std::string TrimRight(std::string text) {
    while (text.size() > 1 && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

std::string PadLeft(std::string_view text, std::size_t width, char fill) {
    text = text.substr(0, width);
    return std::string(width - text.size(), fill) + std::string(text);
}

std::string PadRight(std::string_view text, std::size_t width, char fill) {
    text = text.substr(0, width);
    return std::string(text) + std::string(width - text.size(), fill);
}

std::optional<long long> ParseDecimal(std::string_view text) {
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

std::string HexAsDecimal(std::string_view hex_text) {
    const auto value = hex::Parse(hex_text);
    return value ? std::to_string(*value) : std::string();
}

std::string Hex4(long long value) {
    return hex::Format(static_cast<std::uint32_t>(value) & 0xFFFFu, 4);
}

}  // namespace qvx::page_text
