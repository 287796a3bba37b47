// qvx's exit codes and one-line failure messages, the serial search it runs for --serial auto,
// the --on-error policies and the stop on SIGINT.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "../support/case_name.h"
#include "../support/cli_runner.h"
#include "../support/pty_line.h"
#include "platform/registry_store.h"
#include "protocol/catalogue.h"

namespace qvx {
namespace {

using test::ChildResult;
using test::CliRunner;
using test::PtyLine;
using test::SplitLines;

std::size_t Occurrences(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at = text.find(piece, at + piece.size())) {
        ++count;
    }
    return count;
}

// A loopback port nobody listens on: bound once to learn a free number, then released.
std::uint16_t ClosedTcpPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

struct UsageCase {
    std::vector<std::string> args;
    std::string message;
};

class CliUsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CliUsageTest, BadArgumentsExitWithTwoAndSayWhy) {
    CliRunner runner;
    const ChildResult run = runner.RunBare(GetParam().args);
    EXPECT_EQ(run.exit_code, 2) << run.err;
    EXPECT_TRUE(run.out.empty());
    ASSERT_EQ(SplitLines(run.err).size(), 1u) << run.err;
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliUsageTest,
    ::testing::Values(
        UsageCase{{"--tcp", "127.0.0.1:1", "--bogus", "info"}, "unknown option '--bogus'"},
        UsageCase{{"info"}, "no link given"}, UsageCase{{"--tcp", "127.0.0.1"}, "--tcp needs HOST:PORT"},
        UsageCase{{"--tcp", "127.0.0.1:1"}, "no command given"},
        UsageCase{{"--tcp", "127.0.0.1:1", "send", "QQ"}, "'QQ' is not a command code"},
        UsageCase{{"--tcp", "127.0.0.1:1", "clock", "set", "2021-02-30 10:00:00"}, "clock set needs"},
        UsageCase{{"--serial", "auto", "--baud", "1234", "info"}, "not a supported rate"},
        UsageCase{{"--tcp", "127.0.0.1:1", "--id", "00a", "info"}, "--id needs 4 printable characters"},
        UsageCase{{"--tcp", "127.0.0.1:1", "--utc", "info"}, "--utc belongs to 'clock'"},
        UsageCase{{"--tcp", "127.0.0.1:1", "--pick", "2", "info"}, "use it with --id auto"},
        UsageCase{{"--tcp", "127.0.0.1:1", "--wait", "100000", "info"}, "--wait needs a number"},
        UsageCase{{"--tcp", "127.0.0.1:1", "--on-error", "maybe", "info"}, "--on-error needs"},
        UsageCase{{"--tcp", "127.0.0.1:1", "--count", "2", "info"}, "belong to 'live intervals'"},
        UsageCase{{"--tcp", "127.0.0.1:1", "send", "S4", "12345678\rS4"}, "control character"},
        UsageCase{{"--tcp", "127.0.0.1:1", "send", "S1", "a\x01b"}, "control character"},
        UsageCase{{"bogus", "--help"}, "unknown command 'bogus'"},
        UsageCase{{"--tcp", "127.0.0.1:1", "--timeout", "0", "info"}, "--timeout needs a number"},
        UsageCase{{"--tcp", "127.0.0.1:1", "--lost-after", "5", "info"}, "belongs to 'live intervals'"},
        UsageCase{{"--tcp", "127.0.0.1:1", "erase", "--yes", "--format", "json"}, "--format belongs to"},
        UsageCase{{"--tcp", "127.0.0.1:1", "lanes", "save", "--format", "tsv"}, "--format belongs to"}),
    [](const auto& info) { return test::NumberedCaseName(info.index, {info.param.message}); });

TEST(CliHelp, EverySubcommandHasItsHelpAndTheVersionIsShown) {
    CliRunner runner;
    for (const char* topic : {"info", "send", "clock", "discover", "live"}) {
        const ChildResult run = runner.RunBare({topic, "--help"});
        EXPECT_EQ(run.exit_code, 0) << topic;
        EXPECT_TRUE(run.out.starts_with(std::string("usage: qvx [connection options] ") + topic)) << run.out;
    }
    const ChildResult overview = runner.RunBare({"--help"});
    EXPECT_NE(overview.out.find("Exit codes:"), std::string::npos);
    EXPECT_EQ(runner.RunBare({"--version"}).out, "qvx 3.0.1 (Quorvix Manager)\n");
}

TEST(CliNoConnection, ASilentPortExitsWithThreeNamingPortAndRate) {
    CliRunner runner;
    PtyLine silent;
    const ChildResult run = runner.RunBare({"--serial", silent.path(), "--baud", "19200", "info"});
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_TRUE(run.out.empty());
    EXPECT_EQ(run.err, "qvx: no sensor answered on " + silent.path() + " at 19200 bps\n");
}

TEST(CliNoConnection, AClosedTcpPortExitsWithThreeNamingTheAddress) {
    CliRunner runner;
    const std::string address = "127.0.0.1:" + std::to_string(ClosedTcpPort());
    const ChildResult run = runner.RunBare({"--tcp", address, "info"});
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_EQ(run.err, "qvx: cannot connect to " + address + ": connection refused\n");
}

// The registry names a device as the address book: the alias lookup says so and goes on with the
// name as typed, instead of reading for ever or running out of memory.
TEST(CliNoConnection, ADeviceAsTheAddressBookIsNamedAndTheAliasUsedAsTyped) {
    CliRunner runner;
    RegistryStore registry(runner.dir() / "config/registry");
    registry.CreateKey(kKeyAddressBook);
    ASSERT_TRUE(registry.SetString(kKeyAddressBook, "AddressBookPath", "/dev/zero"));
    const std::string address = "sensor-north:" + std::to_string(ClosedTcpPort());
    const ChildResult run = runner.RunBare({"--tcp", address, "info"}, 20000);
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_NE(run.err.find("The address book /dev/zero is not a regular file"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("qvx: cannot connect to sensor-north:"), std::string::npos) << run.err;
}

TEST(CliNoConnection, AMissingDeviceExitsWithThreeNamingIt) {
    CliRunner runner;
    const std::string path = runner.dir() / "ttyNONE";
    const ChildResult run = runner.RunBare({"--serial", path, "info"});
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_EQ(run.err, "qvx: cannot open serial port " + path + ": No such file or directory\n");
}

TEST(CliNoConnection, AFailedSearchNamesThePortsAndRatesItTried) {
    CliRunner runner;
    PtyLine first;
    PtyLine second;
    const std::string missing = runner.dir() / "ttyNONE";
    runner.SetEnv("QVX_SERIAL_PORTS", first.path() + ":" + missing + ":" + second.path());
    const ChildResult run = runner.RunBare({"--serial", "auto", "--baud", "19200", "info"});
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_EQ(run.err, "qvx: no sensor answered on any serial port. Tried " + first.path() + ", " +
                           second.path() + " at 19200 bps. Could not open " + missing +
                           " (No such file or directory).\n");
}

// The search walks the ports in order and the rates up the table until the sensor answers.
TEST(CliSerialSearch, AutoFindsTheSensorOnTheSecondPortAtItsRate) {
    CliRunner runner;
    PtyLine silent;
    sim::SensorSettings sensor;
    sensor.baud = 38400;
    runner.StartSim(sim::Transport::Pty, {sensor});
    runner.SetEnv("QVX_SERIAL_PORTS", silent.path() + ":" + runner.sim().pty_path());
    const ChildResult run = runner.RunBare({"--serial", "auto", "send", "S6"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "2\n");
}

// The sensor goes quiet once the link is set up (the connection takes four exchanges). A serial
// line, so that no TCP recovery joins in.
class CliErrorPolicyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::FaultSettings faults;
        faults.mute_after = 4;
        runner_.StartSim(sim::Transport::Pty, {sim::SensorSettings{}}, faults);
    }
    CliRunner runner_;
};

TEST_F(CliErrorPolicyTest, ByDefaultAFailedExchangeIsReportedAndTheCommandFails) {
    const ChildResult run = runner_.Run({"info"});
    EXPECT_EQ(run.exit_code, 4);
    EXPECT_EQ(Occurrences(run.err, "qvx: communication error: No Response (Operation: Get version;"), 1u)
        << run.err;
    EXPECT_EQ(Occurrences(run.err, "-> cancel"), 1u) << run.err;
    // Closing: the unanswered firewall command is not retried, and its warning is shown.
    EXPECT_EQ(Occurrences(run.err,
                          "Shutdown Warning: Do you want to retry? Due to a communication error, "
                          "the sensor's command firewall may not have been enabled. -> No"),
              1u)
        << run.err;
    EXPECT_NE(run.err.find("Shutdown Warning!: Shutdown Warning!  Command mode may not be protected."),
              std::string::npos);
    // Nothing was read, so nothing is printed: "Unknown" would read as the sensor's answer.
    EXPECT_EQ(run.out, "");
}

TEST_F(CliErrorPolicyTest, RetryGivesUpAfterThreeRetries) {
    const ChildResult run = runner_.Run({"--on-error", "retry", "info"});
    EXPECT_EQ(run.exit_code, 4);
    for (const char* answer : {"-> retry 1 of 3", "-> retry 2 of 3", "-> retry 3 of 3"}) {
        EXPECT_EQ(Occurrences(run.err, answer), 1u) << answer << "\n" << run.err;
    }
    EXPECT_EQ(Occurrences(run.err, "-> cancel"), 1u) << run.err;
    EXPECT_EQ(Occurrences(run.err, "firewall may not have been enabled. -> Yes"), 3u) << run.err;
    EXPECT_EQ(Occurrences(run.err, "firewall may not have been enabled. -> No"), 1u) << run.err;
    const auto log = runner_.sim().RequestLog();
    // Two attempts (one automatic retry), then one per series the user asked for.
    EXPECT_EQ(std::count(log.begin(), log.end(), "S5"), 5);
}

TEST_F(CliErrorPolicyTest, IgnoreGoesOnButTheCommandStillFails) {
    const ChildResult run = runner_.Run({"--on-error", "ignore", "clock", "get"});
    EXPECT_EQ(run.exit_code, 4);
    EXPECT_EQ(Occurrences(run.err, "-> ignore"), 1u) << run.err;
}

TEST(CliLive, SigintStopsTheViewAndTheConnectionIsStillClosed) {
    CliRunner runner;
    runner.StartSim(sim::Transport::Tcp, {sim::SensorSettings{}});
    auto child = runner.Spawn({"live", "intervals"});
    ASSERT_TRUE(child->WaitForLines(4, 30000));
    child->Signal(SIGINT);
    const ChildResult run = child->Finish(30000);
    EXPECT_EQ(run.exit_code, 130) << run.err;  // stopped before its work was done
    const auto log = runner.sim().RequestLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], cmd::kProtect);
    EXPECT_EQ(log.back(), cmd::kStartPushConfirmed);
}

}  // namespace
}  // namespace qvx
