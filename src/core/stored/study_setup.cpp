#include "stored/study_setup.h"

#include <algorithm>
#include <cstdio>

#include "base/busy_flag.h"
#include "base/hex_text.h"
#include "context/app_context.h"
#include "protocol/catalogue.h"
#include "protocol/record_io.h"
#include "protocol/sensor_clock.h"
#include "protocol/sensor_clock_io.h"
#include "protocol/sensor_operations.h"
#include "protocol/transaction_result.h"
#include "stored/buffer_status.h"
#include "stored/erase.h"

namespace qvx {

namespace {

constexpr std::size_t kMaxIntervalDigits = 9;
constexpr std::uint32_t kSmallestShareInterval = 20;
constexpr std::uint32_t kMaxShareSteps = 60;
constexpr std::uint32_t kFlashUpdateStep = 300;
constexpr std::uint32_t kFlashUpdateMax = 65535;
constexpr std::uint32_t kFlashUpdateCap = 3600;
constexpr std::uint64_t kOverwriteRecords = 2480;
constexpr std::uint64_t kSecondsPerDay = 86400;

std::uint32_t Limit(std::uint64_t value) {
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(value, kFlashUpdateStep, kFlashUpdateMax));
}

void Show(const StudyProgress& progress, const std::string& text) {
    if (progress.status) {
        progress.status(text);
    }
}

StudyOutcome StepFailed(const StudyProgress& progress, const char* step) {
    const std::string text = std::string("Step ") + step + " failed... Study NOT started!";
    Show(progress, text);
    busy_flag::Clear();
    return StudyOutcome::NotStarted;
}

void Refuse(AppContext& app, const char* text) {
    MessageRequest request;
    request.text = text;
    request.caption = "Failure...";
    request.icon = IconKind::Error;
    app.prompts().Message(request);
}

bool ConfigureStorage(AppContext& app, const StudySetup& setup) {
    const char flags = static_cast<char>(
        (setup.storage_flags | storage_flag::kStatusEnabled | storage_flag::kFlashStorage) & 0xFF);
    return app.configuration.SetConfigField(config_field::kIntervalSeconds, hex::Format(setup.interval, 8)) &&
           app.configuration.SetConfigField(config_field::kFlags, std::string_view(&flags, 1)) &&
           app.records.WriteConfigInfo(false, false).ok();
}

bool EraseStoredData(AppContext& app, SensorOperations& operations) {
    operations.BeginSensorOperation();
    const bool flushed = FlushIntervalBuffers(app);
    operations.EndSensorOperation();
    return flushed;
}

}  // namespace

std::uint32_t FlashUpdateSeconds(std::uint32_t interval) {
    std::uint32_t share = 1;
    while (static_cast<std::uint64_t>(interval) * share < kSmallestShareInterval && share < kMaxShareSteps) {
        ++share;
    }
    std::uint32_t update = Limit(static_cast<std::uint64_t>(interval) * (kSramCapacity - share));
    update -= update % kFlashUpdateStep;
    update = Limit(update);
    return std::min(update, kFlashUpdateCap);
}

std::string StorageTimeText(std::uint64_t seconds) {
    const std::uint64_t days = seconds / kSecondsPerDay;
    char text[96];
    if (days >= 365) {
        std::snprintf(text, sizeof text, "%llu days", static_cast<unsigned long long>(days));
    } else {
        const double hours = static_cast<double>(seconds % kSecondsPerDay) / 3600.0;
        std::snprintf(text, sizeof text, "%llu day(s) and %0.1f hour(s)",
                      static_cast<unsigned long long>(days), hours);
    }
    return text;
}

std::optional<StudyArithmetic> ComputeStudyArithmetic(const std::string& interval_text, bool overwrite) {
    if (interval_text.empty() || interval_text[0] == '0' || interval_text.size() > kMaxIntervalDigits ||
        !std::all_of(interval_text.begin(), interval_text.end(),
                     [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    StudyArithmetic result;
    const std::uint64_t typed = std::stoull(interval_text);
    result.clamped = typed > kMaxStudyInterval;
    result.interval = static_cast<std::uint32_t>(std::min<std::uint64_t>(typed, kMaxStudyInterval));
    result.flash_update_seconds = FlashUpdateSeconds(result.interval);
    result.storage_seconds = result.interval * (overwrite ? kOverwriteRecords : kFlashCapacity);
    result.storage_text = StorageTimeText(result.storage_seconds);
    return result;
}

bool ReadStudySetup(AppContext& app, StudySetup& setup) {
    if (!app.records.ReadSensorConfiguration(read_flag::kConfig | read_flag::kCollection).ok()) {
        return false;
    }
    setup.interval =
        hex::Parse(app.configuration.GetConfigField(config_field::kIntervalSeconds)).value_or(60);
    const std::string flags = app.configuration.GetConfigField(config_field::kFlags);
    setup.storage_flags = flags.size() == 1 ? static_cast<unsigned char>(flags[0]) : 0;
    setup.flash_update_seconds = FlashUpdateSeconds(setup.interval);
    return true;
}

StudyOutcome StartStudy(AppContext& app, SensorOperations& operations, const StudySetup& setup,
                        const StudyProgress& progress) {
    if (app.configuration.connection_port().index < 0) {
        Refuse(app, kPortUnknownText);
        return StudyOutcome::NotStarted;
    }
    if (setup.interval < kMinStudyInterval) {
        Refuse(app, kMinimumIntervalText);
        return StudyOutcome::NotStarted;
    }
    if (!app.prompts().Ask("Warning...", kStudyEraseWarningText, "Continue", "Cancel")) {
        return StudyOutcome::Cancelled;
    }
    busy_flag::Set();
    Show(progress, "Step 2a in process...");
    if (!ConfigureStorage(app, setup)) {
        return StepFailed(progress, "2a");
    }
    app.configuration.SetCollectionField(kCollectionFlashUpdateField,
                                         hex::Format(setup.flash_update_seconds, 4));
    if (progress.flash_update_shown) {
        progress.flash_update_shown(setup.flash_update_seconds);
    }
    Show(progress, "Step 2b in process...");
    if (!app.records.WriteCollectionConfigInfo(true, true).ok()) {
        return StepFailed(progress, "2b");
    }
    Show(progress, "Step 2c in process...");
    if (!operations.SyncSensorClock(true)) {
        return StepFailed(progress, "2c");
    }
    Show(progress, "Step 2d in process...");
    if (!EraseStoredData(app, operations)) {
        return StepFailed(progress, "2d");
    }
    const std::optional<std::uint32_t> now = ReadSensorClock(app.protocol).seconds;
    std::string done = "Step 2 completed! Study has started...";
    if (now) {
        done += FormatSensorSeconds(*now, app.state.sensor_clock_is_utc);
    }
    Show(progress, done);
    busy_flag::Clear();
    return StudyOutcome::Started;
}

}  // namespace qvx
