// qvx over a dial-up modem: the simulator's Hayes modem on a pty in front of the sensor. The
// modem's own lines ("ATL0", "ATDT...", "+++", "ATH0") appear in the simulator's request log.

#include <gtest/gtest.h>

#include <algorithm>

#include "../support/cli_runner.h"
#include "protocol/catalogue.h"

namespace qvx::test {
namespace {

bool Logged(const std::vector<std::string>& log, const std::string& line) {
    return std::find(log.begin(), log.end(), line) != log.end();
}

TEST(CliModem, DialsReadsInfoAndHangsUpAtTheEnd) {
    CliRunner runner;
    runner.StartModemSim({sim::SensorSettings{}});
    const ChildResult run = runner.Run({"--dial", "5551234", "info"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find("Sensor ID: 0001\n"), std::string::npos) << run.out;
    const std::vector<std::string> log = runner.sim().RequestLog();
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log[0], "ATL0");
    EXPECT_EQ(log[1], "AT E0 Q0 T V1 W2 X3 &K0 &Q0 S48=0 &W");
    EXPECT_EQ(log[2], "ATDT5551234");
    EXPECT_EQ(log[log.size() - 2], "+++") << "the escape follows the sensor's last command";
    EXPECT_EQ(log.back(), "ATH0");
    EXPECT_TRUE(Logged(log, cmd::kStartPushConfirmed)) << "push mode restored before the line goes";
    EXPECT_TRUE(runner.sim().sensor(0).push_mode());
}

struct ResultCase {
    sim::DialOutcome outcome;
    const char* message;
};

TEST(CliModem, EachModemResultHasItsMessageAndThePortIsLeftFree) {
    const ResultCase cases[] = {
        {sim::DialOutcome::NoCarrier,
         "No carrier detected. Check modem connections and configuration, then retry."},
        {sim::DialOutcome::NoDialTone,
         "No dial-tone found. Check modem connections and configuration, then retry"},
        {sim::DialOutcome::Busy,
         "An unspecified error occurred. Check modem connections and configuration, then retry."},
    };
    for (const ResultCase& c : cases) {
        CliRunner runner;
        sim::ModemSettings modem;
        modem.outcome = c.outcome;
        runner.StartModemSim({sim::SensorSettings{}}, modem);
        const ChildResult run = runner.Run({"--dial", "5551234", "info"});
        EXPECT_EQ(run.exit_code, 3);
        EXPECT_EQ(run.err, std::string("qvx: ") + c.message + "\n");
        EXPECT_EQ(runner.sim().RequestLog().back(), "ATH0");
        EXPECT_EQ(runner.Run({"--dial", "5551234", "info"}).exit_code, 3) << "the port opens again";
    }
}

TEST(CliModem, ALineSlowerThan9600IsRefusedAndHungUp) {
    CliRunner runner;
    sim::ModemSettings modem;
    modem.connect_rate = 4800;
    runner.StartModemSim({sim::SensorSettings{}}, modem);
    const ChildResult run = runner.Run({"--dial", "5551234", "info"});
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_EQ(run.err,
              "qvx: The modem connected, but line speed slower than 9600 bps.  Please try to reconnect. "
              "(CONNECT 4800)\n");
    const std::vector<std::string> log = runner.sim().RequestLog();
    EXPECT_FALSE(Logged(log, "S6")) << "nothing is sent to the sensor";
    EXPECT_TRUE(Logged(log, "+++"));
    EXPECT_TRUE(Logged(log, "ATH0"));
}

// The first port holds a modem that echoes the search command and answers in numbers: "ATL0\r0\r"
// holds a "0" only inside the echo... and after it; without "OK" it is not taken. The search goes
// on to the second port, where the technician dials by hand.
TEST(CliModem, AnEchoedNumericAnswerIsNoModemAndAManualDialSendsNoNumber) {
    CliRunner runner;
    runner.StartModemSim({sim::SensorSettings{}});
    sim::ServerSettings settings;
    settings.transport = sim::Transport::Pty;
    settings.modem = true;
    settings.modem_front.numeric = true;
    sim::SimServer echoing({sim::SensorSettings{}}, settings);
    ASSERT_TRUE(echoing.Start());

    const ChildResult alone = runner.RunBare({"--modem", echoing.pty_path(), "--dial", "1", "info"});
    EXPECT_EQ(alone.exit_code, 3);
    EXPECT_EQ(alone.err, "qvx: no modem answered on " + echoing.pty_path() + "\n");

    runner.SetEnv("QVX_SERIAL_PORTS", echoing.pty_path() + ":" + runner.sim().pty_path());
    const ChildResult run = runner.RunBare({"--modem", "auto", "--dial-manually", "send", "S6"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "2\n");
    EXPECT_NE(run.err.find("Take the phone off hook... Dial sensor's modem number...."), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("Hang up telephone and then press OK."), std::string::npos) << run.err;
    const std::vector<std::string> log = runner.sim().RequestLog();
    EXPECT_TRUE(Logged(log, "ATX3DT"));
    EXPECT_FALSE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
        return line.starts_with("ATDT") || (line.starts_with("ATX3DT") && line != "ATX3DT");
    }));
    EXPECT_FALSE(Logged(log, "ATH0")) << "a call dialled by hand is hung up by hand";
    EXPECT_EQ(echoing.RequestLog(), (std::vector<std::string>{"ATL0", "ATL0"}))
        << "only the search command, once per run";
}

TEST(CliModem, ModemOptionsAreChecked) {
    CliRunner runner;
    EXPECT_EQ(runner.RunBare({"--modem", "auto", "info"}).exit_code, 2);
    EXPECT_EQ(runner.RunBare({"--modem", "auto", "--dial", "1", "--dial-manually", "info"}).exit_code, 2);
    EXPECT_EQ(runner.RunBare({"--serial", "auto", "--dial", "1", "info"}).exit_code, 2);
    EXPECT_EQ(runner.RunBare({"--modem", "auto", "--tcp", "h:1", "--dial", "1", "info"}).exit_code, 2);
    EXPECT_EQ(runner.RunBare({"--modem", "auto", "--dial", std::string(30, '5'), "info"}).exit_code, 2);
}

}  // namespace
}  // namespace qvx::test
