// The download journal's reader on arbitrary bytes: a journal damaged by a crash or by anything
// else must read as its complete records or as nothing, never crash.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "stored/download_journal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto contents = qvx::ParseDownloadJournal(text)) {
        if (contents->lines.size() > size || contents->records < 0) {
            __builtin_trap();
        }
    }
    return 0;
}
