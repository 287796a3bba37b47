#include "protocol/traffic_records.h"

#include <gtest/gtest.h>

#include <string>

#include "protocol/interval_format.h"

namespace qvx {
namespace {

std::string LaneBlock(char digit, const char* volume, const char* speed, const char* occupancy,
                      const char* classes = "010002000300") {
    return std::string(1, digit) + volume + speed + occupancy + classes;
}

TEST(IntervalRecordDecode, TwoLaneReplyGivesBothBlocks) {
    const std::string data = "12CFF780" + LaneBlock('1', "0000001A", "0037", "0400") +
                             LaneBlock('2', "0000002A", "FFF6", "0200", "000000000400");
    ASSERT_EQ(data.size(), 8u + 58u);
    const auto record = DecodeIntervalRecord(data);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->stamp_text, "12CFF780");
    EXPECT_EQ(record->end_time, 0x12CFF780u);
    ASSERT_EQ(record->lanes.size(), 2u);
    EXPECT_EQ(record->lanes[0].volume, 26u);
    EXPECT_EQ(record->lanes[0].speed, 55);
    EXPECT_EQ(record->lanes[0].occupancy, 0x400);
    EXPECT_EQ(record->lanes[0].small, 0x100);
    EXPECT_EQ(record->lanes[0].medium, 0x200);
    EXPECT_EQ(record->lanes[0].large, 0x300);
    EXPECT_EQ(record->lanes[1].LaneIndex(), 1);
    EXPECT_EQ(record->lanes[1].speed, -10);
    EXPECT_EQ(record->lanes[1].large, 0x400);
}

TEST(IntervalRecordDecode, ReadsAtMostEightLanesAndKeepsOddLaneDigits) {
    std::string data = "00000010";
    for (char digit : std::string("12345678X")) {
        data += LaneBlock(digit, "00000001", "0000", "0000");
    }
    const auto record = DecodeIntervalRecord(data);
    ASSERT_TRUE(record.has_value());
    ASSERT_EQ(record->lanes.size(), 8u);
    EXPECT_EQ(record->lanes[7].lane_digit, '8');

    const auto odd = DecodeIntervalRecord("00000010" + LaneBlock('9', "00000001", "0000", "0000"));
    ASSERT_TRUE(odd.has_value());
    EXPECT_EQ(odd->lanes[0].lane_digit, '9');
    EXPECT_EQ(odd->lanes[0].LaneIndex(), -1);
}

TEST(IntervalRecordDecode, MalformedTextIsRejected) {
    const std::string good_block = LaneBlock('1', "00000001", "0000", "0000");
    EXPECT_FALSE(DecodeIntervalRecord("").has_value());
    EXPECT_FALSE(DecodeIntervalRecord("Empty").has_value());
    EXPECT_FALSE(DecodeIntervalRecord("0000G010" + good_block).has_value());
    EXPECT_FALSE(DecodeIntervalRecord("00000010" + LaneBlock('1', "0000 001", "0000", "0000")).has_value());
    EXPECT_FALSE(DecodeIntervalRecord("00000010" + LaneBlock('1', "00000001", "-001", "0000")).has_value());
    const auto header_only = DecodeIntervalRecord("00000010");
    ASSERT_TRUE(header_only.has_value());
    EXPECT_TRUE(header_only->lanes.empty());
}

TEST(EventRecordDecode, FieldsAndTheOppositeDirection) {
    const auto event = DecodeEventRecord("0015F9003000CFFF62");
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(event->ticks, 0x0015F900u);
    EXPECT_EQ(event->lane_digit, '3');
    EXPECT_EQ(event->LaneIndex(), 2);
    EXPECT_EQ(event->duration, 0x000C);
    EXPECT_EQ(event->speed, -10);
    EXPECT_EQ(event->vehicle_class, 2);
}

TEST(EventRecordDecode, LargeOrNonHexClassReadsAsZeroButIsKept) {
    for (char cls : std::string("3F*")) {
        const auto event = DecodeEventRecord(std::string("000000011000A0032") + cls);
        ASSERT_TRUE(event.has_value()) << cls;
        EXPECT_EQ(event->vehicle_class, 0);
        EXPECT_EQ(event->class_char, cls);
    }
}

TEST(EventRecordDecode, WrongLengthStatusWordsAndBadHexAreRejected) {
    EXPECT_FALSE(DecodeEventRecord("Empty").has_value());
    EXPECT_FALSE(DecodeEventRecord("000000011000A003").has_value());
    EXPECT_FALSE(DecodeEventRecord("000000011000A003210").has_value());
    EXPECT_FALSE(DecodeEventRecord("00000001100xA00321").has_value());
    EXPECT_TRUE(IsNoRecordReply("Empty"));
    EXPECT_TRUE(IsNoRecordReply("No lanes"));
    EXPECT_FALSE(IsNoRecordReply("0000000110"));
}

TEST(IntervalFormat, PercentRoundsToATenthAndAlignsTheIntegerPart) {
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0x0000, "  0"},   {0x0400, "100"},   {0x0200, " 50.0"}, {0x0080, " 12.5"}, {0x0005, "  0.5"},
        {0x0001, "  0.1"}, {0x0003, "  0.3"}, {0x03FF, " 99.9"}, {0x0800, "200.0"}, {0xFFFF, "6399.9"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(FormatPercent(value), text) << value;
    }
}

TEST(IntervalFormat, VolumeSpeedAndLaneLabels) {
    EXPECT_EQ(FormatVolume(42), "        42");
    EXPECT_EQ(FormatVolume(0xFFFFFFFF), "4294967295");
    EXPECT_EQ(FormatSpeed(5), "  5");
    EXPECT_EQ(FormatSpeed(-10), "-10");
    EXPECT_EQ(FormatSpeed(-1000), "-1000");
    EXPECT_EQ(CentreLaneName("NB 1    "), "  NB 1  ");
    EXPECT_EQ(CentreLaneName("Lane"), "  Lane  ");
    EXPECT_EQ(CentreLaneName("abc"), "  abc   ");
    EXPECT_EQ(CentreLaneName("        "), "        ");
    EXPECT_EQ(CentreLaneName("LONGNAME9"), "LONGNAME");
    const std::string names[8] = {"North", "", "", "", "", "", "", "South 8 "};
    EXPECT_EQ(IntervalLaneLabel('1', names), " North  ");
    EXPECT_EQ(IntervalLaneLabel('8', names), "South 8 ");
    EXPECT_EQ(IntervalLaneLabel('9', names), "********");
}

}  // namespace
}  // namespace qvx
