#include "cli_app.h"

#include <memory>
#include <optional>

#include "app/close_connection.h"
#include "app/version.h"
#include "base/comm_log.h"
#include "cli_commands.h"
#include "cli_connection.h"
#include "cli_live_events.h"
#include "cli_options.h"
#include "cli_prompts.h"
#include "cli_stored_prompts.h"
#include "cli_timeout.h"
#include "cli_tools.h"
#include "context/app_context.h"
#include "live/interval_log.h"

namespace qvx::cli {

namespace {

// The log file is opened (and created) before the sensor is: a path that cannot take lines fails
// the run before anything is sent.
bool LogFileUsable(const CliOptions& options, std::ostream& err) {
    if (options.log_path.empty() || AppendLogText(options.log_path, "") == LogWrite::Written) {
        return true;
    }
    err << "qvx: cannot open the " << (options.command == Command::LiveEvents ? "event" : "interval")
        << " log " << options.log_path << "\n";
    return false;
}

// A run the timeout stopped is a failure, whatever the command made of its stop.
int TimedOut(const RunTimeout& timeout, const CliOptions& options, int code, std::ostream& err) {
    if (!timeout.expired()) {
        return code;
    }
    err << "qvx: stopped after --timeout " << options.timeout_seconds << " s\n";
    return code == kExitSuccess || code == kExitInterrupted ? kExitSensorFailed : code;
}

int RunCommand(AppContext& app, const CliOptions& options, const ConnectResult& connection,
               CommandStreams io) {
    switch (options.command) {
        case Command::Info:
            return RunInfo(app, options, io);
        case Command::Send:
            return RunSend(app, options, io);
        case Command::ClockGet:
            return RunClockGet(app, options, io);
        case Command::ClockSet:
            return RunClockSet(app, options, io);
        case Command::ClockSync:
            return RunClockSync(app, options, io);
        case Command::Discover:
            return RunDiscover(connection, options, io);
        case Command::LiveIntervals:
            return RunLiveIntervals(app, options, io);
        case Command::LiveEvents:
            return RunLiveEvents(app, options, io);
        case Command::LiveActuation:
            return RunLiveActuation(app, options, io);
        case Command::Download:
            return RunDownload(app, options, io);
        case Command::Buffers:
            return RunBuffers(app, options, io);
        case Command::Erase:
            return RunErase(app, options, io);
        case Command::Study:
            return RunStudy(app, options, io);
        case Command::Terminal:
            return RunTerminal(app, options, io);
        case Command::Acquire:
            return RunAcquire(app, options, io);
        case Command::Pll:
            return RunPll(app, options, io);
        case Command::Memory:
            return RunMemory(app, options, io);
        case Command::FirmwareCheck:
            return RunFirmwareCheck(app, options, io);
        case Command::FirmwareUpload:
            return RunFirmwareUpload(app, options, io);
        case Command::FirmwareUpdate:
            return RunFirmwareUpdate(app, options, io);
        case Command::Export:
            break;
        case Command::LanesShow:
        case Command::LanesRestart:
        case Command::LanesSave:
            return RunLanes(app, options, io);
        case Command::ConfigSave:
        case Command::ConfigLoad:
        case Command::ConfigShow:
            return RunConfig(app, options, io);
        case Command::None:
            break;
    }
    return kExitUsage;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const std::atomic<bool>& stop) {
    CliOptions options;
    const ParseOutcome parsed = ParseCliOptions(args, options);
    if (!parsed.ok) {
        err << "qvx: " << parsed.error << "\n";
        return kExitUsage;
    }
    if (options.help) {
        out << UsageText(options.help_topic);
        return kExitSuccess;
    }
    if (options.version) {
        out << "qvx " << kProgramVersion << " (" << kProgramName << ")\n";
        return kExitSuccess;
    }
    if (IsOfflineCommand(options.command)) {
        return RunExport(options.export_args, out, err);
    }
    if (!LogFileUsable(options, err) || !PrepareAcquireFile(options, err)) {
        return kExitOther;
    }
    std::optional<ScopedLogSink> debug_log;
    if (options.debug) {
        debug_log.emplace(ProgramLog(), std::make_shared<StreamLogSink>(LogLevel::Debug, err));
    }

    CliPrompts policy_prompts(options.on_error, err);
    StoredPrompts prompts(policy_prompts, err);
    AppContext app(prompts);
    policy_prompts.Attach(app.state);
    const RunTimeout timeout(stop, options.timeout_seconds, [&app] { app.state.cancel_connect.store(true); });
    const ConnectResult connection = ConnectSensor(app, options, options.command == Command::Discover);
    if (!connection.connected) {
        err << "qvx: " << connection.failure << "\n";
        return TimedOut(timeout, options, kExitNoConnection, err);
    }
    int code = RunCommand(app, options, connection, CommandStreams{out, err, timeout.stop()});
    CloseConnection(app);
    return TimedOut(timeout, options, code, err);
}

}  // namespace qvx::cli
