// The steps after a new connection against the simulated sensor over loopback TCP: the
// configuration minimums (written back only when a field needs raising), the operating and
// configuration modes, and the firmware compatibility outcome.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "../support/reply_wait.h"
#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "app/config_minimums.h"
#include "app/connect_sequence.h"
#include "app/menus.h"
#include "base/progress_reporter.h"
#include "connect/operating_mode.h"
#include "context/app_context.h"
#include "firmware/firmware_bundle.h"
#include "protocol/sensor_operations.h"
#include "sim_server.h"

namespace qvx {
namespace {

class ConnectSequenceTest : public ::testing::Test {
  protected:
    void Start(sim::SensorSettings sensor = {}) {
        server_ =
            std::make_unique<sim::SimServer>(std::vector<sim::SensorSettings>{sensor}, sim::ServerSettings{});
        std::string error;
        ASSERT_TRUE(server_->Start(&error)) << error;
        prompts_.default_communication_answer = TransactionResult::Ignore;
        app_.state.host_address = "127.0.0.1";
        app_.state.tcp_port = server_->tcp_port();
        ASSERT_TRUE(app_.link.tcp().Connect());
        app_.state.link_kind = LinkKind::Internet;
        app_.state.connection_type = LinkKind::Internet;
        test::AllowSlowReplies(app_.state);
        std::string reply;
        // Writes need the firewall down, as after a real connection.
        ASSERT_EQ(
            app_.protocol.SendSensorCommand({.code = cmd::kUnprotect, .payload = "\r", .retries = 1}, reply),
            TransactionResult::Ok);
        RawRequests();
    }

    sim::SimulatedSensor& sensor() { return server_->sensor(0); }

    // The request frames since the last call.
    std::vector<std::string> RawRequests() {
        const auto log = server_->RequestLog();
        std::vector<std::string> fresh(log.begin() + static_cast<long>(seen_), log.end());
        seen_ = log.size();
        return fresh;
    }

    MinimumsResult Enforce() {
        return EnforceMinimums(app_.protocol, operations_, [](int) {});
    }

    test::ScratchFolder dir_;
    ScriptedPrompts prompts_;
    AppContext app_{prompts_, RegistryStore(dir_ / "registry")};
    SensorOperations operations_{app_.protocol, app_.objects.SyncData()};
    SilentProgress progress_;
    std::unique_ptr<sim::SimServer> server_;
    std::size_t seen_ = 0;
};

TEST_F(ConnectSequenceTest, RecordsAtTheirMinimumsAreOnlyRead) {
    Start();
    const MinimumsResult result = Enforce();
    EXPECT_FALSE(result.changed);
    EXPECT_EQ(RawRequests(), (std::vector<std::string>{"S01", "S3", "S3N", "S02"}));
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(ConnectSequenceTest, LowFieldsAreRaisedWrittenAndSaved) {
    Start();
    std::string extended = sensor().Record(sim::RecordKind::Extended);
    extended[66] = '7';
    sensor().SetRecord(sim::RecordKind::Extended, extended);
    std::string noise = sensor().Record(sim::RecordKind::SfNoise);
    noise.replace(0, 4, "0002");
    noise.replace(28, 4, "0000");
    sensor().SetRecord(sim::RecordKind::SfNoise, noise);
    std::string collection = sensor().Record(sim::RecordKind::Collection);
    collection.replace(236, 4, "FFFF");
    sensor().SetRecord(sim::RecordKind::Collection, collection);
    app_.state.synchronize_clock = true;

    const MinimumsResult result = Enforce();
    EXPECT_TRUE(result.changed);
    EXPECT_TRUE(result.saved);
    const auto requests = RawRequests();
    ASSERT_GE(requests.size(), 9u);
    const std::vector<std::string> codes = {"S01", "S11", "S3", "S3N", "S2N", "S02", "S12"};
    for (std::size_t k = 0; k < codes.size(); ++k)
        EXPECT_EQ(requests[k].substr(0, codes[k].size()), codes[k]) << k;
    EXPECT_EQ(requests.back(), "S4" + requests.back().substr(2));  // the clock after the save
    EXPECT_NE(std::find(requests.begin(), requests.end(), "SE"), requests.end());

    EXPECT_EQ(sensor().Record(sim::RecordKind::Extended)[66], '4');
    EXPECT_EQ(sensor().Record(sim::RecordKind::SfNoise).substr(0, 4), "0006");
    EXPECT_EQ(sensor().Record(sim::RecordKind::SfNoise).substr(28, 4), "0006");
    EXPECT_EQ(sensor().Record(sim::RecordKind::Collection).substr(236, 4), "FF0C");
    ASSERT_FALSE(prompts_.messages.empty());
    EXPECT_EQ(prompts_.messages.front().text, "Sensor minimum standards enforced and saved!");
    EXPECT_EQ(prompts_.messages.front().auto_close_ms, 2000);
}

TEST_F(ConnectSequenceTest, RefusedNoiseWriteSkipsTheRestAndTheSave) {
    Start();
    std::string noise = sensor().Record(sim::RecordKind::SfNoise);
    noise.replace(0, 4, "0001");
    sensor().SetRecord(sim::RecordKind::SfNoise, noise);
    sensor().SetFirewall(true);
    std::string reply;
    app_.protocol.SendSensorCommand({.code = cmd::kProtect, .payload = "\r", .retries = 1}, reply);
    RawRequests();

    const MinimumsResult result = Enforce();
    EXPECT_FALSE(result.saved);
    const auto requests = RawRequests();
    EXPECT_EQ(std::find(requests.begin(), requests.end(), "S02"), requests.end());
    EXPECT_EQ(std::find(requests.begin(), requests.end(), "SE"), requests.end());
    EXPECT_EQ(sensor().Record(sim::RecordKind::SfNoise).substr(0, 4), "0001");
}

TEST_F(ConnectSequenceTest, OperatingModeFromVersionAndConfigMode) {
    struct Row {
        bool forward_fire;
        char config_mode;
        int side_fire_mode;
        int mode_result;
    };
    for (const Row& row :
         {Row{false, '0', 1, config_mode::kAutoConfiguring}, Row{true, '1', 0, config_mode::kConfigured},
          Row{false, '2', 1, config_mode::kManual}}) {
        sim::SensorSettings settings;
        settings.forward_fire = row.forward_fire;
        if (row.forward_fire)
            settings.version.amm = "F03";
        settings.config_mode = row.config_mode;
        settings.auto_config_seconds = 3600;
        Start(settings);
        EXPECT_EQ(DetectOperatingMode(app_.protocol, progress_), row.side_fire_mode == 1);
        EXPECT_EQ(app_.state.side_fire_mode, row.side_fire_mode);
        EXPECT_EQ(ReadConfigMode(app_.protocol, progress_), row.mode_result);
        app_.link.tcp().Close();
        server_.reset();
        seen_ = 0;
    }
}

TEST_F(ConnectSequenceTest, SilentSensorLeavesTheModeToTheUser) {
    Start();
    server_->Stop();
    prompts_.ask_answers = {false};  // "Forward"
    EXPECT_FALSE(DetectOperatingMode(app_.protocol, progress_));
    EXPECT_EQ(app_.state.side_fire_mode, 0);
    ASSERT_EQ(prompts_.questions.size(), 1u);
    EXPECT_EQ(
        prompts_.questions[0],
        "Communication error...|Sensor's operating mode not detected!\n What is the operating mode of the "
        "sensor?");
    EXPECT_EQ(ReadConfigMode(app_.protocol, progress_), config_mode::kFailed);
}

struct SequenceRun {
    ConnectNext next;
    int chooser_calls = 0;
    int plan = -1;
    int syncs = 0;
};

class CompatibilityInSequenceTest : public ConnectSequenceTest {
  protected:
    SequenceRun Run(int choice) {
        SequenceRun run;
        ConnectSequenceHooks hooks;
        hooks.choose_compatibility = [&](const CompatibilityState& state) {
            ++run.chooser_calls;
            run.plan = state.plan();
            return choice;
        };
        hooks.sync_clock = [&](bool) { ++run.syncs; };
        hooks.sleep_ms = [](int) {};
        hooks.run_upload = [this](UploadJob& job) {
            job.SetSleep([this](int ms) { sensor().AdvanceClock(std::chrono::milliseconds(ms)); });
            return job.Run();
        };
        const auto& bundle = BuiltInBundle();
        run.next = RunConnectSequence(app_, operations_, progress_,
                                      bundle ? bundle->version : BundleVersion{}, hooks);
        return run;
    }
};

TEST_F(CompatibilityInSequenceTest, MatchingVersionAsksNothingAndSynchronises) {
    Start();
    const SequenceRun run = Run(compatibility_outcome::kExit);
    EXPECT_EQ(run.next, ConnectNext::ShowMenus);
    EXPECT_EQ(run.chooser_calls, 0);
    EXPECT_EQ(run.syncs, 1);
}

TEST_F(CompatibilityInSequenceTest, DifferingVersionShowsTheWindowWithAPlan) {
    sim::SensorSettings settings;
    settings.version.dd = "01";
    settings.version.fpga = "0031";
    Start(settings);
    const SequenceRun continued = Run(compatibility_outcome::kContinue);
    EXPECT_EQ(continued.next, ConnectNext::ShowMenus);
    EXPECT_EQ(continued.chooser_calls, 1);
    EXPECT_EQ(continued.plan, upload_plan::kSideFireDsp + upload_plan::kFpga);

    const SequenceRun exit = Run(compatibility_outcome::kExit);
    EXPECT_EQ(exit.next, ConnectNext::ExitProgram);
    EXPECT_EQ(exit.syncs, 0);
}

TEST_F(CompatibilityInSequenceTest, UploadChoiceLoadsThePlannedImageAndChecksAgain) {
    sim::SensorSettings settings;
    settings.version.dd = "01";
    Start(settings);
    app_.state.synchronize_clock = false;
    const SequenceRun run = Run(compatibility_outcome::kUpload);
    EXPECT_EQ(run.next, ConnectNext::ShowMenus);
    EXPECT_EQ(run.chooser_calls, 1);  // the check after the upload finds the versions equal
    const auto requests = RawRequests();
    // Only the side-fire DSP image was planned; the version is read again after the restart.
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "D6"), 1);
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "F4"), 0);
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back(), "S5");
    EXPECT_EQ(sensor().VersionText(), std::string(kExampleSensorVersion));
}

TEST_F(CompatibilityInSequenceTest, UnreadableVersionDropsTheLink) {
    Start();
    server_->Stop();
    const SequenceRun run = Run(compatibility_outcome::kContinue);
    EXPECT_EQ(run.next, ConnectNext::Disconnected);
    EXPECT_EQ(app_.state.link_kind, LinkKind::None);
    ASSERT_FALSE(prompts_.messages.empty());
    EXPECT_EQ(prompts_.messages.back().text,
              "An error was encountered determining\nversion compatibility ...");
}

}  // namespace
}  // namespace qvx
