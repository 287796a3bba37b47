// Record reads and writes against the simulated sensor over a pseudo-terminal, including the
// port rate switch of the main configuration write.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../support/scripted_prompts.h"
#include "link/sensor_link.h"
#include "protocol/record_io.h"
#include "protocol/transaction.h"
#include "protocol/user_prompts.h"
#include "sim_server.h"

namespace qvx {
namespace {

using sim::RecordKind;

// Enough for any record at any rate; silent attempts cost it once each.
constexpr int kResponseWaitMs = 400;

class RecordsSimTest : public ::testing::Test {
  protected:
    void StartSimulator(sim::FaultSettings faults = {}) {
        sim::ServerSettings settings;
        settings.transport = sim::Transport::Pty;
        settings.pacing = false;
        settings.faults = faults;
        server_ = std::make_unique<sim::SimServer>(std::vector<sim::SensorSettings>{sim::SensorSettings{}},
                                                   settings);
        std::string error;
        ASSERT_TRUE(server_->Start(&error)) << error;
        state_.port_name = server_->pty_path();
        ASSERT_TRUE(link_.serial().Open(9600, {kReadIntervalNoWait, 0, 0}));
        state_.link_kind = LinkKind::Serial;
        state_.current_baud = state_.pending_baud = 9600;
        state_.base_response_wait_ms = kResponseWaitMs;
        protocol_.sleep_ms = [](int) {};
        io_.sleep_ms = [](int) {};
    }

    void Unprotect() {
        std::string reply;
        ASSERT_EQ(
            protocol_.SendSensorCommand(
                {.code = cmd::kUnprotect, .payload = "\r", .on_error = ErrorPolicy::Report, .retries = 1},
                reply),
            TransactionResult::Ok);
    }

    sim::SimulatedSensor& sensor() { return server_->sensor(0); }

    // The page asks for 115200 bps on RS-232, the port the program is connected through.
    void AskForFasterRs232() {
        ASSERT_TRUE(io_.ReadConfigInfo().ok());
        ASSERT_TRUE(io_.ReadConnectionPort().ok());
        ASSERT_EQ(configuration_.connection_port().index, port_index::kRs232);
        std::string codes = configuration_.GetConfigField(config_field::kPortBaudCodes);
        codes[port_index::kRs232] = '4';
        ASSERT_TRUE(configuration_.SetConfigField(config_field::kPortBaudCodes, codes));
    }

    void TearDown() override {
        link_.serial().Close();
        if (server_) {
            server_->Stop();
        }
    }

    ConnectionState state_;
    SensorLink link_{state_};
    ScriptedPrompts prompts_;
    SensorProtocol protocol_{link_, prompts_};
    SensorConfiguration configuration_;
    RecordIo io_{protocol_, configuration_};
    std::unique_ptr<sim::SimServer> server_;
};

TEST_F(RecordsSimTest, EditedRecordsReachTheSensor) {
    StartSimulator();
    using namespace read_flag;
    ASSERT_TRUE(io_.ReadSensorConfiguration(kGeneral | kSideFire | kSideFireNoise).ok());
    EXPECT_EQ(configuration_.config(), sensor().Record(RecordKind::Config));
    EXPECT_EQ(configuration_.side_fire(),
              sensor().Record(RecordKind::SfAlgorithm) + sensor().Record(RecordKind::SfNoise));
    EXPECT_EQ(configuration_.lane_count(), sensor().lanes());
    EXPECT_EQ(configuration_.connection_port().baud, 9600u);

    Unprotect();
    ASSERT_TRUE(configuration_.SetConfigField(9, "Exit 12, northbound              "));
    ASSERT_TRUE(configuration_.SetExtendedField(19, "Fast    "));
    ASSERT_TRUE(io_.WriteSfAlgorithmInfo(false, false).ok());
    ASSERT_TRUE(io_.WriteExtendedConfigInfo(false, false).ok());
    ASSERT_TRUE(io_.WriteCollectionConfigInfo(false, false).ok());
    ASSERT_TRUE(io_.WriteConfigInfo(true, true).ok());

    EXPECT_EQ(sensor().Record(RecordKind::Config), configuration_.config());
    EXPECT_EQ(sensor().Record(RecordKind::Extended), configuration_.extended());
    EXPECT_EQ(sensor().Record(RecordKind::SfAlgorithm) + sensor().Record(RecordKind::SfNoise),
              configuration_.side_fire());
    ASSERT_FALSE(prompts_.messages.empty());
    EXPECT_EQ(prompts_.messages.back().text, "Sensor configuration settings saved!");
    EXPECT_TRUE(prompts_.communication_errors.empty());
}

TEST_F(RecordsSimTest, ProtectedSensorRefusesTheWrite) {
    StartSimulator();
    ASSERT_TRUE(io_.ReadExtendedConfigInfo().ok());
    const std::string before = sensor().Record(RecordKind::Extended);
    ASSERT_TRUE(configuration_.SetExtendedField(19, "Fast    "));
    EXPECT_FALSE(io_.WriteExtendedConfigInfo(true, true).ok());
    EXPECT_EQ(sensor().Record(RecordKind::Extended), before);
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(RecordsSimTest, RateChangeAnsweredAtTheOldRateSwitchesWithTheNextCommand) {
    StartSimulator();
    Unprotect();
    AskForFasterRs232();
    ASSERT_TRUE(io_.WriteConfigInfo(false, false).ok());
    EXPECT_EQ(state_.pending_baud, 115200u);
    EXPECT_EQ(sensor().LineRate(), 115200u);
    ASSERT_TRUE(io_.ReadConfigInfo().ok());
    EXPECT_EQ(state_.current_baud, 115200u);
}

TEST_F(RecordsSimTest, LostReplyIsFoundAtTheNewRate) {
    // Replies: unprotect, S0, SH, the guard's S0, then the S1 reply is lost on the line.
    sim::FaultSettings faults;
    faults.drop_every = 5;
    StartSimulator(faults);
    Unprotect();
    AskForFasterRs232();
    ASSERT_TRUE(io_.WriteConfigInfo(false, false).ok());
    EXPECT_EQ(state_.current_baud, 115200u);
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(RecordsSimTest, SensorThatNeverAnswersAgainGives9999) {
    sim::FaultSettings faults;
    faults.mute_after = 4;  // unprotect, S0, SH and the guard's S0 are answered
    StartSimulator(faults);
    Unprotect();
    AskForFasterRs232();
    EXPECT_EQ(io_.WriteConfigInfo(true, true).outcome, RecordOutcome::RateUnknown);
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].caption, "Baud rate unknown...");
}

}  // namespace
}  // namespace qvx
