#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "firmware/hex_image.h"

namespace qvx {
namespace {

std::vector<std::string> CutAll(std::string_view data,
                                PacketCutter::Source source = PacketCutter::Source::File) {
    PacketCutter cutter(data, source);
    std::vector<std::string> packets;
    while (cutter.HasNext()) {
        packets.push_back(cutter.Next());
    }
    return packets;
}

TEST(FileCheckValue, SumsCharacterCodesOfUpperCasedDigitsOnly) {
    struct Case {
        std::string text;
        std::string check;
        std::size_t digits;
    };
    const std::vector<Case> cases = {
        {"10AA", "000000E3", 4},
        {"10aa", "000000E3", 4},           // lower case counts as upper case
        {"1 0\r\nA-A zz", "000000E3", 4},  // everything that is no hex digit is skipped
        {"", "00000000", 0},
        {"\xC1\xE1\xFF", "00000000", 0},  // 8-bit characters are no digits
    };
    for (const auto& c : cases) {
        const FileCheckValue check = ComputeFileCheckValue(c.text);
        EXPECT_EQ(check.Text(), c.check) << c.text;
        EXPECT_EQ(check.digit_count, c.digits) << c.text;
    }
}

TEST(FileCheckValue, WrapsAtThirtyTwoBitsAndStopsAtSegmentEnd) {
    FileCheckValue check;
    check.sum = 0xFFFFFFFF;
    EXPECT_EQ(check.Text(), "FFFFFFFF");
    EXPECT_EQ(ComputeFileCheckValue("10AA#FFFF", true).Text(), "000000E3");
    EXPECT_EQ(ComputeFileCheckValue("10AA#FFFF", false).digit_count, 8u);
}

TEST(ImageData, DspSkipsExactlyTenBytesWhateverLineOneHolds) {
    // A first line of 6 characters is misread: the skip does not look for the line end.
    EXPECT_EQ(ImageData("ABCDEF\r\n10AA\r\n", ImageKind::Dsp), "AA\r\n");
    EXPECT_EQ(ImageData("1234ABCD\r\n10AA", ImageKind::Dsp), "10AA");
    EXPECT_EQ(ImageData("short", ImageKind::Dsp), "");
    EXPECT_EQ(ImageData("FFFFFFFFAA99", ImageKind::Fpga), "FFFFFFFFAA99");
}

TEST(RecognizeHexFile, ChecksSignatureAfterTheSkippedBytes) {
    struct Case {
        std::string bytes;
        ImageKind kind;
        bool ok;
    };
    const std::vector<Case> cases = {
        {"1234ABCD\r\n10AA0000", ImageKind::Dsp, true},
        {"1234ABCD\r\n1\r\n0aA", ImageKind::Dsp, true},  // digits collected across lines, upper-cased
        {"1234ABCD\r\n10AB", ImageKind::Dsp, false},
        {"1234ABCD\r\n10A", ImageKind::Dsp, false},  // ends before four digits
        {"10AA", ImageKind::Dsp, false},
        {"FFFFFFFFAA99FF", ImageKind::Fpga, true},
        {"FFFFFFFF\r\naa99", ImageKind::Fpga, true},
        {"FFFFFFFFAA98", ImageKind::Fpga, false},
        {"1234ABCD\r\n10AA", ImageKind::Fpga, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RecognizeHexFile(c.bytes, c.kind).ok, c.ok) << c.bytes;
    }
    const Recognition dsp = RecognizeHexFile("", ImageKind::Dsp);
    EXPECT_EQ(dsp.caption, "Invalid File");
    EXPECT_EQ(dsp.text, "The selected file is not a DSP hex file.");
    EXPECT_EQ(RecognizeHexFile("", ImageKind::Fpga).text, "The selected file is not a FPGA hex file.");
}

TEST(PacketCutter, FirstPacketOfTenAA) {
    EXPECT_EQ(CutAll("10AA"), std::vector<std::string>{"110AA00E3\r"});
    EXPECT_EQ(CutAll("10aa"), std::vector<std::string>{"110AA00E3\r"});
}

TEST(PacketCutter, TwoHundredFortyOneDigitsGiveTwoPackets) {
    const std::string data(241, 'A');
    const auto packets = CutAll(data);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0], "1" + std::string(240, 'A') + "3CF0\r");
    EXPECT_EQ(packets[1], "2A0041\r");
}

TEST(PacketCutter, TrailingLineEndAfterFullPacketGivesEmptyClosingPacket) {
    const std::string full(240, '0');
    EXPECT_EQ(CutAll(full).size(), 1u);
    const auto packets = CutAll(full + "\r\n");
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[1], "20000\r");
    // Trailing characters after a short last packet are read with it.
    EXPECT_EQ(CutAll("10AA\r\n").size(), 1u);
}

TEST(PacketCutter, SequenceDigitWrapsFromZeroToOne) {
    const auto packets = CutAll(std::string(240 * 11, 'F'));
    ASSERT_EQ(packets.size(), 11u);
    std::string sequence;
    for (const auto& packet : packets) {
        sequence += packet.front();
    }
    EXPECT_EQ(sequence, "12345678901");
}

TEST(PacketCutter, BundleSegmentEndsAtHashAndCountsDigits) {
    PacketCutter cutter("10AA\r\n#FFFF", PacketCutter::Source::BundleSegment);
    ASSERT_TRUE(cutter.HasNext());
    EXPECT_EQ(cutter.Next(), "110AA00E3\r");
    EXPECT_FALSE(cutter.HasNext());
    EXPECT_EQ(cutter.digits_cut(), 4u);
    // Like a file, a segment whose digits fill the last packet exactly still closes with an empty one.
    const auto packets = CutAll(std::string(240, '1') + "\r\n#", PacketCutter::Source::BundleSegment);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[1], "20000\r");
}

}  // namespace
}  // namespace qvx
