// The PLL register layouts in both directions, and the memory view's range rules, table, histogram
// and storage formats.

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/scratch_folder.h"
#include "tools/memory_range.h"
#include "tools/pll_registers.h"

namespace qvx {
namespace {

TEST(PllRegisters, KnownValuesOfEachRegister) {
    EXPECT_EQ(PllHexText(EncodeNCounter({992, false})), "000F81");
    EXPECT_EQ(EncodeNCounter({992, false}), 3969u);
    EXPECT_EQ(PllHexText(EncodeNCounter({992, true})), "100F81");
    EXPECT_EQ(PllHexText(EncodeRCounter({3, false})), "00000C");
    EXPECT_EQ(PllHexText(EncodeRCounter({3, true})), "10000C");
    FunctionLatch reset_only;
    reset_only.counter_reset = true;
    EXPECT_EQ(PllHexText(EncodeFunctionLatch(reset_only)), "000006");
    EXPECT_EQ(PllBinaryText(6), "000000000000000000000110");
}

TEST(PllRegisters, ChoicesAreWrittenInTheirBitOrders) {
    const std::uint32_t fold_bits[] = {0b000, 0b100, 0b010, 0b110, 0b001, 0b101, 0b011, 0b111};
    for (int index = 0; index < 8; ++index) {
        EXPECT_EQ((EncodeFunctionLatch({.fold_output = index}) >> 4) & 7u, fold_bits[index]) << index;
    }
    const std::uint32_t fastlock_bits[] = {0b000, 0b001, 0b101, 0b011, 0b111};
    for (int choice = 0; choice < 5; ++choice) {
        EXPECT_EQ((EncodeFunctionLatch({.fastlock_mode = choice}) >> 9) & 7u, fastlock_bits[choice])
            << choice;
    }
    EXPECT_EQ(EncodeFunctionLatch({.fastlock_timeout = 15}) >> 12 & 0xFu, 15u);
    EXPECT_EQ(EncodeFunctionLatch({.power_down_mode = true}), 0x80002u);
}

TEST(PllRegisters, EveryLatchDecodesBackToItsFields) {
    for (int fold = 0; fold < 8; ++fold) {
        for (int mode = 0; mode < 5; ++mode) {
            const FunctionLatch latch{true, false, fold, true, false, mode, (fold * 3 + mode) % 16, true};
            EXPECT_EQ(DecodeFunctionLatch(EncodeFunctionLatch(latch)), latch);
        }
    }
    // A FastLock pattern outside the table (100, 010, 110) reads as choice 0.
    for (std::uint32_t pattern : {0b100u, 0b010u, 0b110u}) {
        EXPECT_EQ(DecodeFunctionLatch(0b10 | pattern << 9).fastlock_mode, 0);
    }
    EXPECT_EQ(DecodeNCounter(EncodeNCounter({262143, true})), (Divider{262143, true}));
    EXPECT_EQ(DecodeRCounter(EncodeRCounter({16383, true})), (Divider{16383, true}));
}

TEST(PllRegisters, DivideRatioEntriesAreClamped) {
    EXPECT_EQ(ParseDivideRatio("5", kNRatioMin, kNRatioMax).value, 992u);
    EXPECT_TRUE(ParseDivideRatio("5", kNRatioMin, kNRatioMax).corrected);
    EXPECT_EQ(ParseDivideRatio("999999", kNRatioMin, kNRatioMax).value, 262143u);
    EXPECT_FALSE(ParseDivideRatio("4000", kNRatioMin, kNRatioMax).corrected);
    EXPECT_EQ(ParseDivideRatio("", kRRatioMin, kRRatioMax).value, 3u);
    // At most 9 digits are read: "1234567890" is 123456789, clamped.
    EXPECT_EQ(ParseDivideRatio("1234567890", kRRatioMin, kRRatioMax).value, 16383u);
}

TEST(PllRegisters, ReadRepliesCarryTheValueAfterTwoCharacters) {
    EXPECT_EQ(ParsePllReply("00000F81"), 0xF81u);
    EXPECT_FALSE(ParsePllReply("0F81"));
    EXPECT_FALSE(ParsePllReply("00XYZ123"));
    EXPECT_FALSE(ParsePllReply("Failure!"));
}

TEST(MemoryRange, FieldsFollowTheRangeRules) {
    const auto one = ParseMemoryRange("0100", "0000");
    ASSERT_TRUE(one);
    EXPECT_EQ(one->count(), 1u);
    EXPECT_EQ(one->Payload(), "01000100\r");

    const auto limited = ParseMemoryRange("0000", "0800");
    ASSERT_TRUE(limited);
    EXPECT_EQ(limited->count(), 1025u);
    EXPECT_TRUE(limited->upper_limited);
    EXPECT_EQ(UpperFieldText(*limited), "400");

    const auto short_text = ParseMemoryRange("", "1f");
    ASSERT_TRUE(short_text);
    EXPECT_EQ(short_text->Payload(), "0000001F\r");
    EXPECT_EQ(ParseMemoryRange("12345", "0")->lower, 0x2345u);  // the last four characters count
    EXPECT_FALSE(ParseMemoryRange("00G0", "0100"));
}

TEST(MemoryRange, TableRowsShowOnlyTheWordsReturned) {
    std::string sixteen = "0041004200000007";
    for (int k = 0; k < 12; ++k) {
        sixteen += "1111";
    }
    std::string hex_row = "0x0100\t0x0041\t0x0042\t0x0000\t0x0007\t";
    for (int k = 0; k < 12; ++k) {
        hex_row += "0x1111\t";
    }
    hex_row += "\r\n";
    // Sixteen words make one row, not a second empty one.
    EXPECT_EQ(FormatMemoryTable(0x0100, sixteen, MemoryFormat::Hexadecimal), hex_row);
    EXPECT_EQ(FormatMemoryTable(0x0100, sixteen + "FFFF", MemoryFormat::Hexadecimal),
              hex_row + "0x0110\t0xFFFF\t\r\n");
    EXPECT_EQ(FormatMemoryTable(0x0100, sixteen + "FFFF", MemoryFormat::Decimal).substr(0, 26),
              "0x0100\t65\t66\t0\t7\t4369\t4369");
    EXPECT_EQ(FormatMemoryTable(0x00F0, "004100000007", MemoryFormat::Character), "0x00F0\tA, _, ., \r\n");
    EXPECT_EQ(FormatMemoryTable(0, "", MemoryFormat::Hexadecimal), "");
}

TEST(MemoryRange, FewerWordsThanAskedAreNamed) {
    EXPECT_EQ(MemoryShortfallNote(1025, 1024),
              "The sensor returned 1024 of the 1025 words asked for; only those are shown.");
    EXPECT_EQ(MemoryShortfallNote(17, 17), "");
}

TEST(MemoryRange, HistogramSplitsByDataSizeAndScales) {
    EXPECT_EQ(HistogramValues("12345678AB", HistogramDataSize::Bits8),
              (std::vector<std::uint32_t>{0x12, 0x34, 0x56, 0x78, 0xAB}));
    EXPECT_EQ(HistogramValues("12345678AB", HistogramDataSize::Bits16),
              (std::vector<std::uint32_t>{0x1234, 0x5678}));
    EXPECT_EQ(HistogramValues("12345678AB", HistogramDataSize::Bits32),
              (std::vector<std::uint32_t>{0x12345678}));
    EXPECT_EQ(HistogramScale({3, 9}, false, 0, 0)->high, 9);
    EXPECT_EQ(HistogramScale({}, false, 0, 0)->high, 1);
    EXPECT_FALSE(HistogramScale({3}, true, 10, 10));
    EXPECT_EQ(HistogramScale({3}, true, 2, 10)->low, 2);
}

// Three reads of the event-list region: the first stores every record, the second only the two
// that changed, the third (unchanged) nothing.
TEST(MemoryStore, EventListFileForAKnownSequenceIsExact) {
    test::ScratchFolder folder;
    std::string first;
    for (int record = 0; record < 8; ++record) {
        first += "0000000" + std::to_string(record) + "00C8" + "0960" + "0040" + "0000";
    }
    std::string second = first;
    second.replace(1 * 24, 8, "00000011");
    second.replace(6 * 24 + 16, 8, "003C0001");
    const std::string tail(4 * 2, 'F');  // words 48 and 49 of the range are not part of the list
    MemoryStore store;
    ASSERT_TRUE(store.Open(folder / "events", StorageFormat::EventList));
    EXPECT_EQ(store.path(), folder / "events.dat");
    const MemoryRange range{0x200, 0x231, false};
    ASSERT_TRUE(store.Store(range, "", first + tail));
    ASSERT_TRUE(store.Store(range, first + tail, second + tail));
    ASSERT_TRUE(store.Store(range, second + tail, second + tail));
    store.Close();
    EXPECT_EQ(test::ReadFileText(folder / "events.dat"),
              test::ReadFileText(std::string(QVX_TEST_DATA_DIR) + "/tools/event_list.golden"));
}

TEST(MemoryStore, GenericDumpIsExactAndAppends) {
    test::ScratchFolder folder;
    const std::string path = folder.Write("dump.txt", "kept\n");
    std::string words;
    for (int k = 0; k < 18; ++k) {
        words += "00" + std::string(1, static_cast<char>('A' + k % 6)) + std::to_string(k % 10);
    }
    MemoryStore store;
    ASSERT_TRUE(store.Open(path, StorageFormat::Generic));
    EXPECT_EQ(store.path(), path);  // ".txt" is kept
    ASSERT_TRUE(store.Store({0x10, 0x21, false}, "", words));
    ASSERT_TRUE(store.Store({0x10, 0x21, false}, words, words));
    store.Close();
    EXPECT_EQ(test::ReadFileText(path),
              test::ReadFileText(std::string(QVX_TEST_DATA_DIR) + "/tools/generic_dump.golden"));
}

TEST(MemoryStore, UnusablePathsAndFullDisksAreReported) {
    MemoryStore store;
    EXPECT_FALSE(store.Open("", StorageFormat::Generic));
    EXPECT_FALSE(store.Open("/nonexistent-folder/x.dat", StorageFormat::Generic));
    test::ScratchFolder folder;
    const std::string full = folder / "full.dat";
    ASSERT_EQ(::symlink("/dev/full", full.c_str()), 0);
    EXPECT_FALSE(store.Open(full, StorageFormat::EventList));  // the header cannot be written
    ASSERT_TRUE(store.Open(full, StorageFormat::Generic));
    EXPECT_FALSE(store.Store({0, 0, false}, "", "ABCD"));
    EXPECT_EQ(StoragePathWithExtension("/tmp/x"), "/tmp/x.dat");
    EXPECT_EQ(StoragePathWithExtension("a.TXT"), "a.TXT");
}

}  // namespace
}  // namespace qvx
