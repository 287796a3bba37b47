#pragma once
// The interval view's dealings with the sensor, without the window: fetching the latest interval
// record into the shared table (and the interval log), the fetch schedule the view's timer keeps,
// and reading and changing the sensor's interval length.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "context/live_state.h"
#include "live/interval_log.h"
#include "live/interval_texts.h"
#include "protocol/record_io.h"
#include "protocol/sensor_configuration.h"

namespace qvx {

class AppContext;
class ManualResetEvent;
class SensorOperations;

// What the view's timer copies to the screen.
struct IntervalSnapshot {
    std::string updated_text;
    std::string since_updated_text;
    std::array<IntervalRowTexts, kIntervalTableRows> rows;
    std::size_t last_record_lanes = 0;
    std::uint64_t records_stored = 0;
    std::deque<IntervalHistoryEntry> history;
};

inline constexpr int kIntervalSkipped = -1;  // the sync mutex could not be had in time
inline constexpr std::uint32_t kMinimumIntervalSeconds = 5;

inline constexpr const char* kPortUnknownText = "The sensor's communication port is unknown!";
inline constexpr const char* kMinimumIntervalText = "The minimum interval is 5 seconds!";
inline constexpr const char* kIntervalNotSavedText = "The submitted interval was not saved to the sensor!";
inline constexpr const char* kFailureCaption = "Failure...";
inline constexpr const char* kResyncFailedText = "An error occurred resetting the interval timer...";

enum class SubmitOutcome {
    Saved,         // the sensor has the new interval; edit mode ends
    Unchanged,     // the value equals the current interval; nothing sent
    PortUnknown,   // reported; edit mode stays
    BelowMinimum,  // reported; nothing changed
    NotSaved,      // reported (an empty field, a failed or skipped write); the old interval stays
};

class IntervalFetcher {
  public:
    explicit IntervalFetcher(AppContext& context);

    // The view opens: the shared table forgets its record time, the counters and the elapsed
    // bookkeeping start again, and the view's events are cleared.
    void ResetForOpening();
    // Seeds the table's lane labels with the lane names (before any record arrives).
    void ShowLaneNames();

    // "XD" record 1. 1 when a record not seen before was stored (and logged when log_to_file),
    // else 0. The caller holds "SyncDataMutex" (or no data thread runs yet).
    int FetchLatestInterval(bool log_to_file);

    // "S0" into the view's own copy of the record; on success the interval length is its field 11.
    // 1 on success, else 0. The caller holds the mutex.
    int ReadIntervalLength();
    // Field 11 = seconds, then the config write with the flash save, bracketed by the sensor-clock
    // preservation. True when written. The caller holds the mutex.
    bool WriteIntervalLength(std::uint32_t seconds, SensorOperations& operations);

    // "Refresh" (and opening a view): the lane names, then ReadIntervalLength, under the mutex
    // (response wait + 1000 ms); kIntervalSkipped when the mutex stays busy.
    int RefreshIntervalLength();
    // "Submit" with the field's text; reports failures through the prompts.
    SubmitOutcome SubmitIntervalLength(const std::string& field_text, SensorOperations& operations);

    // The timer's part: asks the data thread for a fetch in the last second of each interval,
    // one at a time. True when it asked now.
    bool RequestFetchIfDue(std::int64_t unix_now);
    // The data thread's part after a fetch that stored a record.
    void FetchCompleted();
    // The timer asked for a fetch that has not stored a record yet.
    bool fetch_requested();

    // Copies the table into snapshot when "SyncDataMutex" can be had within mutex_wait_ms (the
    // rows and history only when a new record arrived since the snapshot's). False: skipped.
    bool TakeSnapshot(std::int64_t unix_now, int mutex_wait_ms, IntervalSnapshot& snapshot);

    std::uint32_t interval_seconds() const { return interval_seconds_.load(); }
    bool logging_enabled() const { return logging_enabled_.load(); }
    void set_logging_enabled(bool on) { logging_enabled_.store(on); }
    std::uint32_t fetch_requests() const { return fetch_requests_.load(); }
    std::uint32_t fetches_done() const { return fetches_done_.load(); }
    const SensorConfiguration& config() const { return config_; }
    // The banner of the interval log for this sensor, dated now.
    std::string IntervalBanner() const;
    const LogLineWriter& log_writer() const { return log_writer_; }
    // A log write failed since the last call (a full disk): logging is turned off and the text
    // for the one message says why. Empty when nothing failed. Called on the window's thread.
    std::string TakeLogWriteFailure();
    // The record the last successful fetch stored, decoded (no lanes before the first).
    const IntervalRecord& last_record() const { return last_record_; }
    // The transaction result of the last "XD" fetch (Ok also when it brought no new record).
    TransactionResult last_fetch_result() const { return last_fetch_result_; }

  private:
    bool TakeMutexForUserAction();
    void StoreRecord(const IntervalRecord& record);
    void ResetFetchCounters();
    ManualResetEvent& GoFetchEvent();

    AppContext& context_;
    SensorConfiguration config_;
    RecordIo records_;
    std::atomic<std::uint32_t> interval_seconds_{kDefaultIntervalSeconds};
    std::atomic<std::uint32_t> fetch_requests_{0};
    std::atomic<std::uint32_t> fetches_done_{0};
    std::atomic<bool> logging_enabled_{false};
    std::string last_record_stamp_;
    IntervalRecord last_record_;
    TransactionResult last_fetch_result_ = TransactionResult::NoResponse;
    LogLineWriter log_writer_;
    ElapsedClock elapsed_;
};

}  // namespace qvx
