#include <gtest/gtest.h>

#include <string>

#include "../support/case_name.h"
#include "protocol/frame.h"

namespace qvx {
namespace {

TEST(FrameChecksum, WorkedExample) {
    EXPECT_EQ(ComputeFrameChecksum("abc"), "0126");
}

TEST(FrameChecksum, FourUpperCaseDigitsWithLeadingZeros) {
    EXPECT_EQ(ComputeFrameChecksum(""), "0000");
    EXPECT_EQ(ComputeFrameChecksum("\x0f"), "000F");
    EXPECT_EQ(ComputeFrameChecksum(std::string(240, 'z')), "7260");  // 240 * 122
}

TEST(FrameChecksum, SumsBytesAsUnsigned) {
    EXPECT_EQ(ComputeFrameChecksum("\xff\x01"), "0100");
}

struct VerifyCase {
    const char* data;
    const char* field;
    bool ok;
};

class VerifyChecksumTest : public ::testing::TestWithParam<VerifyCase> {};

TEST_P(VerifyChecksumTest, ComparesTheWholeSum) {
    EXPECT_EQ(VerifyFrameChecksum(GetParam().data, GetParam().field), GetParam().ok)
        << GetParam().data << " / " << GetParam().field;
}

INSTANTIATE_TEST_SUITE_P(Fields, VerifyChecksumTest,
                         ::testing::Values(VerifyCase{"abc", "0126", true}, VerifyCase{"0001", "00C1", true},
                                           VerifyCase{"0001", "00c1", true}, VerifyCase{"abc", "0127", false},
                                           VerifyCase{"abc", "126", false}, VerifyCase{"abc", "00126", false},
                                           VerifyCase{"abc", "01G6", false}, VerifyCase{"abc", " 126", false},
                                           VerifyCase{"abc", "+126", false}, VerifyCase{"", "0000", true}),
                         [](const auto& info) {
                             return test::NumberedCaseName(
                                 info.index, {info.param.data, info.param.field, info.param.ok ? "ok" : "bad"});
                         });

TEST(FrameChecksum, SumPastFourDigitsNeverVerifies) {
    const std::string data(300, '\xff');  // 76500 = 0x12AD4
    EXPECT_FALSE(VerifyFrameChecksum(data, ComputeFrameChecksum(data)));
}

TEST(TransactionResultText, NamesEveryFailure) {
    EXPECT_STREQ(TransactionResultText(TransactionResult::NoResponse), "No Response");
    EXPECT_STREQ(TransactionResultText(TransactionResult::PartialHeader), "Partial Header");
    EXPECT_STREQ(TransactionResultText(TransactionResult::UnexpectedHeader), "Unexpected Header");
    EXPECT_STREQ(TransactionResultText(TransactionResult::ChecksumError), "Checksum Error");
    EXPECT_STREQ(TransactionResultText(TransactionResult::PartialPayload), "Partial Payload");
    EXPECT_STREQ(TransactionResultText(TransactionResult::PayloadError), "Payload Error");
    EXPECT_STREQ(TransactionResultText(TransactionResult::ReconnectFailure), "Reconnect Failure");
    EXPECT_STREQ(TransactionResultText(TransactionResult::LatencyDetectionFailure),
                 "Latency Detection Failure");
    EXPECT_STREQ(TransactionResultText(TransactionResult::UploadPacketFailure), "Upload Packet Failure");
    EXPECT_STREQ(TransactionResultText(TransactionResult::Ok), "");
}

}  // namespace
}  // namespace qvx
