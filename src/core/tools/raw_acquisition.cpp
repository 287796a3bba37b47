#include "tools/raw_acquisition.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

#include "base/hex_text.h"
#include "context/app_context.h"
#include "protocol/sensor_configuration.h"
#include "protocol/transaction_result.h"

namespace qvx {

namespace {

constexpr const char* kDefaultFileName = "raw_acq.dat";
constexpr std::uint32_t kSwitchFromBaud = 38400;  // the rate that takes the other switch code
constexpr const char* kSwitchCodeFrom38400 = "1117";
constexpr const char* kSwitchCodeOther = "1217";
constexpr int kSettleMs = 100;
constexpr int kRetrySwitchMs = 10;
constexpr int kStreamReadWaitMs = 50;
constexpr int kDrainWaitMs = 100;
constexpr std::size_t kStreamBlock = 65536;

bool EndsWithDat(std::string_view path) {
    constexpr std::string_view kExtension = ".dat";
    if (path.size() < kExtension.size()) {
        return false;
    }
    const std::string_view tail = path.substr(path.size() - kExtension.size());
    return std::equal(tail.begin(), tail.end(), kExtension.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    const passwd* user = ::getpwuid(::getuid());
    return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : ".";
}

}  // namespace

std::uint64_t ExpectedRawBytes(int interval_seconds) {
    return static_cast<std::uint64_t>(interval_seconds) * kRawStreamBytesPerSecond - kRawStreamShortfall;
}

IntervalEntry ParseRawInterval(std::string_view text) {
    long long number = 0;
    std::size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])) &&
           number <= 100000) {
        number = number * 10 + (text[digits] - '0');
        ++digits;
    }
    IntervalEntry entry;
    entry.seconds = static_cast<int>(std::clamp<long long>(number, kRawIntervalMin, kRawIntervalMax));
    entry.corrected = number > kRawIntervalMax;
    return entry;
}

std::optional<std::string> RawOutputPath(std::string_view path) {
    if (path.empty()) {
        return std::nullopt;
    }
    std::string full(path);
    if (!EndsWithDat(full)) {
        full += ".dat";
    }
    return full;
}

std::string DefaultRawPath() {
    return HomeFolder() + "/" + kDefaultFileName;
}

RawAcquisitionSettings LoadRawAcquisitionSettings(RegistryStore& registry) {
    RawAcquisitionSettings settings;
    const auto path = registry.GetString(kKeyLogs, kRawPathValue);
    settings.path = path.value_or(DefaultRawPath());
    if (!path) {
        registry.SetString(kKeyLogs, kRawPathValue, settings.path);
    }
    const auto interval = registry.GetString(kKeyLogs, kRawIntervalValue);
    settings.interval_text = interval.value_or(std::to_string(kRawIntervalDefault));
    if (!interval) {
        registry.SetString(kKeyLogs, kRawIntervalValue, settings.interval_text);
    }
    return settings;
}

bool StoreRawAcquisitionSettings(RegistryStore& registry, const RawAcquisitionSettings& settings) {
    const bool path = registry.SetString(kKeyLogs, kRawPathValue, settings.path);
    const bool interval = registry.SetString(kKeyLogs, kRawIntervalValue, settings.interval_text);
    return path && interval;
}

std::string FormatAcquisitionTime(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    const int hour = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d  %d/%d/%04d", hour, local.tm_min, local.tm_sec,
                  local.tm_mon + 1, local.tm_mday, local.tm_year + 1900);
    return text;
}

std::string RawDumpRequest(int interval_seconds) {
    return "X8" + hex::Format(static_cast<std::uint32_t>(interval_seconds), 4) + "00010000\r";
}

bool CreateRawOutputFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    return std::fclose(file) == 0;
}

// ---------------------------------------------------------------------------------------------
// Rate switch

AcquisitionRateSwitch::AcquisitionRateSwitch(AppContext& app)
    : sleep_ms([](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }), app_(app) {}

AcquisitionRateSwitch::Outcome AcquisitionRateSwitch::SwitchUp() {
    for (;;) {
        if (TrySwitch()) {
            return switched_ ? Outcome::Switched : Outcome::AlreadyThere;
        }
        Restore();
        if (!app_.prompts().Ask(kRawSwitchFailedCaption, kRawSwitchFailedText, "Yes", "No")) {
            return Outcome::Refused;
        }
        sleep_ms(kRetrySwitchMs);
    }
}

bool AcquisitionRateSwitch::TrySwitch() {
    saved_pc_baud_ = app_.state.current_baud;
    if (saved_pc_baud_ == kAcquisitionBaud) {
        return true;
    }
    switch_code_ = saved_pc_baud_ == kSwitchFromBaud ? kSwitchCodeFrom38400 : kSwitchCodeOther;
    // Without the sensor's own rates there would be nothing to restore: no switch then.
    std::string config;
    if (app_.protocol.SendSensorCommand({.code = "S0", .payload = "\r", .retries = 2, .link_recovery = true},
                                        config) != TransactionResult::Ok ||
        config.size() != kConfigInfoLength) {
        return false;
    }
    saved_sensor_field_ = ReadField(config, ConfigFieldSpan(config_field::kPortBaudCodes));
    active_ = true;
    std::string reply;
    // The sensor may answer at either rate, so the result tells nothing.
    app_.protocol.SendSensorCommand(
        {.code = "S7", .payload = switch_code_ + "\r", .retries = 2, .link_recovery = true}, reply);
    app_.link.serial().SetBaud(kAcquisitionBaud);
    sleep_ms(kSettleMs);
    switched_ = app_.protocol.SendSensorCommand({.code = "S6", .payload = "\r", .retries = 3}, reply) ==
                TransactionResult::Ok;
    return switched_;
}

bool AcquisitionRateSwitch::Restore() {
    if (!active_) {
        return true;
    }
    active_ = false;
    if (!switched_) {
        // The sensor did not answer at 921600: it listens at the rate the switch code gave.
        app_.link.serial().SetBaud(switch_code_ == kSwitchCodeFrom38400 ? 19200 : 38400);
    }
    const bool was_switched = switched_;
    switched_ = false;
    std::string reply;
    const bool sent =
        app_.protocol.SendSensorCommand(
            {.code = "S7", .payload = saved_sensor_field_ + "\r", .retries = 2, .link_recovery = true},
            reply) == TransactionResult::Ok &&
        reply == "Success";
    if (!sent && was_switched) {
        return false;  // the sensor still runs at 921600 and the port stays with it
    }
    app_.link.serial().SetBaud(saved_pc_baud_);
    sleep_ms(kSettleMs);
    // A sensor that refused the switch never left the old rate, so it answers there all the same.
    return app_.protocol.SendSensorCommand({.code = "S6",
                                            .payload = "\r",
                                            .on_error = sent ? ErrorPolicy::Report : ErrorPolicy::Silent,
                                            .retries = 2,
                                            .link_recovery = true},
                                           reply) == TransactionResult::Ok;
}

// ---------------------------------------------------------------------------------------------
// Recording

RawRecorder::RawRecorder(AppContext& app) : app_(app) {}

RawRecording RawRecorder::Record(int interval_seconds) {
    RawRecording recording;
    recording.expected = ExpectedRawBytes(interval_seconds);
    expected_.store(recording.expected);
    received_.store(0);
    buffer_.assign(recording.expected, 0);
    recording.started = std::chrono::system_clock::now();
    app_.link.PurgeInput();
    if (app_.link.Write(RawDumpRequest(interval_seconds)) == 0) {
        recording.send_failed = true;
        recording.ended = std::chrono::system_clock::now();
        return recording;
    }
    const auto silence = std::chrono::milliseconds(silence_limit_ms + app_.state.response_wait_ms.load());
    auto last_data = std::chrono::steady_clock::now();
    std::uint64_t received = 0;
    std::string block;
    while (received < recording.expected && !stop_.load()) {
        block.clear();
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(recording.expected - received, kStreamBlock));
        const std::size_t got = app_.link.ReadAvailable(block, want, kStreamReadWaitMs);
        if (got > 0) {
            std::memcpy(buffer_.data() + received, block.data(), got);
            received += got;
            received_.store(received);
            last_data = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - last_data > silence) {
            recording.stream_ended = true;
            break;
        }
    }
    recording.received = received;
    recording.stopped = stop_.load() && received < recording.expected;
    if (!recording.stopped && !recording.stream_ended) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        recording.trailing = Drain();
    }
    recording.ended = std::chrono::system_clock::now();
    return recording;
}

// What arrives after the expected amount, in reads of up to 116 bytes; at most one second of
// stream, so a sensor that never stops cannot keep the recording open.
std::uint64_t RawRecorder::Drain() {
    std::uint64_t trailing = 0;
    std::string block;
    while (trailing < kRawStreamBytesPerSecond) {
        block.clear();
        const std::size_t got = app_.link.ReadAvailable(block, kRawTrailingReadSize, kDrainWaitMs);
        if (got == 0) {
            break;
        }
        trailing += got;
    }
    return trailing;
}

bool RawRecorder::Save(const std::string& path, std::string& error_text) {
    const std::size_t count = static_cast<std::size_t>(received_.load());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file != nullptr;
    int error = ok ? 0 : errno;
    if (ok && std::fwrite(buffer_.data(), 1, count, file) != count) {
        ok = false;
        error = errno;
    }
    if (file != nullptr) {
        const bool flushed = std::fflush(file) == 0;
        const int flush_error = errno;
        const bool closed = std::fclose(file) == 0;
        if (ok && (!flushed || !closed)) {
            ok = false;
            error = flushed ? errno : flush_error;
        }
    }
    if (!ok) {
        error_text = "The raw data could not be written to " + path + ": " + std::strerror(error);
    }
    std::vector<char>().swap(buffer_);
    return ok;
}

}  // namespace qvx
