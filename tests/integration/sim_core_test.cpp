// The program's own link and transaction against the simulated sensor: every read the program
// makes validates, over TCP and over the pty, and multi-drop detection finds and mutes the bus.

#include <gtest/gtest.h>

#include "../support/scripted_prompts.h"
#include "connect/multidrop.h"
#include "link/sensor_link.h"
#include "protocol/catalogue.h"
#include "protocol/transaction.h"
#include "protocol/user_prompts.h"
#include "sim_server.h"

namespace qvx::sim {
namespace {

struct Exchange {
    const char* code;
    const char* payload;
};

// The reads and status commands the program sends, with the payloads it uses.
constexpr Exchange kProgramExchanges[] = {
    {cmd::kUnprotect, "\r"}, {"S0", "\r"},         {"S01", "\r"},        {"S02", "\r"}, {"S3", "\r"},
    {"S3N", "\r"},           {"S5", "\r"},         {"S6", "\r"},         {"SB", "\r"},  {"SH", "\r"},
    {"SG0", "\r"},           {"SG1", "\r"},        {"SG2", "\r"},        {"SG3", "\r"}, {"X0", "\r"},
    {"XD", "0001\r"},        {"XD", "0FFF\r"},     {"XA", "\r"},         {"X1", "\r"},  {"XG", "\r"},
    {"S8", "123\r"},         {"S4", "12CFF780\r"}, {"SD", "2\r"},        {"SE", "\r"},  {"X5", "\r"},
    {"XEE", "\r"},           {"S9", "\r"},         {cmd::kProtect, "\r"}};

class SimCoreTest : public ::testing::Test {
  protected:
    void RunProgramExchanges() {
        SensorProtocol protocol(link_, prompts_);
        protocol.sleep_ms = [](int) {};
        for (const Exchange& exchange : kProgramExchanges) {
            std::string reply;
            EXPECT_EQ(protocol.SendSensorCommand(
                          {.code = exchange.code, .payload = exchange.payload, .retries = 1}, reply),
                      TransactionResult::Ok)
                << exchange.code << exchange.payload << " -> " << reply;
        }
    }

    ConnectionState state_;
    SensorLink link_{state_};
    ScriptedPrompts prompts_;
};

TEST_F(SimCoreTest, EveryProgramExchangeValidatesOverTcp) {
    SimServer server({SensorSettings{}}, ServerSettings{});
    ASSERT_TRUE(server.Start());
    state_.link_kind = LinkKind::Internet;
    state_.connection_type = LinkKind::Internet;
    state_.host_address = "127.0.0.1";
    state_.tcp_port = server.tcp_port();
    state_.base_response_wait_ms = 228;
    ASSERT_TRUE(link_.tcp().Connect());
    RunProgramExchanges();
    EXPECT_TRUE(server.sensor(0).is_protected());
    EXPECT_TRUE(server.sensor(0).push_mode());
    link_.tcp().Close();
}

TEST_F(SimCoreTest, EveryProgramExchangeValidatesOverThePtyAtItsRate) {
    ServerSettings settings;
    settings.transport = Transport::Pty;
    SensorSettings sensor;
    sensor.baud = 115200;
    SimServer server({sensor}, settings);
    ASSERT_TRUE(server.Start());
    state_.link_kind = LinkKind::Serial;
    state_.port_name = server.pty_path();
    state_.base_response_wait_ms = 2560000 / 115200 + 15;
    ASSERT_TRUE(link_.serial().Open(115200, {kReadIntervalNoWait, 0, 0}));
    RunProgramExchanges();
    link_.serial().Close();
}

TEST_F(SimCoreTest, MultiDropDetectionFindsAndMutesEverySensorOnTheBus) {
    std::vector<SensorSettings> bus;
    for (const char* id : {"0012", "0045", "00A1"}) {
        SensorSettings sensor;
        sensor.id = id;
        sensor.multi_drop_network = true;
        bus.push_back(sensor);
    }
    SimServer server(bus, ServerSettings{});
    ASSERT_TRUE(server.Start());
    state_.link_kind = LinkKind::Internet;
    state_.host_address = "127.0.0.1";
    state_.tcp_port = server.tcp_port();
    state_.base_response_wait_ms = 50;
    state_.multidrop_enabled = true;
    state_.multidrop_mode = 1;
    ASSERT_TRUE(link_.tcp().Connect());
    SensorProtocol protocol(link_, prompts_);
    MultiDropDetection detection;
    GatherMultiDropIds(protocol, detection);
    EXPECT_EQ(detection.ids, (std::vector<std::string>{"0012", "0045", "00A1"}));
    for (std::size_t i = 0; i < server.sensor_count(); ++i) {
        EXPECT_TRUE(server.sensor(i).muted());
    }

    state_.SetMultiDropId("0045");
    std::string reply;
    ASSERT_EQ(protocol.SendSensorCommand({.code = "S0", .payload = "\r", .retries = 1}, reply),
              TransactionResult::Ok);
    EXPECT_EQ(reply.substr(66, 4), "0045");
    link_.tcp().Close();
}

}  // namespace
}  // namespace qvx::sim
