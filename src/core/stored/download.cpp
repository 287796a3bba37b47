#include "stored/download.h"

#include <cstdio>
#include <ctime>

#include "base/hex_text.h"
#include "context/app_context.h"
#include "live/interval_log.h"
#include "protocol/catalogue.h"
#include "protocol/frame.h"
#include "protocol/sensor_clock.h"
#include "protocol/sensor_clock_io.h"
#include "protocol/traffic_records.h"
#include "protocol/transaction_result.h"
#include "stored/buffer_status.h"

namespace qvx {

namespace {
constexpr std::size_t kHeaderLength = kIntervalHeaderLength;
constexpr std::size_t kChecksumLength = 4;

bool Contains(const std::string& text, const char* word) {
    return text.find(word) != std::string::npos;
}

bool IsEndWord(const std::string& reply) {
    return Contains(reply, "Invalid") || Contains(reply, "Empty") || Contains(reply, "No lanes");
}

std::string IndexPayload(std::uint32_t index) {
    return hex::Format(index, 4) + "\r";
}

// A reply the line delivered whole (its checksum verifies) whose record is not a header and whole
// lane blocks: the frame check refuses it, the download names it for what it is.
bool IsRecordOfWrongLength(const std::string& raw) {
    std::string text = raw;
    if (!text.empty() && text.back() == '\r') {
        text.pop_back();
    }
    const std::size_t code = text.find(cmd::kGetIndexedData);
    if (code == std::string::npos || text.size() < code + 2 + kChecksumLength) {
        return false;
    }
    const std::string data = text.substr(code + 2, text.size() - code - 2 - kChecksumLength);
    if (!VerifyFrameChecksum(data, text.substr(text.size() - kChecksumLength))) {
        return false;
    }
    return data.size() <= kHeaderLength || (data.size() - kHeaderLength) % kIntervalLaneLength != 0;
}

class RecordFetch {
  public:
    RecordFetch(AppContext& app, DownloadJob& job, DownloadOutput& output, const DownloadSleep& sleep)
        : app_(app), job_(job), output_(output), sleep_(sleep) {}

    int Run();

  private:
    enum class Step { Next, Again, End };

    bool ReadSensorClock(TransactionResult& result);
    Step HandleFailedTransaction(const std::string& raw);
    Step HandleReply(const std::string& reply);
    Step HandleInvalid();
    Step HandleRecord(const std::string& reply);
    Step AskSkipOrRetry(const char* caption);
    Step EndOfData(int status_saved, int status_flagged, const char* empty_text, int result);
    Step Fail(const std::string& text);
    bool SequenceAccepts(std::uint32_t t, bool& flagged);
    DownloadRecordMarks RepairTime(std::uint32_t& t, bool flagged);
    bool Plausible(std::uint32_t t) const {
        return static_cast<std::uint64_t>(t) + kPlausibleAgeSeconds > job_.sensor_now;
    }
    bool Recovery() const { return job_.mode == DownloadMode::ErrorRecovery; }
    void MoveOn() {
        ++job_.index;
        job_.mismatch_count = 0;
    }
    void Wait() {
        if (sleep_) {
            sleep_(kDownloadRetryWaitMs);
        }
    }
    TransactionResult Send(const std::string& payload, std::string& reply, bool reconnect) {
        return app_.protocol.SendSensorCommand(
            {.code = cmd::kGetIndexedData, .payload = payload, .link_recovery = reconnect}, reply);
    }
    void Save(int status_plain, int status_flagged);
    void AskSaveAfterStop();

    AppContext& app_;
    DownloadJob& job_;
    DownloadOutput& output_;
    const DownloadSleep& sleep_;
    bool last_failed_ = false;
    int result_ = 0;
};

bool RecordFetch::ReadSensorClock(TransactionResult& result) {
    const ClockReadResult clock = qvx::ReadSensorClock(app_.protocol, kReportedClockExchange);
    result = clock.transaction;
    if (result != TransactionResult::Ok) {
        return false;
    }
    job_.sensor_now = clock.seconds.value_or(0);
    return true;
}

int RecordFetch::Run() {
    TransactionResult clock_result = TransactionResult::NoResponse;
    if (!ReadSensorClock(clock_result) && clock_result == TransactionResult::Cancel) {
        Fail(kNoTimestampText);
        return 0;
    }
    if (app_.records.ReadConfigInfo().ok()) {
        const auto interval = hex::Parse(app_.configuration.GetConfigField(config_field::kIntervalSeconds));
        job_.interval = interval.value_or(job_.interval);
    }
    while (job_.status.load() == download_status::kRunning) {
        std::string reply;
        const TransactionResult result = Send(IndexPayload(job_.index), reply, last_failed_);
        last_failed_ = result != TransactionResult::Ok;
        const Step step = last_failed_ ? HandleFailedTransaction(reply) : HandleReply(reply);
        if (step == Step::End) {
            return result_;
        }
    }
    if (job_.stop_requested()) {
        AskSaveAfterStop();
    }
    return 0;
}

RecordFetch::Step RecordFetch::HandleFailedTransaction(const std::string& raw) {
    if (raw.empty()) {
        Wait();  // a dropped link: ask again, with link recovery
        return Step::Again;
    }
    return AskSkipOrRetry(IsRecordOfWrongLength(raw) ? kInvalidLengthText : kRepeatedErrorText);
}

RecordFetch::Step RecordFetch::AskSkipOrRetry(const char* caption) {
    if (app_.prompts().Ask(caption, kSkipRetryText, kSkipLabel, kRetryLabel)) {
        MoveOn();
    }
    Wait();
    return Step::Again;
}

RecordFetch::Step RecordFetch::HandleReply(const std::string& reply) {
    if (reply.empty()) {
        return AskSkipOrRetry(kInvalidLengthText);
    }
    if (Contains(reply, "Empty") || Contains(reply, "No lanes")) {
        return EndOfData(download_status::kAbnormalEnd, download_status::kAbnormalEndFlagged, kNoPacketsText,
                         0);
    }
    if (Contains(reply, "Invalid")) {
        return HandleInvalid();
    }
    if (Contains(reply, "Failure")) {
        return AskSkipOrRetry(kRetrieveFailureText);
    }
    if (reply.size() <= kHeaderLength || (reply.size() - kHeaderLength) % kIntervalLaneLength != 0) {
        return AskSkipOrRetry(kInvalidLengthText);
    }
    return HandleRecord(reply);
}

// "Invalid" may be a passing hiccup: the same index is asked once more, then the next one; only
// when both say there is nothing has the data ended.
RecordFetch::Step RecordFetch::HandleInvalid() {
    std::string again;
    Send(IndexPayload(job_.index), again, false);
    if (!IsEndWord(again)) {
        return Step::Again;
    }
    std::string next;
    Send(IndexPayload(job_.index + 1), next, false);
    if (IsEndWord(next)) {
        return EndOfData(download_status::kCompleted, download_status::kCompletedFlagged, kNoPacketsText, 1);
    }
    return AskSkipOrRetry(kRetrieveErrorText);
}

RecordFetch::Step RecordFetch::EndOfData(int status_plain, int status_flagged, const char* empty_text,
                                         int result) {
    if (job_.packets_downloaded.load() == 0) {
        return Fail(empty_text);
    }
    Save(status_plain, status_flagged);
    result_ = DownloadSaved(job_.status.load()) ? result : 0;
    return Step::End;
}

RecordFetch::Step RecordFetch::Fail(const std::string& text) {
    job_.failure_text = text;
    MessageRequest request;
    request.text = text;
    request.caption = "Error";
    request.icon = IconKind::Error;
    app_.prompts().Message(request);
    job_.status.store(download_status::kFailed);
    result_ = 0;
    return Step::End;
}

void RecordFetch::Save(int status_plain, int status_flagged) {
    if (!output_.Save(job_)) {
        Fail(output_.error());
        return;
    }
    job_.status.store(job_.flagged_any ? status_flagged : status_plain);
}

void RecordFetch::AskSaveAfterStop() {
    if (!app_.prompts().Ask(kSaveAnywayCaption, kSaveAnywayText, "Yes", "No")) {
        output_.journal().Remove();
        job_.status.store(download_status::kStoppedNotSaved);
        return;
    }
    if (job_.text.empty()) {
        output_.journal().Remove();
        job_.status.store(job_.flagged_any ? download_status::kStoppedSavedFlagged
                                           : download_status::kStoppedSaved);
        return;
    }
    Save(download_status::kStoppedSaved, download_status::kStoppedSavedFlagged);
}

RecordFetch::Step RecordFetch::HandleRecord(const std::string& reply) {
    std::uint32_t t = hex::Parse(reply.substr(0, kHeaderLength)).value_or(kNoStamp);
    if (job_.mode == DownloadMode::Incremental && Plausible(t) && t <= job_.incremental_mark) {
        return EndOfData(download_status::kCompleted, download_status::kCompletedFlagged, kNoNewPacketsText,
                         1);
    }
    bool flagged = false;
    if (!Recovery() && job_.newest_stamp == job_.incremental_mark && Plausible(t)) {
        job_.newest_stamp = t;
    }
    if (!Recovery() && t == job_.previous_stamp) {
        MoveOn();  // the same record again: the sensor moved on while we asked
        return Step::Again;
    }
    if (job_.packets_downloaded.load() == 0) {
        TransactionResult clock_result = TransactionResult::NoResponse;
        if (!ReadSensorClock(clock_result)) {
            return Fail(kNoTimestampText);
        }
        flagged = static_cast<std::uint64_t>(t) + 2ull * job_.interval < job_.sensor_now;
    } else if (!Recovery() && !SequenceAccepts(t, flagged)) {
        return Step::Again;
    }
    const std::uint32_t received = t;
    job_.previous_stamp = t;
    const DownloadRecordMarks marks = RepairTime(t, flagged);
    std::optional<IntervalRecord> record = DecodeIntervalRecord(reply);
    if (!record) {
        return AskSkipOrRetry(kInvalidLengthText);
    }
    record->end_time = t;
    if (marks.out_of_sequence) {
        job_.flagged_any = true;
    }
    output_.AddRecord(job_,
                      DownloadLogLines(*record, app_.state.lane_names, marks, app_.state.sensor_clock_is_utc),
                      received);
    ++job_.packets_downloaded;
    MoveOn();
    return Step::Again;
}

// A record follows on when it is one interval older than the last; the second mismatch in a row
// is taken as a change of the interval length.
bool RecordFetch::SequenceAccepts(std::uint32_t t, bool& flagged) {
    if (static_cast<std::uint64_t>(t) + job_.interval == job_.previous_stamp) {
        return true;
    }
    if (++job_.mismatch_count < 2) {
        return false;
    }
    job_.interval = job_.previous_stamp - t;
    flagged = true;
    return true;
}

DownloadRecordMarks RecordFetch::RepairTime(std::uint32_t& t, bool flagged) {
    ConnectionState& state = app_.state;
    DownloadRecordMarks marks;
    const bool repair = !Recovery() && state.synchronize_clock;
    if (repair && Plausible(t)) {
        if (state.reset_clock_correction > static_cast<std::int64_t>(t)) {
            state.reset_clock_time = -1;
            state.reset_clock_correction = -1;
        }
        if (job_.rebase_mark != kNoStamp) {
            job_.rebase_mark = 0;
        }
    } else if (repair) {
        flagged = true;
        if (state.reset_clock_correction == -1) {
            marks.timestamp_unusable = true;
        } else if (state.reset_clock_time == -1) {
            // shown as received
        } else if (t >= job_.rebase_mark) {
            job_.rebase_mark = 0;
            marks.timestamp_unusable = true;
        } else {
            // The time the record would carry had the clock not been reset.
            job_.rebase_mark = t;
            t = static_cast<std::uint32_t>(state.reset_clock_correction - (state.reset_clock_time - t));
        }
    } else if (t < kEarliestUsableStamp) {
        marks.timestamp_unusable = true;
    }
    marks.out_of_sequence = flagged;
    return marks;
}

LogBannerInfo BannerFor(const AppContext& app) {
    LogBannerInfo info;
    info.date = BannerDate(std::time(nullptr));
    info.serial = app.configuration.GetConfigField(config_field::kSerialNumber);
    info.description = app.configuration.GetConfigField(10);
    info.location = app.configuration.GetConfigField(9);
    info.units = app.configuration.units();
    return info;
}

}  // namespace

std::string DownloadOutcomeText(int status, int packets) {
    const std::string count = std::to_string(packets) + " data packets downloaded.";
    switch (status) {
        case download_status::kStoppedSaved:
            return "Download terminated by user! \n" + count;
        case download_status::kCompleted:
            return "Download completed! \n" + count;
        case download_status::kAbnormalEnd:
            return "Download completed! Abnormal termination. \n" + count;
        case download_status::kStoppedSavedFlagged:
        case download_status::kAbnormalEndFlagged:
        case download_status::kCompletedFlagged:
            return "Check timestamps in download! \n" + count;
        default:
            return "";
    }
}

bool DownloadSaved(int status) {
    switch (status) {
        case download_status::kStoppedSaved:
        case download_status::kStoppedSavedFlagged:
        case download_status::kCompleted:
        case download_status::kAbnormalEnd:
        case download_status::kAbnormalEndFlagged:
        case download_status::kCompletedFlagged:
            return true;
        default:
            return false;
    }
}

DownloadSummary SummaryOf(const DownloadJob& job) {
    return {job.status.load(), job.packets_downloaded.load(), job.failure_text};
}

bool LeavesNothingUnfetched(const DownloadSummary& summary) {
    switch (summary.status) {
        case download_status::kCompleted:
        case download_status::kCompletedFlagged:
        case download_status::kAbnormalEnd:
        case download_status::kAbnormalEndFlagged:
            return true;
        default:
            break;
    }
    return (summary.status == download_status::kFailed &&
            (summary.failure_text == kNoNewPacketsText || summary.failure_text == kNoPacketsText));
}

void DownloadOutput::AddRecord(DownloadJob& job, const std::string& lines, std::uint32_t stamp) {
    job.text += lines;
    if (journal_.is_open()) {
        journal_.Append(lines, stamp);
    }
}

bool DownloadOutput::Save(DownloadJob& job) {
    if (job.text.empty()) {
        journal_.Remove();
        return true;
    }
    const LogWrite written = AppendLogText(path_, job.text);
    if (written != LogWrite::Written) {
        error_ = "The downloaded data could not be written to\n" + path_ + "\n";
        error_ += journal_.is_open() ? "It is kept in " + DownloadJournal::PathFor(path_) +
                                           " and offered again by the next download."
                                     : std::string("Check the disk and download again.");
        journal_.Keep();
        return false;
    }
    journal_.Remove();
    return true;
}

int DownloadRecords(AppContext& app, DownloadJob& job, DownloadOutput& output, const DownloadSleep& sleep) {
    return RecordFetch(app, job, output, sleep).Run();
}

std::uint32_t ReadIncrementalMark(AppContext& app, const std::string& serial) {
    const auto value = app.registry.GetString(kKeySensors, serial);
    if (!value) {
        app.registry.SetString(kKeySensors, serial, "00000000");
        return 0;
    }
    return hex::Parse(*value).value_or(0);
}

bool WriteIncrementalMark(AppContext& app, const std::string& serial, std::uint32_t stamp) {
    return app.registry.SetString(kKeySensors, serial, hex::Format(stamp, 8));
}

std::string IncrementalChoiceLabel(std::uint32_t mark, bool sensor_clock_is_utc) {
    return "Incremental download of data since " + FormatSensorSeconds(mark, sensor_clock_is_utc);
}

bool OfferJournalRecovery(AppContext& app, const std::string& download_path) {
    const std::optional<JournalContents> contents = ReadDownloadJournal(download_path);
    if (!contents) {
        return true;
    }
    const std::string question = JournalQuestionText(download_path, *contents, app.state.sensor_clock_is_utc);
    if (contents->records == 0 || !app.prompts().Ask(kJournalQuestionCaption, question, "Yes", "No")) {
        ::remove(DownloadJournal::PathFor(download_path).c_str());
        return true;
    }
    if (AppendLogText(download_path, contents->lines) != LogWrite::Written) {
        MessageRequest request;
        request.caption = "Error";
        request.icon = IconKind::Error;
        request.text = "The journal's records could not be written to\n" + download_path + "\nThey stay in " +
                       DownloadJournal::PathFor(download_path) + ".";
        app.prompts().Message(request);
        return false;
    }
    ::remove(DownloadJournal::PathFor(download_path).c_str());
    return true;
}

int StartDownload(AppContext& app, DownloadJob& job, const std::string& download_path,
                  const StartDownloadHooks& hooks) {
    const auto fail = [&job, &app](const std::string& text) {
        job.failure_text = text;
        MessageRequest request;
        request.text = text;
        request.caption = "Error";
        request.icon = IconKind::Error;
        app.prompts().Message(request);
        job.status.store(download_status::kFailed);
        return 0;
    };
    if (!app.records.ReadConfigInfo().ok()) {
        return fail(kNoConfigurationText);
    }
    if (!OfferJournalRecovery(app, download_path)) {
        job.status.store(download_status::kFailed);
        return 0;
    }
    if (AppendLogText(download_path, IntervalLogBanner(BannerFor(app))) != LogWrite::Written) {
        return fail("Could not open the download file\n" + download_path);
    }
    if (hooks.started) {
        hooks.started("Downloading data to " + download_path);
    }
    const std::string serial = app.configuration.GetConfigField(config_field::kSerialNumber);
    job.incremental_mark = ReadIncrementalMark(app, serial);
    job.newest_stamp = job.incremental_mark;
    const std::optional<int> stored = CountSelectedRecords(app);
    job.expected_records.store(stored.value_or(0));

    DownloadOutput output(download_path);
    output.journal().Open(download_path);
    const int result = DownloadRecords(app, job, output, hooks.sleep);
    if (result == 1 && job.mode == DownloadMode::Incremental &&
        !WriteIncrementalMark(app, serial, job.newest_stamp)) {
        MessageRequest request;
        request.text = "The downloaded data is saved, but the incremental mark could not be remembered.";
        request.caption = "Registry error...";
        request.icon = IconKind::Warning;
        app.prompts().Message(request);
    }
    return result;
}

}  // namespace qvx
