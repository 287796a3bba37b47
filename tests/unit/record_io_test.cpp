#include "protocol/record_io.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "../support/scripted_peer.h"
#include "../support/scripted_prompts.h"
#include "link/sensor_link.h"
#include "protocol/frame.h"
#include "protocol/sensor_clock.h"
#include "protocol/sensor_clock_io.h"
#include "protocol/transaction.h"
#include "protocol/user_prompts.h"

namespace qvx {
namespace {

using test::ScriptedPeer;
using Requests = std::vector<std::string>;

constexpr const char* kSerial = "3000000000000042";

// A reply frame: code, data, the data's checksum when the command carries one, CR.
std::string Reply(const std::string& code, const std::string& data, bool checksummed) {
    return code + data + (checksummed ? ComputeFrameChecksum(data) : "") + "\r";
}
std::string RecordReply(const std::string& code, const std::string& data) {
    return Reply(code, data, true);
}
// The request a record write sends.
std::string WriteRequest(const std::string& code, const std::string& record) {
    return code + record + ComputeFrameChecksum(record) + "\r";
}
const std::string kPingReply = Reply("S8", "123", true);
const std::string kSilence;

std::string ConfigRecord(const std::string& serial = kSerial, const char* baud_codes = "0000") {
    std::string record = serial;
    record += std::string(kConfigInfoLength - serial.size(), ' ');
    record.replace(142, 8, "00000014");
    record.replace(151, 4, baud_codes);
    return record;
}

std::string ExtendedRecord(char units) {
    std::string record(1, units);
    for (const char* name : {"North 1 ", "North 2 ", "South 1 ", "", "", "", "", "Lane 8  "}) {
        record += (std::string(name) + "        ").substr(0, 8);
    }
    return record + "00XDSYNXASNNX1ANNI0BNN";
}

std::string CollectionRecord(const char* communication_register) {
    std::string record(kCollectionConfigInfoLength, '0');
    record.replace(208, 4, communication_register);
    return record;
}

std::string SideFireRecord() {
    std::string record(kSideFireLength, '0');
    record.replace(0, 12, "00100016001C");  // one lane around bin 7
    record.replace(80, 16, "000000FF00FF00FF");
    record.replace(96, 8, "LLLLLLLL");
    return record;
}

std::string Text(std::size_t length, char fill) {
    return std::string(length, fill);
}

class RecordIoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::signal(SIGPIPE, SIG_IGN);
        protocol_.sleep_ms = [](int) {};
        io_.sleep_ms = [this](int ms) { sleeps_.push_back(ms); };
        // Answered commands end at their CR; a silent one costs this wait once.
        state_.base_response_wait_ms = 300;
    }

    void StartPeer(std::vector<std::string> replies) {
        peer_ = test::AttachScriptedPeer(link_, std::move(replies));
        ASSERT_NE(peer_, nullptr);
    }

    Requests SentRequests(std::size_t count) {
        peer_->WaitForRequests(count);
        return peer_->requests();
    }

    ConnectionState state_;
    SensorLink link_{state_};
    ScriptedPrompts prompts_;
    SensorProtocol protocol_{link_, prompts_};
    SensorConfiguration configuration_;
    RecordIo io_{protocol_, configuration_};
    std::vector<int> sleeps_;
    std::unique_ptr<ScriptedPeer> peer_;
};

TEST_F(RecordIoTest, ReadSensorConfigurationFillsSlotsLaneNamesUnitsAndPort) {
    StartPeer({RecordReply("S0", ConfigRecord(kSerial, "0123")), RecordReply("S01", ExtendedRecord('M')),
               RecordReply("S02", CollectionRecord("0001")), Reply("SH", "RS-485", false)});
    ASSERT_TRUE(io_.ReadSensorConfiguration(read_flag::kGeneral).ok());
    EXPECT_EQ(SentRequests(4), (Requests{"S0\r", "S01\r", "S02\r", "SH\r"}));
    EXPECT_EQ(configuration_.config(), ConfigRecord(kSerial, "0123"));
    EXPECT_EQ(configuration_.collection(), CollectionRecord("0001"));
    EXPECT_EQ(state_.lane_names[0], "North 1 ");
    EXPECT_EQ(state_.lane_names[7], "Lane 8  ");
    EXPECT_EQ(state_.units, 'M');
    EXPECT_EQ(configuration_.units(), 'M');
    EXPECT_EQ(configuration_.connection_port().index, port_index::kRs485);
    EXPECT_EQ(configuration_.connection_port().baud, 57600u);
}

TEST_F(RecordIoTest, EnglishUnitsFromTheExtendedRecord) {
    state_.units = 'M';
    StartPeer({RecordReply("S01", ExtendedRecord('E'))});
    ASSERT_TRUE(io_.ReadExtendedConfigInfo().ok());
    EXPECT_EQ(state_.units, 'E');
}

TEST_F(RecordIoTest, AFailedReadLeavesTheSlotEmptyAndStopsTheSequence) {
    configuration_.SetRecord(RecordSlot::Config, ConfigRecord());
    StartPeer({"S0Failure\r", RecordReply("S01", ExtendedRecord('E'))});
    EXPECT_EQ(io_.ReadSensorConfiguration(read_flag::kGeneral).outcome, RecordOutcome::Refused);
    EXPECT_TRUE(configuration_.config().empty());
    EXPECT_EQ(configuration_.GetConfigField(0), "");
    // A following probe is the next thing the sensor sees.
    ASSERT_TRUE(io_.ReadExtendedConfigInfo().ok());
    EXPECT_EQ(SentRequests(2), (Requests{"S0\r", "S01\r"}));
}

TEST_F(RecordIoTest, SideFireReadRebuildsTheLaneMap) {
    const std::string record = SideFireRecord();
    StartPeer({RecordReply("S3", record.substr(0, 104)), RecordReply("S3N", record.substr(104))});
    ASSERT_TRUE(io_.ReadSfAlgorithmInfo(true).ok());
    EXPECT_EQ(configuration_.side_fire(), record);
    EXPECT_EQ(configuration_.lane_count(), 1);
    EXPECT_EQ(configuration_.lane_map().bins[7], BinType::Centre);
}

TEST_F(RecordIoTest, ForwardFireReadsAllFourParts) {
    StartPeer({RecordReply("SG0", Text(200, 'A')), RecordReply("SG1", Text(240, 'B')),
               RecordReply("SG2", Text(240, 'C')), RecordReply("SG3", Text(240, 'D'))});
    ASSERT_TRUE(io_.ReadFfAlgorithmInfo(true).ok());
    EXPECT_EQ(configuration_.forward_fire(),
              Text(200, 'A') + Text(240, 'B') + Text(240, 'C') + Text(240, 'D'));
    EXPECT_EQ(SentRequests(4), (Requests{"SG0\r", "SG1\r", "SG2\r", "SG3\r"}));
}

TEST_F(RecordIoTest, ForwardFireHeadOnlyReadKeepsThePreviousTail) {
    const std::string previous = Text(200, 'A') + Text(240, 'B') + Text(240, 'C') + Text(240, 'D');
    configuration_.SetRecord(RecordSlot::ForwardFire, previous);
    StartPeer({RecordReply("SG0", Text(200, 'X'))});
    ASSERT_TRUE(io_.ReadFfAlgorithmInfo(false).ok());
    EXPECT_EQ(configuration_.forward_fire(), Text(200, 'X') + previous.substr(200));
}

TEST_F(RecordIoTest, AFailedPartEmptiesTheForwardFireSlot) {
    configuration_.SetRecord(RecordSlot::ForwardFire, Text(920, 'A'));
    StartPeer({RecordReply("SG0", Text(200, 'X')), ""});
    EXPECT_FALSE(io_.ReadFfAlgorithmInfo(true).ok());
    EXPECT_FALSE(configuration_.HasRecord(RecordSlot::ForwardFire));
}

TEST_F(RecordIoTest, ShortSlotsAreRefusedWithoutSendingAnything) {
    configuration_.SetRecord(RecordSlot::Config, ConfigRecord().substr(0, 166));
    configuration_.SetRecord(RecordSlot::Extended, Text(86, ' '));
    configuration_.SetRecord(RecordSlot::Collection, Text(239, '0'));
    configuration_.SetRecord(RecordSlot::SideFire, SideFireRecord().substr(0, 104));
    configuration_.SetRecord(RecordSlot::ForwardFire, Text(919, '0'));
    StartPeer({Reply("SH", "RS-232", false)});
    EXPECT_EQ(io_.WriteConfigInfo(true, true).outcome, RecordOutcome::NotLoaded);
    EXPECT_EQ(io_.WriteExtendedConfigInfo(true, true).outcome, RecordOutcome::NotLoaded);
    EXPECT_EQ(io_.WriteCollectionConfigInfo(true, true).outcome, RecordOutcome::NotLoaded);
    EXPECT_EQ(io_.WriteSfAlgorithmInfo(true, true).outcome, RecordOutcome::NotLoaded);
    EXPECT_EQ(io_.WriteFfAlgorithmInfo(true, true).outcome, RecordOutcome::NotLoaded);
    EXPECT_EQ(configuration_.side_fire(), SideFireRecord().substr(0, 104));
    ASSERT_TRUE(io_.ReadConnectionPort().ok());
    EXPECT_EQ(SentRequests(1), (Requests{"SH\r"}));
}

TEST_F(RecordIoTest, WriteWithFlashSaveConfirmsAfterTheSave) {
    const std::string record = ExtendedRecord('E');
    configuration_.SetRecord(RecordSlot::Extended, record);
    StartPeer({"S11Success\r", "SESuccess\r"});
    ASSERT_TRUE(io_.WriteExtendedConfigInfo(true, true).ok());
    EXPECT_EQ(SentRequests(2), (Requests{WriteRequest("S11", record), "SE\r"}));
    EXPECT_EQ(sleeps_, std::vector<int>{500});
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].text, "Sensor configuration settings saved!");
    EXPECT_EQ(prompts_.messages[0].caption, "Success");
    EXPECT_EQ(prompts_.messages[0].auto_close_ms, 2000);
}

TEST_F(RecordIoTest, ARefusedWriteIsNotSavedNorReportedAsSuccess) {
    configuration_.SetRecord(RecordSlot::Extended, ExtendedRecord('E'));
    StartPeer({"S11Failure\r", "SESuccess\r"});
    EXPECT_EQ(io_.WriteExtendedConfigInfo(true, true).outcome, RecordOutcome::Refused);
    EXPECT_EQ(SentRequests(1).size(), 1u);
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(RecordIoTest, CollectionWriteSwitchesMultiDropOnUnlessSimpleProtocol) {
    for (const auto& [register_text, multidrop] :
         {std::pair{"0001", false}, std::pair{"0000", true}, std::pair{"0003", true}}) {
        state_.multidrop_enable_next = false;
        configuration_.SetRecord(RecordSlot::Collection, CollectionRecord(register_text));
        StartPeer({"S12Success\r"});
        ASSERT_TRUE(io_.WriteCollectionConfigInfo(false, false).ok()) << register_text;
        EXPECT_EQ(state_.multidrop_enable_next, multidrop) << register_text;
        EXPECT_EQ(SentRequests(1), (Requests{WriteRequest("S12", CollectionRecord(register_text))}));
    }
}

TEST_F(RecordIoTest, SideFireWriteSendsTheRegeneratedRecordInTwoParts) {
    std::string record = SideFireRecord();
    record.replace(12, 4, "0077");  // a stale marker beyond the lane's pattern
    configuration_.SetRecord(RecordSlot::SideFire, record);
    StartPeer({"S2Success\r", "S2NSuccess\r"});
    ASSERT_TRUE(io_.WriteSfAlgorithmInfo(false, false).ok());
    const std::string regenerated = SideFireRecord();
    EXPECT_EQ(SentRequests(2), (Requests{WriteRequest("S2", regenerated.substr(0, 104)),
                                         WriteRequest("S2N", regenerated.substr(104))}));
}

TEST_F(RecordIoTest, ForwardFireWriteSendsTheSecondPartAgainAndStopsAtARefusal) {
    const std::string record = Text(200, 'A') + Text(240, 'B') + Text(240, 'C') + Text(240, 'D');
    configuration_.SetRecord(RecordSlot::ForwardFire, record);
    StartPeer({"SF0Success\r", "SF1Success\r", "SF2Success\r", "SF3Success\r", "SF2Success\r"});
    ASSERT_TRUE(io_.WriteFfAlgorithmInfo(false, false).ok());
    EXPECT_EQ(sleeps_, std::vector<int>{200});
    EXPECT_EQ(SentRequests(5),
              (Requests{WriteRequest("SF0", Text(200, 'A')), WriteRequest("SF1", Text(240, 'B')),
                        WriteRequest("SF2", Text(240, 'C')), WriteRequest("SF3", Text(240, 'D')),
                        WriteRequest("SF2", Text(240, 'C'))}));

    StartPeer({"SF0Success\r", "SF1Invalid\r", "SF2Success\r"});
    EXPECT_EQ(io_.WriteFfAlgorithmInfo(false, false).outcome, RecordOutcome::Refused);
    ASSERT_FALSE(io_.ReadConnectionPort().ok());  // the probe gets the third reply, not "SH"
    EXPECT_EQ(SentRequests(3)[2], "SH\r");
}

TEST_F(RecordIoTest, ConfigWriteKeepsTheSensorsSerialNumber) {
    const std::string page = ConfigRecord("3999999999999999");
    configuration_.SetRecord(RecordSlot::Config, page);
    StartPeer({RecordReply("S0", ConfigRecord()), "S1Success\r"});
    ASSERT_TRUE(io_.WriteConfigInfo(false, false).ok());
    EXPECT_EQ(SentRequests(2), (Requests{"S0\r", WriteRequest("S1", ConfigRecord())}));
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].text,
              std::string("The sensor's original serial number\n") + kSerial + "\nwill be preserved.");
    EXPECT_EQ(prompts_.messages[0].caption, "Information");
    EXPECT_EQ(configuration_.config(), page);
}

TEST_F(RecordIoTest, UnlockedConfigWriteOverwritesTheSerialNumberAfterAWarning) {
    io_.engineering_unlocked = true;
    const std::string page = ConfigRecord("3999999999999999");
    configuration_.SetRecord(RecordSlot::Config, page);
    StartPeer({RecordReply("S0", ConfigRecord()), "S1Success\r"});
    ASSERT_TRUE(io_.WriteConfigInfo(false, false).ok());
    EXPECT_EQ(SentRequests(2)[1], WriteRequest("S1", page));
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].text,
              std::string("The sensor's original serial number\n") + kSerial + "\nwill be overwritten.");
    EXPECT_EQ(prompts_.messages[0].caption, "Warning");
}

// Connected through RS-232 at 9600; the page sets RS-232 to 115200 (code '4' at index 1).
class ConfigRateChangeTest : public RecordIoTest {
  protected:
    void SetUp() override {
        RecordIoTest::SetUp();
        state_.current_baud = state_.pending_baud = 9600;
        configuration_.SetRecord(RecordSlot::Config, ConfigRecord(kSerial, "0400"));
        configuration_.SetConnectionPort("RS-232");
    }
    std::string SensorRecord() const { return RecordReply("S0", ConfigRecord(kSerial, "0000")); }
};

TEST_F(ConfigRateChangeTest, SuccessMakesTheNewRatePending) {
    StartPeer({SensorRecord(), "S1Success\r"});
    ASSERT_TRUE(io_.WriteConfigInfo(false, false).ok());
    EXPECT_EQ(state_.pending_baud, 115200u);
    EXPECT_EQ(state_.current_baud, 9600u);
}

TEST_F(ConfigRateChangeTest, ALostReplyIsConfirmedByAPingAtTheNewRate) {
    StartPeer({SensorRecord(), kSilence, kPingReply, "SESuccess\r"});
    ASSERT_TRUE(io_.WriteConfigInfo(true, false).ok());
    EXPECT_EQ(state_.current_baud, 115200u);
    EXPECT_EQ(SentRequests(4)[2], "S8123\r");
    EXPECT_EQ(SentRequests(4)[3], "SE\r");
    EXPECT_EQ(sleeps_, (std::vector<int>{2000, 500}));
}

TEST_F(ConfigRateChangeTest, ASensorStillAtTheOldRateIsReported) {
    StartPeer({SensorRecord(), kSilence, kSilence, kSilence, kPingReply});
    EXPECT_FALSE(io_.WriteConfigInfo(true, true).ok());
    EXPECT_EQ(state_.current_baud, 9600u);
    EXPECT_EQ(SentRequests(5).size(), 5u);
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].text,
              "The baud rate was NOT succesfully changed\r\nfrom 9600 bps to 115200 bps");
    EXPECT_EQ(prompts_.messages[0].caption, "Error");
}

TEST_F(ConfigRateChangeTest, ASensorLostAtBothRatesGives9999) {
    StartPeer({SensorRecord()});
    EXPECT_EQ(io_.WriteConfigInfo(true, true).outcome, RecordOutcome::RateUnknown);
    EXPECT_EQ(SentRequests(6).size(), 6u);  // S0, S1, two pings at each rate
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].text,
              "The program will exit...\r\nReconnect and redetect the baud rate...");
    EXPECT_EQ(prompts_.messages[0].caption, "Baud rate unknown...");
}

TEST_F(RecordIoTest, SensorClockReadAndWrite) {
    StartPeer({"SB12CFF780\r", "S4Success\r"});
    EXPECT_EQ(ReadSensorClock(protocol_).seconds, 0x12CFF780u);
    EXPECT_TRUE(WriteSensorClock(protocol_, 0x12CFF780).ok());
    EXPECT_EQ(SentRequests(2), (Requests{"SB\r", "S412CFF780\r"}));
}

}  // namespace
}  // namespace qvx
