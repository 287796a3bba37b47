#include <gtest/gtest.h>

#include <string>

#include "firmware/firmware_bundle.h"

namespace qvx {
namespace {

TEST(BuiltInBundle, HasThreeClosedSegmentsOfTheRightKinds) {
    const auto& bundle = BuiltInBundle();
    ASSERT_TRUE(bundle.has_value());
    EXPECT_EQ(bundle->name, kBundleName);
    EXPECT_EQ(bundle->check_line.size(), 8u);
    const auto& side = bundle->segment(BundleSegmentId::SideFireDsp);
    const auto& forward = bundle->segment(BundleSegmentId::ForwardFireDsp);
    const auto& fpga = bundle->segment(BundleSegmentId::Fpga);
    EXPECT_TRUE(side.data.starts_with("10AA"));
    EXPECT_TRUE(forward.data.starts_with("10AA"));
    EXPECT_TRUE(fpga.data.starts_with("FFFFFFFFAA99"));
    EXPECT_EQ(fpga.kind, ImageKind::Fpga);
    for (const auto& segment : bundle->segments) {
        EXPECT_EQ(segment.data.back(), '#');
        EXPECT_GT(segment.check.digit_count, 2000u);
    }
}

TEST(BuiltInBundle, CheckLineIsTheSumOfTheSegmentChecks) {
    const auto& bundle = *BuiltInBundle();
    FileCheckValue total;
    for (const auto& segment : bundle.segments) {
        total.sum += segment.check.sum;
    }
    EXPECT_EQ(bundle.check_line, total.Text());
}

TEST(BuiltInBundle, PacketsCarryEveryDigitOnce) {
    for (const auto& segment : BuiltInBundle()->segments) {
        PacketCutter cutter = segment.Packets();
        std::string digits;
        while (cutter.HasNext()) {
            const std::string packet = cutter.Next();
            ASSERT_EQ(packet.back(), '\r');
            digits += packet.substr(1, packet.size() - 6);
        }
        EXPECT_EQ(digits.size(), segment.check.digit_count);
        EXPECT_EQ(ComputeFileCheckValue(digits).sum, segment.check.sum);
    }
}

TEST(BuiltInBundle, VersionFieldsComeFromTheNameLine) {
    const BundleVersion& v = BuiltInBundle()->version;
    EXPECT_EQ(v.primary, "v2");
    EXPECT_EQ(v.fpga, "30");
    EXPECT_EQ(v.yy, "10");
    EXPECT_EQ(v.side_fire_amm, "S03");
    EXPECT_EQ(v.forward_fire_amm, "F03");
    EXPECT_EQ(v.dd, "05");
}

TEST(ParseFirmwareBundle, SegmentDataStartsThreeCharactersAfterDollar) {
    const auto bundle =
        ParseFirmwareBundle("000000E3\r\nQ_v2.1.2.S1.F1.3\n$\r\n10AA#\r\n$\r\n10aa#$\r\nAA99#");
    ASSERT_TRUE(bundle.has_value());
    EXPECT_EQ(bundle->check_line, "000000E3");
    EXPECT_EQ(bundle->name, "Q_v2.1.2.S1.F1.3");
    EXPECT_EQ(bundle->segments[0].data, "10AA#");
    EXPECT_EQ(bundle->segments[1].check.Text(), "000000E3");
    EXPECT_EQ(bundle->segments[2].data, "AA99#");
}

TEST(ParseFirmwareBundle, RejectsMissingOrUnclosedSegments) {
    EXPECT_FALSE(ParseFirmwareBundle("").has_value());
    EXPECT_FALSE(ParseFirmwareBundle("X\r\nN\r\n$\r\n10AA#$\r\n10AA#").has_value());
    // A segment without its '#' must not swallow the next one.
    EXPECT_FALSE(ParseFirmwareBundle("X\r\nN\r\n$\r\n10AA$\r\n10AA#$\r\nAA99#").has_value());
    EXPECT_FALSE(ParseFirmwareBundle("X\r\nN\r\n$\r\n10AA#$\r\n10AA#$").has_value());
}

TEST(ParseFirmwareBundle, LooksAtNoMoreThanHundredCharactersOfAName) {
    const std::string name(150, 'N');
    const auto bundle = ParseFirmwareBundle("00000000\r\n" + name + "\r\n$\r\n#$\r\n#$\r\n#");
    ASSERT_TRUE(bundle.has_value());
    EXPECT_EQ(bundle->name.size(), 100u);
}

}  // namespace
}  // namespace qvx
