// The simulator's transports, multi-drop bus and scripted faults, driven over loopback TCP and the
// pty slave with plain sockets and termios.

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "../support/reply_check.h"
#include "../support/sim_test_client.h"
#include "protocol/catalogue.h"
#include "protocol/frame.h"
#include "sim_options.h"
#include "sim_server.h"

namespace qvx::sim {
namespace {

// Frames cut at CR, in sorted order: for replies whose order on the line is the sensors' own.
std::vector<std::string> SortedFrames(const std::string& text) {
    std::vector<std::string> frames;
    std::size_t start = 0;
    for (std::size_t cr = text.find('\r'); cr != std::string::npos; cr = text.find('\r', start)) {
        frames.push_back(text.substr(start, cr - start));
        start = cr + 1;
    }
    std::sort(frames.begin(), frames.end());
    return frames;
}

using test::SimTestClient;

std::vector<SensorSettings> OneSensor() {
    return {SensorSettings{}};
}

std::vector<SensorSettings> Bus(std::initializer_list<const char*> ids) {
    std::vector<SensorSettings> sensors;
    for (const char* id : ids) {
        SensorSettings sensor;
        sensor.id = id;
        sensor.multi_drop_network = true;
        sensors.push_back(sensor);
    }
    return sensors;
}

ServerSettings Tcp(FaultSettings faults = {}) {
    ServerSettings settings;
    settings.transport = Transport::Tcp;
    settings.faults = faults;
    return settings;
}

ServerSettings Pty(bool pacing = true) {
    ServerSettings settings;
    settings.transport = Transport::Pty;
    settings.pacing = pacing;
    return settings;
}

const CommandDescriptor& Row(const char* code) {
    return BuildCommandCatalogue().DescribeCommand(BuildCommandCatalogue().FindCommand(code));
}

TEST(SimServerTcp, ServesOneClientAtATimeAndLogsEachFrame) {
    SimServer server(OneSensor(), Tcp());
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(server.ReadinessLine(), "tcp 127.0.0.1:" + std::to_string(server.tcp_port()));
    {
        SimTestClient client = SimTestClient::Tcp(server.tcp_port());
        ASSERT_TRUE(client.is_open());
        const auto checked = test::CheckReply(Row("S0"), client.Exchange("S0"));
        EXPECT_TRUE(checked.ok) << checked.why;
        EXPECT_EQ(checked.data.size(), 167u);
    }
    SimTestClient next = SimTestClient::Tcp(server.tcp_port());
    EXPECT_EQ(next.Exchange("S6"), "S62\r") << "the next client is accepted after a disconnect";
    EXPECT_EQ(server.RequestLog(), (std::vector<std::string>{"S0", "S6"}));
    EXPECT_EQ(server.connections(), 2u);
}

TEST(SimServerTcp, RequestsSplitOverSeveralWritesAreJoined) {
    SimServer server(OneSensor(), Tcp());
    ASSERT_TRUE(server.Start());
    SimTestClient client = SimTestClient::Tcp(server.tcp_port());
    client.Send("Z000");
    client.Send("01");  // the calibration writes the prefix on its own, then the probe
    EXPECT_EQ(client.Exchange("S6"), "Z00001S62\r");
}

TEST(SimServerPty, AnswersOnlyAtTheSensorsLineRate) {
    SimServer server(OneSensor(), Pty(false));
    ASSERT_TRUE(server.Start());
    ASSERT_EQ(server.ReadinessLine().rfind("/dev/pts/", 0), 0u);
    SimTestClient client = SimTestClient::Pty(server.pty_path(), 19200);
    ASSERT_TRUE(client.is_open());
    client.Send("S6\r");
    EXPECT_EQ(client.ReadFor(300), "") << "at a wrong rate the sensor stays silent";
    client.SetBaud(9600);
    EXPECT_EQ(client.Exchange("S6"), "S62\r");
}

TEST(SimServerPty, ABaudChangeIsAnsweredAtTheOldRateAndThenHeldAtTheNewOne) {
    SimServer server(OneSensor(), Pty(false));
    ASSERT_TRUE(server.Start());
    SimTestClient client = SimTestClient::Pty(server.pty_path(), 9600);
    ASSERT_FALSE(client.Exchange(cmd::kUnprotect).empty());
    EXPECT_EQ(client.Exchange("S70400"), "S7Success\r");
    client.Send("S6\r");
    EXPECT_EQ(client.ReadFor(300), "");
    client.SetBaud(115200);
    EXPECT_EQ(client.Exchange("S6"), "S62\r");
}

TEST(SimServerPty, RepliesArePacedAtTheLineRate) {
    SimServer server(OneSensor(), Pty(true));
    ASSERT_TRUE(server.Start());
    SimTestClient client = SimTestClient::Pty(server.pty_path(), 9600);
    const auto start = std::chrono::steady_clock::now();
    const std::string reply = client.Exchange("S02");  // 248 bytes: about 258 ms at 9600 bps
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(reply.size(), 248u);
    EXPECT_GE(elapsed, std::chrono::milliseconds(150));
}

TEST(SimServerPty, TheSlaveSurvivesOneClientClosingBeforeTheNext) {
    SimServer server(OneSensor(), Pty(false));
    ASSERT_TRUE(server.Start());
    {
        SimTestClient first = SimTestClient::Pty(server.pty_path(), 9600);
        EXPECT_EQ(first.Exchange("S6"), "S62\r");
    }
    SimTestClient second = SimTestClient::Pty(server.pty_path(), 9600);
    EXPECT_EQ(second.Exchange("S6"), "S62\r");
}

TEST(SimServerMultiDrop, DiscoveryListsEverySensorAndAddressingPicksOne) {
    SimServer server(Bus({"0012", "0045", "00A1"}), Tcp());
    ASSERT_TRUE(server.Start());
    SimTestClient client = SimTestClient::Tcp(server.tcp_port());
    client.Send("B2\r");
    client.Send("B000\r");
    // The replies come in the order of each sensor's position in the poll's window.
    const std::string all = client.ReadFor(500);
    EXPECT_EQ(SortedFrames(all),
              SortedFrames("B10012" + ComputeFrameChecksum("0012") + "\rB10045" +
                           ComputeFrameChecksum("0045") + "\rB100A1" + ComputeFrameChecksum("00A1") + "\r"));

    EXPECT_EQ(client.Exchange("Z00045S6"), "Z00045S62\r");
    EXPECT_EQ(client.ReadFor(200), "") << "no other sensor answers";
    client.Send("S6\r");
    EXPECT_EQ(client.ReadFor(200), "") << "bare frames go unanswered on a multi-drop line";

    EXPECT_EQ(client.Exchange("Z00045S8B00FF").substr(0, 13), "Z00045S8B00FF");
    client.Send("B001\r");
    EXPECT_EQ(SortedFrames(client.ReadFor(500)),
              SortedFrames("B10012" + ComputeFrameChecksum("0012") + "\rB100A1" +
                           ComputeFrameChecksum("00A1") + "\r"));
    client.Send("B2\r");
    client.Send("B002\r");
    EXPECT_EQ(client.ReadFor(500).size(), 3 * 11u);
}

TEST(SimServerModem, AnswersAtCommandsUntilDialledAndEscapesBackToCommandMode) {
    ServerSettings settings = Tcp();
    settings.modem = true;
    SimServer server(OneSensor(), settings);
    ASSERT_TRUE(server.Start());
    SimTestClient client = SimTestClient::Tcp(server.tcp_port());
    client.Send("ATL0\r");
    EXPECT_EQ(client.ReadFor(300), "ATL0\r\r\nOK\r\n") << "a factory-set modem echoes";
    client.Send("ATE0\r");
    EXPECT_EQ(client.ReadFor(300), "ATE0\r\r\nOK\r\n");
    client.Send("S6\r");
    EXPECT_EQ(client.ReadFor(300), "") << "the sensor is not reached before dialling";
    client.Send("ATDT5551234\r");
    EXPECT_EQ(client.ReadFor(300), "\r\nCONNECT 9600\r\n");
    EXPECT_EQ(client.Exchange("S6"), "S62\r");
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // the guard time
    client.Send("+++");
    EXPECT_EQ(client.ReadFor(300), "\r\nOK\r\n");
    client.Send("ATH0\r");
    EXPECT_EQ(client.ReadFor(300), "\r\nOK\r\n");
    client.Send("S6\r");
    EXPECT_EQ(client.ReadFor(300), "");
}

TEST(SimServerFaults, DropEveryNthReply) {
    FaultSettings faults;
    faults.drop_every = 2;
    SimServer server(OneSensor(), Tcp(faults));
    ASSERT_TRUE(server.Start());
    SimTestClient client = SimTestClient::Tcp(server.tcp_port());
    EXPECT_EQ(client.Exchange("S6"), "S62\r");
    EXPECT_EQ(client.Exchange("S6", 300), "");
    EXPECT_EQ(client.Exchange("S6"), "S62\r");
    EXPECT_EQ(client.Exchange("S6", 300), "");
}

TEST(SimServerFaults, DropByProbabilityRepeatsWithTheSameSeed) {
    auto pattern = [] {
        FaultSettings faults;
        faults.drop_probability = 0.5;
        faults.fault_seed = 42;
        SimServer server(OneSensor(), Tcp(faults));
        EXPECT_TRUE(server.Start());
        SimTestClient client = SimTestClient::Tcp(server.tcp_port());
        std::string answered;
        for (int i = 0; i < 12; ++i) {
            answered += client.Exchange("S6", 150).empty() ? '-' : '+';
        }
        return answered;
    };
    const std::string first = pattern();
    EXPECT_EQ(first, pattern());
    EXPECT_NE(first.find('+'), std::string::npos);
    EXPECT_NE(first.find('-'), std::string::npos);
}

TEST(SimServerFaults, CorruptionBreaksTheChecksum) {
    FaultSettings faults;
    faults.corrupt_every = 1;
    SimServer server(OneSensor(), Tcp(faults));
    ASSERT_TRUE(server.Start());
    SimTestClient client = SimTestClient::Tcp(server.tcp_port());
    const std::string reply = client.Exchange("S0");
    EXPECT_EQ(reply.size(), 2 + 167 + 4 + 1u);
    EXPECT_FALSE(test::CheckReply(Row("S0"), reply).ok);
}

TEST(SimServerFaults, NoiseComesBeforeAnIntactReply) {
    FaultSettings faults;
    faults.noise = true;
    SimServer server(OneSensor(), Tcp(faults));
    ASSERT_TRUE(server.Start());
    SimTestClient client = SimTestClient::Tcp(server.tcp_port());
    const std::string reply = client.Exchange("S0");
    const std::size_t header = reply.find("S0");
    ASSERT_NE(header, std::string::npos);
    EXPECT_GT(header, 0u) << "garbage precedes the frame";
    EXPECT_TRUE(test::CheckReply(Row("S0"), reply.substr(header)).ok);
}

TEST(SimServerFaults, SlowRepliesArriveLate) {
    FaultSettings faults;
    faults.slow_ms = 400;
    SimServer server(OneSensor(), Tcp(faults));
    ASSERT_TRUE(server.Start());
    SimTestClient client = SimTestClient::Tcp(server.tcp_port());
    client.Send("S6\r");
    EXPECT_EQ(client.ReadFrame(100), "");
    EXPECT_EQ(client.ReadFrame(3000), "S62\r");
}

TEST(SimServerFaults, CloseAfterNExchangesDropsTheConnection) {
    FaultSettings faults;
    faults.close_after = 2;
    SimServer server(OneSensor(), Tcp(faults));
    ASSERT_TRUE(server.Start());
    SimTestClient client = SimTestClient::Tcp(server.tcp_port());
    EXPECT_EQ(client.Exchange("S6"), "S62\r");
    EXPECT_EQ(client.Exchange("S6"), "S62\r");
    EXPECT_TRUE(client.SeesEof(2000));
    SimTestClient again = SimTestClient::Tcp(server.tcp_port());
    EXPECT_EQ(again.Exchange("S6"), "S62\r") << "a reconnect gets a fresh count";
}

TEST(SimServerFaults, MuteAfterNExchangesStopsAnswering) {
    FaultSettings faults;
    faults.mute_after = 1;
    SimServer server(OneSensor(), Tcp(faults));
    ASSERT_TRUE(server.Start());
    SimTestClient client = SimTestClient::Tcp(server.tcp_port());
    EXPECT_EQ(client.Exchange("S6"), "S62\r");
    EXPECT_EQ(client.Exchange("S6", 300), "");
    EXPECT_EQ(server.exchanges(), 2u);
}

TEST(SimOptionsParse, BuildsABusFromIdsAndReadsFaultForms) {
    SimOptions options;
    std::string error;
    ASSERT_TRUE(ParseSimOptions({"--tcp", "0", "--ids", "0012,0045", "--seed", "5", "--drop-reply", "0.25",
                                 "--lanes", "2", "--units", "M"},
                                options, error))
        << error;
    ASSERT_EQ(options.sensors.size(), 2u);
    EXPECT_EQ(options.sensors[1].id, "0045");
    EXPECT_TRUE(options.sensors[1].multi_drop_network);
    EXPECT_NE(options.sensors[0].seed, options.sensors[1].seed);
    EXPECT_DOUBLE_EQ(options.server.faults.drop_probability, 0.25);
    EXPECT_EQ(options.sensors[0].lanes, 2);

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--tcp", "0", "--lanes", "9"},
                                                {"--tcp", "0", "--baud", "1234"},
                                                {"--tcp", "0", "--ids", "12"},
                                                {"--lanes", "2"},
                                                {"--tcp"},
                                                {"--pty", "--bogus"}}) {
        SimOptions rejected;
        EXPECT_FALSE(ParseSimOptions(bad, rejected, error)) << bad.back();
    }
}

// The program itself: readiness line, request log file, clean exit on SIGTERM.
TEST(SimProgram, PrintsTheReadinessLineAndWritesTheRequestLog) {
    const std::string program = std::string(QVX_BINARY_DIR) + "/src/sim/qvx-sim";
    const std::filesystem::path log = std::filesystem::temp_directory_path() / "qvx_sim_program_test.log";
    std::filesystem::remove(log);
    FILE* output =
        ::popen((program + " --tcp 0 --ids 0012 --log " + log.string() + " & echo pid $!").c_str(), "r");
    ASSERT_NE(output, nullptr);
    // The shell's "pid" line and the program's readiness line may come in either order.
    std::string pid_line;
    std::string ready;
    char line[256] = {};
    for (int i = 0; i < 2 && std::fgets(line, sizeof line, output) != nullptr; ++i) {
        (std::string(line).rfind("pid ", 0) == 0 ? pid_line : ready) = line;
    }
    ASSERT_FALSE(pid_line.empty());
    ASSERT_EQ(ready.rfind("tcp 127.0.0.1:", 0), 0u) << ready;
    const int port = std::stoi(ready.substr(ready.find(':') + 1));
    {
        SimTestClient client = SimTestClient::Tcp(static_cast<std::uint16_t>(port));
        EXPECT_EQ(client.Exchange("Z00012S6"), "Z00012S62\r");
    }
    const pid_t pid = std::stoi(pid_line.substr(4));
    ::kill(pid, SIGTERM);
    ::pclose(output);
    std::ifstream in(log);
    std::string logged;
    std::getline(in, logged);
    EXPECT_EQ(logged, "Z00012S6");
    std::filesystem::remove(log);
}

TEST(SimProgram, HelpDescribesTheOptions) {
    const std::string program = std::string(QVX_BINARY_DIR) + "/src/sim/qvx-sim";
    FILE* output = ::popen((program + " --help").c_str(), "r");
    ASSERT_NE(output, nullptr);
    std::string text;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, output) != nullptr) {
        text += buffer;
    }
    EXPECT_EQ(WEXITSTATUS(::pclose(output)), 0);
    for (const char* option : {"--pty", "--tcp", "--ids", "--drop-reply", "--corrupt", "--noise", "--slow",
                               "--close-after", "--mute-after", "--log"}) {
        EXPECT_NE(text.find(option), std::string::npos) << option;
    }
}

}  // namespace
}  // namespace qvx::sim
