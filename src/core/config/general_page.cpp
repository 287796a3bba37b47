#include "config/general_page.h"

#include <algorithm>
#include <cctype>

#include "config/page_text.h"
#include "base/hex_text.h"
#include "protocol/sensor_configuration.h"
#include "protocol/user_prompts.h"

namespace qvx {

namespace {

namespace field {
constexpr int kSerialNumber = 0;
constexpr int kRtmsId = 5;
constexpr int kMultiDropId = 6;
constexpr int kOrientation = 8;
constexpr int kLocation = 9;
constexpr int kDescription = 10;
constexpr int kRfChannel = 211;
constexpr int kReplay = 220;
}  // namespace field

constexpr std::size_t kSerialLength = 16;
constexpr std::size_t kIdLength = 4;
constexpr std::size_t kTextLength = 32;
constexpr long long kMaxRtmsId = 255;
constexpr long long kUnsupportedRtmsId = 13;

std::string ShowRtmsId(const std::string& hex_text) {
    const auto value = hex::Parse(hex_text);
    if (!value) {
        return std::string();
    }
    return std::to_string(std::min<long long>(*value, kMaxRtmsId));
}

std::string CollectRtmsId(std::string& entry, UserPrompts& prompts) {
    if (entry.empty()) {
        entry = std::to_string(kMaxRtmsId);
    }
    auto value = page_text::ParseDecimal(entry).value_or(kMaxRtmsId);
    if (value == kUnsupportedRtmsId) {
        MessageRequest warning;
        warning.caption = "Warning...";
        warning.text = "An RTMS ID of 13 is not supported.\r\nSelect another number between 0 and 255.";
        warning.icon = IconKind::Warning;
        prompts.Message(warning);
        entry = "0";
        value = 0;
    }
    return page_text::Hex4(std::min(value, kMaxRtmsId));
}

std::string CollectText(const std::string& entry) {
    return entry.empty() ? std::string(kTextLength, '-') : page_text::PadRight(entry, kTextLength, ' ');
}

}  // namespace

char UnitsOfChoice(int units_choice) {
    return units_choice == 0 ? 'E' : 'M';
}

GeneralPageModel ShowGeneralPage(const SensorConfiguration& config) {
    GeneralPageModel page;
    page.serial_number = config.GetConfigField(field::kSerialNumber);
    page.multidrop_id = config.GetConfigField(field::kMultiDropId);
    page.rtms_id = ShowRtmsId(config.GetConfigField(field::kRtmsId));
    page.description = page_text::TrimRight(config.GetConfigField(field::kDescription));
    page.location = page_text::TrimRight(config.GetConfigField(field::kLocation));
    const std::string orientation = config.GetConfigField(field::kOrientation);
    page.orientation = -1;
    for (std::size_t k = 0; k < kOrientationCodes.size(); ++k) {
        if (orientation == kOrientationCodes[k]) {
            page.orientation = static_cast<int>(k);
        }
    }
    page.units = config.GetExtendedField(kExtendedUnitsField) == "E" ? 0 : 1;
    const auto channel = hex::Parse(config.GetCollectionField(field::kRfChannel));
    page.rf_channel = static_cast<int>(std::min<std::uint32_t>(channel.value_or(0), kRfChannelCount - 1));
    page.replay = config.GetCollectionField(field::kReplay) == "0001" ? 1 : 0;
    return page;
}

char CollectGeneralPage(GeneralPageModel& page, SensorConfiguration& config, UserPrompts& prompts) {
    page.serial_number = page_text::PadLeft(page.serial_number, kSerialLength, '0');
    config.SetConfigField(field::kSerialNumber, page.serial_number);

    if (page.multidrop_id.empty()) {
        page.multidrop_id = page.serial_number.substr(kSerialLength - kIdLength);
    }
    config.SetConfigField(field::kMultiDropId, page_text::PadLeft(page.multidrop_id, kIdLength, '0'));
    config.SetConfigField(field::kRtmsId, CollectRtmsId(page.rtms_id, prompts));
    config.SetConfigField(field::kDescription, CollectText(page.description));
    config.SetConfigField(field::kLocation, CollectText(page.location));
    const bool known_orientation = page.orientation >= 0 && page.orientation < 8;
    config.SetConfigField(
        field::kOrientation,
        kOrientationCodes[known_orientation ? static_cast<std::size_t>(page.orientation) : 0]);

    const char units = UnitsOfChoice(page.units);
    config.SetExtendedField(kExtendedUnitsField, std::string(1, units));
    config.set_units(units);
    config.SetCollectionField(field::kRfChannel, page_text::Hex4(std::clamp(page.rf_channel, 0, 3)));
    config.SetCollectionField(field::kReplay, page.replay == 1 ? "0001" : "FFFF");
    return units;
}

std::optional<PageMessage> LeaveSerialNumber(std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    if (text.size() == kSerialLength && (text[0] == '0' || text[0] == '1' || text[0] == '2')) {
        text[0] = '*';
        return PageMessage{"Error", "Serial numbers cannot start with a 0, 1, or 2."};
    }
    if (text.size() != kSerialLength) {
        text = page_text::PadRight(text, kSerialLength, '*');
        return PageMessage{"Error", "Serial numbers must be 16 characters long"};
    }
    return std::nullopt;
}

void LeaveMultiDropId(std::string& text, const SensorConfiguration& config) {
    if (text.size() < kIdLength) {
        const std::string serial = config.GetConfigField(field::kSerialNumber);
        text = serial.size() >= kIdLength ? serial.substr(serial.size() - kIdLength) : serial;
    }
}

std::string FilterMultiDropIdTyping(std::string_view text) {
    return page_text::Filter(
        text, [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; },
        [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
}

void LeaveRtmsId(std::string& text) {
    if (text.empty()) {
        text = std::to_string(kMaxRtmsId);
    }
}

std::string FilterRtmsIdTyping(std::string_view text) {
    std::string digits = page_text::Filter(
        text, [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; },
        [](char c) { return c; });
    const auto value = page_text::ParseDecimal(digits);
    if (value && *value > kMaxRtmsId) {
        return std::to_string(kMaxRtmsId);
    }
    return digits;
}

void LeaveDescription(std::string& text) {
    if (text.empty()) {
        text = std::string(kTextLength, '-');
    }
}

}  // namespace qvx
