#pragma once
// How full the sensor's two interval buffers are. The sensor reports no fill level: the records
// are counted by probing record indexes with "XD", after switching the "XD" source between the
// flash and the SRAM buffer through the flags character of the configuration record.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qvx {

class AppContext;

inline constexpr int kFlashCapacity = 2975;
inline constexpr int kSramCapacity = 246;
inline constexpr int kBufferStatusRefreshMs = 30000;
inline constexpr int kMaxCountProbes = 15;
inline constexpr int kMaxCountErrors = 10;

// Bits of ConfigInfo field 12 the stored-data procedures use.
namespace storage_flag {
inline constexpr unsigned kFlashStorage = 0x01;
inline constexpr unsigned kOverwrite = 0x02;
inline constexpr unsigned kErrorRecovery = 0x04;
inline constexpr unsigned kReadFlash = 0x10;
inline constexpr unsigned kReadSram = 0x20;
inline constexpr unsigned kStatusEnabled = 0x80;
// Cleared when the flags are put back after a buffer procedure.
inline constexpr unsigned kProcedureBits = 0x7C;
}  // namespace storage_flag

inline constexpr const char* kUpdatingStatusText = "Updating Data Buffer status...";
inline constexpr const char* kStatusUpdatedText = "Data Buffer status has been updated.";
inline constexpr const char* kStatusErrorText = "An error has occured while updating the Data Buffer status!";
inline constexpr const char* kRestoreFlagsText = "Storage status unknown! Press retry to restore.\r\n";
inline constexpr const char* kSlowLinkQuestion =
    "It may take several minutes to determine the data buffer status over a slow connection.";
inline constexpr const char* kSlowLinkCaption = "Do you want to continue?";

// What one probe of record index found.
enum class ProbeAnswer { Exists, Missing, BufferEmpty, Unclear, Failed };
using RecordProbe = std::function<ProbeAnswer(int index)>;

struct CountResult {
    bool ok = false;
    int count = 0;
    int probes = 0;
};

// The number of records in a buffer of the given capacity, by bisection over record indexes: the
// search keeps the highest index known to exist and the lowest known not to, so every fill level
// from 0 to capacity comes out exact in about log2(capacity) probes. An unclear answer is asked
// again (more than 10 fail the count), a failed exchange fails it, and so do 15 probes without
// an answer.
CountResult CountStoredRecords(const RecordProbe& probe, int capacity);

// The probe over the link: "XD" with the index, no dialog, 2 retries, link recovery.
RecordProbe SensorRecordProbe(AppContext& app);

// The records the "XD" source now selected holds (no flags are changed); nothing when the
// count failed. Used to tell the download's progress how far it has to go.
std::optional<int> CountSelectedRecords(AppContext& app);

// --- the flags character ---
// 1 when the sensor holds the wanted flags afterwards, else 0. Select* keep the character read
// first in saved_flags.
int SelectFlashBuffer(AppContext& app, unsigned& saved_flags);
int SelectSramBuffer(AppContext& app);
// Writes saved_flags with bit 7 set and bits 2-6 cleared and checks that the sensor holds
// that character; asks "Storage status unknown!..." with Retry/Cancel while that fails.
int RestoreBufferFlags(AppContext& app, unsigned saved_flags);
// Writes the flags character through the configuration record (no flash save) and reads it back.
// The character the sensor holds afterwards, or nothing when the write or read failed.
std::optional<unsigned> WriteStorageFlags(AppContext& app, unsigned flags);

struct BufferStatus {
    bool ok = false;
    int flash_count = 0;
    int sram_count = 0;
};

// Counts both buffers and puts the flags back.
BufferStatus UpdateBufferStatus(AppContext& app);

// "%i/2975 = %0.1f%%" and the bar's value 0..100 for a count.
struct BufferFill {
    std::string text;
    int bar = 0;
};
BufferFill DescribeBufferFill(int count, int capacity);

}  // namespace qvx
