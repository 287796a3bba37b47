#include "protocol/calibration_math.h"

#include <algorithm>

namespace qvx {

namespace {

constexpr int kInternetStartMs = 228;
constexpr int kModemStartMs = 331;
constexpr int kSerialStartExtraMs = 15;
constexpr int kInternetLatencyExtraMs = 128;
constexpr int kModemLatencyExtraMs = 266;
constexpr std::uint32_t kCharacterTimeFactor = 2560000;
constexpr int kThroughputScale = 256;
// A port rate of 0 means "not set yet"; the port opens at 9600 bps then.
constexpr std::uint32_t kFallbackBaud = 9600;

int SerialCharacterWait(std::uint32_t baud) {
    return static_cast<int>(kCharacterTimeFactor / (baud == 0 ? kFallbackBaud : baud));
}

}  // namespace

int StartingResponseWait(LinkKind kind, std::uint32_t baud) {
    switch (kind) {
        case LinkKind::Internet:
            return kInternetStartMs;
        case LinkKind::Modem:
            return kModemStartMs;
        default:
            return SerialCharacterWait(baud) + kSerialStartExtraMs;
    }
}

int LatencyResponseWait(LinkKind kind, std::uint32_t baud, int latency_ms) {
    if (latency_ms < 0 || latency_ms >= kLatencyLimitMs) {
        return StartingResponseWait(kind, baud);
    }
    int rounded_up = latency_ms + 1;
    switch (kind) {
        case LinkKind::Internet:
            return rounded_up + kInternetLatencyExtraMs;
        case LinkKind::Modem:
            return rounded_up + kModemLatencyExtraMs;
        default:
            return SerialCharacterWait(baud) + rounded_up;
    }
}

std::optional<int> ThroughputResponseWait(int n_chars, int elapsed_ms) {
    if (n_chars <= kThroughputMinChars) {
        return std::nullopt;
    }
    // More than 256 characters would make the factor 0 and the wait nothing at all.
    int factor = std::max(1, kThroughputScale / n_chars);
    return factor * std::max(0, elapsed_ms);
}

}  // namespace qvx
