// qvx download, buffers, erase and study: the stored-data procedures of the core, with the
// answers a person at the desktop program would give, printed to stderr as they are given.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iomanip>
#include <sstream>
#include <thread>

#include "cli_commands.h"
#include "cli_prompts.h"
#include "cli_stored_prompts.h"
#include "context/app_context.h"
#include "protocol/sensor_operations.h"
#include "protocol/transaction_result.h"
#include "stored/buffer_status.h"
#include "stored/download.h"
#include "stored/download_session.h"
#include "stored/erase.h"
#include "stored/study_setup.h"

namespace qvx::cli {

namespace {

constexpr int kProgressPollMs = 200;
constexpr int kBarWidth = 30;

std::string Clock(double seconds) {
    const long total = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    return text;
}

std::string ProgressLine(const DownloadJob& job, double elapsed) {
    const int done = job.packets_downloaded.load();
    const int expected = job.expected_records.load();
    const double rate = elapsed > 0.0 ? done / elapsed : 0.0;
    std::ostringstream line;
    line << "\r[";
    const int filled = expected > 0 ? std::min(kBarWidth, done * kBarWidth / expected) : 0;
    line << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(kBarWidth - filled), '.') << "] " << done;
    if (expected > 0) {
        line << "/" << expected;
    }
    line << " records  " << std::fixed << std::setprecision(1) << rate << " records/s";
    if (expected > done && rate > 0.0) {
        line << "  " << Clock((expected - done) / rate) << " left";
    }
    line << "   ";
    return line.str();
}

// Polls the job while the download runs: the bar on a terminal, and Ctrl+C becomes the stop button.
class DownloadWatcher {
  public:
    DownloadWatcher(DownloadJob& job, CommandStreams io, bool bar)
        : job_(job), io_(io), bar_(bar), started_(std::chrono::steady_clock::now()) {
        thread_ = std::thread([this] { Run(); });
    }
    ~DownloadWatcher() {
        done_.store(true);
        thread_.join();
        if (bar_) {
            io_.err << ProgressLine(job_, Elapsed()) << "\n";
        }
    }
    double Elapsed() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    }

  private:
    void Run() {
        while (!done_.load()) {
            if (io_.stop.load()) {
                job_.RequestStop();
            }
            if (bar_) {
                io_.err << ProgressLine(job_, Elapsed()) << std::flush;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kProgressPollMs));
        }
    }

    DownloadJob& job_;
    CommandStreams io_;
    bool bar_;
    std::chrono::steady_clock::time_point started_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// Incremental unless asked otherwise: run after run, the file gets each record once.
DownloadMode ModeOf(const std::string& name) {
    if (name == "normal") {
        return DownloadMode::Normal;
    }
    if (name == "recovery") {
        return DownloadMode::ErrorRecovery;
    }
    return DownloadMode::Incremental;
}

struct DownloadRun {
    DownloadSummary summary;
    double seconds = 0.0;
};

DownloadRun DownloadInto(AppContext& app, const std::string& path, DownloadMode mode, CommandStreams io) {
    auto* prompts = dynamic_cast<StoredPrompts*>(&app.prompts());
    // The lane names and the units of the data lines and the banner.
    if (!app.records.ReadExtendedConfigInfo().ok()) {
        io.err << "qvx: the lane names could not be read; the lanes are shown without them\n";
    }
    SensorOperations operations(app.protocol, app.objects.SyncData());
    DownloadJob job;
    job.mode = mode;
    if (prompts != nullptr) {
        prompts->Watch(&job);
    }
    DownloadRun run;
    RunDownloadSession(app, operations, job, path, [&](DownloadJob& running) {
        DownloadWatcher watcher(running, io, ::isatty(STDERR_FILENO) == 1);
        StartDownloadHooks hooks;
        hooks.sleep = [&io](int ms) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
            while (!io.stop.load() && std::chrono::steady_clock::now() < until) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        };
        hooks.started = [&io](const std::string& text) { io.err << "qvx: " << text << "\n"; };
        StartDownload(app, running, path, hooks);
        run.seconds = watcher.Elapsed();
    });
    if (prompts != nullptr) {
        prompts->Watch(nullptr);
    }
    run.summary = SummaryOf(job);
    return run;
}

int DownloadExitCode(const DownloadSummary& summary) {
    if (LeavesNothingUnfetched(summary)) {
        return kExitSuccess;
    }
    switch (summary.status) {
        case download_status::kStoppedSaved:
        case download_status::kStoppedSavedFlagged:
        case download_status::kStoppedNotSaved:
            return kExitOther;
        default:
            return kExitSensorFailed;
    }
}

void PrintDownloadSummary(const DownloadRun& run, std::ostream& out) {
    const DownloadSummary& summary = run.summary;
    std::string text = DownloadOutcomeText(summary.status, summary.packets);
    if (text.empty()) {
        text = summary.failure_text.empty() ? "Download stopped; nothing saved." : summary.failure_text;
    }
    const double rate = run.seconds > 0.0 ? summary.packets / run.seconds : 0.0;
    out << OneLine(text) << " (" << summary.packets << " records in " << std::fixed << std::setprecision(1)
        << run.seconds << " s, " << rate << " records/s)\n";
}

void PrintBuffers(const BufferStatus& status, OutputFormat format, std::ostream& out) {
    const BufferFill flash = DescribeBufferFill(status.flash_count, kFlashCapacity);
    const BufferFill sram = DescribeBufferFill(status.sram_count, kSramCapacity);
    const auto percent = [](int count, int capacity) {
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", count * 100.0 / capacity);
        return std::string(text);
    };
    switch (format) {
        case OutputFormat::Text:
            out << "Flash Memory Buffer: " << flash.text << "\nSRAM Buffer: " << sram.text << "\n";
            break;
        case OutputFormat::Tsv:
            out << "buffer\tcount\tcapacity\tpercent\n";
            out << "flash\t" << status.flash_count << "\t" << kFlashCapacity << "\t"
                << percent(status.flash_count, kFlashCapacity) << "\n";
            out << "sram\t" << status.sram_count << "\t" << kSramCapacity << "\t"
                << percent(status.sram_count, kSramCapacity) << "\n";
            break;
        case OutputFormat::Json:
            out << "{\"flash\":{\"count\":" << status.flash_count << ",\"capacity\":" << kFlashCapacity
                << ",\"percent\":" << percent(status.flash_count, kFlashCapacity)
                << "},\"sram\":{\"count\":" << status.sram_count << ",\"capacity\":" << kSramCapacity
                << ",\"percent\":" << percent(status.sram_count, kSramCapacity) << "}}\n";
            break;
    }
}

}  // namespace

int RunDownload(AppContext& app, const CliOptions& options, CommandStreams io) {
    const DownloadRun run = DownloadInto(app, options.download_path, ModeOf(options.download_mode), io);
    PrintDownloadSummary(run, io.out);
    return DownloadExitCode(run.summary);
}

int RunBuffers(AppContext& app, const CliOptions& options, CommandStreams io) {
    const BufferStatus status = UpdateBufferStatus(app);
    if (!status.ok) {
        io.err << "qvx: " << kStatusErrorText << "\n";
        return kExitSensorFailed;
    }
    PrintBuffers(status, options.format.value_or(OutputFormat::Text), io.out);
    return kExitSuccess;
}

int RunErase(AppContext& app, const CliOptions& options, CommandStreams io) {
    SensorOperations operations(app.protocol, app.objects.SyncData());
    EraseHooks hooks;
    const bool download_first = !options.download_path.empty();
    hooks.choose = [&](const std::string& text, bool new_data) {
        io.err << "qvx: Warning... " << OneLine(text) << " -> "
               << (download_first ? "Download and Erase" : "Erase") << "\n";
        if (new_data && !download_first) {
            io.err << "qvx: erasing data that no incremental download has fetched\n";
        }
        return download_first ? EraseChoice::DownloadAndErase : EraseChoice::Erase;
    };
    hooks.download_first = [&] {
        const DownloadRun run = DownloadInto(app, options.download_path, DownloadMode::Incremental, io);
        PrintDownloadSummary(run, io.out);
        return run.summary;
    };
    switch (EraseDataBuffers(app, operations, hooks)) {
        case EraseOutcome::Erased:
            io.out << "Stored data erased.\n";
            return kExitSuccess;
        case EraseOutcome::NothingToErase:
            io.out << kNothingToEraseText << "\n";
            return kExitSuccess;
        case EraseOutcome::Cancelled:
        case EraseOutcome::DownloadFailed:
            return kExitOther;
        case EraseOutcome::SensorError:
        case EraseOutcome::EraseFailed:
            break;
    }
    return kExitSensorFailed;
}

int RunStudy(AppContext& app, const CliOptions& options, CommandStreams io) {
    SensorOperations operations(app.protocol, app.objects.SyncData());
    StudySetup setup;
    if (!ReadStudySetup(app, setup)) {
        io.err << "qvx: the sensor's configuration could not be read\n";
        return kExitSensorFailed;
    }
    if (options.memory_overwrite == "on") {
        setup.storage_flags |= storage_flag::kOverwrite;
    } else if (options.memory_overwrite == "off") {
        setup.storage_flags &= ~storage_flag::kOverwrite;
    }
    const bool overwrite = (setup.storage_flags & storage_flag::kOverwrite) != 0;
    const auto arithmetic = ComputeStudyArithmetic(std::to_string(options.study_interval), overwrite);
    setup.interval = arithmetic->interval;
    setup.flash_update_seconds = arithmetic->flash_update_seconds;
    io.out << "Interval (Bin) Size: " << setup.interval << " seconds\n";
    io.out << "Memory Overwrite: " << (overwrite ? "Enabled" : "Disabled") << "\n";
    io.out << "Flash Storage Time: " << arithmetic->storage_text << "\n";
    std::string last_status;
    StudyProgress progress;
    progress.status = [&](const std::string& text) {
        io.out << text << "\n" << std::flush;
        last_status = text;
    };
    progress.flash_update_shown = [&](std::uint32_t seconds) {
        io.out << "(Update Every: " << seconds << " seconds)\n";
    };
    const StudyOutcome outcome = StartStudy(app, operations, setup, progress);
    return outcome == StudyOutcome::Started ? kExitSuccess : kExitSensorFailed;
}

}  // namespace qvx::cli
