#include "config/calibration_pages.h"

#include <cctype>

#include "config/page_text.h"
#include "base/hex_text.h"
#include "protocol/sensor_configuration.h"

namespace qvx {

namespace {
constexpr int kFirstBoundary = 223;
constexpr int kFirstLastLane = 243;
constexpr int kFirstMainNoise = 247;
constexpr int kFirstAuxNoise = 255;
constexpr std::uint32_t kLastBoundaryValue = 0xAE;

constexpr int kFirstStartBin = 32;
constexpr int kFirstStopBin = 40;
constexpr int kFirstBinThreshold = 48;
constexpr int kPeakPresence = 80;
constexpr int kFirstPeakNoise = 81;
constexpr int kFirstFutureUse = 161;

template <std::size_t N>
void ShowFields(std::array<std::string, N>& entries, int first_id, const SensorConfiguration& config,
                std::string (SensorConfiguration::*get)(int) const) {
    for (std::size_t k = 0; k < N; ++k) {
        entries[k] = (config.*get)(first_id + static_cast<int>(k));
    }
}

template <std::size_t N>
void CollectFields(const std::array<std::string, N>& entries, int first_id, SensorConfiguration& config,
                   bool (SensorConfiguration::*set)(int, std::string_view)) {
    for (std::size_t k = 0; k < N; ++k) {
        (config.*set)(first_id + static_cast<int>(k), page_text::PadLeft(entries[k], 4, '0'));
    }
}

// A boundary entry's value; an entry that is not hex counts as zero.
std::uint32_t BoundaryValue(const std::string& entry) {
    return hex::Parse(entry).value_or(0);
}
}  // namespace

void SideFireCalibrationPage::Show(const SensorConfiguration& config) {
    ShowFields(model_.main_noise, kFirstMainNoise, config, &SensorConfiguration::GetSideFireField);
    ShowFields(model_.aux_noise, kFirstAuxNoise, config, &SensorConfiguration::GetSideFireField);
    ShowFields(model_.boundaries, kFirstBoundary, config, &SensorConfiguration::GetSideFireField);
    ShowFields(model_.last_lanes, kFirstLastLane, config, &SensorConfiguration::GetSideFireField);
}

int SideFireCalibrationPage::Collect(SensorConfiguration& config, bool validate) {
    int errors = 0;
    if (validate) {
        auto& b = model_.boundaries;
        for (std::string& entry : b) {
            if (BoundaryValue(entry) > kLastBoundaryValue) {
                entry = "0000";
            }
        }
        for (std::size_t i = 0; i + 1 < 20; ++i) {
            if (BoundaryValue(b[i]) < BoundaryValue(b[i + 1])) {
                continue;
            }
            // The array ends at its first zero, when only zeros follow it (the last entry is not looked at).
            bool rest_zero = true;
            for (std::size_t k = i + 1; k <= 18; ++k) {
                rest_zero = rest_zero && BoundaryValue(b[k]) == 0;
            }
            if (BoundaryValue(b[i + 1]) == 0 && rest_zero) {
                break;
            }
            const std::string reason = "the lane boundaries must increase up to the first zero";
            marks_.Mark(static_cast<int>(i), reason);
            marks_.Mark(static_cast<int>(i + 1), reason);
            ++errors;
        }
    }
    CollectFields(model_.main_noise, kFirstMainNoise, config, &SensorConfiguration::SetSideFireField);
    CollectFields(model_.aux_noise, kFirstAuxNoise, config, &SensorConfiguration::SetSideFireField);
    CollectFields(model_.boundaries, kFirstBoundary, config, &SensorConfiguration::SetSideFireField);
    CollectFields(model_.last_lanes, kFirstLastLane, config, &SensorConfiguration::SetSideFireField);
    return errors;
}

ForwardFireCalibrationModel ShowForwardFireCalibration(const SensorConfiguration& config) {
    ForwardFireCalibrationModel page;
    const auto get = &SensorConfiguration::GetForwardFireField;
    ShowFields(page.start_bins, kFirstStartBin, config, get);
    ShowFields(page.stop_bins, kFirstStopBin, config, get);
    ShowFields(page.bin_thresholds, kFirstBinThreshold, config, get);
    page.peak_presence = config.GetForwardFireField(kPeakPresence);
    ShowFields(page.peak_noise, kFirstPeakNoise, config, get);
    ShowFields(page.future_use, kFirstFutureUse, config, get);
    return page;
}

void CollectForwardFireCalibration(const ForwardFireCalibrationModel& page, SensorConfiguration& config) {
    const auto set = &SensorConfiguration::SetForwardFireField;
    CollectFields(page.start_bins, kFirstStartBin, config, set);
    CollectFields(page.stop_bins, kFirstStopBin, config, set);
    CollectFields(page.bin_thresholds, kFirstBinThreshold, config, set);
    CollectFields(page.peak_noise, kFirstPeakNoise, config, set);
}

std::string FilterHex4Typing(std::string_view text) {
    return page_text::Filter(
               text, [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; },
               [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); })
        .substr(0, 4);
}

}  // namespace qvx
