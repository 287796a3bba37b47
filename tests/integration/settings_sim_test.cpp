// The settings commands against simulated sensors over a pseudo-terminal and over TCP: copying
// one sensor's settings to another through a .qcf file, the write order, the serial-number guard
// and the Simple Protocol question.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../support/scripted_prompts.h"
#include "config/settings_editor.h"
#include "context/app_context.h"
#include "protocol/sensor_operations.h"
#include "protocol/transaction_result.h"
#include "sim_server.h"
#include "support/scratch_folder.h"

namespace qvx {
namespace {

using sim::RecordKind;

constexpr int kResponseWaitMs = 400;

struct WriteCode {
    const char* code;
    std::size_t record_length;
};

// The request code of a logged frame (without any "Z0" + ID prefix): record writes are told
// apart by their length, other frames carry no payload here.
std::string CodeOf(std::string frame) {
    if (frame.starts_with("Z0") && frame.size() >= 6) {
        frame = frame.substr(6);
    }
    static const WriteCode writes[] = {{"S1", 167},  {"S11", 87},  {"S12", 240}, {"S2", 104}, {"S2N", 64},
                                       {"SF0", 200}, {"SF1", 240}, {"SF2", 240}, {"SF3", 240}};
    for (const WriteCode& write : writes) {
        if (frame.starts_with(write.code) &&
            frame.size() == std::string_view(write.code).size() + write.record_length + 4) {
            return write.code;
        }
    }
    return frame;
}

std::string Describe(const std::vector<MarkedField>& fields) {
    std::string text;
    for (const MarkedField& field : fields) {
        text += field.page + ": " + field.label + ": " + field.reason + "\n";
    }
    return text;
}

class Sensor {
  public:
    Sensor(sim::SensorSettings sensor, sim::Transport transport, sim::FaultSettings faults = {}) {
        sim::ServerSettings settings;
        settings.transport = transport;
        settings.pacing = false;
        settings.faults = faults;
        server_ =
            std::make_unique<sim::SimServer>(std::vector<sim::SensorSettings>{std::move(sensor)}, settings);
        std::string error;
        started_ = server_->Start(&error);
    }
    bool started() const { return started_; }
    sim::SimServer& server() { return *server_; }
    sim::SimulatedSensor& sensor() { return server_->sensor(0); }
    std::vector<std::string> TakeCodes() {
        const auto log = server_->RequestLog();
        std::vector<std::string> codes;
        for (std::size_t k = seen_; k < log.size(); ++k) {
            codes.push_back(CodeOf(log[k]));
        }
        seen_ = log.size();
        return codes;
    }

  private:
    std::unique_ptr<sim::SimServer> server_;
    bool started_ = false;
    std::size_t seen_ = 0;
};

class SettingsSimTest : public ::testing::TestWithParam<sim::Transport> {
  protected:
    static sim::SensorSettings SensorA() {
        sim::SensorSettings a;
        a.seed = 11;
        a.lanes = 4;
        return a;
    }
    static sim::SensorSettings SensorB() {
        sim::SensorSettings b;
        b.seed = 29;
        b.lanes = 6;
        b.units = 'M';
        b.interval_seconds = 60;
        return b;
    }

    // A fresh program context connected to sensor and past the connection's unprotect.
    std::unique_ptr<AppContext> Connect(Sensor& sensor) {
        auto app = std::make_unique<AppContext>(prompts_);
        app->protocol.sleep_ms = [](int) {};
        app->state.base_response_wait_ms = kResponseWaitMs;
        app->state.synchronize_clock = false;
        if (GetParam() == sim::Transport::Tcp) {
            app->state.host_address = "127.0.0.1";
            app->state.tcp_port = sensor.server().tcp_port();
            EXPECT_TRUE(app->link.tcp().Connect());
            app->state.link_kind = app->state.connection_type = LinkKind::Internet;
        } else {
            app->state.port_name = sensor.server().pty_path();
            EXPECT_TRUE(app->link.serial().Open(9600, {kReadIntervalNoWait, 0, 0}));
            app->state.link_kind = app->state.connection_type = LinkKind::Serial;
            app->state.current_baud = app->state.pending_baud = 9600;
        }
        std::string reply;
        EXPECT_EQ(
            app->protocol.SendSensorCommand({.code = cmd::kUnprotect, .payload = "\r", .retries = 1}, reply),
            TransactionResult::Ok);
        sensor.TakeCodes();
        return app;
    }

    static void Disconnect(AppContext& app) {
        if (app.state.link_kind == LinkKind::Internet) {
            app.link.tcp().Close();
        } else {
            app.link.serial().Close();
        }
        app.state.link_kind = LinkKind::None;
    }

    // Reads sensor A through the settings editor and saves it to a file, as Save to File does.
    std::string SaveSensorA(Sensor& a) {
        auto app = Connect(a);
        SettingsEditor editor(*app, true);
        EXPECT_TRUE(editor.ReadFromSensor(true));
        EXPECT_EQ(editor.ValidateForFile(), 0) << Describe(editor.MarkedFields());
        const std::string path = folder_ / "a.qcf";
        EXPECT_TRUE(editor.WriteFile(path).ok());
        Disconnect(*app);
        return path;
    }

    ScriptedPrompts prompts_;
    test::ScratchFolder folder_;
};

TEST_P(SettingsSimTest, CopyingASensorGivesTheSecondTheFirstsRecordsButItsOwnSerialNumber) {
    Sensor a(SensorA(), GetParam());
    Sensor b(SensorB(), GetParam());
    ASSERT_TRUE(a.started() && b.started());
    const std::string path = SaveSensorA(a);
    const std::string serial_b = b.sensor().Record(RecordKind::Config).substr(0, 16);
    ASSERT_NE(serial_b, a.sensor().Record(RecordKind::Config).substr(0, 16));

    auto app = Connect(b);
    SettingsEditor editor(*app, true);
    ASSERT_TRUE(editor.OpenFile(path).ok());
    SensorOperations operations(app->protocol, app->objects.SyncData());
    EXPECT_EQ(editor.SaveToSensor(operations), SaveToSensorResult::Saved);

    // Inside the sensor operation (the clock read before, set after): the algorithm records
    // first, then "S11", "S12", and "S1" behind the serial-number read, with the flash save last.
    std::vector<std::string> codes = b.TakeCodes();
    ASSERT_FALSE(codes.empty());
    EXPECT_TRUE(codes.back().starts_with("S4")) << codes.back();
    codes.back() = "S4";
    const std::vector<std::string> expected = {"SB", "SH", "S2", "S2N", "S11", "S12", "S0", "S1", "SE", "S4"};
    EXPECT_EQ(codes, expected);

    std::string expected_config = a.sensor().Record(RecordKind::Config);
    expected_config.replace(0, 16, serial_b);
    EXPECT_EQ(b.sensor().Record(RecordKind::Config), expected_config);
    for (RecordKind kind :
         {RecordKind::Extended, RecordKind::Collection, RecordKind::SfAlgorithm, RecordKind::SfNoise}) {
        EXPECT_EQ(b.sensor().Record(kind), a.sensor().Record(kind)) << static_cast<int>(kind);
    }
    EXPECT_EQ(b.sensor().lanes(), 4);
    ASSERT_GE(prompts_.messages.size(), 2u);
    EXPECT_EQ(prompts_.messages[0].text,
              "The sensor's original serial number\n" + serial_b + "\nwill be preserved.");
    EXPECT_EQ(prompts_.messages.back().text, "Sensor configuration settings saved!");
    EXPECT_TRUE(prompts_.communication_errors.empty());

    // With the engineering menus unlocked the serial number goes across too.
    app->set_engineering_unlocked(true);
    EXPECT_EQ(editor.SaveToSensor(operations), SaveToSensorResult::Saved);
    EXPECT_EQ(b.sensor().Record(RecordKind::Config), a.sensor().Record(RecordKind::Config));
    Disconnect(*app);
}

TEST_P(SettingsSimTest, DecliningTheSimpleProtocolQuestionWritesNothingAtAll) {
    Sensor a(SensorA(), GetParam());
    ASSERT_TRUE(a.started());
    auto app = Connect(a);
    SettingsEditor editor(*app, true);
    ASSERT_TRUE(editor.ReadFromSensor(true));
    a.TakeCodes();
    editor.general().description = "changed";
    editor.communication().simple_protocol = false;
    SensorOperations operations(app->protocol, app->objects.SyncData());
    prompts_.ask_answers = {false, true};
    EXPECT_EQ(editor.SaveToSensor(operations), SaveToSensorResult::Cancelled);
    EXPECT_TRUE(a.TakeCodes().empty());
    ASSERT_EQ(prompts_.questions.size(), 1u);
    EXPECT_NE(prompts_.questions[0].find("You are about to disable Simple Protocol."), std::string::npos);

    // Continue: the collection record switches the sensor to multi-drop, and the main record
    // already goes out addressed to the sensor's ID.
    EXPECT_EQ(editor.SaveToSensor(operations), SaveToSensorResult::Saved);
    const std::vector<std::string> log = a.server().RequestLog();
    const std::string id = a.sensor().Record(RecordKind::Config).substr(66, 4);
    EXPECT_EQ(a.sensor().Record(RecordKind::Collection)[211], '3');
    EXPECT_TRUE(app->state.multidrop_enabled);
    EXPECT_EQ(log[log.size() - 2], "Z0" + id + "SE");
    EXPECT_TRUE(log.back().starts_with("Z0" + id + "S4"));
    EXPECT_EQ(a.sensor().Record(RecordKind::Config).substr(110, 7), "changed");
    Disconnect(*app);
}

TEST_P(SettingsSimTest, InputErrorsAndAFailedWriteAreReportedAndNothingPretendsToBeSaved) {
    Sensor a(SensorA(), GetParam());
    ASSERT_TRUE(a.started());
    auto app = Connect(a);
    SettingsEditor editor(*app, true);
    ASSERT_TRUE(editor.ReadFromSensor(true));
    a.TakeCodes();
    SensorOperations operations(app->protocol, app->objects.SyncData());

    editor.data_collection().model().interval = "4";
    EXPECT_EQ(editor.SaveToSensor(operations), SaveToSensorResult::InputErrors);
    EXPECT_TRUE(a.TakeCodes().empty());
    EXPECT_EQ(prompts_.messages.back().caption, "Input errors found...");
    ASSERT_FALSE(editor.MarkedFields().empty());
    EXPECT_EQ(editor.MarkedFields()[0].label, "Interval (Bin) Size");

    // The firewall is up again: the first write is refused and nothing after it is sent.
    editor.data_collection().model().interval = "20";
    std::string reply;
    ASSERT_EQ(app->protocol.SendSensorCommand({.code = cmd::kProtect, .payload = "\r", .retries = 1}, reply),
              TransactionResult::Ok);
    a.TakeCodes();
    prompts_.default_communication_answer = TransactionResult::Ignore;
    EXPECT_EQ(editor.SaveToSensor(operations), SaveToSensorResult::NotSaved);
    const std::vector<std::string> codes = a.TakeCodes();
    ASSERT_EQ(codes.size(), 3u);
    EXPECT_EQ(codes[0], "SB");  // the sensor operation starts and ends around the one write
    EXPECT_EQ(codes[1], "S2");
    // The clock restore ("S4") is refused as well with the firewall up, and that is said too.
    ASSERT_GE(prompts_.messages.size(), 2u);
    EXPECT_EQ(prompts_.messages[prompts_.messages.size() - 2].text,
              "\r\nSensor configuration settings NOT saved!");
    EXPECT_EQ(prompts_.messages.back().text, "Sensor's time may have drifted");
    Disconnect(*app);
}

TEST_P(SettingsSimTest, ForwardFireSettingsAreWrittenPartByPartAndReadBack) {
    sim::SensorSettings settings = SensorA();
    settings.forward_fire = true;
    Sensor a(settings, GetParam());
    ASSERT_TRUE(a.started());
    auto app = Connect(a);
    SettingsEditor editor(*app, false);
    ASSERT_TRUE(editor.ReadFromSensor(true));
    EXPECT_TRUE(editor.working_copy().side_fire().empty());
    editor.forward_fire_calibration().start_bins[0] = "0ABC";
    editor.forward_fire_calibration().peak_noise[79] = "1234";
    a.TakeCodes();
    SensorOperations operations(app->protocol, app->objects.SyncData());
    ASSERT_EQ(editor.SaveToSensor(operations), SaveToSensorResult::Saved);
    std::vector<std::string> codes = a.TakeCodes();
    ASSERT_FALSE(codes.empty());
    codes.pop_back();  // the clock set that ends the sensor operation
    const std::vector<std::string> expected = {"SB",  "SF0", "SF1", "SF2", "SF3", "SF2",
                                               "S11", "S12", "S0",  "S1",  "SE"};
    EXPECT_EQ(codes, expected);
    EXPECT_EQ(a.sensor().Record(RecordKind::Ff0).substr(4, 4), "0ABC");
    EXPECT_EQ(a.sensor().Record(RecordKind::Ff2).substr(516 - 440, 4), "1234");

    SettingsEditor reread(*app, false);
    ASSERT_TRUE(reread.ReadFromSensor(false));
    EXPECT_EQ(reread.working_copy().forward_fire(), editor.working_copy().forward_fire());
    EXPECT_EQ(reread.working_copy().collection(), editor.working_copy().collection());
    Disconnect(*app);
}

// The port rate belongs to a serial line; a TCP link has no rate to lose.
class SettingsSerialSimTest : public SettingsSimTest {};

TEST_P(SettingsSerialSimTest, ANewPortRateThatCannotBeConfirmedEndsInTheProgramsExit) {
    // The sensor goes silent from the main record on: unprotect, six reads, then the clock read,
    // four writes and the serial-number read are answered.
    sim::FaultSettings faults;
    faults.mute_after = 13;
    Sensor a(SensorA(), GetParam(), faults);
    ASSERT_TRUE(a.started());
    auto app = Connect(a);
    SettingsEditor editor(*app, true);
    ASSERT_TRUE(editor.ReadFromSensor(true));
    editor.communication().baud[comm_port::kRs232] = 4;  // 115200 bps on the port in use
    SensorOperations operations(app->protocol, app->objects.SyncData());
    EXPECT_EQ(editor.SaveToSensor(operations), SaveToSensorResult::BaudRateUnknown);
    bool exit_announced = false;
    for (const MessageRequest& message : prompts_.messages) {
        exit_announced = exit_announced || message.caption == "Baud rate unknown...";
    }
    EXPECT_TRUE(exit_announced);
    bool not_saved = false;
    for (const MessageRequest& message : prompts_.messages) {
        not_saved = not_saved || message.text == "\r\nSensor configuration settings NOT saved!";
    }
    EXPECT_TRUE(not_saved);
    Disconnect(*app);
}

INSTANTIATE_TEST_SUITE_P(Links, SettingsSimTest, ::testing::Values(sim::Transport::Pty, sim::Transport::Tcp),
                         [](const auto& info) { return info.param == sim::Transport::Pty ? "Pty" : "Tcp"; });

INSTANTIATE_TEST_SUITE_P(Serial, SettingsSerialSimTest, ::testing::Values(sim::Transport::Pty),
                         [](const auto&) { return std::string("Pty"); });

}  // namespace
}  // namespace qvx
