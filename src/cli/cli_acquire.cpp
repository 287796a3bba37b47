// qvx acquire: the raw radar stream recorded into a file, with the rate switch to 921600 bps and
// back around it.

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "cli_tools.h"
#include "context/app_context.h"
#include "tools/raw_acquisition.h"

namespace qvx::cli {

namespace {

constexpr int kProgressWidth = 40;
constexpr auto kProgressStep = std::chrono::milliseconds(200);

std::string OutputPath(const CliOptions& options) {
    return RawOutputPath(options.tools.words.front()).value_or("");
}

void ShowProgress(std::uint64_t received, std::uint64_t expected, std::ostream& err) {
    const int filled = expected == 0 ? 0 : static_cast<int>(received * kProgressWidth / expected);
    err << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
        << std::string(static_cast<std::size_t>(kProgressWidth - filled), '.') << "] " << received << " / "
        << expected << " bytes";
    err.flush();
}

// Records on a thread of its own so that Ctrl+C stops it and a terminal sees the bytes come in.
RawRecording RecordWithProgress(RawRecorder& recorder, int seconds, CommandStreams io) {
    RawRecording recording;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        recording = recorder.Record(seconds);
        done.store(true);
    });
    const bool bar = ::isatty(STDERR_FILENO) != 0;
    while (!done.load()) {
        if (io.stop.load()) {
            recorder.Stop();
        }
        if (bar) {
            ShowProgress(recorder.received(), recorder.expected(), io.err);
        }
        std::this_thread::sleep_for(kProgressStep);
    }
    worker.join();
    if (bar) {
        ShowProgress(recorder.received(), recorder.expected(), io.err);
        io.err << "\n";
    }
    return recording;
}

void PrintSummary(const RawRecording& recording, const std::string& path, std::ostream& out) {
    out << "Bytes Expected: " << recording.expected << "\n"
        << "Bytes Received: " << recording.received << "\n"
        << "Trailing Bytes: " << recording.trailing << "\n"
        << "Start Time: " << FormatAcquisitionTime(recording.started) << "\n"
        << "End Time: " << FormatAcquisitionTime(recording.ended) << "\n"
        << "File: " << path << "\n";
}

}  // namespace

bool PrepareAcquireFile(const CliOptions& options, std::ostream& err) {
    if (options.command != Command::Acquire) {
        return true;
    }
    const std::string path = OutputPath(options);
    if (path.empty() || !CreateRawOutputFile(path)) {
        err << "qvx:" << kRawPathErrorText << " " << path << "\n";
        return false;
    }
    return true;
}

int RunAcquire(AppContext& app, const CliOptions& options, CommandStreams io) {
    const int seconds = options.tools.seconds != 0 ? options.tools.seconds : kRawIntervalDefault;
    const std::string path = OutputPath(options);
    AcquisitionRateSwitch rates(app);
    if (rates.SwitchUp() == AcquisitionRateSwitch::Outcome::Refused) {
        io.err << "qvx: the sensor could not be moved to 921600 bps; nothing was recorded\n";
        return kExitSensorFailed;
    }
    RawRecorder recorder(app);
    const RawRecording recording = RecordWithProgress(recorder, seconds, io);
    std::string save_error;
    const bool saved = recorder.Save(path, save_error);
    const bool restored = rates.Restore();
    PrintSummary(recording, path, io.out);
    if (!saved) {
        io.err << "qvx: " << save_error << "\n";
        return kExitOther;
    }
    if (!restored) {
        io.err << "qvx: the sensor did not answer at its former rate again; check the line before going on\n";
        return kExitSensorFailed;
    }
    if (recording.send_failed || recording.stream_ended) {
        io.err << "qvx: "
               << (recording.send_failed ? "the raw dump request could not be sent"
                                         : "the stream stopped early; the bytes received are saved")
               << "\n";
        return kExitSensorFailed;
    }
    if (recording.stopped) {
        io.err << "qvx: stopped; the bytes received are saved\n";
    }
    return kExitSuccess;
}

}  // namespace qvx::cli
