// qvx firmware check | upload | update: the compatibility check against the built-in bundle, the
// file upload of one image and the compatibility upload, with a progress bar on a terminal.

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>

#include "app/compatibility_upload.h"
#include "cli_commands.h"
#include "cli_output.h"
#include "cli_prompts.h"
#include "context/app_context.h"
#include "firmware/compatibility.h"
#include "firmware/upload_job.h"
#include "protocol/sensor_operations.h"

namespace qvx::cli {

namespace {

constexpr int kBarRefreshMs = 200;
constexpr int kBarWidth = 30;

// The upload's reboot question is answered by the options; everything else by the CLI's prompts.
class UploadAnswers : public UserPrompts {
  public:
    UploadAnswers(UserPrompts& base, const CliOptions& options, std::ostream& err)
        : base_(base), options_(options), err_(err) {}
    TransactionResult CommunicationError(const CommunicationErrorReport& report) override {
        return base_.CommunicationError(report);
    }
    bool Message(const MessageRequest& request) override { return base_.Message(request); }
    bool Ask(const std::string& caption, const std::string& text, const std::string& yes_label,
             const std::string& no_label) override {
        if (caption != upload_text::kRebootCaption) {
            return base_.Ask(caption, text, yes_label, no_label);
        }
        const bool reboot = !options_.no_reboot;
        err_ << "qvx: " << OneLine(text) << " -> " << (reboot ? yes_label : no_label) << "\n";
        return reboot;
    }

  private:
    UserPrompts& base_;
    const CliOptions& options_;
    std::ostream& err_;
};

std::string ProgressBar(const UploadSnapshot& snapshot) {
    const UploadFigures figures = FiguresOf(snapshot);
    const int filled = figures.percent * kBarWidth / 100;
    char line[160];
    std::snprintf(line, sizeof line, "\r[%s%s] %3d%%  %7.0f bytes/s  ", std::string(filled, '#').c_str(),
                  std::string(kBarWidth - filled, '-').c_str(), figures.percent, figures.bytes_per_second);
    std::string text = line;
    if (figures.seconds_left) {
        text += std::to_string(*figures.seconds_left / 60) + ":" +
                (*figures.seconds_left % 60 < 10 ? "0" : "") + std::to_string(*figures.seconds_left % 60) +
                " left";
    }
    return text;
}

// Runs the job on a worker thread: every status line goes to stderr, a progress bar is drawn
// there on a terminal while packets go out, and Ctrl+C / SIGTERM cancel the transfer.
UploadOutcome RunWithProgress(UploadJob& job, UserPrompts& prompts, CommandStreams io) {
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    std::mutex lines;
    bool bar_drawn = false;
    std::string last_line;
    job.SetStatusListener([&](const std::string& text) {
        std::lock_guard lock(lines);
        if (text == last_line) {
            return;
        }
        last_line = text;
        if (bar_drawn) {
            io.err << "\n";
            bar_drawn = false;
        }
        io.err << OneLine(text) << "\n";
        io.err.flush();
    });
    std::atomic<bool> done{false};
    UploadOutcome outcome = UploadOutcome::Failed;
    std::thread worker([&] {
        outcome = job.Run();
        done = true;
    });
    bool cancelled = false;
    while (!done.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kBarRefreshMs));
        if (io.stop.load() && !cancelled) {
            cancelled = true;
            CancelUploadJob(job, prompts);
        }
        const UploadSnapshot snapshot = job.Snapshot();
        if (terminal && snapshot.step == UploadStep::Packets && !snapshot.cancel_requested) {
            std::lock_guard lock(lines);
            io.err << ProgressBar(snapshot);
            io.err.flush();
            bar_drawn = true;
        }
    }
    worker.join();
    if (bar_drawn) {
        io.err << "\n";
    }
    return outcome;
}

int ExitCodeOf(UploadOutcome outcome) {
    switch (outcome) {
        case UploadOutcome::Succeeded:
            return kExitSuccess;
        case UploadOutcome::Cancelled:
            return kExitOther;
        case UploadOutcome::Failed:
        default:
            return kExitSensorFailed;
    }
}

// ---- the check's table ----

struct ImageLine {
    std::string image;
    std::string sensor;
    std::string bundle;
    std::string plan;  // "current", "upload" or "incompatible"
};

std::string DspVersionText(const FirmwareVersion& v) {
    if (v.primary.empty() && v.yy.empty() && v.amm.empty() && v.dd.empty()) {
        return "-";
    }
    return v.primary + "." + v.yy + "." + v.amm + "." + v.dd;
}

std::vector<ImageLine> ImageLines(const CompatibilityState& state) {
    const FirmwareVersion& sensor = state.sensor.version;
    const FirmwareVersion bundle = state.bundle.ForKind(state.sensor.kind);
    const bool incompatible = state.decision.incompatible_primary;
    auto plan_word = [&](bool planned) {
        return incompatible ? "incompatible" : planned ? "upload" : "current";
    };
    const char* dsp_name = state.sensor.kind == kForwardFireKind ? "DSP forward-fire" : "DSP side-fire";
    return {
        {"FPGA", sensor.fpga.empty() ? "-" : sensor.fpga, bundle.fpga,
         plan_word(PlanIncludesFpga(state.plan()))},
        {dsp_name, DspVersionText(sensor), DspVersionText(bundle),
         plan_word(PlanDspSegment(state.plan()).has_value())},
    };
}

void PrintImageLines(const std::vector<ImageLine>& lines, OutputFormat format, std::ostream& out) {
    if (format == OutputFormat::Json) {
        out << "[";
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const ImageLine& l = lines[i];
            out << (i ? ",\n " : "") << "{\"image\":" << JsonString(l.image)
                << ",\"sensor\":" << JsonString(l.sensor) << ",\"bundle\":" << JsonString(l.bundle)
                << ",\"plan\":" << JsonString(l.plan) << "}";
        }
        out << "]\n";
        return;
    }
    for (const ImageLine& l : lines) {
        if (format == OutputFormat::Tsv) {
            out << TsvField(l.image) << '\t' << TsvField(l.sensor) << '\t' << TsvField(l.bundle) << '\t'
                << l.plan << '\n';
        } else {
            char line[200];
            std::snprintf(line, sizeof line, "%-17s sensor %-16s bundle %-16s %s\n", l.image.c_str(),
                          l.sensor.c_str(), l.bundle.c_str(), l.plan.c_str());
            out << line;
        }
    }
}

// The check without the window: differing versions leave the outcome at "continue".
std::optional<CompatibilityState> Check(AppContext& app, CommandStreams io) {
    const auto& bundle = BuiltInBundle();
    if (!bundle) {
        io.err << "qvx: the built-in firmware bundle is unusable\n";
        return std::nullopt;
    }
    CompatibilityState state = CheckCompatibility(app.protocol, bundle->version, std::nullopt);
    if (state.outcome == compatibility_outcome::kVersionUnreadable ||
        state.outcome == compatibility_outcome::kExit) {
        io.err << "qvx: reading the firmware version failed\n";
        return std::nullopt;
    }
    return state;
}

}  // namespace

int RunFirmwareCheck(AppContext& app, const CliOptions& options, CommandStreams io) {
    const auto state = Check(app, io);
    if (!state) {
        return kExitSensorFailed;
    }
    PrintImageLines(ImageLines(*state), options.format.value_or(OutputFormat::Text), io.out);
    return kExitSuccess;
}

int RunFirmwareUpload(AppContext& app, const CliOptions& options, CommandStreams io) {
    const ImageKind kind = options.firmware_fpga ? ImageKind::Fpga : ImageKind::Dsp;
    if (!options.yes) {
        io.err << "qvx: " << UploadOverwriteQuestion(kind, options.firmware_file)
               << " Nothing was sent: add --yes\n";
        return kExitUsage;
    }
    const auto image = HexImage::Load(kind, options.firmware_file);
    if (!image) {
        io.err << "qvx: cannot read " << options.firmware_file << "\n";
        return kExitOther;
    }
    SensorOperations operations(app.protocol, app.objects.SyncData());
    operations.BeginSensorOperation();
    UploadJob job(app.protocol, UploadImage::FromFile(*image, options.firmware_file));
    UploadAnswers answers(app.prompts(), options, io.err);
    job.SetPrompts(answers);
    const UploadOutcome outcome = RunWithProgress(job, answers, io);
    operations.EndSensorOperation();
    io.out << OneLine(job.Snapshot().text) << "\n";
    return ExitCodeOf(outcome);
}

int RunFirmwareUpdate(AppContext& app, const CliOptions& options, CommandStreams io) {
    const auto before = Check(app, io);
    if (!before) {
        return kExitSensorFailed;
    }
    PrintImageLines(ImageLines(*before), options.format.value_or(OutputFormat::Text), io.out);
    if (before->outcome == compatibility_outcome::kMatch) {
        return kExitSuccess;
    }
    if (before->plan() == upload_plan::kNone) {
        io.err << "qvx: nothing can be loaded: " << kIncompatiblePrimaryText << "\n";
        return kExitSensorFailed;
    }
    if (!options.yes) {
        io.err << "qvx: nothing was sent: add --yes to load the planned images\n";
        return kExitUsage;
    }
    SensorOperations operations(app.protocol, app.objects.SyncData());
    UploadAnswers answers(app.prompts(), options, io.err);
    const UploadRunner run = [&](UploadJob& job) {
        job.SetPrompts(answers);
        return RunWithProgress(job, answers, io);
    };
    if (!RunCompatibilityUpload(app, operations, before->plan(), run)) {
        ResetLineAfterFailedUpload(app);
        io.err << "qvx: the compatibility upload failed\n";
        return kExitSensorFailed;
    }
    io.err << OneLine(upload_text::kCheckingFirmware) << "\n";
    const auto after = Check(app, io);
    if (!after) {
        return kExitSensorFailed;
    }
    PrintImageLines(ImageLines(*after), options.format.value_or(OutputFormat::Text), io.out);
    return after->outcome == compatibility_outcome::kMatch ? kExitSuccess : kExitSensorFailed;
}

}  // namespace qvx::cli
