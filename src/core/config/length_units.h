#pragma once
// The arithmetic of the Data Collection page: rounding, the English/metric conversions of class
// lengths and loop values, the metric snaps that keep an entry stable through the sensor's
// fixed-point conversion, the flash interval limit and the scale factors.

#include <optional>
#include <string>

namespace qvx {

// Rounds half up: n + f becomes n + 1 when f >= 0.5.
long long RoundHalfUp(double value);

// Class maxima: feet <-> decimetres. to_units is the unit being changed to ('E' or 'M').
long long ConvertClassLength(long long value, char to_units);
// Loop sizes and spacings: inches <-> centimetres.
long long ConvertLoopLength(long long value, char to_units);

// The metric class length that survives the sensor's decimetre -> feet -> decimetre round trip,
// reached by repeating the conversion until it settles (or passes 1000).
long long SnapMetricClassLength(long long value);

// The nearest loop value in centimetres that survives the sensor's round trip, searched from the
// new spin position in the direction of the change. nullopt: leave the spin where it is.
std::optional<long long> SnapMetricLoopValue(long long old_position, long long new_position,
                                             long long upper_limit);

// The largest flash interval the sensor takes for an interval size (seconds >= 1).
long long FlashIntervalLimit(long long interval_seconds);

// "%1.3f" of numerator / denominator; nullopt when the denominator is zero.
std::optional<std::string> ScaleFactorText(long long numerator, long long denominator);

}  // namespace qvx

namespace qvx {
// A default loop value in centimetres brought to its stable value (or above upper_limit).
long long SnapMetricLoopDefault(long long value, long long upper_limit);
}  // namespace qvx
