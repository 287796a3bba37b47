// Packet streams of sample hex files against the expected streams written by an independent tool
// (scripts/make-firmware-test-data).
#include <gtest/gtest.h>

#include <string>

#include "firmware/hex_image.h"

namespace qvx {
namespace {

std::string DataFile(const std::string& name) {
    return std::string(QVX_TEST_DATA_DIR) + "/firmware/" + name;
}

// "<check value> <digits>" LF, then each packet followed by LF: the layout of the .packets files.
std::string PacketStream(const HexImage& image) {
    const FileCheckValue check = image.CheckValue();
    std::string stream = check.Text() + " " + std::to_string(check.digit_count) + "\n";
    PacketCutter cutter(image.data(), PacketCutter::Source::File);
    while (cutter.HasNext()) {
        stream += cutter.Next() + "\n";
    }
    return stream;
}

class FirmwareGolden : public ::testing::TestWithParam<std::pair<const char*, ImageKind>> {};

TEST_P(FirmwareGolden, PacketStreamMatchesByteForByte) {
    const auto [name, kind] = GetParam();
    const auto image = HexImage::Load(kind, DataFile(std::string(name) + ".hex"));
    ASSERT_TRUE(image.has_value()) << name;
    EXPECT_TRUE(image->Recognize().ok) << name;
    const auto expected = ReadFileBytes(DataFile(std::string(name) + ".packets"));
    ASSERT_TRUE(expected.has_value()) << name;
    EXPECT_EQ(PacketStream(*image), *expected) << name;
}

INSTANTIATE_TEST_SUITE_P(SampleFiles, FirmwareGolden,
                         ::testing::Values(std::make_pair("dsp_mixed_case", ImageKind::Dsp),
                                           std::make_pair("dsp_full_packet", ImageKind::Dsp),
                                           std::make_pair("dsp_eleven_packets", ImageKind::Dsp),
                                           std::make_pair("fpga_small", ImageKind::Fpga)),
                         [](const auto& info) { return std::string(info.param.first); });

TEST(HexImageLoad, MissingFileIsReportedNotRead) {
    EXPECT_FALSE(HexImage::Load(ImageKind::Dsp, DataFile("no_such_file.hex")).has_value());
}

}  // namespace
}  // namespace qvx
