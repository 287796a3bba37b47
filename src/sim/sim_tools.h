#pragma once
// The sensor's engineering side for the tools: the raw radar stream that "X8" starts, the memory
// words "X6" reads (with the recent-event list in a region of its own), and the rules of the
// synthesizer registers.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "traffic_model.h"

namespace qvx::sim {

// The raw stream runs at this many bytes per second, only while the port is at 921600 bps.
inline constexpr std::uint32_t kRawStreamRate = 46748;
inline constexpr std::uint32_t kRawStreamBaud = 921600;
inline constexpr std::uint32_t kRawMaxSeconds = 900;

// Where the recent-event list lives: 8 records (one per lane) of 6 words.
inline constexpr std::uint32_t kEventListBase = 0x0200;
inline constexpr std::uint32_t kEventListWords = 48;
inline constexpr std::size_t kMaxMemoryWords = 1024;

// The seconds of a raw dump request ("X8" payload: 4 hex digits of seconds, then "00010000");
// nullopt for anything else.
std::optional<std::uint32_t> ParseRawDumpPayload(std::string_view payload);
// The total bytes a dump of that many seconds sends.
std::uint64_t RawStreamLength(std::uint32_t seconds);
// count bytes of the stream from offset; the same for the same seed.
std::string RawStreamBytes(std::uint32_t seed, std::uint64_t offset, std::size_t count);

// The event-list region: per lane, the vehicle count (high and low word), the duration in ms, an
// energy figure, the speed and a flag word (vehicle class).
std::string EventListWords(const std::vector<Vehicle>& last_vehicles,
                           const std::vector<std::uint64_t>& counts);

// The control bits each synthesizer register must carry (function latch 10, N 01, R 00).
bool PllValueFitsRegister(int reg, std::uint32_t value);

}  // namespace qvx::sim
