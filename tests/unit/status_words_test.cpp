// Which replies are status words: the command's accepted words only, in the transaction's order.

#include "protocol/status_words.h"

#include <gtest/gtest.h>

#include "protocol/catalogue.h"

namespace qvx {
namespace {

TEST(StatusWords, OnlyTheWordsTheCommandMayAnswerAreStatuses) {
    EXPECT_EQ(ReplyStatusWord("S4", "Success"), "Success");
    EXPECT_EQ(ReplyStatusWord("S4", "Failure"), "Failure");
    EXPECT_EQ(ReplyStatusWord("XD", "Empty"), "Empty");
    EXPECT_EQ(ReplyStatusWord("XD", "No lanes"), "No lanes");
    EXPECT_EQ(ReplyStatusWord("X0", "No lanes"), "No lanes");
    // "Get version" accepts no status word: the text is data, whatever it says.
    EXPECT_EQ(ReplyStatusWord("S5", "Success"), std::nullopt);
    EXPECT_EQ(ReplyStatusWord("S6", "2"), std::nullopt);
    EXPECT_EQ(ReplyStatusWord("QQ", "Failure"), std::nullopt);
}

TEST(StatusWords, TheFirstAcceptedWordFoundAnywhereDecides) {
    // As the transaction reads a firmware packet's answer.
    EXPECT_EQ(ReplyStatusWord("D1", "9Failure"), "Failure");
    const std::uint8_t upload_status = status_bit::kSuccess | status_bit::kFailure | status_bit::kReady;
    EXPECT_EQ(AcceptedStatusWord(upload_status, "Ready Failure"), "Failure");
    EXPECT_EQ(AcceptedStatusWord(status_bit::kReady, "Ready Failure"), "Ready");
    EXPECT_EQ(AcceptedStatusWord(0, "Success"), std::nullopt);
}

}  // namespace
}  // namespace qvx
