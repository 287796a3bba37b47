#include "live/interval_fetcher.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "base/hex_text.h"
#include "context/app_context.h"
#include "protocol/catalogue.h"
#include "protocol/interval_format.h"
#include "protocol/sensor_operations.h"
#include "protocol/transaction_result.h"

namespace qvx {

namespace {

// Record index 1 is the most recent record; the request ends with its CR.
constexpr const char* kLatestRecordIndex = "0001\r";
constexpr int kFetchRetries = 1;
constexpr int kUserActionExtraWaitMs = 1000;
// Past this the counters start again from 0 (only while no fetch is outstanding).
constexpr std::uint32_t kFetchCounterLimit = 1000000;
constexpr int kConfigSerialField = 0;
constexpr int kConfigLocationField = 9;
constexpr int kConfigDescriptionField = 10;

void Report(AppContext& context, const char* text) {
    MessageRequest request;
    request.text = text;
    request.caption = kFailureCaption;
    request.icon = IconKind::Error;
    context.prompts().Message(request);
}

// The interval field's text as a number; nothing for an empty or non-numeric field.
std::optional<std::uint32_t> ParseIntervalField(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t last = text.find_last_not_of(' ');
    const std::string digits = text.substr(first, last - first + 1);
    if (digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const unsigned long long value = std::strtoull(digits.c_str(), nullptr, 10);
    if (value > 0xFFFFFFFFull) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace

IntervalFetcher::IntervalFetcher(AppContext& context)
    : context_(context), records_(context.protocol, config_) {
    records_.sleep_ms = context.records.sleep_ms;
}

ManualResetEvent& IntervalFetcher::GoFetchEvent() {
    return context_.objects.Event(sync_name::kGoFetchData);
}

void IntervalFetcher::ResetForOpening() {
    context_.objects.Event(sync_name::kKillDataThread).Reset();
    context_.objects.Event(sync_name::kDataThreadKilled).Reset();
    GoFetchEvent().Reset();
    context_.live.latest_interval.last_sensor_timestamp = 0;
    ResetFetchCounters();
    elapsed_.Reset();
    last_record_stamp_.clear();
}

void IntervalFetcher::ShowLaneNames() {
    LatestIntervalTable& table = context_.live.latest_interval;
    for (std::size_t row = 0; row < kIntervalTableRows; ++row) {
        table.rows[row] = IntervalRowTexts{};
        table.rows[row].label = CentreLaneName(context_.state.lane_names[row]);
    }
    table.updated_text.clear();
    table.last_record_lanes = 0;
    ++table.records_stored;
}

void IntervalFetcher::ResetFetchCounters() {
    fetch_requests_.store(0);
    fetches_done_.store(0);
}

int IntervalFetcher::FetchLatestInterval(bool log_to_file) {
    std::string reply;
    const SensorRequest request{.code = cmd::kGetIndexedData,
                                .payload = kLatestRecordIndex,
                                .retries = kFetchRetries,
                                .link_recovery = true};
    const TransactionResult result = context_.protocol.SendSensorCommand(request, reply);
    last_fetch_result_ = result;
    if (result != TransactionResult::Ok || IsNoRecordReply(reply)) {
        return 0;
    }
    // A record whose numbers do not decode is not taken as seen: the next pass asks again.
    const std::optional<IntervalRecord> record = DecodeIntervalRecord(reply);
    if (!record || record->stamp_text == last_record_stamp_) {
        return 0;
    }
    last_record_stamp_ = record->stamp_text;
    StoreRecord(*record);
    if (log_to_file) {
        const std::string path = context_.live.log_paths.Get(LogKind::Interval);
        if (!path.empty()) {
            log_writer_.Write(path, IntervalLogLines(*record, context_.state.lane_names,
                                                     context_.state.sensor_clock_is_utc));
        }
    }
    return 1;
}

void IntervalFetcher::StoreRecord(const IntervalRecord& record) {
    last_record_ = record;
    LatestIntervalTable& table = context_.live.latest_interval;
    table.last_sensor_timestamp = record.end_time;
    table.updated_text = UpdatedText(record.end_time, context_.state.sensor_clock_is_utc);
    IntervalHistoryEntry entry;
    entry.sensor_time = record.end_time;
    entry.lanes = record.lanes.size();
    for (std::size_t row = 0; row < record.lanes.size(); ++row) {
        table.rows[row] = FormatIntervalRow(record.lanes[row], context_.state.lane_names);
        entry.volume[row] = record.lanes[row].volume;
        entry.speed[row] = record.lanes[row].speed;
    }
    table.last_record_lanes = record.lanes.size();
    table.history.push_back(entry);
    while (table.history.size() > LatestIntervalTable::kHistoryLength) {
        table.history.pop_front();
    }
    ++table.records_stored;
}

int IntervalFetcher::ReadIntervalLength() {
    if (!records_.ReadConfigInfo().ok()) {
        return 0;
    }
    const auto seconds = hex::Parse(config_.GetConfigField(config_field::kIntervalSeconds));
    if (!seconds || *seconds == 0) {
        return 0;
    }
    interval_seconds_.store(static_cast<std::uint32_t>(*seconds));
    // The write needs the port the program is connected through; the connect sequence found it.
    int port = context_.configuration.connection_port().index;
    if (port == port_index::kUnknown && records_.ReadConnectionPort().ok()) {
        port = config_.connection_port().index;
    }
    config_.SetConnectionPortIndex(port);
    return 1;
}

bool IntervalFetcher::WriteIntervalLength(std::uint32_t seconds, SensorOperations& operations) {
    char field[16];
    std::snprintf(field, sizeof field, "%08X", seconds);
    if (!config_.SetConfigField(config_field::kIntervalSeconds, field)) {
        return false;
    }
    records_.engineering_unlocked = context_.records.engineering_unlocked;
    operations.BeginSensorOperation();
    const bool written = records_.WriteConfigInfo(true, false).ok();
    operations.EndSensorOperation();
    if (written) {
        GoFetchEvent().Reset();
        ResetFetchCounters();
    }
    return written;
}

bool IntervalFetcher::TakeMutexForUserAction() {
    return context_.objects.SyncData().TryLockFor(context_.state.response_wait_ms.load() +
                                                  kUserActionExtraWaitMs);
}

int IntervalFetcher::RefreshIntervalLength() {
    if (!TakeMutexForUserAction()) {
        return kIntervalSkipped;
    }
    // The view's Lane column and the log's lane labels come from the sensor's lane names, which
    // nothing else on the window's connect path reads. A failed read keeps the names there are.
    records_.ReadExtendedConfigInfo();
    const int result = ReadIntervalLength();
    context_.objects.SyncData().Unlock();
    return result;
}

SubmitOutcome IntervalFetcher::SubmitIntervalLength(const std::string& field_text,
                                                    SensorOperations& operations) {
    if (config_.connection_port().index < 0) {
        Report(context_, kPortUnknownText);
        return SubmitOutcome::PortUnknown;
    }
    const std::optional<std::uint32_t> seconds = ParseIntervalField(field_text);
    if (!seconds) {
        Report(context_, kIntervalNotSavedText);
        return SubmitOutcome::NotSaved;
    }
    if (*seconds < kMinimumIntervalSeconds) {
        Report(context_, kMinimumIntervalText);
        return SubmitOutcome::BelowMinimum;
    }
    const std::uint32_t previous = interval_seconds_.load();
    if (*seconds == previous) {
        return SubmitOutcome::Unchanged;
    }
    interval_seconds_.store(*seconds);
    bool written = false;
    if (TakeMutexForUserAction()) {
        written = WriteIntervalLength(*seconds, operations);
        context_.objects.SyncData().Unlock();
    }
    if (written) {
        return SubmitOutcome::Saved;
    }
    // The sensor keeps its old interval, so the view goes on counting with it.
    interval_seconds_.store(previous);
    char field[16];
    std::snprintf(field, sizeof field, "%08X", previous);
    config_.SetConfigField(config_field::kIntervalSeconds, field);
    Report(context_, kIntervalNotSavedText);
    return SubmitOutcome::NotSaved;
}

bool IntervalFetcher::RequestFetchIfDue(std::int64_t unix_now) {
    ManualResetEvent& go = GoFetchEvent();
    if (go.IsSet() || fetch_requests_.load() != fetches_done_.load()) {
        return false;
    }
    if (!FetchIsDue(unix_now, interval_seconds_.load())) {
        return false;
    }
    // No fetch is outstanding here, so the thread cannot move fetchesDone while both restart.
    if (fetch_requests_.load() >= kFetchCounterLimit) {
        ResetFetchCounters();
    }
    fetch_requests_.fetch_add(1);
    go.Set();
    return true;
}

bool IntervalFetcher::fetch_requested() {
    return GoFetchEvent().IsSet();
}

void IntervalFetcher::FetchCompleted() {
    GoFetchEvent().Reset();
    fetches_done_.fetch_add(1);
}

bool IntervalFetcher::TakeSnapshot(std::int64_t unix_now, int mutex_wait_ms, IntervalSnapshot& snapshot) {
    ScopedTryLock lock(context_.objects.SyncData(), mutex_wait_ms);
    if (!lock.held()) {
        return false;
    }
    const LatestIntervalTable& table = context_.live.latest_interval;
    snapshot.since_updated_text =
        SinceUpdatedText(elapsed_.Elapsed(table.last_sensor_timestamp, unix_now, interval_seconds_.load()));
    if (snapshot.records_stored != table.records_stored) {
        snapshot.updated_text = table.updated_text;
        snapshot.rows = table.rows;
        snapshot.last_record_lanes = table.last_record_lanes;
        snapshot.history = table.history;
        snapshot.records_stored = table.records_stored;
    }
    return true;
}

std::string IntervalFetcher::TakeLogWriteFailure() {
    if (!log_writer_.TakeUnreportedFailure()) {
        return {};
    }
    logging_enabled_.store(false);
    return "Could not write to the interval data log " + context_.live.log_paths.Get(LogKind::Interval) +
           " (" + std::strerror(log_writer_.last_error()) + ").\nInterval data logging is turned off.";
}

std::string IntervalFetcher::IntervalBanner() const {
    LogBannerInfo info;
    info.date = BannerDate(std::time(nullptr));
    info.serial = config_.GetConfigField(kConfigSerialField);
    info.description = config_.GetConfigField(kConfigDescriptionField);
    info.location = config_.GetConfigField(kConfigLocationField);
    info.units = context_.state.units;
    return IntervalLogBanner(info);
}

}  // namespace qvx
