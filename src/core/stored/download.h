#pragma once
// The download of the sensor's stored interval records into a download file: the fetch loop
// (DownloadRecords), the work around it (StartDownload: banner, incremental mark, saving) and the
// remembered incremental mark of each sensor.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "stored/download_job.h"
#include "stored/download_journal.h"

namespace qvx {

class AppContext;

// Waits between attempts (tests shorten them).
using DownloadSleep = std::function<void(int ms)>;

inline constexpr int kDownloadRetryWaitMs = 2000;

inline constexpr const char* kNoConfigurationText =
    "Could not get configuration!  Connection may have been dropped.";
inline constexpr const char* kNoTimestampText = "Failed to retrieve current sensor timestamp.";
inline constexpr const char* kNoPacketsText = "No data packets found!";
inline constexpr const char* kNoNewPacketsText = "No new data packets found since last incremental download!";
inline constexpr const char* kSkipRetryText = "Select one of the following.\n";
inline constexpr const char* kRepeatedErrorText = "Repeated error downloading packet.";
inline constexpr const char* kInvalidLengthText =
    "Invalid length retrieved for packet currently downloading.";
inline constexpr const char* kRetrieveErrorText = "Error retrieving currently downloading packet.";
inline constexpr const char* kRetrieveFailureText = "Failure to retrieve currently downloading packet.";
inline constexpr const char* kSaveAnywayText = "Save downloaded data to file anyway?\n";
inline constexpr const char* kSaveAnywayCaption = "Download interrupted...";
inline constexpr const char* kSkipLabel = "Skip";
inline constexpr const char* kRetryLabel = "Retry";

// Where a download's lines go: kept in memory for the one write at the end, and appended to the
// journal as each record arrives.
class DownloadOutput {
  public:
    explicit DownloadOutput(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }
    DownloadJournal& journal() { return journal_; }

    void AddRecord(DownloadJob& job, const std::string& lines, std::uint32_t stamp);
    // Writes job.text to the file in one write. False (with the reason in error) when it failed;
    // the journal then stays on the disk.
    bool Save(DownloadJob& job);
    const std::string& error() const { return error_; }

  private:
    std::string path_;
    DownloadJournal journal_;
    std::string error_;
};

// The fetch loop. 1 when the download ended normally (end of data or incremental mark reached,
// data saved), else 0; job.status holds the outcome.
int DownloadRecords(AppContext& app, DownloadJob& job, DownloadOutput& output, const DownloadSleep& sleep);

// --- the incremental mark, one per sensor serial number ---
// The sensor's mark; created as "00000000" when absent. 0 for none.
std::uint32_t ReadIncrementalMark(AppContext& app, const std::string& serial);
bool WriteIncrementalMark(AppContext& app, const std::string& serial, std::uint32_t stamp);

// The incremental choice's label: "Incremental download of data since " and the mark's time.
std::string IncrementalChoiceLabel(std::uint32_t mark, bool sensor_clock_is_utc);

// Saves a journal left by an earlier download into the download file after asking; true when the
// download may go on (nothing to recover, recovered, or discarded). False only when the records
// could not be written (they stay in the journal).
bool OfferJournalRecovery(AppContext& app, const std::string& download_path);

struct StartDownloadHooks {
    // "Downloading data to " + the file, shown once the banner is written.
    std::function<void(const std::string& text)> started;
    DownloadSleep sleep;
};

// The progress window's work: reads the configuration, writes the banner, runs the fetch loop and
// moves the incremental mark after an incremental download that ended normally. Returns what
// DownloadRecords returned (0 when it did not get that far; job.status is then 8).
int StartDownload(AppContext& app, DownloadJob& job, const std::string& download_path,
                  const StartDownloadHooks& hooks);

}  // namespace qvx
