// The engineering tools against the simulated sensor over a pseudo-terminal and over TCP: the
// terminal, the PLL registers, memory reads, and raw data acquisition with its rate switch.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "../support/scripted_prompts.h"
#include "context/app_context.h"
#include "protocol/transaction_result.h"
#include "sim_server.h"
#include "sim_tools.h"
#include "support/scratch_folder.h"
#include "tools/memory_range.h"
#include "tools/pll_registers.h"
#include "tools/raw_acquisition.h"
#include "tools/terminal_session.h"

namespace qvx {
namespace {

using namespace std::chrono_literals;

constexpr int kResponseWaitMs = 300;

class ToolsSim {
  public:
    ToolsSim(sim::Transport transport, sim::SensorSettings sensor = {}) {
        sim::ServerSettings settings;
        settings.transport = transport;
        settings.pacing = false;
        server_ = std::make_unique<sim::SimServer>(std::vector<sim::SensorSettings>{sensor}, settings);
        started_ = server_->Start();
        if (!started_) {
            return;
        }
        app_.protocol.sleep_ms = [](int) {};
        app_.state.base_response_wait_ms = kResponseWaitMs;
        if (transport == sim::Transport::Pty) {
            app_.state.port_name = server_->pty_path();
            connected_ = app_.link.serial().Open(sensor.baud, {kReadIntervalNoWait, 0, 0});
            app_.state.link_kind = LinkKind::Serial;
            app_.state.current_baud = app_.state.pending_baud = sensor.baud;
        } else {
            app_.state.host_address = "127.0.0.1";
            app_.state.tcp_port = server_->tcp_port();
            connected_ = app_.link.tcp().Connect();
        }
    }
    bool ready() const { return started_ && connected_; }
    AppContext& app() { return app_; }
    sim::SimServer& server() { return *server_; }
    ScriptedPrompts& prompts() { return prompts_; }
    // The request frames the sensor heard since the last call.
    std::vector<std::string> TakeRequests() {
        const auto log = server_->RequestLog();
        std::vector<std::string> fresh(log.begin() + static_cast<std::ptrdiff_t>(seen_), log.end());
        seen_ = log.size();
        return fresh;
    }

  private:
    test::ScratchFolder folder_;
    ScriptedPrompts prompts_;
    AppContext app_{prompts_, RegistryStore(folder_ / "registry")};
    std::unique_ptr<sim::SimServer> server_;
    bool started_ = false;
    bool connected_ = false;
    std::size_t seen_ = 0;
};

class ToolsOverBothLinks : public ::testing::TestWithParam<sim::Transport> {};

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5000ms) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!condition() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

TEST_P(ToolsOverBothLinks, TerminalLinesReachTheSensorAndItsRepliesShow) {
    ToolsSim sim(GetParam());
    ASSERT_TRUE(sim.ready());
    TerminalSession session(sim.app().link, sim.app().objects);
    session.Start();
    session.Enter("S5");
    ASSERT_TRUE(WaitFor([&] { return session.transcript().find("FPGA") != std::string::npos; }))
        << session.transcript();
    EXPECT_EQ(session.transcript().rfind("S5\r\nS5DSP: ", 0), 0u) << session.transcript();
    EXPECT_TRUE(session.transcript().ends_with("\r\n"));
    EXPECT_EQ(sim.TakeRequests(), std::vector<std::string>{"S5"});

    // Binary mode: "SB" + CR as bytes; the reply comes back as hexadecimal digits.
    session.SetBinary(true);
    session.Enter("53420d");
    ASSERT_TRUE(WaitFor([&] { return session.transcript().find("53420D\r\n5342") != std::string::npos; }))
        << session.transcript();
    EXPECT_EQ(sim.TakeRequests(), std::vector<std::string>{"SB"});
    session.Stop();
}

TEST_P(ToolsOverBothLinks, PllRegistersAreWrittenAsZeroZeroAndSixDigitsAndReadBack) {
    ToolsSim sim(GetParam());
    ASSERT_TRUE(sim.ready());
    AppContext& app = sim.app();
    struct Case {
        PllRegister reg;
        std::uint32_t value;
        const char* request;
    };
    FunctionLatch reset_only;
    reset_only.counter_reset = true;
    const Case cases[] = {
        {PllRegister::NCounter, EncodeNCounter({992, false}), "P200000F81"},
        {PllRegister::NCounter, EncodeNCounter({992, true}), "P200100F81"},
        {PllRegister::RCounter, EncodeRCounter({3, false}), "P40000000C"},
        {PllRegister::FunctionLatch, EncodeFunctionLatch(reset_only), "P000000006"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(WritePllRegister(app.protocol, c.reg, c.value), TransactionResult::Ok);
        const PllRead back = ReadPllRegister(app.protocol, c.reg);
        ASSERT_EQ(back.result, TransactionResult::Ok);
        EXPECT_EQ(back.value, c.value);
        const auto requests = sim.TakeRequests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[0], c.request);
        EXPECT_EQ(requests[1], PllReadCode(c.reg));
    }
    // A value whose control bits name another register is not taken: it reads back unchanged.
    ASSERT_EQ(WritePllRegister(app.protocol, PllRegister::RCounter, EncodeNCounter({2000, false})),
              TransactionResult::Ok);
    EXPECT_EQ(ReadPllRegister(app.protocol, PllRegister::RCounter).value, EncodeRCounter({3, false}));
}

TEST_P(ToolsOverBothLinks, MemoryRangesAreReadAsTheRulesSay) {
    ToolsSim sim(GetParam());
    ASSERT_TRUE(sim.ready());
    AppContext& app = sim.app();
    const MemoryRange one = *ParseMemoryRange("0100", "0000");
    const MemoryReading single = ReadMemoryRange(app.protocol, one);
    ASSERT_EQ(single.result, TransactionResult::Ok);
    EXPECT_EQ(single.words_returned, 1u);
    EXPECT_EQ(sim.TakeRequests(), std::vector<std::string>{"X601000100"});
    EXPECT_EQ(FormatMemoryTable(one.lower, single.data, MemoryFormat::Hexadecimal).substr(0, 9),
              "0x0100\t0x");

    // 1025 words are asked for; a reply holds at most 1024, and the shortfall is named.
    const MemoryRange most = *ParseMemoryRange("0000", "0800");
    EXPECT_EQ(UpperFieldText(most), "400");
    const MemoryReading many = ReadMemoryRange(app.protocol, most);
    ASSERT_EQ(many.result, TransactionResult::Ok);
    EXPECT_EQ(sim.TakeRequests(), std::vector<std::string>{"X600000400"});
    EXPECT_EQ(many.words_returned, 1024u);
    EXPECT_FALSE(MemoryShortfallNote(most.count(), many.words_returned).empty());
    const std::string table = FormatMemoryTable(most.lower, many.data, MemoryFormat::Hexadecimal);
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 64);  // 1024 words, no padded row
}

TEST_P(ToolsOverBothLinks, AnUnchangedReplyAddsNothingToTheStorageFile) {
    ToolsSim sim(GetParam());
    ASSERT_TRUE(sim.ready());
    test::ScratchFolder folder;
    MemoryStore store;
    ASSERT_TRUE(store.Open(folder / "dump", StorageFormat::Generic));
    const MemoryRange range = *ParseMemoryRange("0010", "002F");
    const MemoryReading first = ReadMemoryRange(sim.app().protocol, range);
    const MemoryReading second = ReadMemoryRange(sim.app().protocol, range);
    ASSERT_EQ(second.data, first.data);
    ASSERT_TRUE(store.Store(range, "", first.data));
    const std::string after_first = test::ReadFileText(folder / "dump.dat");
    ASSERT_TRUE(store.Store(range, first.data, second.data));
    EXPECT_EQ(test::ReadFileText(folder / "dump.dat"), after_first);
}

TEST_P(ToolsOverBothLinks, TheEventListRegionChangesAsVehiclesPass) {
    ToolsSim sim(GetParam());
    ASSERT_TRUE(sim.ready());
    const MemoryRange range{sim::kEventListBase, sim::kEventListBase + kEventListSpan, false};
    const MemoryReading before = ReadMemoryRange(sim.app().protocol, range);
    sim.server().sensor(0).AdvanceClock(std::chrono::minutes(1));
    const MemoryReading after = ReadMemoryRange(sim.app().protocol, range);
    ASSERT_EQ(after.words_returned, 50u);
    const std::string lines = EventListStorageText(before.data, after.data);
    EXPECT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), '1');  // lane 1 saw vehicles in that minute
}

INSTANTIATE_TEST_SUITE_P(Links, ToolsOverBothLinks,
                         ::testing::Values(sim::Transport::Pty, sim::Transport::Tcp),
                         [](const auto& info) { return info.param == sim::Transport::Pty ? "Pty" : "Tcp"; });

// The connect sequence has opened the sensor's command firewall by the time a tool runs.
sim::SensorSettings Rs485Sensor(std::uint32_t baud) {
    sim::SensorSettings sensor;
    sensor.firewall = false;
    sensor.port = sim::SensorPort::Rs485;
    sensor.baud = baud;
    return sensor;
}

TEST(RawAcquisitionSim, TwoSecondsAtTheSwitchedRateMatchTheStream) {
    ToolsSim sim(sim::Transport::Pty, Rs485Sensor(9600));
    ASSERT_TRUE(sim.ready());
    AppContext& app = sim.app();
    AcquisitionRateSwitch rates(app);
    ASSERT_EQ(rates.SwitchUp(), AcquisitionRateSwitch::Outcome::Switched)
        << ::testing::PrintToString(sim.server().RequestLog());
    EXPECT_EQ(app.state.current_baud, 921600u);
    EXPECT_EQ(sim.server().sensor(0).LineRate(), 921600u);
    RawRecorder recorder(app);
    const RawRecording recording = recorder.Record(2);
    EXPECT_EQ(recording.received, 2u * 46748u - 116u);
    EXPECT_EQ(recording.trailing, 116u);
    EXPECT_FALSE(recording.stream_ended);
    const std::string stream = sim::RawStreamBytes(sim::SensorSettings{}.seed, 0, recording.received);
    EXPECT_TRUE(std::equal(stream.begin(), stream.end(), recorder.buffer().begin()));

    test::ScratchFolder folder;
    std::string error;
    ASSERT_TRUE(recorder.Save(folder / "raw.dat", error)) << error;
    EXPECT_EQ(test::ReadFileText(folder / "raw.dat"), stream);
    ASSERT_TRUE(rates.Restore());
    EXPECT_EQ(app.state.current_baud, 9600u);
    EXPECT_EQ(sim.server().sensor(0).LineRate(), 9600u);
    const auto requests = sim.TakeRequests();
    const std::vector<std::string> expected = {"S0", "S71217", "S6", "X8000200010000", "S74440", "S6"};
    EXPECT_EQ(requests, expected);
}

TEST(RawAcquisitionSim, ASensorThatCannotFollowIsRestoredAndTheUserAsked) {
    // On RS-232 the switch code moves the sensor to 38400 bps, not 921600: no answer there.
    sim::SensorSettings sensor;
    sensor.baud = 9600;
    sensor.firewall = false;
    ToolsSim sim(sim::Transport::Pty, sensor);
    ASSERT_TRUE(sim.ready());
    sim.prompts().ask_answers = {true, false};
    AcquisitionRateSwitch rates(sim.app());
    EXPECT_EQ(rates.SwitchUp(), AcquisitionRateSwitch::Outcome::Refused);
    ASSERT_EQ(sim.prompts().questions.size(), 2u);
    EXPECT_EQ(sim.prompts().questions[0], std::string(kRawSwitchFailedCaption) + "|" + kRawSwitchFailedText);
    EXPECT_EQ(sim.app().state.current_baud, 9600u);
    EXPECT_EQ(sim.server().sensor(0).LineRate(), 9600u);
    std::string reply;
    EXPECT_EQ(sim.app().protocol.SendSensorCommand({.code = "S6", .payload = "\r"}, reply),
              TransactionResult::Ok);
}

TEST(RawAcquisitionSim, ASensorThatRefusesTheSwitchKeepsItsRateAndSoDoesThePort) {
    sim::SensorSettings sensor = Rs485Sensor(9600);
    sensor.firewall = true;  // "S7" is refused while the firewall is closed
    ToolsSim sim(sim::Transport::Pty, sensor);
    ASSERT_TRUE(sim.ready());
    AcquisitionRateSwitch rates(sim.app());
    EXPECT_EQ(rates.SwitchUp(), AcquisitionRateSwitch::Outcome::Refused);
    EXPECT_EQ(sim.prompts().questions.size(), 1u);
    EXPECT_EQ(sim.app().state.current_baud, 9600u);
    std::string reply;
    EXPECT_EQ(sim.app().protocol.SendSensorCommand({.code = "S6", .payload = "\r"}, reply),
              TransactionResult::Ok);
}

TEST(RawAcquisitionSim, APortAlreadyAt921600SendsNothingBeforeRecording) {
    ToolsSim sim(sim::Transport::Pty, Rs485Sensor(921600));
    ASSERT_TRUE(sim.ready());
    AcquisitionRateSwitch rates(sim.app());
    EXPECT_EQ(rates.SwitchUp(), AcquisitionRateSwitch::Outcome::AlreadyThere);
    EXPECT_TRUE(sim.TakeRequests().empty());
    RawRecorder recorder(sim.app());
    EXPECT_EQ(recorder.Record(1).received, 46632u);
    EXPECT_TRUE(rates.Restore());
    EXPECT_EQ(sim.TakeRequests(), std::vector<std::string>{"X8000100010000"});
}

TEST(RawAcquisitionSim, ASensorThatDiesMidStreamKeepsWhatCameAndAFullDiskIsReported) {
    ToolsSim sim(sim::Transport::Pty, Rs485Sensor(921600));
    ASSERT_TRUE(sim.ready());
    RawRecorder recorder(sim.app());
    recorder.silence_limit_ms = 300;
    std::thread killer([&] {
        WaitFor([&] { return sim.server().raw_bytes_streamed() > 10000; });
        sim.server().Stop();
    });
    const RawRecording recording = recorder.Record(5);
    killer.join();
    EXPECT_TRUE(recording.stream_ended);
    EXPECT_GT(recording.received, 10000u);
    EXPECT_LT(recording.received, recording.expected);
    std::string error;
    EXPECT_FALSE(recorder.Save("/dev/full", error));
    EXPECT_NE(error.find("/dev/full"), std::string::npos);
}

TEST(RawAcquisitionSim, OverTcpTheStreamComesOnlyWhenTheSensorPortRunsAt921600) {
    ToolsSim slow(sim::Transport::Tcp, Rs485Sensor(9600));
    ASSERT_TRUE(slow.ready());
    RawRecorder silent(slow.app());
    silent.silence_limit_ms = 300;
    const RawRecording nothing = silent.Record(1);
    EXPECT_TRUE(nothing.stream_ended);
    EXPECT_EQ(nothing.received, 0u);

    ToolsSim fast(sim::Transport::Tcp, Rs485Sensor(921600));
    ASSERT_TRUE(fast.ready());
    RawRecorder recorder(fast.app());
    EXPECT_EQ(recorder.Record(1).received, 46632u);
}

}  // namespace
}  // namespace qvx
