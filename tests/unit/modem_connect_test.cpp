// The AT layer's text rules: which search replies name a modem, and what a dial result means.

#include <gtest/gtest.h>

#include "connect/modem_connect.h"
#include "link/connection_state.h"

namespace qvx {
namespace {

TEST(ModemSearchReply, OkOrANumericZeroThatIsNoEcho) {
    EXPECT_TRUE(IsModemSearchReply("\r\nOK\r\n", "ATL0"));
    EXPECT_TRUE(IsModemSearchReply("ATL0\r\r\nOK", "ATL0")) << "echo, but OK as well";
    EXPECT_TRUE(IsModemSearchReply("0\r", "ATL0"));
    EXPECT_FALSE(IsModemSearchReply("ATL0\r0\r", "ATL0")) << "the 0 may be the echo's";
    EXPECT_FALSE(IsModemSearchReply("0", "ATL0")) << "fewer than 2 characters";
    EXPECT_FALSE(IsModemSearchReply("", "ATL0"));
    EXPECT_FALSE(IsModemSearchReply("\r\nERROR\r\n", "ATL0"));
}

TEST(ModemResult, ConnectSpeedsAndTheOtherResults) {
    EXPECT_EQ(ClassifyModemReply("\r\nCONNECT 9600\r\n").result, ModemResult::Connected);
    EXPECT_EQ(ClassifyModemReply("\r\nCONNECT 9600\r\n").line_speed, 9600u);
    EXPECT_EQ(ClassifyModemReply("CONNECT \t33600/ARQ").line_speed, 33600u);
    const ModemReply slow = ClassifyModemReply("\r\nCONNECT 4800\r\n");
    EXPECT_EQ(slow.result, ModemResult::TooSlow);
    EXPECT_EQ(slow.line_speed, 4800u);
    EXPECT_EQ(ClassifyModemReply("\r\nCONNECT\r\n").result, ModemResult::TooSlow)
        << "no speed is no usable line";
    EXPECT_EQ(ClassifyModemReply("CONNECT 99999999999999999999").line_speed, 0xFFFFFFFFu);
    EXPECT_EQ(ClassifyModemReply("\r\nNO DIALTONE\r\n").result, ModemResult::NoDialTone);
    EXPECT_EQ(ClassifyModemReply("\r\nNO CARRIER\r\n").result, ModemResult::NoCarrier);
    EXPECT_EQ(ClassifyModemReply("\r\nBUSY\r\n").result, ModemResult::Other);
    EXPECT_STREQ(ModemResultText(ModemResult::Other),
                 "An unspecified error occurred. Check modem connections and configuration, then retry. ");
    EXPECT_EQ(FormatSpeed(kModemConnectedFormat, 9600), "You are connected and communicating @ 9600 bps");
}

TEST(ModemDialog, NumbersDescriptionsAndBookEntries) {
    EXPECT_TRUE(PhoneNumberAcceptable(true, ""));
    EXPECT_FALSE(PhoneNumberAcceptable(false, ""));
    EXPECT_TRUE(PhoneNumberAcceptable(false, std::string(90, '5')));
    EXPECT_FALSE(PhoneNumberAcceptable(false, std::string(91, '5')));
    EXPECT_EQ(ModemConnectionDescription(true, "555"), "Manually Dialed @ 9600 bps");
    EXPECT_EQ(ModemConnectionDescription(false, "555"), "555 @ 9600 bps");
    EXPECT_EQ(ModemConnectionDescription(false, ""), "Information unavailable");
    ConnectionState state;
    TakeModemBookEntry(state, "AB12");
    EXPECT_EQ(state.multidrop_mode, 0);
    EXPECT_EQ(state.multidrop_target_id, "AB12");
    TakeModemBookEntry(state, "AB1");
    EXPECT_EQ(state.multidrop_mode, 1);
    EXPECT_TRUE(state.multidrop_enabled);
    EXPECT_EQ(state.multidrop_target_id, "");
}

}  // namespace
}  // namespace qvx
