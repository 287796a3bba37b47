#include "config/length_units.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qvx {

namespace {
constexpr double kFeetPerDecimetre = 0.32808398950131235;
constexpr double kDecimetresPerFoot = 3.048;
constexpr double kCentimetresPerInch = 2.54;
constexpr long long kMetricClassCeiling = 1001;
constexpr int kLoopSnapTries = 1000;
constexpr long long kSmallestMetricLoop = 3;

constexpr long long kMinFlashInterval = 300;
constexpr long long kMaxFlashInterval = 65535;
constexpr long long kFlashRecordsPerBuffer = 246;
constexpr long long kShortestFlashSpan = 20;
constexpr long long kMaxIntervalsPerRecord = 60;

// One pass of the sensor's fixed-point conversion out to the other unit and back.
long long RoundTrip(long long value, long long out_factor, long long back_factor) {
    const long long out = RoundHalfUp(static_cast<double>(value) * out_factor / 16384.0);
    return RoundHalfUp(static_cast<double>(out) * back_factor / 16384.0);
}

// Repeats the round trip until the value settles or passes ceiling.
long long Settle(long long value, long long out_factor, long long back_factor, long long ceiling) {
    for (;;) {
        const long long next = RoundTrip(value, out_factor, back_factor);
        if (next == value || next >= ceiling) {
            return next;
        }
        value = next;
    }
}
}  // namespace

long long RoundHalfUp(double value) {
    const double whole = std::floor(value);
    return static_cast<long long>(whole) + (10.0 * (value - whole) >= 5.0 ? 1 : 0);
}

long long ConvertClassLength(long long value, char to_units) {
    const double factor = to_units == 'E' ? kFeetPerDecimetre : kDecimetresPerFoot;
    return RoundHalfUp(static_cast<double>(value) * factor);
}

long long ConvertLoopLength(long long value, char to_units) {
    const double v = static_cast<double>(value);
    return RoundHalfUp(to_units == 'E' ? v / kCentimetresPerInch : v * kCentimetresPerInch);
}

long long SnapMetricClassLength(long long value) {
    return Settle(value, 5375, 49938, kMetricClassCeiling);
}

std::optional<long long> SnapMetricLoopValue(long long old_position, long long new_position,
                                             long long upper_limit) {
    if (old_position == new_position) {
        return std::nullopt;
    }
    const bool upwards = new_position > old_position;
    for (int count = 0; count < kLoopSnapTries; ++count) {
        const long long start = upwards ? new_position + count : new_position - count;
        long long v = Settle(start, 6451, 41614, upper_limit + 1);
        if (v > upper_limit) {
            v = upper_limit;
        }
        if (v >= upper_limit && upwards) {
            return upper_limit;
        }
        if (v < 4 && !upwards) {
            return kSmallestMetricLoop;
        }
        if ((upwards && v > old_position) || (!upwards && v < old_position)) {
            return v;
        }
    }
    return std::nullopt;
}

long long FlashIntervalLimit(long long interval_seconds) {
    const long long s = std::max<long long>(1, interval_seconds);
    long long m = 1;
    while (s * m < kShortestFlashSpan && m < kMaxIntervalsPerRecord) {
        ++m;
    }
    long long limit = std::clamp(s * (kFlashRecordsPerBuffer - m), kMinFlashInterval, kMaxFlashInterval);
    limit -= limit % kMinFlashInterval;
    return std::clamp(limit, kMinFlashInterval, kMaxFlashInterval);
}

std::optional<std::string> ScaleFactorText(long long numerator, long long denominator) {
    if (denominator == 0) {
        return std::nullopt;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%1.3f",
                  static_cast<double>(numerator) / static_cast<double>(denominator));
    return std::string(text);
}

}  // namespace qvx

namespace qvx {
long long SnapMetricLoopDefault(long long value, long long upper_limit) {
    return Settle(value, 6451, 41614, upper_limit + 1);
}
}  // namespace qvx
