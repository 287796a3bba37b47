// qvx memory: a range of sensor memory words, once or on every change, optionally stored.

#include <chrono>
#include <thread>

#include "base/hex_text.h"
#include "cli_tools.h"
#include "context/app_context.h"
#include "protocol/transaction_result.h"
#include "tools/memory_range.h"

namespace qvx::cli {

namespace {

constexpr std::size_t kMaxAddressDigits = 4;

bool IsAddress(const std::string& text) {
    return !text.empty() && text.size() <= kMaxAddressDigits && hex::Parse(text).has_value();
}

MemoryFormat FormatOf(const std::string& name) {
    if (name == "dec") {
        return MemoryFormat::Decimal;
    }
    return name == "char" ? MemoryFormat::Character : MemoryFormat::Hexadecimal;
}

std::string UnixLineEnds(const std::string& table) {
    std::string text;
    for (char c : table) {
        if (c != '\r') {
            text += c;
        }
    }
    return text;
}

// One read; the table is printed when the data changed. False when the read failed.
bool ReadAndShow(AppContext& app, const MemoryRange& range, MemoryFormat format, std::string& data,
                 CommandStreams io) {
    const MemoryReading reading = ReadMemoryRange(app.protocol, range);
    if (reading.result != TransactionResult::Ok || reading.refused || reading.malformed) {
        io.err << "qvx: reading memory failed: "
               << (reading.result != TransactionResult::Ok
                       ? kMemoryNoResponseText
                       : (reading.refused ? "the sensor refused the range"
                                          : "the reply is not whole hexadecimal words"))
               << "\n";
        return false;
    }
    if (const std::string note = MemoryShortfallNote(range.count(), reading.words_returned); !note.empty()) {
        io.err << "qvx: " << note << "\n";
    }
    if (reading.data != data) {
        io.out << (data.empty() ? "" : "\n")
               << UnixLineEnds(FormatMemoryTable(range.lower, reading.data, format));
        io.out.flush();
    }
    data = reading.data;
    return true;
}

void SleepUnlessStopped(const std::atomic<bool>& stop, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop.load() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

std::string CheckMemoryWords(const std::vector<std::string>& words) {
    if (words.size() != 2 || !IsAddress(words[0]) || !IsAddress(words[1])) {
        return "memory needs LOWER and UPPER word addresses of 1 to 4 hexadecimal digits";
    }
    return {};
}

int RunMemory(AppContext& app, const CliOptions& options, CommandStreams io) {
    const ToolOptions& tools = options.tools;
    MemoryRange range = *ParseMemoryRange(tools.words[0], tools.words[1]);
    const bool event_list = tools.event_list;
    if (event_list) {
        range.upper = range.lower + kEventListSpan;
    } else if (range.upper_limited) {
        io.err << "qvx: at most 1025 words are read: the upper address becomes " << UpperFieldText(range)
               << "\n";
    }
    MemoryStore store;
    if (!tools.store_path.empty() &&
        !store.Open(tools.store_path, event_list ? StorageFormat::EventList : StorageFormat::Generic)) {
        io.err << "qvx: " << kMemoryStoragePathErrorText << " (" << tools.store_path << ")\n";
        return kExitOther;
    }
    const MemoryFormat format = FormatOf(tools.format);
    std::string data;
    int reads = 0;
    for (;;) {
        const std::string previous = data;
        if (!ReadAndShow(app, range, format, data, io)) {
            return kExitSensorFailed;
        }
        ++reads;
        if (store.is_open() && !store.Store(range, previous, data)) {
            io.err << "qvx: cannot write the storage file " << store.path() << "\n";
            return kExitOther;
        }
        if (tools.watch_ms == 0 || io.stop.load() || (options.count != 0 && reads >= options.count)) {
            return kExitSuccess;
        }
        SleepUnlessStopped(io.stop, tools.watch_ms);
        if (io.stop.load()) {
            return kExitSuccess;
        }
    }
}

}  // namespace qvx::cli
