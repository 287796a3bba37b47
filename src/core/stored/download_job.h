#pragma once
// One download of the sensor's stored interval records: the shared counters the progress window
// polls, the outcome codes and their texts, and the bookkeeping of the record-by-record fetch.

#include <atomic>
#include <cstdint>
#include <string>

namespace qvx {

enum class DownloadMode : int { Incremental = 0, Normal = 1, ErrorRecovery = 2 };

// DownloadJob::status: 0 while running, 1 when the user asks to stop, then one of the outcomes.
namespace download_status {
inline constexpr int kRunning = 0;
inline constexpr int kStopRequested = 1;
inline constexpr int kStoppedSaved = 2;
inline constexpr int kStoppedSavedFlagged = 3;
inline constexpr int kStoppedNotSaved = 4;
inline constexpr int kCompleted = 5;
inline constexpr int kAbnormalEnd = 6;
inline constexpr int kAbnormalEndFlagged = 7;
inline constexpr int kFailed = 8;
inline constexpr int kCompletedFlagged = 9;
}  // namespace download_status

inline constexpr std::uint32_t kNoStamp = 0xFFFFFFFF;
// A record stamped two years or more before the sensor clock was made before a clock reset.
inline constexpr std::uint32_t kPlausibleAgeSeconds = 63072000;
// Stamps before 2001-01-01 come from a clock that was never set.
inline constexpr std::uint32_t kEarliestUsableStamp = 31536000;

struct DownloadJob {
    // Shared with the progress window: it reads both and writes status 1 (stop).
    std::atomic<int> status{download_status::kRunning};
    std::atomic<int> packets_downloaded{0};

    DownloadMode mode = DownloadMode::Normal;
    std::uint32_t index = 1;  // the record asked for next; 1 is the newest
    std::uint32_t interval = 0;
    std::uint32_t sensor_now = 0;
    std::uint32_t previous_stamp = kNoStamp;
    int mismatch_count = 0;
    std::uint32_t rebase_mark = kNoStamp;
    bool flagged_any = false;
    std::uint32_t incremental_mark = 0;
    std::uint32_t newest_stamp = 0;
    std::string text;  // every data line of this download, written to the file in one write at the end

    // Records the sensor holds in the buffer read, when known (0: unknown); the progress window's
    // time left comes from it.
    std::atomic<int> expected_records{0};
    // The message shown for outcome 8 (empty when the user cancelled).
    std::string failure_text;

    bool stop_requested() const { return status.load() == download_status::kStopRequested; }
    void RequestStop() {
        int running = download_status::kRunning;
        status.compare_exchange_strong(running, download_status::kStopRequested);
    }
};

// What a finished download tells the work that ran it.
struct DownloadSummary {
    int status = download_status::kFailed;
    int packets = 0;
    std::string failure_text;
};
DownloadSummary SummaryOf(const DownloadJob& job);
// The download saved its records, or found nothing (new) to fetch.
bool LeavesNothingUnfetched(const DownloadSummary& summary);

// The progress window's text for an outcome; empty for 4 (the window closes) and 8 (the message
// was shown before).
std::string DownloadOutcomeText(int status, int packets);
// Outcomes after which the records fetched are in the file.
bool DownloadSaved(int status);

}  // namespace qvx
