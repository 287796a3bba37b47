#pragma once
// The arithmetic of the response-wait calibration: the base wait every transaction adds to its
// time-outs, first estimated from the link kind and rate, then from the measured latency of one
// character, then from the time a long answer took.

#include <cstdint>
#include <optional>

#include "link/connection_state.h"

namespace qvx {

// Latencies from this value up are not believed and leave the starting value in place.
inline constexpr int kLatencyLimitMs = 1000;
// Answers of at most this many characters are too short to measure throughput.
inline constexpr int kThroughputMinChars = 100;

// Internet 228 ms; modem 331 ms; serial 2,560,000 / baud + 15 ms (integer division).
int StartingResponseWait(LinkKind kind, std::uint32_t baud);
// The wait after the first character came back latency_ms after the request; the starting
// value when the latency is 1,000 ms or more.
int LatencyResponseWait(LinkKind kind, std::uint32_t baud, int latency_ms);
// (256 div n) x elapsed for an answer of n > 100 characters; nothing for shorter answers.
std::optional<int> ThroughputResponseWait(int n_chars, int elapsed_ms);

}  // namespace qvx
