// Firmware uploads against the simulated sensor, over a pseudo-terminal and over loopback TCP: the
// file upload of one DSP or FPGA image, the compatibility upload of the bundle after a connection,
// the questions they ask, a refused packet, a wrong echo and a cancel half-way.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "app/connect_sequence.h"
#include "base/progress_reporter.h"
#include "context/app_context.h"
#include "firmware/firmware_bundle.h"
#include "firmware/upload_job.h"
#include "protocol/sensor_operations.h"
#include "sim_server.h"

namespace qvx {
namespace {

constexpr const char* kNewDspVersion = "QVX_v2.31.11.S04.R06";
constexpr const char* kOldSensorVersion = "DSP: QVX_v2.30.09.S02.R01 FPGA: 0029";

std::string VersionMarkDigits(const std::string& version) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string digits;
    for (unsigned char c : "$VER:" + version + "$") {
        digits += kHex[c >> 4];
        digits += kHex[c & 0xF];
    }
    return digits;
}

// Image digits: the signature, the version mark, then filler, count digits in all.
std::string ImageDigits(const std::string& signature, const std::string& version, std::size_t count) {
    std::string digits = signature + VersionMarkDigits(version);
    for (std::size_t i = 0; digits.size() < count; ++i) {
        digits += "0123456789ABCDEF"[(i * 7 + 3) % 16];
    }
    digits.resize(count);
    return digits;
}

// A file as the maker ships it: lines of 64 digits with CR LF.
std::string HexFileText(const std::string& header, const std::string& digits) {
    std::string text = header;
    for (std::size_t i = 0; i < digits.size(); i += 64) {
        text += digits.substr(i, 64) + "\r\n";
    }
    return text;
}

// Records the status of the job at the moment a message is shown.
class RecordingPrompts : public ScriptedPrompts {
  public:
    bool Message(const MessageRequest& request) override {
        if (job.load() != nullptr) {
            steps_at_message.push_back(job.load()->Snapshot().step);
        }
        return ScriptedPrompts::Message(request);
    }
    std::atomic<UploadJob*> job{nullptr};
    std::vector<UploadStep> steps_at_message;
};

class FirmwareUploadTest : public ::testing::TestWithParam<sim::Transport> {
  protected:
    void Start(sim::SensorSettings sensor = {}, sim::FaultSettings faults = {}) {
        app_.link.tcp().Close();  // a loop's earlier round
        app_.link.serial().Close();
        sim::ServerSettings settings;
        settings.transport = GetParam();
        settings.pacing = false;
        settings.faults = faults;
        server_ = std::make_unique<sim::SimServer>(std::vector<sim::SensorSettings>{sensor}, settings);
        std::string error;
        ASSERT_TRUE(server_->Start(&error)) << error;
        app_.protocol.sleep_ms = [](int) {};
        app_.state.base_response_wait_ms = 300;
        if (GetParam() == sim::Transport::Pty) {
            app_.state.port_name = server_->pty_path();
            ASSERT_TRUE(app_.link.serial().Open(9600, {kReadIntervalNoWait, 0, 0}));
            app_.state.link_kind = LinkKind::Serial;
            app_.state.current_baud = app_.state.pending_baud = 9600;
        } else {
            app_.state.host_address = "127.0.0.1";
            app_.state.tcp_port = server_->tcp_port();
            ASSERT_TRUE(app_.link.tcp().Connect());
            app_.state.link_kind = LinkKind::Internet;
            app_.state.connection_type = LinkKind::Internet;
        }
        prompts_.default_communication_answer = TransactionResult::Ignore;
        std::string reply;
        ASSERT_EQ(
            app_.protocol.SendSensorCommand({.code = cmd::kUnprotect, .payload = "\r", .retries = 1}, reply),
            TransactionResult::Ok);
        seen_ = server_->RequestLog().size();
    }

    sim::SimulatedSensor& sensor() { return server_->sensor(0); }

    // Pauses of the job pass at once; the simulated sensor's timers move on by as much.
    void UseFakeClock(UploadJob& job) {
        job.SetSleep([this](int ms) {
            slept_.push_back(ms);
            sensor().AdvanceClock(std::chrono::milliseconds(ms));
        });
    }

    UploadImage FileImage(ImageKind kind, const std::string& file_text) {
        const auto path = dir_ / (kind == ImageKind::Dsp ? "dsp.hex" : "fpga.hex");
        std::ofstream(path, std::ios::binary) << file_text;
        const auto image = HexImage::Load(kind, path);
        EXPECT_TRUE(image && image->Recognize().ok);
        return UploadImage::FromFile(*image, path);
    }

    UploadImage DspFile(std::size_t digits = 1000) {
        dsp_digits_ = ImageDigits("10AA", kNewDspVersion, digits);
        return FileImage(ImageKind::Dsp, HexFileText("0000ABCD\r\n", dsp_digits_));
    }
    UploadImage FpgaFile(std::size_t digits = 700) {
        fpga_digits_ = ImageDigits("FFFFFFFFAA99", "0031", digits);
        return FileImage(ImageKind::Fpga, HexFileText("", fpga_digits_));
    }

    // The request codes since the last call, packets and firewall commands shortened.
    std::vector<std::string> Requests() {
        const auto log = server_->RequestLog();
        std::vector<std::string> codes;
        for (std::size_t i = seen_; i < log.size(); ++i) {
            const std::string& frame = log[i];
            codes.push_back(
                frame.starts_with("S8") ? "S8" : frame.substr(0, std::min<std::size_t>(2, frame.size())));
        }
        seen_ = log.size();
        return codes;
    }

    static long Count(const std::vector<std::string>& codes, const std::string& code) {
        return std::count(codes.begin(), codes.end(), code);
    }

    test::ScratchFolder dir_;
    RecordingPrompts prompts_;
    AppContext app_{prompts_, RegistryStore(dir_ / "registry")};
    std::unique_ptr<sim::SimServer> server_;
    std::size_t seen_ = 0;
    std::vector<int> slept_;
    std::string dsp_digits_;
    std::string fpga_digits_;
};

TEST_P(FirmwareUploadTest, DspFileUploadLoadsTheImageRestartsAndNeverAsksAboutRebooting) {
    Start();
    UploadJob job(app_.protocol, DspFile(1000));
    UseFakeClock(job);
    EXPECT_EQ(job.Run(), UploadOutcome::Succeeded);

    const sim::FirmwareLoader firmware = sensor().Firmware();
    EXPECT_EQ(firmware.Received(sim::FirmwarePart::Dsp).digits, dsp_digits_);
    EXPECT_TRUE(firmware.Received(sim::FirmwarePart::Dsp).complete);
    EXPECT_EQ(firmware.images_loaded(), 1);
    EXPECT_EQ(sensor().VersionText().substr(5, 20), kNewDspVersion);
    EXPECT_TRUE(prompts_.questions.empty());
    EXPECT_TRUE(prompts_.messages.empty());

    const auto codes = Requests();
    EXPECT_EQ(codes.front(), "D5");
    EXPECT_EQ(Count(codes, "D1"), 5);  // 4 x 240 + 40 digits
    const auto result = std::find(codes.begin(), codes.end(), "D6");
    ASSERT_NE(result, codes.end());
    EXPECT_EQ(std::vector<std::string>(result, codes.end()),
              (std::vector<std::string>{"D6", "D0", "X5", "S8"}));
}

TEST_P(FirmwareUploadTest, RestartCountdownStepsFifteenToOneOncePerSecond) {
    Start();
    UploadJob job(app_.protocol, DspFile(300));
    UseFakeClock(job);
    ASSERT_EQ(job.Run(), UploadOutcome::Succeeded);
    std::vector<std::string> countdown;
    for (const std::string& text : job.history()) {
        if (text.find("Restarting sensor") != std::string::npos) {
            countdown.push_back(text);
        }
    }
    ASSERT_EQ(countdown.size(), 16u);  // the text before "D0", then one per second
    for (int n = 15; n >= 1; --n) {
        EXPECT_EQ(
            countdown[static_cast<std::size_t>(16 - n)],
            "Upload successful!\r\nRestarting sensor...please wait...(" + std::to_string(n) + " seconds)");
    }
    const long seconds = std::count(slept_.begin(), slept_.end(), 1000);
    EXPECT_EQ(seconds, 15);
}

TEST_P(FirmwareUploadTest, FpgaFileUploadAsksAboutRebooting) {
    for (const bool reboot : {true, false}) {
        Start();
        prompts_.questions.clear();
        prompts_.ask_answers = {reboot};
        UploadJob job(app_.protocol, FpgaFile());
        UseFakeClock(job);
        EXPECT_EQ(job.Run(), UploadOutcome::Succeeded);
        ASSERT_EQ(prompts_.questions.size(), 1u);
        EXPECT_EQ(prompts_.questions[0], std::string("Reboot...?|") + upload_text::kRebootQuestion);
        EXPECT_EQ(sensor().Firmware().Received(sim::FirmwarePart::Fpga).digits, fpga_digits_);
        const auto codes = Requests();
        EXPECT_EQ(Count(codes, "D0"), reboot ? 1 : 0) << reboot;
        EXPECT_EQ(sensor().VersionText().substr(32, 4), reboot ? "0031" : "0030") << reboot;
        if (!reboot) {
            EXPECT_EQ(job.Snapshot().text, upload_text::kSuccessful);
        }
        server_.reset();
    }
}

TEST_P(FirmwareUploadTest, AReplyThatDoesNotEchoTheCheckValueLeadsToTheRetryQuestion) {
    sim::SensorSettings settings;
    settings.firmware_faults.wrong_echo = 1;
    for (const bool retry : {true, false}) {
        Start(settings);
        prompts_.questions.clear();
        prompts_.ask_answers = {retry};
        UploadJob job(app_.protocol, DspFile(300));
        UseFakeClock(job);
        EXPECT_EQ(job.Run(), retry ? UploadOutcome::Succeeded : UploadOutcome::Failed);
        ASSERT_GE(prompts_.questions.size(), 1u);
        EXPECT_EQ(prompts_.questions[0], std::string("Error|") + upload_text::kChecksumFailed);
        const auto codes = Requests();
        if (retry) {
            // Unprotected before the second announce, then on to the ready step.
            EXPECT_EQ(std::vector<std::string>(codes.begin(), codes.begin() + 4),
                      (std::vector<std::string>{"D5", "S8", "D5", "D3"}));
        } else {
            EXPECT_EQ(codes, std::vector<std::string>{"D5"});
        }
        server_.reset();
    }
}

TEST_P(FirmwareUploadTest, ARefusedPacketIsResentInAFileUpload) {
    sim::SensorSettings settings;
    settings.firmware_faults.refuse_packet = 3;
    settings.firmware_faults.refuse_times = 15;  // more than one transaction's attempts
    Start(settings);
    UploadJob job(app_.protocol, DspFile(1000));
    UseFakeClock(job);
    EXPECT_EQ(job.Run(), UploadOutcome::Succeeded);
    EXPECT_EQ(sensor().Firmware().packets_refused(), 15);
    EXPECT_EQ(sensor().Firmware().Received(sim::FirmwarePart::Dsp).digits, dsp_digits_);
    EXPECT_FALSE(prompts_.communication_errors.empty());
    EXPECT_EQ(prompts_.communication_errors[0].error_text, "Upload Packet Failure");
}

TEST_P(FirmwareUploadTest, APacketTheSensorNeverTakesEndsTheFileUploadInTime) {
    sim::SensorSettings settings;
    settings.firmware_faults.refuse_packet = 2;
    settings.firmware_faults.refuse_times = 100000;
    Start(settings);
    UploadJob job(app_.protocol, DspFile(1000));
    UseFakeClock(job);
    EXPECT_EQ(job.Run(), UploadOutcome::Failed);
    EXPECT_EQ(job.Snapshot().text, upload_text::kFailed);
    EXPECT_EQ(prompts_.communication_errors.size(), 20u);  // every send was reported, then it ends
    EXPECT_EQ(Count(Requests(), "D6"), 0);
}

TEST_P(FirmwareUploadTest, AFailedResultEndsWithUploadFailed) {
    sim::SensorSettings settings;
    settings.firmware_faults.fail_result = true;
    Start(settings);
    UploadJob job(app_.protocol, DspFile(300));
    UseFakeClock(job);
    EXPECT_EQ(job.Run(), UploadOutcome::Failed);
    EXPECT_EQ(job.Snapshot().text, upload_text::kFailed);
    EXPECT_EQ(Count(Requests(), "D0"), 0);
    EXPECT_EQ(sensor().Firmware().images_loaded(), 0);
}

TEST_P(FirmwareUploadTest, CancelHalfWayStopsTheWorkerAndRestoresTheDspState) {
    for (const ImageKind kind : {ImageKind::Fpga, ImageKind::Dsp}) {
        sim::FaultSettings slow;
        slow.slow_ms = 5;
        Start({}, slow);
        prompts_.messages.clear();
        prompts_.steps_at_message.clear();
        UploadJob job(app_.protocol, kind == ImageKind::Dsp ? DspFile(24000) : FpgaFile(24000));
        UseFakeClock(job);
        prompts_.job = &job;
        UploadOutcome outcome = UploadOutcome::Succeeded;
        std::thread runner([&] { outcome = job.Run(); });
        while (job.Snapshot().digits_sent < 2400 && !job.Snapshot().finished) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        CancelUploadJob(job, prompts_);
        runner.join();
        prompts_.job = nullptr;

        EXPECT_EQ(outcome, UploadOutcome::Cancelled);
        const auto codes = Requests();
        ASSERT_FALSE(codes.empty());
        EXPECT_EQ(codes.back(), "D6");  // nothing after it: the worker had stopped
        EXPECT_LT(job.Snapshot().digits_sent, 24000u);
        const auto history = job.history();
        const auto stopping = std::find(history.begin(), history.end(), upload_text::kCancelStopping);
        ASSERT_NE(stopping, history.end());
        EXPECT_NE(std::find(stopping, history.end(), upload_text::kCancelRestoring), history.end());
        if (kind == ImageKind::Fpga) {
            ASSERT_EQ(prompts_.messages.size(), 1u);
            EXPECT_EQ(prompts_.messages[0].text, upload_text::kFpgaCancelWarning);
            EXPECT_EQ(prompts_.steps_at_message[0], UploadStep::Packets);  // warned while still sending
        } else {
            EXPECT_TRUE(prompts_.messages.empty());
        }
        EXPECT_EQ(sensor().Firmware().images_loaded(), 0);
        server_.reset();
    }
}

// ---- the compatibility upload ----

class CompatibilityUploadTest : public FirmwareUploadTest {
  protected:
    ConnectNext Connect() {
        ConnectSequenceHooks hooks;
        hooks.choose_compatibility = [this](const CompatibilityState& state) {
            plans_.push_back(state.plan());
            return compatibility_outcome::kUpload;
        };
        hooks.sync_clock = [this](bool) { ++clock_syncs_; };
        hooks.sleep_ms = [](int) {};
        hooks.run_upload = [this](UploadJob& job) {
            UseFakeClock(job);
            const UploadOutcome outcome = job.Run();
            texts_ = job.history();
            return outcome;
        };
        const auto& bundle = BuiltInBundle();
        return RunConnectSequence(app_, operations_, progress_, bundle->version, hooks);
    }

    sim::SensorSettings OldSensor() {
        sim::SensorSettings settings;
        settings.version_text = kOldSensorVersion;
        return settings;
    }

    SensorOperations operations_{app_.protocol, app_.objects.SyncData()};
    SilentProgress progress_;
    std::vector<int> plans_;
    int clock_syncs_ = 0;
    std::vector<std::string> texts_;
};

TEST_P(CompatibilityUploadTest, OldFirmwareIsBroughtUpToDateAndTheSequenceGoesOn) {
    Start(OldSensor());
    app_.state.synchronize_clock = true;
    EXPECT_EQ(Connect(), ConnectNext::ShowMenus);
    EXPECT_EQ(plans_, std::vector<int>{4});  // asked once: afterwards the versions match
    EXPECT_EQ(sensor().VersionText(), std::string(kExampleSensorVersion));
    EXPECT_EQ(clock_syncs_, 1);

    const auto codes = Requests();
    const auto first = [&](const char* code) {
        return std::find(codes.begin(), codes.end(), code) - codes.begin();
    };
    EXPECT_LT(first("F4"), first("D5"));  // the FPGA image first, then the DSP image
    EXPECT_EQ(Count(codes, "D0"), 1);     // one restart for both
    EXPECT_NE(std::find(texts_.begin(), texts_.end(), upload_text::kSuccessful), texts_.end());
    EXPECT_EQ(sensor().Firmware().images_loaded(), 2);
}

TEST_P(CompatibilityUploadTest, ARefusedPacketEndsTheUploadAndTheLineIsReset) {
    sim::SensorSettings settings = OldSensor();
    settings.firmware_faults.refuse_packet = 3;
    settings.firmware_faults.refuse_times = 15;
    Start(settings);
    EXPECT_EQ(Connect(), ConnectNext::Reconnect);
    EXPECT_NE(std::find(texts_.begin(), texts_.end(), upload_text::kFailed), texts_.end());
    for (int waited = 0; server_->RequestLog().back() != "QZ" && waited < 2000; waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(server_->RequestLog().back(), "QZ");
    const auto codes = Requests();
    EXPECT_EQ(Count(codes, "F4"), 0);  // ended at the refused packet
    EXPECT_EQ(sensor().Firmware().images_loaded(), 0);
    EXPECT_EQ(sensor().VersionText(), kOldSensorVersion);
}

TEST_P(CompatibilityUploadTest, AFailedResultIsReported) {
    sim::SensorSettings settings = OldSensor();
    settings.firmware_faults.fail_result = true;
    Start(settings);
    EXPECT_EQ(Connect(), ConnectNext::Reconnect);
    EXPECT_NE(std::find(texts_.begin(), texts_.end(), upload_text::kFailed), texts_.end());
    EXPECT_EQ(sensor().Firmware().images_loaded(), 0);
}

TEST_P(CompatibilityUploadTest, ACheckValueNeverEchoedEndsAfterFiveAnnounces) {
    sim::SensorSettings settings = OldSensor();
    settings.firmware_faults.wrong_echo = 1000;
    Start(settings);
    EXPECT_EQ(Connect(), ConnectNext::Reconnect);
    const auto codes = Requests();
    EXPECT_EQ(Count(codes, "F3"), kCompatAnnounceLimit);
    EXPECT_EQ(Count(codes, "F1"), 0);
    EXPECT_NE(std::find(texts_.begin(), texts_.end(), upload_text::kFailed), texts_.end());
}

INSTANTIATE_TEST_SUITE_P(Transports, FirmwareUploadTest,
                         ::testing::Values(sim::Transport::Pty, sim::Transport::Tcp),
                         [](const auto& info) { return info.param == sim::Transport::Pty ? "Pty" : "Tcp"; });
INSTANTIATE_TEST_SUITE_P(Transports, CompatibilityUploadTest,
                         ::testing::Values(sim::Transport::Pty, sim::Transport::Tcp),
                         [](const auto& info) { return info.param == sim::Transport::Pty ? "Pty" : "Tcp"; });

}  // namespace
}  // namespace qvx
