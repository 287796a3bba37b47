#pragma once
// Raw data acquisition: the sensor's raw radar stream recorded for a number of seconds into a binary
// file. The stream needs 921600 bps on the RS-485 port, so the sensor and the PC port are moved to
// that rate first and back afterwards. Serial connections only.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx {

class AppContext;
class RegistryStore;
class UserPrompts;

inline constexpr std::uint32_t kRawStreamBytesPerSecond = 46748;
inline constexpr std::uint32_t kRawStreamShortfall = 116;  // the last block is not recorded
inline constexpr std::size_t kRawTrailingReadSize = 116;
inline constexpr int kRawIntervalMin = 1;
inline constexpr int kRawIntervalMax = 900;
inline constexpr int kRawIntervalDefault = 60;
inline constexpr std::uint32_t kAcquisitionBaud = 921600;

inline constexpr const char* kRawPathValue = "RawDataLogPath";
inline constexpr const char* kRawIntervalValue = "RawDataAcqInterval";
inline constexpr const char* kRawPathErrorText = "  ERROR: Invalid path or filename...";
inline constexpr const char* kRawSwitchFailedCaption = "Error...";
inline constexpr const char* kRawSwitchFailedText =
    "Unable to set baud rate at 921600 bps!\n(Note: data acquisition requires RS-485)\n Would you like to "
    "try "
    "again?";

// interval x 46748 - 116.
std::uint64_t ExpectedRawBytes(int interval_seconds);

// The "Interval" field: a decimal number; 0 becomes 1, above 900 becomes 900 (and the field shows
// "900"). corrected is set when the field must be rewritten.
struct IntervalEntry {
    int seconds = kRawIntervalDefault;
    bool corrected = false;
};
IntervalEntry ParseRawInterval(std::string_view text);

// The output path with ".dat" appended unless it ends so (any case); nullopt for an empty path.
std::optional<std::string> RawOutputPath(std::string_view path);

// "raw_acq.dat" in the user's home folder.
std::string DefaultRawPath();

struct RawAcquisitionSettings {
    std::string path;
    std::string interval_text;
};
// The two registry values; a missing one is written with its default.
RawAcquisitionSettings LoadRawAcquisitionSettings(RegistryStore& registry);
bool StoreRawAcquisitionSettings(RegistryStore& registry, const RawAcquisitionSettings& settings);

// "h:MM:SS  M/D/YYYY" on a 12-hour clock (0 shown as 12), local time.
std::string FormatAcquisitionTime(std::chrono::system_clock::time_point time);

// Moves the sensor and the PC port to 921600 bps and back. A switch that the sensor does not
// confirm restores both rates and asks whether to try again.
class AcquisitionRateSwitch {
  public:
    explicit AcquisitionRateSwitch(AppContext& app);

    enum class Outcome { AlreadyThere, Switched, Refused };
    // Asks the question after every failed attempt; Refused when the user said No.
    Outcome SwitchUp();
    // Back to the rates in use before SwitchUp; true when nothing was to be done or the sensor
    // answered at the old rate again.
    bool Restore();

    bool switched() const { return switched_; }
    std::uint32_t saved_pc_baud() const { return saved_pc_baud_; }
    const std::string& saved_sensor_field() const { return saved_sensor_field_; }
    const std::string& switch_code() const { return switch_code_; }

    // Pauses between steps; tests replace it.
    std::function<void(int ms)> sleep_ms;

  private:
    bool TrySwitch();

    AppContext& app_;
    bool active_ = false;    // SwitchUp changed something that Restore must undo
    bool switched_ = false;  // the sensor answered at 921600
    std::uint32_t saved_pc_baud_ = 0;
    std::string saved_sensor_field_;
    std::string switch_code_;
};

struct RawRecording {
    std::uint64_t expected = 0;
    std::uint64_t received = 0;
    std::uint64_t trailing = 0;
    bool stopped = false;       // the user stopped it
    bool stream_ended = false;  // the stream stopped before the expected amount
    bool send_failed = false;   // "X8" could not be written
    std::chrono::system_clock::time_point started;
    std::chrono::system_clock::time_point ended;
};

// The recording: "X8" written raw, the stream read in blocks into one buffer, the trailing bytes
// drained, then the buffer written to the file. Progress may be read from any thread.
class RawRecorder {
  public:
    explicit RawRecorder(AppContext& app);

    // Runs the whole recording on the calling thread.
    RawRecording Record(int interval_seconds);
    // Writes the first received bytes of the buffer; releases it. False (with errno_text) when the
    // file could not be written completely.
    bool Save(const std::string& path, std::string& error_text);

    void Stop() { stop_.store(true); }
    std::uint64_t received() const { return received_.load(); }
    std::uint64_t expected() const { return expected_.load(); }
    const std::vector<char>& buffer() const { return buffer_; }

    // A stream that brings nothing for this long has ended.
    int silence_limit_ms = 3000;

  private:
    std::uint64_t Drain();

    AppContext& app_;
    std::vector<char> buffer_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> received_{0};
    std::atomic<std::uint64_t> expected_{0};
};

// The request that starts the stream: "X8" + interval as 4 hex digits + "00010000\r".
std::string RawDumpRequest(int interval_seconds);

// Creates (truncates) the output file, so a bad path is found before anything is sent.
bool CreateRawOutputFile(const std::string& path);

}  // namespace qvx
