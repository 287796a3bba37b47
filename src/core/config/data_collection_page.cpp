#include "config/data_collection_page.h"

#include <algorithm>
#include <cctype>

#include "config/length_units.h"
#include "config/page_text.h"
#include "base/hex_text.h"
#include "protocol/sensor_configuration.h"

namespace qvx {

namespace {

namespace field {
constexpr int kInterval = 11;
constexpr int kFlags = 12;
constexpr int kDacr = 14;
constexpr int kDirections = 15;  // ConfigInfo and the side-fire record alike
constexpr int kPga = 27;
constexpr int kFlashInterval = 212;
constexpr int kDefaultSpacing = 213;
constexpr int kDefaultSize = 214;
constexpr int kSpeedAvg = 221;
constexpr int kExtension = 222;
constexpr int kFirstSpacing = 195;
constexpr int kFirstSize = 203;
constexpr int kClassFields[6] = {163, 164, 167, 168, 171, 172};
}  // namespace field

constexpr long long kMinInterval = 5;
constexpr long long kMaxInterval = 999999999;
constexpr long long kMinFlashInterval = 300;
constexpr long long kMaxFlashInterval = 65535;
constexpr long long kMaxExtensionMs = 2500;
constexpr std::size_t kLaneNameLength = 8;

struct UnitLimits {
    long long loop_size;
    long long loop_spacing;
    const char* default_size;
    const char* default_spacing;
    long long small_max;
    long long medium_max;
    long long large_max;
    std::array<long long, 6> forward_fire_shown;
    std::array<long long, 6> forward_fire_stored;
};

const UnitLimits& LimitsFor(char units) {
    static const UnitLimits english{
        240, 720, "72", "240", 324, 326, 328, {0, 21, 22, 35, 36, 328}, {0, 21, 22, 35, 36, 328}};
    // The sensor wants the metric medium class to start at 67 whatever is shown.
    static const UnitLimits metric{
        610, 1829, "183", "609", 1000, 1000, 1000, {0, 64, 65, 107, 110, 1000}, {0, 64, 67, 107, 110, 1000}};
    return units == 'E' ? english : metric;
}

long long NumberOr(const std::string& text, long long fallback) {
    return page_text::ParseDecimal(text).value_or(fallback);
}

std::string Decimal(long long value) {
    return std::to_string(value);
}

std::string DigitsOnly(std::string_view text) {
    return page_text::Filter(
        text, [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; },
        [](char c) { return c; });
}

std::string HexOnly(std::string_view text) {
    return page_text::Filter(
        text, [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; },
        [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
}

std::string WithoutLeadingZero(std::string text) {
    while (!text.empty() && text.front() == '0') {
        text.erase(0, 1);
    }
    return text;
}

// The extension field as stored, "FFFF" (never set) read as "0000".
std::string ExtensionField(SensorConfiguration& config) {
    std::string text = config.GetCollectionField(field::kExtension);
    if (text == "FFFF") {
        text = "0000";
        config.SetCollectionField(field::kExtension, text);
    }
    return text;
}

}  // namespace

const char* DataCollectionPage::kApplySizeQuestion =
    "Apply the default loop size to\r\neach lane's loop size? (This will change\r\neach lane's occupancy "
    "scale "
    "factors.)";
const char* DataCollectionPage::kApplySpacingQuestion =
    "Apply the default loop spacing\r\nto each lane's loop spacing? (This will change\r\neach lane's speed "
    "scale factors.)";

DataCollectionLabels LabelsForUnits(char units) {
    if (units == 'E') {
        return {"Min Length (feet)", "Max Length (feet)", "Loop parameters are specified in \r\n(inches)"};
    }
    return {"Min Length (decimeters)", "Max Length (decimeters)",
            "Loop parameters are specified in \r\n(centimeters)"};
}

std::string DataCollectionControlLabel(int control) {
    using namespace dc_control;
    static const char* const kClassNames[6] = {"Small Min Length",  "Small Max Length", "Medium Min Length",
                                               "Medium Max Length", "Large Min Length", "Large Max Length"};
    if (control == kInterval)
        return "Interval (Bin) Size";
    if (control == kFlashInterval)
        return "Flash Interval";
    if (control >= kFirstClassLength && control < kFirstClassLength + 6)
        return kClassNames[control - kFirstClassLength];
    if (control == kDefaultSize)
        return "Default Loop Size";
    if (control == kDefaultSpacing)
        return "Default Loop Spacing";
    if (control >= kFirstLoopSize && control < kFirstLoopSize + kPageLanes)
        return "Lane " + Decimal(control - kFirstLoopSize + 1) + " Loop Size";
    if (control >= kFirstLoopSpacing && control < kFirstLoopSpacing + kPageLanes)
        return "Lane " + Decimal(control - kFirstLoopSpacing + 1) + " Loop Spacing";
    return "Control " + Decimal(control);
}

long long DataCollectionPage::LoopSizeLimit() const {
    return LimitsFor(model_.units).loop_size;
}

long long DataCollectionPage::LoopSpacingLimit() const {
    return LimitsFor(model_.units).loop_spacing;
}

// ---- show ----

void DataCollectionPage::Show(SensorConfiguration& config, bool side_fire, bool reset) {
    if (reset) {
        last_units_ = 'X';
    }
    DataCollectionModel& m = model_;
    m.units = config.GetExtendedField(kExtendedUnitsField) == "E" ? 'E' : 'M';
    m.interval = page_text::HexAsDecimal(config.GetConfigField(field::kInterval));
    const std::string flags = config.GetConfigField(field::kFlags);
    m.store_in_flash = !flags.empty() && (static_cast<unsigned char>(flags[0]) & 1u) != 0;
    m.flash_interval = page_text::HexAsDecimal(config.GetCollectionField(field::kFlashInterval));
    IntervalChanged();
    ShowClassLengths(config, side_fire);

    m.dacr = config.GetConfigField(field::kDacr);
    m.pga = config.GetExtendedField(field::kPga);
    m.speed_avg = config.GetCollectionField(field::kSpeedAvg);
    const std::string extension = ExtensionField(config);
    const auto lanes_mask = hex::Parse(std::string_view(extension).substr(0, 2)).value_or(0);
    const auto time =
        hex::Parse(extension.size() >= 4 ? std::string_view(extension).substr(2, 2) : "").value_or(0);
    const long long ms = static_cast<long long>(time) * 10;
    m.extension_ms = Decimal(ms > kMaxExtensionMs ? 0 : ms);

    const std::string sf_directions = config.GetSideFireField(field::kDirections);
    const std::string directions =
        sf_directions.size() == kPageLanes ? sf_directions : config.GetConfigField(field::kDirections);
    m.directions_enabled = side_fire;
    for (int lane = 0; lane < kPageLanes; ++lane) {
        m.extended[lane] = (lanes_mask >> lane) & 1u;
        m.lane_names[lane] = page_text::TrimRight(config.GetExtendedField(kFirstLaneNameField + lane));
        m.directions[lane] = static_cast<std::size_t>(lane) < directions.size() && directions[lane] == 'R';
        m.loop_sizes[lane] = page_text::HexAsDecimal(config.GetCollectionField(field::kFirstSize + lane));
        m.loop_spacings[lane] =
            page_text::HexAsDecimal(config.GetCollectionField(field::kFirstSpacing + lane));
    }
    m.default_size = page_text::HexAsDecimal(config.GetCollectionField(field::kDefaultSize));
    m.default_spacing = page_text::HexAsDecimal(config.GetCollectionField(field::kDefaultSpacing));
    RecomputeScaleFactors();

    unit_changed_ = last_units_ != 'X' && last_units_ != m.units;
    if (unit_changed_) {
        ConvertShownValues(m.units);
        RecomputeScaleFactors();
    }
    last_units_ = m.units;
}

void DataCollectionPage::ShowClassLengths(const SensorConfiguration& config, bool side_fire) {
    DataCollectionModel& m = model_;
    const UnitLimits& limits = LimitsFor(m.units);
    if (!side_fire) {
        for (int k = 0; k < 6; ++k) {
            m.class_lengths[k] = Decimal(limits.forward_fire_shown[k]);
        }
        return;
    }
    const auto small_max = hex::Parse(config.GetCollectionField(field::kClassFields[kSmallMax]));
    const auto medium_max = hex::Parse(config.GetCollectionField(field::kClassFields[kMediumMax]));
    m.class_lengths[kSmallMin] = "0";
    m.class_lengths[kSmallMax] = small_max ? Decimal(*small_max) : "";
    m.class_lengths[kMediumMin] = small_max ? Decimal(*small_max + 1) : "";
    m.class_lengths[kMediumMax] = medium_max ? Decimal(*medium_max) : "";
    m.class_lengths[kLargeMin] = medium_max ? Decimal(*medium_max + 1) : "";
    m.class_lengths[kLargeMax] = Decimal(limits.large_max);
}

void DataCollectionPage::ConvertShownValues(char to_units) {
    DataCollectionModel& m = model_;
    if (m.directions_enabled) {
        for (ClassLength which : {kSmallMax, kMediumMax}) {
            if (const auto value = page_text::ParseDecimal(m.class_lengths[which])) {
                m.class_lengths[which] = Decimal(ConvertClassLength(*value, to_units));
            }
        }
        m.class_lengths[kSmallMin] = "0";
        m.class_lengths[kMediumMin] = Decimal(NumberOr(m.class_lengths[kSmallMax], 0) + 1);
        m.class_lengths[kLargeMin] = Decimal(NumberOr(m.class_lengths[kMediumMax], 0) + 1);
        m.class_lengths[kLargeMax] = Decimal(LimitsFor(to_units).large_max);
    }
    const auto convert = [to_units](std::string& text) {
        if (const auto value = page_text::ParseDecimal(text)) {
            text = Decimal(ConvertLoopLength(*value, to_units));
        }
    };
    for (int lane = 0; lane < kPageLanes; ++lane) {
        convert(m.loop_sizes[lane]);
        convert(m.loop_spacings[lane]);
    }
    convert(m.default_size);
    convert(m.default_spacing);
}

void DataCollectionPage::RecomputeScaleFactors() {
    DataCollectionModel& m = model_;
    const long long default_size = NumberOr(m.default_size, 0);
    const long long default_spacing = NumberOr(m.default_spacing, 0);
    for (int lane = 0; lane < kPageLanes; ++lane) {
        if (default_size != 0) {
            if (const auto text = ScaleFactorText(NumberOr(m.loop_sizes[lane], 0), default_size)) {
                m.occupancy_scales[lane] = *text;
            }
        }
        if (default_spacing != 0) {
            if (const auto text = ScaleFactorText(default_spacing, NumberOr(m.loop_spacings[lane], 0))) {
                m.speed_scales[lane] = *text;
            }
        }
    }
}

void DataCollectionPage::SetScaleView(bool scale_view) {
    model_.scale_view = scale_view;
    RecomputeScaleFactors();
}

// ---- while the user works ----

void DataCollectionPage::IntervalChanged() {
    const long long interval = NumberOr(model_.interval, 0);
    if (interval >= 1) {
        model_.flash_limit = FlashIntervalLimit(interval);
    }
}

long long DataCollectionPage::ClassMaximumCap(ClassLength which) const {
    const UnitLimits& limits = LimitsFor(model_.units);
    return which == kSmallMax ? limits.small_max : limits.medium_max;
}

void DataCollectionPage::LeaveClassMaximum(ClassLength which) {
    std::string& text = model_.class_lengths[which];
    auto value = page_text::ParseDecimal(text);
    if (!value) {
        return;
    }
    if (model_.units == 'M' && !unit_changed_) {
        value = SnapMetricClassLength(*value);
    }
    text = Decimal(std::min(*value, ClassMaximumCap(which)));
    ClassMaximumTyped(which);
}

void DataCollectionPage::ClassMaximumTyped(ClassLength which) {
    unit_changed_ = false;
    std::string& text = model_.class_lengths[which];
    text = DigitsOnly(text);
    const auto value = page_text::ParseDecimal(text);
    if (!value) {
        return;
    }
    if (*value > ClassMaximumCap(which)) {
        text = Decimal(ClassMaximumCap(which));
    }
    model_.class_lengths[which + 1] = Decimal(NumberOr(text, 0) + 1);
}

void DataCollectionPage::LoopValueStepped(int control, long long old_value) {
    const bool spacing = control >= dc_control::kFirstLoopSpacing;
    const int lane = control - (spacing ? dc_control::kFirstLoopSpacing : dc_control::kFirstLoopSize);
    if (lane < 0 || lane >= kPageLanes) {
        return;
    }
    std::string& text = spacing ? model_.loop_spacings[lane] : model_.loop_sizes[lane];
    const auto value = page_text::ParseDecimal(text);
    if (value && model_.units == 'M' && !unit_changed_) {
        const long long limit = spacing ? LoopSpacingLimit() : LoopSizeLimit();
        if (const auto snapped = SnapMetricLoopValue(old_value, *value, limit)) {
            text = Decimal(*snapped);
        }
    }
    RecomputeScaleFactors();
}

bool DataCollectionPage::ClampDefault(bool spacing) {
    std::string& text = spacing ? model_.default_spacing : model_.default_size;
    const long long limit = spacing ? LoopSpacingLimit() : LoopSizeLimit();
    if (auto value = page_text::ParseDecimal(text)) {
        if (model_.units == 'M') {
            *value = SnapMetricLoopDefault(*value, limit);
        }
        text = Decimal(std::min(*value, limit));
    }
    RecomputeScaleFactors();
    return !text.empty() && text.front() != '0';
}

void DataCollectionPage::ApplyDefaultToLanes(bool spacing) {
    const int first = spacing ? dc_control::kFirstLoopSpacing : dc_control::kFirstLoopSize;
    for (int lane = 0; lane < kPageLanes; ++lane) {
        (spacing ? model_.loop_spacings : model_.loop_sizes)[lane] =
            spacing ? model_.default_spacing : model_.default_size;
        marks_.Unmark(first + lane);
    }
    RecomputeScaleFactors();
}

void DataCollectionPage::ExtensionTicked(SensorConfiguration& config, int lane) {
    if (lane < 0 || lane >= kPageLanes) {
        return;
    }
    std::string extension = ExtensionField(config);
    if (extension.size() < 4) {
        return;
    }
    auto mask = hex::Parse(std::string_view(extension).substr(0, 2)).value_or(0);
    mask = model_.extended[lane] ? (mask | (1u << lane)) : (mask & ~(1u << lane));
    extension.replace(0, 2, hex::Format(mask & 0xFFu, 2));
    config.SetCollectionField(field::kExtension, extension);
}

void DataCollectionPage::LeaveHexRegisters() {
    DataCollectionModel& m = model_;
    m.dacr = m.dacr.empty() ? "0000" : page_text::PadLeft(m.dacr, 4, '0');
    if (m.pga.size() != 2 || m.pga[0] != '0' || m.pga[1] > '5') {
        m.pga = "04";
    }
    m.speed_avg = m.speed_avg.empty() ? "0004" : page_text::PadLeft(m.speed_avg, 4, '0');
    for (int lane = 0; lane < kPageLanes; ++lane) {
        std::string& name = m.lane_names[lane];
        if (name.find_first_not_of(' ') == std::string::npos) {
            name = Decimal(lane + 1) + std::string(kLaneNameLength - 1, ' ');
        }
    }
}

std::string DataCollectionPage::FilterIntervalTyping(std::string_view text) {
    std::string digits = WithoutLeadingZero(DigitsOnly(text));
    if (digits.size() > 9) {
        return Decimal(kMaxInterval);
    }
    return digits;
}

std::string DataCollectionPage::FilterFlashIntervalTyping(std::string_view text) {
    std::string digits = WithoutLeadingZero(DigitsOnly(text));
    if (digits.size() > 5 || NumberOr(digits, 0) > kMaxFlashInterval) {
        return Decimal(kMaxFlashInterval);
    }
    return digits;
}

std::string DataCollectionPage::FilterDacrTyping(std::string_view text) {
    std::string digits = HexOnly(text).substr(0, 4);
    if (hex::Parse(digits).value_or(0) > 4) {
        return "0000";
    }
    return digits;
}

std::string DataCollectionPage::FilterPgaTyping(std::string_view text) {
    return HexOnly(text).substr(0, 2);
}

// ---- collect ----

void DataCollectionPage::MarkPair(int first, int second, const std::string& reason, int& errors,
                                  bool validate) {
    if (!validate) {
        return;
    }
    marks_.Mark(first, reason);
    if (second >= 0) {
        marks_.Mark(second, reason);
    }
    ++errors;
}

int DataCollectionPage::Collect(SensorConfiguration& config, bool side_fire, bool validate) {
    DataCollectionModel& m = model_;
    int errors = 0;
    IntervalChanged();  // the flash limit follows the interval however it was entered
    const auto interval = page_text::ParseDecimal(m.interval);
    if (!interval || *interval < kMinInterval) {
        MarkPair(dc_control::kInterval, -1, "must be at least 5 seconds", errors, validate);
    }
    if (interval) {
        config.SetConfigField(field::kInterval, hex::Format(static_cast<std::uint32_t>(*interval), 8));
    }
    std::string flags = config.GetConfigField(field::kFlags);
    if (!flags.empty()) {
        flags[0] = static_cast<char>(m.store_in_flash ? (flags[0] | 1) : (flags[0] & ~1));
        config.SetConfigField(field::kFlags, flags);
    }
    const auto flash = page_text::ParseDecimal(m.flash_interval);
    if (!flash || *flash < kMinFlashInterval || *flash > m.flash_limit) {
        MarkPair(dc_control::kFlashInterval, -1, "must be from 300 to " + Decimal(m.flash_limit) + " seconds",
                 errors, validate);
    }
    if (flash && *flash <= kMaxFlashInterval) {
        config.SetCollectionField(field::kFlashInterval, page_text::Hex4(*flash));
    }
    CollectClassLengths(config, side_fire, validate, errors);

    // Stored as entered, padded to the field so that no stale digit stays behind.
    config.SetConfigField(field::kDacr, m.dacr.empty() ? "0000" : page_text::PadLeft(m.dacr, 4, '0'));
    config.SetExtendedField(field::kPga, m.pga.empty() ? "04" : page_text::PadLeft(m.pga, 2, '0'));
    config.SetCollectionField(field::kSpeedAvg,
                              m.speed_avg.empty() ? "0004" : page_text::PadLeft(m.speed_avg, 4, '0'));

    std::string extension = ExtensionField(config);
    if (extension.size() >= 4) {
        const long long units = std::min(NumberOr(m.extension_ms, 0), kMaxExtensionMs) / 10;
        extension.replace(2, 2, hex::Format(static_cast<std::uint32_t>(units), 2));
        config.SetCollectionField(field::kExtension, extension);
    }

    std::string directions(kPageLanes, 'L');
    for (int lane = 0; lane < kPageLanes; ++lane) {
        config.SetExtendedField(kFirstLaneNameField + lane, page_text::PadRight(m.lane_names[lane], 8, ' '));
        if (m.directions[lane] == 1) {
            directions[lane] = 'R';
        }
    }
    if (side_fire) {
        config.SetSideFireField(field::kDirections, directions);
        config.SetConfigField(field::kDirections, directions);
    }
    CollectLoops(config, validate, errors);
    return errors;
}

void DataCollectionPage::CollectClassLengths(SensorConfiguration& config, bool side_fire, bool validate,
                                             int& errors) {
    DataCollectionModel& m = model_;
    const UnitLimits& limits = LimitsFor(m.units);
    std::array<long long, 6> values{};
    if (side_fire) {
        for (int k = 0; k < 6; ++k) {
            values[k] = NumberOr(m.class_lengths[k], 0);
        }
        const int first = dc_control::kFirstClassLength;
        for (int k = 0; k < 5; ++k) {
            if (values[k] >= values[k + 1]) {
                MarkPair(first + k, first + k + 1, "must be below the next length", errors, validate);
            }
        }
        for (int k : {kSmallMax, kMediumMax}) {
            if (values[k + 1] != values[k] + 1) {
                MarkPair(first + k, first + k + 1, "the next class must start one above this maximum", errors,
                         validate);
            }
        }
        if (m.units == 'M' && values[kMediumMax] < values[kSmallMax] + 3) {
            MarkPair(first + kMediumMax, first + kSmallMax,
                     "medium maximum must be at least small maximum + 3", errors, validate);
        }
    } else {
        values = limits.forward_fire_stored;
    }
    for (int k = 0; k < 6; ++k) {
        config.SetCollectionField(field::kClassFields[k], page_text::Hex4(values[k]));
    }
}

void DataCollectionPage::CollectLoops(SensorConfiguration& config, bool validate, int& errors) {
    DataCollectionModel& m = model_;
    const UnitLimits& limits = LimitsFor(m.units);
    const auto spacing_not_above_size = [&](std::string& size, std::string& spacing, int size_control,
                                            int spacing_control) {
        if (NumberOr(spacing, 0) <= NumberOr(size, 0)) {
            MarkPair(size_control, spacing_control, "loop spacing must be above loop size", errors, validate);
            if (validate) {
                m.scale_view = false;
            }
        }
    };
    if (m.default_size.empty())
        m.default_size = limits.default_size;
    if (m.default_spacing.empty())
        m.default_spacing = limits.default_spacing;
    spacing_not_above_size(m.default_size, m.default_spacing, dc_control::kDefaultSize,
                           dc_control::kDefaultSpacing);
    config.SetCollectionField(field::kDefaultSize, page_text::Hex4(NumberOr(m.default_size, 0)));
    config.SetCollectionField(field::kDefaultSpacing, page_text::Hex4(NumberOr(m.default_spacing, 0)));
    for (int lane = 0; lane < kPageLanes; ++lane) {
        if (m.loop_sizes[lane].empty())
            m.loop_sizes[lane] = m.default_size;
        if (m.loop_spacings[lane].empty())
            m.loop_spacings[lane] = m.default_spacing;
        spacing_not_above_size(m.loop_sizes[lane], m.loop_spacings[lane], dc_control::kFirstLoopSize + lane,
                               dc_control::kFirstLoopSpacing + lane);
        config.SetCollectionField(field::kFirstSize + lane, page_text::Hex4(NumberOr(m.loop_sizes[lane], 0)));
        config.SetCollectionField(field::kFirstSpacing + lane,
                                  page_text::Hex4(NumberOr(m.loop_spacings[lane], 0)));
    }
}

}  // namespace qvx
