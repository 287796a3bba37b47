#include "protocol/interval_format.h"

#include <algorithm>

namespace qvx {

namespace {

std::string RightAlign(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.insert(0, width - text.size(), ' ');
    }
    return text;
}

}  // namespace

std::string FormatPercent(std::uint16_t value) {
    const std::uint32_t tenths = (static_cast<std::uint32_t>(value) * 1000 + 512) / 1024;
    std::string text;
    if (tenths == 0) {
        text = "0";
    } else if (tenths == 1000) {
        text = "100";
    } else {
        text = std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
    }
    const bool has_point = text.find('.') != std::string::npos;
    return RightAlign(std::move(text), has_point ? 5 : 3);
}

std::string FormatVolume(std::uint32_t volume) {
    return RightAlign(std::to_string(volume), 10);
}

std::string FormatSpeed(std::int16_t speed) {
    return RightAlign(std::to_string(speed), 3);
}

std::string CentreLaneName(std::string_view name) {
    const std::size_t end = name.find_last_not_of(' ');
    name = end == std::string_view::npos ? std::string_view() : name.substr(0, end + 1);
    name = name.substr(0, std::min(name.size(), kLaneLabelWidth));
    const std::size_t before = (kLaneLabelWidth - name.size()) / 2;
    std::string label(before, ' ');
    label += name;
    label.resize(kLaneLabelWidth, ' ');
    return label;
}

std::string IntervalLaneLabel(char lane_digit, const std::string (&lane_names)[8]) {
    if (lane_digit < '1' || lane_digit > '8') {
        return std::string(kLaneLabelWidth, '*');
    }
    return CentreLaneName(lane_names[lane_digit - '1']);
}

}  // namespace qvx
