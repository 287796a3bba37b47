#include "protocol/calibration.h"

#include <chrono>
#include <string>

#include "link/sensor_link.h"
#include "protocol/calibration_math.h"

namespace qvx {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kLatencyProbe = "S6\r";      // "Get config mode": a one-digit answer
constexpr const char* kThroughputProbe = "S02\r";  // "Get collection config info": a long answer
constexpr std::size_t kDrainChars = 5;
constexpr int kDrainTimeoutMs = 1000;
// What may follow the timed part of the long answer: the rest of the record, its checksum, the
// CR, and a multi-drop prefix's length to spare.
constexpr std::size_t kLongAnswerTailChars = 32;
constexpr std::uint32_t kMsPerAnswerChar = 5;
constexpr std::uint32_t kAnswerConstantMs = 1;

int ElapsedMs(Clock::time_point from, Clock::time_point to) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count());
}

bool AddressingOn(const ConnectionState& state) {
    return state.multidrop_enabled || state.multidrop_enable_next;
}

// The probes are raw text, so the multi-drop prefix the transaction would add goes out by hand,
// ahead of the request.
void WriteProbe(SensorLink& link, const char* probe) {
    ConnectionState& state = link.state();
    if (AddressingOn(state)) {
        state.multidrop_enabled = true;
        state.multidrop_current_id = state.multidrop_target_id;
        link.PurgeInput();
        link.Write("Z0" + state.multidrop_current_id);
    }
    link.PurgeInput();
    link.Write(probe);
}

bool SetNonBlockingReads(SensorLink& link) {
    return link.serial().SetTimeouts({kReadIntervalNoWait, 0, 0});
}

std::size_t ReadFirstCharacter(SensorLink& link, std::string& out) {
    if (link.UsesTcp()) {
        return link.ReadUntil(out, 1, kCalibrationSocketReadMs, 0, 0);
    }
    return link.ReadRaw(out, 1);
}

// Reads what is left of a probe's answer, up to its CR, so that none of it reaches the next
// exchange. Serial reads are non-blocking afterwards.
void DrainAnswer(SensorLink& link, std::size_t max_chars) {
    if (!link.UsesTcp()) {
        SetNonBlockingReads(link);
    }
    std::string rest;
    link.ReadUntil(rest, max_chars, kDrainTimeoutMs, '\r', '~');
}

void DrainLatencyAnswer(SensorLink& link) {
    DrainAnswer(link, kDrainChars);
    if (!link.UsesTcp()) {
        link.serial().SetTimeouts({0, kMsPerAnswerChar, kAnswerConstantMs});
    }
}

std::size_t ReadLongAnswer(SensorLink& link, std::string& out) {
    if (link.UsesTcp()) {
        return link.ReadUntil(out, kCalibrationAnswerChars, kCalibrationSocketReadMs, 0, 0);
    }
    return link.ReadRaw(out, kCalibrationAnswerChars);
}

// What is left of the latency step's own answer is read away first, so that the long answer's
// clock starts on an empty line.
bool MeasureThroughput(SensorLink& link) {
    ConnectionState& state = link.state();
    WriteProbe(link, kThroughputProbe);
    std::string answer;
    const auto t2 = Clock::now();
    const std::size_t n = ReadLongAnswer(link, answer);
    const auto t3 = Clock::now();
    if (n == 0) {
        return false;
    }
    if (auto wait = ThroughputResponseWait(static_cast<int>(n), ElapsedMs(t2, t3))) {
        state.base_response_wait_ms = *wait;
    }
    // The whole answer is longer than the part timed (code, 240 characters, checksum, CR): its
    // tail would otherwise arrive after the next command's purge and be read as its reply.
    if (answer.find('\r') == std::string::npos) {
        DrainAnswer(link, kLongAnswerTailChars);
    }
    return true;
}

}  // namespace

bool CalibrateResponseWait(SensorLink& link) {
    ConnectionState& state = link.state();
    const bool socket = link.UsesTcp();
    state.base_response_wait_ms = StartingResponseWait(state.link_kind, state.current_baud);
    if (!socket) {
        link.serial().SetTimeouts({0, 0, kCalibrationFirstCharMs});
    }
    WriteProbe(link, kLatencyProbe);
    std::string first;
    const auto t0 = Clock::now();
    const std::size_t got = ReadFirstCharacter(link, first);
    const auto t1 = Clock::now();
    bool ok = got != 0;
    if (ok) {
        state.base_response_wait_ms =
            LatencyResponseWait(state.link_kind, state.current_baud, ElapsedMs(t0, t1));
        DrainLatencyAnswer(link);
        ok = MeasureThroughput(link);
    }
    if (socket) {
        return ok;
    }
    // The port must go back to non-blocking reads whatever happened, or every later read would
    // wait out the calibration's time-outs.
    const bool restored = SetNonBlockingReads(link);
    return ok && restored;
}

}  // namespace qvx
