#pragma once
// Sensor memory as the memory view reads it: a range of 16-bit words fetched with "X6", shown as a
// table or a histogram, and stored on every change as a plain dump or as the sensor's recent-event
// list.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/transaction_result.h"

namespace qvx {

class SensorProtocol;

inline constexpr std::uint32_t kMemoryMaxSpan = 1024;  // upper - lower; 1025 words at most
inline constexpr std::size_t kMemoryWordChars = 4;
inline constexpr std::size_t kMemoryWordsPerRow = 16;
inline constexpr std::size_t kEventListRecords = 8;
inline constexpr std::size_t kEventListRecordWords = 6;
inline constexpr std::uint32_t kEventListSpan = 49;  // upper = lower + 49 while buffering events

inline constexpr const char* kMemoryRangeErrorText =
    " ERROR: You must enter a range that is greater than zero...";
inline constexpr const char* kMemoryNoResponseText = "  ERROR: No response from sensor...";
inline constexpr const char* kMemoryStoragePathErrorText = "  ERROR: Invalid storage file path...";
inline constexpr const char* kMemoryManualScaleErrorText =
    "  ERROR: The UPPER manual y-coordinate must be greater than the LOWER y-coordinate...";
inline constexpr const char* kEventListHeader = "Lane\tH PC\tL PC\tDur\tEngy\tVel\tFlag\r\n";

struct MemoryRange {
    std::uint32_t lower = 0;
    std::uint32_t upper = 0;
    bool upper_limited = false;  // the 1025-word limit moved upper: its field shows the new value
    std::size_t count() const { return upper - lower + 1; }
    // The "X6" payload: both addresses as 4 hexadecimal digits, then CR.
    std::string Payload() const;
};

// The two "Range (hex)" fields: the last four characters count, an empty field is 0, a lower
// address above the upper one reads one word. nullopt when a field holds a non-hex character.
std::optional<MemoryRange> ParseMemoryRange(std::string_view lower_text, std::string_view upper_text);
// The upper field's text after the limit moved it ("400").
std::string UpperFieldText(const MemoryRange& range);

enum class MemoryFormat { Hexadecimal, Decimal, Character, Histogram };
enum class HistogramDataSize { Bits8, Bits16, Bits32 };

struct MemoryReading {
    TransactionResult result = TransactionResult::NoResponse;  // the exchange
    std::string data;                // 4 hex characters per word, as the sensor sent them
    std::size_t words_returned = 0;  // whole words in data
    bool malformed = false;          // the reply is not whole hexadecimal words
    bool refused = false;            // the sensor answered "Failure"
};

// "X6" with the communication-error dialog, 1 automatic retry, TCP recovery and 1000 ms extra wait.
MemoryReading ReadMemoryRange(SensorProtocol& protocol, const MemoryRange& range);

// The table text: one row per 16 words ("0x" + address + TAB, then the words), rows end CR LF.
// Only the words in data are shown; a row is never padded.
std::string FormatMemoryTable(std::uint32_t lower, std::string_view data, MemoryFormat format);
// A one-line note when the sensor returned another number of words than was asked for; empty
// otherwise.
std::string MemoryShortfallNote(std::size_t asked, std::size_t returned);

// The histogram's bars: the data split into 8-, 16- or 32-bit values (a trailing part too short for
// a value is left out).
std::vector<std::uint32_t> HistogramValues(std::string_view data, HistogramDataSize size);
struct YScale {
    double low = 0;
    double high = 1;
};
// Automatic: 0 to the largest value (at least 1). Manual: as given, nullopt unless high > low.
std::optional<YScale> HistogramScale(const std::vector<std::uint32_t>& values, bool manual, double low,
                                     double high);

enum class StorageFormat { Generic, EventList };

// The storage file of auto-refresh: opened for appending when auto-refresh starts, written on every
// change of the data. Every failed write is reported by the return value.
class MemoryStore {
  public:
    MemoryStore() = default;
    ~MemoryStore();
    MemoryStore(const MemoryStore&) = delete;
    MemoryStore& operator=(const MemoryStore&) = delete;

    // A path not ending in ".dat" or ".txt" gets ".dat". Writes the event-list header. False when
    // the file cannot be opened or the header cannot be written.
    bool Open(const std::string& path, StorageFormat format);
    void Close();
    bool is_open() const { return file_ != nullptr; }
    const std::string& path() const { return path_; }

    // Appends the change from previous to data; nothing when they are equal.
    bool Store(const MemoryRange& range, std::string_view previous, std::string_view data);

  private:
    bool Write(const std::string& text);

    std::FILE* file_ = nullptr;
    std::string path_;
    StorageFormat format_ = StorageFormat::Generic;
};

std::string StoragePathWithExtension(const std::string& path);
// The text one change adds to the file.
std::string GenericStorageText(const MemoryRange& range, std::string_view data);
std::string EventListStorageText(std::string_view previous, std::string_view data);

}  // namespace qvx
