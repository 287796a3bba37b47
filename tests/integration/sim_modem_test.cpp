// The simulator's Hayes modem: command echo and result forms, the dial outcomes, the escape's
// guard times and the hang-up, over loopback TCP (the pty tests drive it through the program).

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "../support/sim_test_client.h"
#include "sim_options.h"
#include "sim_server.h"

namespace qvx::sim {
namespace {

using test::SimTestClient;

ServerSettings ModemOverTcp(ModemSettings modem = {}) {
    ServerSettings settings;
    settings.transport = Transport::Tcp;
    settings.modem = true;
    settings.modem_front = modem;
    return settings;
}

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

TEST(SimModem, NumericResultsAndEchoFollowTheCommands) {
    ModemSettings modem;
    modem.numeric = true;
    SimServer server({SensorSettings{}}, ModemOverTcp(modem));
    ASSERT_TRUE(server.Start());
    SimTestClient client = SimTestClient::Tcp(server.tcp_port());
    client.Send("ATL0\r");
    EXPECT_EQ(client.ReadFor(300), "ATL0\r0\r") << "the echo, then 0 for OK";
    client.Send("AT E0 Q0 T V1 W2 X3 &K0 &Q0 S48=0 &W\r");
    EXPECT_EQ(client.ReadFor(300), "AT E0 Q0 T V1 W2 X3 &K0 &Q0 S48=0 &W\r\r\nOK\r\n");
    client.Send("ATL0\r");
    EXPECT_EQ(client.ReadFor(300), "\r\nOK\r\n");
    client.Send("ATJ9\r");
    EXPECT_EQ(client.ReadFor(300), "\r\nERROR\r\n");
    client.Send("ATS7\r");
    EXPECT_EQ(client.ReadFor(300), "\r\nERROR\r\n") << "a register needs = or ?";
}

TEST(SimModem, DialOutcomesAsConfigured) {
    const std::pair<DialOutcome, const char*> cases[] = {{DialOutcome::NoCarrier, "\r\nNO CARRIER\r\n"},
                                                         {DialOutcome::NoDialTone, "\r\nNO DIALTONE\r\n"},
                                                         {DialOutcome::Busy, "\r\nBUSY\r\n"}};
    for (const auto& [outcome, text] : cases) {
        ModemSettings modem;
        modem.echo = false;
        modem.outcome = outcome;
        SimServer server({SensorSettings{}}, ModemOverTcp(modem));
        ASSERT_TRUE(server.Start());
        SimTestClient client = SimTestClient::Tcp(server.tcp_port());
        client.Send("ATDT5551234\r");
        EXPECT_EQ(client.ReadFor(300), text);
        EXPECT_EQ(client.Exchange("S6", 300), "") << "no line: nothing reaches the sensor";
    }
}

TEST(SimModem, ReportsTheConfiguredLineSpeedAndAKeyStopsTheDialling) {
    ModemSettings modem;
    modem.echo = false;
    modem.connect_rate = 4800;
    modem.dial_ms = 3000;
    SimServer server({SensorSettings{}}, ModemOverTcp(modem));
    ASSERT_TRUE(server.Start());
    SimTestClient client = SimTestClient::Tcp(server.tcp_port());
    client.Send("ATDT5551234\r");
    Pause(200);
    client.Send("\r");
    EXPECT_EQ(client.ReadFor(500), "\r\nNO CARRIER\r\n");
    client.Send("ATH0\r");
    EXPECT_EQ(client.ReadFor(300), "\r\nOK\r\n") << "the modem is back in command mode";
    client.Send("ATX3DT\r");
    EXPECT_EQ(client.ReadFor(3500), "\r\nCONNECT 4800\r\n");
}

TEST(SimModem, EscapeNeedsSilenceOnBothSides) {
    ModemSettings modem;
    modem.echo = false;
    modem.guard_ms = 500;
    SimServer server({SensorSettings{}}, ModemOverTcp(modem));
    ASSERT_TRUE(server.Start());
    SimTestClient client = SimTestClient::Tcp(server.tcp_port());
    client.Send("ATDT1\r");
    EXPECT_EQ(client.ReadFor(300), "\r\nCONNECT 9600\r\n");
    client.Send("S6\r+++");
    EXPECT_EQ(client.ReadFor(300), "S62\r") << "no guard time before: +++ is data";
    Pause(600);
    client.Send("+++S6\r");
    EXPECT_EQ(client.ReadFor(300), "S62\r") << "input right after: still online";
    Pause(600);
    client.Send("+++");
    EXPECT_EQ(client.ReadFor(300), "\r\nOK\r\n");
    client.Send("ATO\r");
    EXPECT_EQ(client.ReadFor(300), "\r\nCONNECT 9600\r\n") << "back online, the line kept";
    Pause(600);
    client.Send("+++");
    EXPECT_EQ(client.ReadFor(300), "\r\nOK\r\n");
    client.Send("ATH0\r");
    EXPECT_EQ(client.ReadFor(300), "\r\nOK\r\n");
    client.Send("ATO\r");
    EXPECT_EQ(client.ReadFor(300), "\r\nNO CARRIER\r\n") << "hung up";
}

TEST(SimModem, OptionsSetTheModem) {
    SimOptions options;
    std::string error;
    ASSERT_TRUE(ParseSimOptions({"--pty", "--modem-rate", "4800", "--modem-result", "busy", "--modem-numeric",
                                 "--modem-dial-ms", "100"},
                                options, error))
        << error;
    EXPECT_TRUE(options.server.modem);
    EXPECT_EQ(options.server.modem_front.connect_rate, 4800u);
    EXPECT_EQ(options.server.modem_front.outcome, DialOutcome::Busy);
    EXPECT_TRUE(options.server.modem_front.numeric);
    EXPECT_EQ(options.server.modem_front.dial_ms, 100);
    EXPECT_FALSE(ParseSimOptions({"--modem-result", "ringing"}, options, error));
}

}  // namespace
}  // namespace qvx::sim
