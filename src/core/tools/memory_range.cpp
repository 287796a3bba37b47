#include "tools/memory_range.h"

#include <algorithm>
#include <cctype>

#include "base/hex_text.h"
#include "protocol/transaction.h"
#include "protocol/transaction_result.h"

namespace qvx {

namespace {
constexpr int kRetries = 1;
constexpr int kExtraWaitMs = 1000;
constexpr std::size_t kAddressDigits = 4;
constexpr std::size_t kEventListRecordChars = kEventListRecordWords * kMemoryWordChars;

std::optional<std::uint32_t> ParseAddressField(std::string_view text) {
    if (text.size() > kAddressDigits) {
        text = text.substr(text.size() - kAddressDigits);
    }
    if (text.empty()) {
        return 0;
    }
    return hex::Parse(text);
}

bool IsHexText(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return hex::DigitValue(c) >= 0; });
}

std::uint32_t WordValue(std::string_view word) {
    return hex::Parse(word).value_or(0);
}

// A word shown as a character: '_' for 0, the printable ASCII characters as themselves and '.' for
// anything that would break the table's layout.
char WordCharacter(std::uint32_t value) {
    if (value == 0) {
        return '_';
    }
    return value >= 0x20 && value < 0x7F ? static_cast<char>(value) : '.';
}

std::string FormatWord(std::string_view word, MemoryFormat format) {
    switch (format) {
        case MemoryFormat::Decimal:
            return std::to_string(WordValue(word)) + "\t";
        case MemoryFormat::Character:
            return std::string(1, WordCharacter(WordValue(word))) + ", ";
        case MemoryFormat::Hexadecimal:
        case MemoryFormat::Histogram:
        default:
            return "0x" + std::string(word) + "\t";
    }
}

std::string_view WordAt(std::string_view data, std::size_t index) {
    return data.substr(index * kMemoryWordChars, kMemoryWordChars);
}

}  // namespace

std::string MemoryRange::Payload() const {
    return hex::Format(lower, kAddressDigits) + hex::Format(upper, kAddressDigits) + "\r";
}

std::optional<MemoryRange> ParseMemoryRange(std::string_view lower_text, std::string_view upper_text) {
    const auto lower = ParseAddressField(lower_text);
    const auto upper = ParseAddressField(upper_text);
    if (!lower || !upper) {
        return std::nullopt;
    }
    MemoryRange range{*lower, std::max(*lower, *upper), false};
    if (range.upper - range.lower > kMemoryMaxSpan) {
        range.upper = range.lower + kMemoryMaxSpan;
        range.upper_limited = true;
    }
    return range;
}

std::string UpperFieldText(const MemoryRange& range) {
    std::string text = hex::Format(range.upper, static_cast<int>(kAddressDigits));
    const std::size_t first = text.find_first_not_of('0');
    return first == std::string::npos ? "0" : text.substr(first);
}

MemoryReading ReadMemoryRange(SensorProtocol& protocol, const MemoryRange& range) {
    MemoryReading reading;
    std::string reply;
    reading.result = protocol.SendSensorCommand({.code = "X6",
                                                 .payload = range.Payload(),
                                                 .on_error = ErrorPolicy::Report,
                                                 .retries = kRetries,
                                                 .link_recovery = true,
                                                 .extra_wait_ms = kExtraWaitMs},
                                                reply);
    if (reading.result != TransactionResult::Ok) {
        return reading;
    }
    if (reply == "Failure") {
        reading.refused = true;
        return reading;
    }
    if (reply.empty() || reply.size() % kMemoryWordChars != 0 || !IsHexText(reply)) {
        reading.malformed = true;
        return reading;
    }
    reading.data = std::move(reply);
    reading.words_returned = reading.data.size() / kMemoryWordChars;
    return reading;
}

std::string FormatMemoryTable(std::uint32_t lower, std::string_view data, MemoryFormat format) {
    const std::size_t words = data.size() / kMemoryWordChars;
    std::string table;
    for (std::size_t first = 0; first < words; first += kMemoryWordsPerRow) {
        table += "0x" + hex::Format(lower + static_cast<std::uint32_t>(first), kAddressDigits) + "\t";
        for (std::size_t k = first; k < std::min(words, first + kMemoryWordsPerRow); ++k) {
            table += FormatWord(WordAt(data, k), format);
        }
        table += "\r\n";
    }
    return table;
}

std::string MemoryShortfallNote(std::size_t asked, std::size_t returned) {
    if (asked == returned) {
        return {};
    }
    return "The sensor returned " + std::to_string(returned) + " of the " + std::to_string(asked) +
           " words asked for; only those are shown.";
}

std::vector<std::uint32_t> HistogramValues(std::string_view data, HistogramDataSize size) {
    const std::size_t chars =
        size == HistogramDataSize::Bits8 ? 2 : (size == HistogramDataSize::Bits16 ? 4 : 8);
    std::vector<std::uint32_t> values;
    for (std::size_t pos = 0; pos + chars <= data.size(); pos += chars) {
        values.push_back(hex::Parse(data.substr(pos, chars)).value_or(0));
    }
    return values;
}

std::optional<YScale> HistogramScale(const std::vector<std::uint32_t>& values, bool manual, double low,
                                     double high) {
    if (manual) {
        if (!(high > low)) {
            return std::nullopt;
        }
        return YScale{low, high};
    }
    const auto largest = values.empty() ? 0u : *std::max_element(values.begin(), values.end());
    return YScale{0, std::max<double>(1, largest)};
}

// ---------------------------------------------------------------------------------------------
// Storage

std::string StoragePathWithExtension(const std::string& path) {
    auto ends_with = [&](const char* extension) {
        const std::string tail = path.size() >= 4 ? path.substr(path.size() - 4) : std::string();
        return std::equal(tail.begin(), tail.end(), extension, extension + 4,
                          [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    };
    return ends_with(".dat") || ends_with(".txt") ? path : path + ".dat";
}

std::string GenericStorageText(const MemoryRange& range, std::string_view data) {
    std::string text = "\n\n" + hex::Format(range.lower, kAddressDigits) + " - " +
                       hex::Format(range.upper, kAddressDigits) + "\n";
    const std::size_t words = data.size() / kMemoryWordChars;
    for (std::size_t k = 0; k < words; ++k) {
        text += WordAt(data, k);
        const bool row_end = (k + 1) % kMemoryWordsPerRow == 0 || k + 1 == words;
        text += row_end ? "\n" : "\t";
    }
    return text;
}

std::string EventListStorageText(std::string_view previous, std::string_view data) {
    std::string text;
    for (std::size_t record = 0; record < kEventListRecords; ++record) {
        const std::size_t pos = record * kEventListRecordChars;
        if (pos + kEventListRecordChars > data.size()) {
            break;
        }
        const std::string_view now = data.substr(pos, kEventListRecordChars);
        const bool had = pos + kEventListRecordChars <= previous.size();
        if (had && previous.substr(pos, kEventListRecordChars) == now) {
            continue;
        }
        text += static_cast<char>('1' + record);
        for (std::size_t word = 0; word < kEventListRecordWords; ++word) {
            text += "\t";
            text += WordAt(now, word);
        }
        text += "\n";
    }
    return text;
}

MemoryStore::~MemoryStore() {
    Close();
}

bool MemoryStore::Open(const std::string& path, StorageFormat format) {
    Close();
    if (path.empty()) {
        return false;
    }
    path_ = StoragePathWithExtension(path);
    format_ = format;
    file_ = std::fopen(path_.c_str(), "ab");
    if (file_ == nullptr) {
        return false;
    }
    if (format_ == StorageFormat::EventList && !Write(kEventListHeader)) {
        Close();
        return false;
    }
    return true;
}

void MemoryStore::Close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

bool MemoryStore::Store(const MemoryRange& range, std::string_view previous, std::string_view data) {
    if (previous == data) {
        return true;
    }
    const std::string text = format_ == StorageFormat::EventList ? EventListStorageText(previous, data)
                                                                 : GenericStorageText(range, data);
    return text.empty() || Write(text);
}

// Each change reaches the disk before the next tick, so a full disk is noticed at once.
bool MemoryStore::Write(const std::string& text) {
    if (file_ == nullptr) {
        return false;
    }
    return std::fwrite(text.data(), 1, text.size(), file_) == text.size() && std::fflush(file_) == 0;
}

}  // namespace qvx
