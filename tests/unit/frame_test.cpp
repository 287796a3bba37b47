#include <gtest/gtest.h>

#include <string>

#include "../support/case_name.h"
#include "protocol/frame.h"

namespace qvx {
namespace {

FrameContext ContextFor(const std::string& request_code, bool prefixed = false) {
    const CommandCatalogue& catalogue = BuildCommandCatalogue();
    FrameContext context;
    context.command = catalogue.DescribeCommand(catalogue.FindCommand(request_code));
    context.command_letters[0] = request_code[0];
    context.command_letters[1] = request_code[1];
    context.prefixed = prefixed;
    return context;
}

std::string WithChecksum(const std::string& data) {
    return data + ComputeFrameChecksum(data);
}

std::string Feed(FrameRecognizer& recognizer, const std::string& bytes) {
    for (char byte : bytes) {
        recognizer.Feed(byte);
    }
    return recognizer.text();
}

// --- multi-drop prefix rule ---

TEST(MultiDropPrefix, OnlyWhenAddressingIsOnAndNotForModemOrDiscovery) {
    ConnectionState state;
    EXPECT_FALSE(NeedsMultiDropPrefix(state, "S0\r"));
    state.multidrop_enabled = true;
    EXPECT_TRUE(NeedsMultiDropPrefix(state, "S0\r"));
    EXPECT_TRUE(NeedsMultiDropPrefix(state, "XD0001\r"));
    for (const char* bare : {"B000\r", "B2\r", "AT E0\r", "+++", "TEST", ""}) {
        EXPECT_FALSE(NeedsMultiDropPrefix(state, bare)) << bare;
    }
}

// --- recogniser ---

TEST(FrameRecognizer, DropsNoiseBeforeHeaderAndStopsAtCr) {
    FrameRecognizer recognizer("S0", "", false, 100);
    EXPECT_EQ(Feed(recognizer, "xxSS0abc\rS0more"), "S0abc\r");
    EXPECT_TRUE(recognizer.complete());
}

TEST(FrameRecognizer, IncompleteWithoutCr) {
    FrameRecognizer recognizer("S6", "", false, 100);
    EXPECT_EQ(Feed(recognizer, "S6"), "S6");
    EXPECT_TRUE(recognizer.started());
    EXPECT_FALSE(recognizer.complete());
}

TEST(FrameRecognizer, DiscoveryCollectsPastCrWithoutStoringIt) {
    FrameRecognizer recognizer("B1", "", true, 100);
    EXPECT_EQ(Feed(recognizer, "B100010001\rB100020002\r"), "B100010001B100020002");
    EXPECT_FALSE(recognizer.complete());
}

TEST(FrameRecognizer, TildeBeforeCrNeitherStoredNorTerminating) {
    FrameRecognizer recognizer("S5", "", false, 100);
    EXPECT_EQ(Feed(recognizer, "S5ab~\rcd\r"), "S5abcd\r");
    EXPECT_TRUE(recognizer.complete());
}

TEST(FrameRecognizer, TildeBeforeOtherBytesIsKept) {
    FrameRecognizer recognizer("S5", "", false, 100);
    EXPECT_EQ(Feed(recognizer, "S5a~b~~c\r"), "S5a~b~~c\r");
}

TEST(FrameRecognizer, NeverStoresPastCapacity) {
    FrameRecognizer recognizer("X6", "", false, 5);
    EXPECT_EQ(Feed(recognizer, "X6abcdefgh~x"), "X6abc");
    recognizer.Feed('\r');
    EXPECT_TRUE(recognizer.complete());
    EXPECT_EQ(recognizer.text(), "X6abc");
}

TEST(FrameRecognizer, SkipsReplyFromAnotherSensorAndTakesOwn) {
    FrameRecognizer recognizer("S6", "0001", false, 100);
    EXPECT_EQ(Feed(recognizer, "Z00002S61\rZ00001S62\r"), "S62\r");
    EXPECT_TRUE(recognizer.complete());
}

TEST(FrameRecognizer, PrefixWithOwnIdButOtherCodeIsSkipped) {
    FrameRecognizer recognizer("S6", "0001", false, 100);
    EXPECT_EQ(Feed(recognizer, "Z00001X0abc\rZ00001S60\r"), "S60\r");
}

TEST(FrameRecognizer, PrefixHeaderFoundRightAfterForeignPrefix) {
    // The byte that ends a rejected prefix may start the next search.
    FrameRecognizer recognizer("S6", "0001", false, 100);
    EXPECT_EQ(Feed(recognizer, "Z0ABCDEZ00001S61\r"), "S61\r");
}

// --- validation ---

struct ValidateCase {
    const char* request_code;
    std::string response;
    TransactionResult result;
    std::string data;  // the buffer after a result of 1
};

void PrintTo(const ValidateCase& c, std::ostream* os) {
    *os << c.request_code << " <- " << ::testing::PrintToString(c.response);
}

class ValidateResponseTest : public ::testing::TestWithParam<ValidateCase> {};

TEST_P(ValidateResponseTest, Classifies) {
    const ValidateCase& c = GetParam();
    std::string buffer = c.response;
    EXPECT_EQ(ValidateResponse(ContextFor(c.request_code), buffer), c.result)
        << c.request_code << " " << c.response;
    EXPECT_EQ(buffer, c.result == TransactionResult::Ok ? c.data : c.response);
}

const std::string kConfig167(167, 'c');
const std::string kInterval2Lanes(8 + 2 * 29, '0');
const std::string kInterval57(8 + 57, '0');
const std::string kUnprotectEcho = std::string("S8") + kUnprotectCode + "\r";

INSTANTIATE_TEST_SUITE_P(
    Rules, ValidateResponseTest,
    ::testing::Values(
        // empty replies and headers
        ValidateCase{"S9", "", TransactionResult::Ok, ""},
        ValidateCase{"S9", "\r", TransactionResult::Ok, ""},
        ValidateCase{"S0", "", TransactionResult::NoResponse, ""},
        ValidateCase{"S01", "S0", TransactionResult::PartialHeader, ""},
        ValidateCase{"S0", "X0abc\r", TransactionResult::UnexpectedHeader, ""},
        // status words, anywhere in the data, only when the mask has them
        ValidateCase{"S1", "S1Success\r", TransactionResult::Ok, "Success"},
        ValidateCase{"S1", "S1\r", TransactionResult::Ok, ""},
        ValidateCase{"S1", "S1Done\r", TransactionResult::PartialPayload, ""},
        ValidateCase{"S0", "S0--Failure--\r", TransactionResult::Ok, "--Failure--"},
        ValidateCase{"S0", "S0Success\r", TransactionResult::ChecksumError, ""},
        ValidateCase{"XD", "XDEmpty\r", TransactionResult::Ok, "Empty"},
        ValidateCase{"X0", "X0No lanes\r", TransactionResult::Ok, "No lanes"},
        ValidateCase{"S9", "S9anything\r", TransactionResult::PartialPayload, ""},
        // checksums and lengths
        ValidateCase{"S0", "S0" + WithChecksum(kConfig167) + "\r", TransactionResult::Ok, kConfig167},
        ValidateCase{"S0", "S0" + kConfig167 + "0000\r", TransactionResult::ChecksumError, ""},
        ValidateCase{"S8", "S8123" + ComputeFrameChecksum("123") + "\r", TransactionResult::Ok, "123"},
        ValidateCase{"S8", "S8ab01\r", TransactionResult::ChecksumError, ""},
        ValidateCase{"S8", "S80000\r", TransactionResult::ChecksumError, ""},
        ValidateCase{"SG0", "SG0" + std::string(200, 'z') + "5f50\r", TransactionResult::Ok,
                     std::string(200, 'z')},
        ValidateCase{"S0", "S0" + WithChecksum(std::string(166, 'c')) + "\r",
                     TransactionResult::PartialPayload, ""},
        ValidateCase{"S5", "S5" + std::string(36, 'v') + "\r", TransactionResult::Ok, std::string(36, 'v')},
        ValidateCase{"S5", "S5" + std::string(35, 'v') + "\r", TransactionResult::PartialPayload, ""},
        ValidateCase{"XEE", "XESuccess\r", TransactionResult::Ok, "Success"},
        ValidateCase{"XEE", "XEESuccess\r", TransactionResult::Ok, "ESuccess"},
        ValidateCase{"D0Default", "D0\r", TransactionResult::Ok, ""},
        // the unprotect request echoed by the line
        ValidateCase{"S87C3A9E1B5D2F486", kUnprotectEcho, TransactionResult::Ok, "Echo"},
        ValidateCase{"S8", kUnprotectEcho, TransactionResult::Ok, "Echo"},
        // the firewall commands acknowledged by the bare response code, or with the access code
        ValidateCase{"S87C3A9E1B5D2F486", "S8\r", TransactionResult::Ok, ""},
        ValidateCase{"S8468013579246801", "S8\r", TransactionResult::Ok, ""},
        ValidateCase{"S8468013579246801", "S8468013579246801" + std::string("0310") + "\r",
                     TransactionResult::Ok, "468013579246801"},
        ValidateCase{"S8468013579246801", "S8468013579246801" + std::string("04B3") + "\r",
                     TransactionResult::ChecksumError, ""},
        ValidateCase{"S8", "S8\r", TransactionResult::ChecksumError, ""},
        ValidateCase{"S8B00FF", "S8\r", TransactionResult::ChecksumError, ""},
        // content checks
        ValidateCase{"S6", "S61\r", TransactionResult::Ok, "1"},
        ValidateCase{"S6", "S63\r", TransactionResult::PayloadError, ""},
        ValidateCase{"S6", "S610\r", TransactionResult::PayloadError, ""},
        ValidateCase{"SH", "SHRS-485\r", TransactionResult::Ok, "RS-485"},
        ValidateCase{"SH", "SHEXP-A\r", TransactionResult::Ok, "EXP-A"},
        ValidateCase{"SH", "SHUSB1\r", TransactionResult::PayloadError, ""},
        ValidateCase{"X0", "X0" + kInterval2Lanes + "\r", TransactionResult::Ok, kInterval2Lanes},
        ValidateCase{"X0", "X0" + kInterval57 + "\r", TransactionResult::PayloadError, ""},
        ValidateCase{"XD", "XD" + WithChecksum(kInterval2Lanes) + "\r", TransactionResult::Ok,
                     kInterval2Lanes},
        // firmware packets
        ValidateCase{"D1", "D19Failure\r", TransactionResult::Ok, "9Failure"},
        ValidateCase{"D1", "D1Failure\r", TransactionResult::UploadPacketFailure, ""},
        ValidateCase{"F0", "F0Failure\r", TransactionResult::UploadPacketFailure, ""},
        ValidateCase{"F0", "F0Success\r", TransactionResult::Ok, "Success"},
        ValidateCase{"S1", "S1Failure\r", TransactionResult::Ok, "Failure"},
        // discovery
        ValidateCase{"B0", "B1" + WithChecksum("0001") + "B1" + "00020000" + "B1" + WithChecksum("0003"),
                     TransactionResult::Ok, "00010003"},
        ValidateCase{"B0", "B1" + WithChecksum("00A1"), TransactionResult::Ok, "00A1"},
        ValidateCase{"B0", "", TransactionResult::Ok, ""},
        ValidateCase{"B0", "B1", TransactionResult::PartialPayload, ""},
        ValidateCase{"B0", "B10001", TransactionResult::PartialPayload, ""},
        ValidateCase{"B0", "B100010000", TransactionResult::ChecksumError, ""},
        ValidateCase{"B2", "B2whatever\r", TransactionResult::Ok, "whatever"}),
    [](const auto& info) {
        return test::NumberedCaseName(info.index,
                                      {info.param.request_code, std::to_string(ResultCode(info.param.result))});
    });

TEST(ValidateResponse, PrefixedMultiDropReplyFromAnotherIdThenOwn) {
    const FrameContext context = ContextFor("S0", true);
    FrameRecognizer recognizer(context.command.response_code, "0001", false, 400);
    const std::string own = "S0" + WithChecksum(kConfig167) + "\r";
    std::string text = Feed(recognizer, "Z00002S0" + WithChecksum(std::string(167, 'x')) + "\rZ00001" + own);
    EXPECT_EQ(text, own);
    EXPECT_EQ(ValidateResponse(context, text), TransactionResult::Ok);
    EXPECT_EQ(text, kConfig167);
}

}  // namespace
}  // namespace qvx
