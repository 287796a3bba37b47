#pragma once
// The qvx command line: connection options, one subcommand and its arguments. Options may come
// before or after the subcommand; "--" ends the options (for a payload that starts with "--").

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli_export.h"
#include "cli_lanes.h"
#include "cli_tool_options.h"
#include "protocol/sensor_clock.h"

namespace qvx::cli {

enum ExitCode : int {
    kExitSuccess = 0,
    kExitOther = 1,         // a local failure (a log file that cannot be written)
    kExitUsage = 2,         // bad options or arguments; nothing was sent
    kExitNoConnection = 3,  // no sensor answered, or the link could not be opened
    kExitSensorFailed = 4,  // the sensor refused the command or an exchange failed
    // Stopped by Ctrl+C or SIGTERM before the work was done; the program exits with 128 + the
    // signal's number (130, 143).
    kExitInterrupted = 130,
};

enum class Command {
    None,
    Info,
    Send,
    ClockGet,
    ClockSet,
    ClockSync,
    Discover,
    LiveIntervals,
    LiveEvents,
    LiveActuation,
    Download,
    Buffers,
    Erase,
    Study,
    Terminal,
    Acquire,
    Pll,
    Memory,
    FirmwareCheck,
    FirmwareUpload,
    FirmwareUpdate,
    ConfigSave,
    ConfigLoad,
    ConfigShow,
    Export,
    LanesShow,
    LanesRestart,
    LanesSave,
};

// Commands that work on files alone: no link is opened for them.
inline bool IsOfflineCommand(Command command) {
    return command == Command::Export;
}

// How data is printed: aligned text, tab-separated lines, or JSON.
enum class OutputFormat { Text, Tsv, Json };

// What the communication-error dialog would be answered with.
enum class ErrorPolicy { Cancel, Retry, Ignore };

inline constexpr std::uint32_t kMaxWaitMs = 99998;
inline constexpr int kDefaultRetryLimit = 3;

struct CliOptions {
    bool help = false;
    bool version = false;
    Command command = Command::None;
    std::string help_topic;  // the subcommand whose help was asked for ("" for the overview)

    // --- connection ---
    std::optional<std::string> serial;  // a device path or "auto"
    std::uint32_t baud = 0;             // 0: detect
    std::optional<std::string> tcp_host;
    std::uint16_t tcp_port = 0;
    std::optional<std::string> modem;  // the modem's port (a device path) or "auto"
    std::optional<std::string> dial;   // the sensor's telephone number
    bool dial_manually = false;        // the technician dials on the telephone
    std::optional<std::string> id;     // 4 characters, or "auto"
    int pick = 0;                      // 1-based; 0: the first ID found
    int wait_ms = 0;
    ErrorPolicy on_error = ErrorPolicy::Cancel;
    int timeout_seconds = 0;     // --timeout: 0 runs without a limit
    int lost_after_seconds = 0;  // live intervals --lost-after: 0 keeps the default bound
    bool debug = false;  // the communication log to stderr

    // --- subcommand arguments ---
    std::string code;  // send
    std::string payload;
    std::string clock_text;  // clock set: "YYYY-MM-DD HH:MM:SS"
    int count = 0;           // live intervals: 0 runs until interrupted
    std::string log_path;
    bool counts = false;        // live events: the per-lane counts when it stops
    ToolOptions tools;          // terminal, acquire, pll, memory
    std::string firmware_file;  // firmware upload: --dsp FILE or --fpga FILE
    bool firmware_fpga = false;
    bool no_reboot = false;            // an FPGA upload answers the reboot question with Continue
    ExportArgs export_args;            // export 3card / export csv
    std::string config_path;           // config save / load
    bool dry_run = false;              // config load: check only
    bool utc = false;                  // clock: times in UTC instead of the PC's local time
    bool raw = false;                  // send: reply bytes as they came, 8-bit bytes unescaped
    std::string download_path;         // download FILE, erase --download-first FILE
    std::string download_mode;         // download --mode: "" (the default), incremental, normal, recovery
    bool yes = false;                  // erase --yes
    std::uint32_t study_interval = 0;  // study --interval
    std::string memory_overwrite;      // study --memory-overwrite on|off; "" keeps the sensor's setting
    std::optional<OutputFormat> format;
    LaneArgs lanes;  // lanes restart --blinders LOW HIGH

    bool auto_id() const { return id && *id == "auto"; }
};

struct ParseOutcome {
    bool ok = false;
    std::string error;  // one line, without the program name
};

ParseOutcome ParseCliOptions(const std::vector<std::string>& args, CliOptions& options);

// "YYYY-MM-DD HH:MM:SS" naming a moment the sensor clock can hold; nullopt otherwise.
std::optional<CalendarTime> ParseClockText(const std::string& text);

// The overview, or the help of one subcommand ("info", "send", "clock", "discover", "live").
std::string UsageText(const std::string& topic);
// True for a command name that has its own help text.
bool IsHelpTopic(const std::string& topic);

}  // namespace qvx::cli
