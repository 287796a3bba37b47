#pragma once
// The response-wait calibration: once a sensor answers, two raw requests measure how long the
// link takes to bring back the first character (latency) and a long answer (throughput). The
// result becomes base_response_wait_ms, which every transaction adds to its time-outs.
//
// Callers own the link while it runs: the connection procedures (before any data thread exists)
// and the properties window's "Re-calculate" (holding "SyncDataMutex").

namespace qvx {

class SensorLink;

// Read limit of the Internet link's calibration reads.
inline constexpr int kCalibrationSocketReadMs = 5000;
// The serial port's read time-out while waiting for the first character.
inline constexpr int kCalibrationFirstCharMs = 1000;
// The long answer is read up to this many characters.
inline constexpr int kCalibrationAnswerChars = 240;

// Returns success. A failed first read leaves the starting value for the link kind, a failed
// second read keeps the latency-based value.
bool CalibrateResponseWait(SensorLink& link);

}  // namespace qvx
