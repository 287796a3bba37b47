// Feeds arbitrary bytes to the tools' parsers and formatters: what the sensor sends to the
// terminal, memory replies shown as tables, histograms and event lists, PLL read replies, and the
// text fields of the tool windows.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tools/memory_range.h"
#include "tools/pll_registers.h"
#include "tools/raw_acquisition.h"
#include "tools/terminal_session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view first = input.substr(0, input.size() / 2);
    const std::string_view second = input.substr(input.size() / 2);

    qvx::LineEndNormalizer normalizer;
    for (auto mode : {qvx::TerminalMode::Line, qvx::TerminalMode::Binary}) {
        (void)qvx::FormatReceived(first, mode, normalizer);
        (void)qvx::FormatReceived(second, mode, normalizer);
    }
    (void)qvx::BinaryLineBytes(input);

    if (const auto range = qvx::ParseMemoryRange(first, second)) {
        if (range->count() < 1 || range->count() > 1025) {
            std::abort();
        }
        (void)qvx::UpperFieldText(*range);
        (void)qvx::GenericStorageText(*range, input);
    }
    for (auto format :
         {qvx::MemoryFormat::Hexadecimal, qvx::MemoryFormat::Decimal, qvx::MemoryFormat::Character}) {
        (void)qvx::FormatMemoryTable(static_cast<std::uint32_t>(size), input, format);
    }
    (void)qvx::EventListStorageText(first, second);
    (void)qvx::HistogramValues(input, qvx::HistogramDataSize::Bits32);

    if (const auto value = qvx::ParsePllReply(input); value && *value > 0xFFFFFF) {
        std::abort();
    }
    const auto ratio = qvx::ParseDivideRatio(input, qvx::kNRatioMin, qvx::kNRatioMax);
    const auto seconds = qvx::ParseRawInterval(input).seconds;
    if (ratio.value < qvx::kNRatioMin || ratio.value > qvx::kNRatioMax || seconds < 1 || seconds > 900) {
        std::abort();
    }
    return 0;
}
