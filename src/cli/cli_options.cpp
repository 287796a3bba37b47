#include "cli_options.h"

#include <charconv>
#include <cstdio>
#include <functional>
#include <map>
#include <set>

#include "connect/modem_connect.h"
#include "firmware/hex_image.h"
#include "link/sensor_link.h"
#include "protocol/catalogue.h"

namespace qvx::cli {

namespace {

constexpr std::size_t kIdLength = 4;

struct Failure {
    std::string text;
};

std::optional<long long> ParseNumber(const std::string& text) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

long long NumberIn(const std::string& option, const std::string& text, long long low, long long high) {
    const auto value = ParseNumber(text);
    if (!value || *value < low || *value > high) {
        throw Failure{option + " needs a number from " + std::to_string(low) + " to " + std::to_string(high) +
                      ", not '" + text + "'"};
    }
    return *value;
}

// An ID is taken as discover printed it: any 4 printable characters, not interpreted.
bool IsMultiDropId(const std::string& text) {
    if (text.size() != kIdLength) {
        return false;
    }
    for (char c : text) {
        if (c <= ' ' || c > '~') {
            return false;
        }
    }
    return true;
}

// A CR inside a payload would end the frame early and the rest would go out as a second command.
bool HoldsControlCharacter(const std::string& text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return true;
        }
    }
    return false;
}

void SetBaud(CliOptions& o, const std::string& text) {
    const auto value = NumberIn("--baud", text, 1, 921600);
    if (BaudRateText(static_cast<std::uint32_t>(value)) == nullptr) {
        throw Failure{"--baud " + text + " is not a supported rate (1200, 9600, 19200 ... 921600)"};
    }
    o.baud = static_cast<std::uint32_t>(value);
}

void SetTcp(CliOptions& o, const std::string& text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        throw Failure{"--tcp needs HOST:PORT, not '" + text + "'"};
    }
    o.tcp_host = text.substr(0, colon);
    o.tcp_port = static_cast<std::uint16_t>(NumberIn("--tcp port", text.substr(colon + 1), 1, 65535));
}

void SetId(CliOptions& o, const std::string& text) {
    if (text != "auto" && !IsMultiDropId(text)) {
        throw Failure{"--id needs 4 printable characters (as discover prints them), or 'auto', not '" + text +
                      "'"};
    }
    o.id = text;
}

void SetOnError(CliOptions& o, const std::string& text) {
    static const std::map<std::string, ErrorPolicy> policies = {
        {"retry", ErrorPolicy::Retry}, {"ignore", ErrorPolicy::Ignore}, {"cancel", ErrorPolicy::Cancel}};
    const auto it = policies.find(text);
    if (it == policies.end()) {
        throw Failure{"--on-error needs retry, ignore or cancel, not '" + text + "'"};
    }
    o.on_error = it->second;
}

void SetDownloadMode(CliOptions& o, const std::string& text) {
    if (text != "incremental" && text != "normal" && text != "recovery") {
        throw Failure{"--mode needs incremental, normal or recovery, not '" + text + "'"};
    }
    o.download_mode = text;
}

void SetMemoryOverwrite(CliOptions& o, const std::string& text) {
    if (text != "on" && text != "off") {
        throw Failure{"--memory-overwrite needs on or off, not '" + text + "'"};
    }
    o.memory_overwrite = text;
}

void SetFirmwareFile(CliOptions& o, const std::string& path, bool fpga) {
    if (!o.firmware_file.empty()) {
        throw Failure{"give one image: --dsp FILE or --fpga FILE"};
    }
    o.firmware_file = path;
    o.firmware_fpga = fpga;
}

void SetFormat(CliOptions& o, const std::string& text) {
    static const std::map<std::string, OutputFormat> formats = {
        {"text", OutputFormat::Text}, {"tsv", OutputFormat::Tsv}, {"json", OutputFormat::Json}};
    const auto it = formats.find(text);
    if (text == "hex" || text == "dec" || text == "char") {
        o.tools.format = text;  // the memory table's number formats
        return;
    }
    if (it == formats.end()) {
        throw Failure{"--format needs text, tsv or json (memory: hex, dec or char), not '" + text + "'"};
    }
    o.format = it->second;
}

using ValueSetter = std::function<void(CliOptions&, const std::string&)>;

const std::map<std::string, ValueSetter>& ValueOptions() {
    static const std::map<std::string, ValueSetter> options = {
        {"--serial", [](CliOptions& o, const std::string& v) { o.serial = v; }},
        {"--baud", SetBaud},
        {"--tcp", SetTcp},
        {"--modem", [](CliOptions& o, const std::string& v) { o.modem = v; }},
        {"--dial", [](CliOptions& o, const std::string& v) { o.dial = v; }},
        {"--id", SetId},
        {"--pick", [](CliOptions& o,
                      const std::string& v) { o.pick = static_cast<int>(NumberIn("--pick", v, 1, 99)); }},
        {"--wait",
         [](CliOptions& o, const std::string& v) {
             o.wait_ms = static_cast<int>(NumberIn("--wait", v, 0, kMaxWaitMs));
         }},
        {"--on-error", SetOnError},
        {"--timeout",
         [](CliOptions& o, const std::string& v) {
             o.timeout_seconds = static_cast<int>(NumberIn("--timeout", v, 1, 604800));
         }},
        {"--lost-after",
         [](CliOptions& o, const std::string& v) {
             o.lost_after_seconds = static_cast<int>(NumberIn("--lost-after", v, 1, 86400));
         }},
        {"--count",
         [](CliOptions& o, const std::string& v) {
             o.count = static_cast<int>(NumberIn("--count", v, 1, 1000000));
         }},
        {"--log", [](CliOptions& o, const std::string& v) { o.log_path = v; }},
        {"--mode", SetDownloadMode},
        {"--download-first", [](CliOptions& o, const std::string& v) { o.download_path = v; }},
        {"--interval",
         [](CliOptions& o, const std::string& v) {
             o.study_interval = static_cast<std::uint32_t>(NumberIn("--interval", v, 5, 999999999));
         }},
        {"--memory-overwrite", SetMemoryOverwrite},
        {"--seconds",
         [](CliOptions& o, const std::string& v) {
             o.tools.seconds = static_cast<int>(NumberIn("--seconds", v, 1, 900));
         }},
        {"--watch",
         [](CliOptions& o, const std::string& v) {
             o.tools.watch_ms = static_cast<int>(NumberIn("--watch", v, 10, 3600000));
         }},
        {"--store", [](CliOptions& o, const std::string& v) { o.tools.store_path = v; }},
        {"--dsp", [](CliOptions& o, const std::string& v) { SetFirmwareFile(o, v, false); }},
        {"--fpga", [](CliOptions& o, const std::string& v) { SetFirmwareFile(o, v, true); }},
        {"--from", [](CliOptions& o, const std::string& v) { o.export_args.from = v; }},
        {"--to", [](CliOptions& o, const std::string& v) { o.export_args.to = v; }},
        {"--station", [](CliOptions& o, const std::string& v) { o.export_args.station = v; }},
        {"--state", [](CliOptions& o, const std::string& v) { o.export_args.state = v; }},
        {"--class", [](CliOptions& o, const std::string& v) { o.export_args.functional_class = v; }},
        {"--restriction",
         [](CliOptions& o, const std::string& v) {
             o.export_args.restriction = static_cast<int>(NumberIn("--restriction", v, 0, 2));
         }},
        {"--lane", [](CliOptions& o, const std::string& v) { o.export_args.lanes.push_back(v); }},
        {"--out", [](CliOptions& o, const std::string& v) { o.export_args.out = v; }},
        {"--format", SetFormat},
    };
    return options;
}

// Splits the arguments into options (applied at once) and positional words.
std::vector<std::string> ApplyOptions(const std::vector<std::string>& args, CliOptions& o) {
    std::vector<std::string> words;
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options_ended || arg.size() < 2 || arg[0] != '-') {
            words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
        } else if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--dial-manually") {
            o.dial_manually = true;
        } else if (arg == "--counts") {
            o.counts = true;
        } else if (arg == "--yes") {
            o.yes = true;
        } else if (arg == "--binary" || arg == "--event-list") {
            (arg == "--binary" ? o.tools.binary : o.tools.event_list) = true;
        } else if (arg == "--no-reboot") {
            o.no_reboot = true;
        } else if (arg == "--overwrite") {
            o.export_args.overwrite = true;
        } else if (arg == "--dry-run") {
            o.dry_run = true;
        } else if (arg == "--utc") {
            o.utc = true;
        } else if (arg == "--raw") {
            o.raw = true;
        } else if (arg == "--debug") {
            o.debug = true;
        } else if (arg == "--blinders") {
            if (i + 2 >= args.size()) {
                throw Failure{"--blinders needs two values: LOW HIGH"};
            }
            if (const std::string error = SetBlinders(o, args[i + 1], args[i + 2]); !error.empty()) {
                throw Failure{error};
            }
            i += 2;
        } else {
            std::string name = arg;
            std::optional<std::string> value;
            if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
            }
            const auto it = ValueOptions().find(name);
            if (it == ValueOptions().end()) {
                throw Failure{"unknown option '" + name + "'"};
            }
            if (!value) {
                if (i + 1 >= args.size()) {
                    throw Failure{name + " needs a value"};
                }
                value = args[++i];
            }
            it->second(o, *value);
        }
    }
    return words;
}

void ExpectWords(const std::vector<std::string>& words, std::size_t low, std::size_t high,
                 const char* usage) {
    if (words.size() < low || words.size() > high) {
        throw Failure{std::string("usage: qvx ") + usage};
    }
}

void ParseClock(const std::vector<std::string>& words, CliOptions& o) {
    ExpectWords(words, 2, 3, "clock get | clock set \"YYYY-MM-DD HH:MM:SS\" | clock sync");
    const std::string& action = words[1];
    if (action == "get" && words.size() == 2) {
        o.command = Command::ClockGet;
    } else if (action == "sync" && words.size() == 2) {
        o.command = Command::ClockSync;
    } else if (action == "set" && words.size() == 3) {
        o.command = Command::ClockSet;
        o.clock_text = words[2];
        if (!ParseClockText(o.clock_text)) {
            throw Failure{"clock set needs a valid \"YYYY-MM-DD HH:MM:SS\" from 2000 on, not '" +
                          o.clock_text + "'"};
        }
    } else {
        throw Failure{"usage: qvx clock get | clock set \"YYYY-MM-DD HH:MM:SS\" | clock sync"};
    }
}

void ParseLive(const std::vector<std::string>& words, CliOptions& o) {
    static const std::map<std::string, Command> kinds = {{"intervals", Command::LiveIntervals},
                                                         {"events", Command::LiveEvents},
                                                         {"actuation", Command::LiveActuation}};
    const auto it = words.size() == 2 ? kinds.find(words[1]) : kinds.end();
    if (it == kinds.end()) {
        throw Failure{"usage: qvx live intervals|events|actuation [--count N] [--log FILE]"};
    }
    o.command = it->second;
}

// download FILE, buffers, erase, study. False for another command name.
bool ParseStoredCommand(const std::vector<std::string>& words, CliOptions& o) {
    const std::string& name = words.front();
    if (name == "download") {
        ExpectWords(words, 2, 2, "download FILE [--mode incremental|normal|recovery]");
        o.command = Command::Download;
        o.download_path = words[1];
    } else if (name == "buffers") {
        ExpectWords(words, 1, 1, "buffers [--format text|tsv|json]");
        o.command = Command::Buffers;
    } else if (name == "erase") {
        ExpectWords(words, 1, 1, "erase [--yes] [--download-first FILE]");
        o.command = Command::Erase;
    } else if (name == "study") {
        ExpectWords(words, 1, 1, "study --interval SECONDS [--memory-overwrite on|off]");
        o.command = Command::Study;
    } else {
        return false;
    }
    return true;
}

void CheckStoredCombination(const CliOptions& o) {
    if (!o.download_mode.empty() && o.command != Command::Download) {
        throw Failure{"--mode belongs to 'download'"};
    }
    const bool confirms = o.command == Command::Erase || o.command == Command::FirmwareUpload ||
                          o.command == Command::FirmwareUpdate;
    if ((o.yes && !confirms) ||
        (!o.download_path.empty() && o.command != Command::Download && o.command != Command::Erase)) {
        throw Failure{"--yes belongs to 'erase' and 'firmware upload|update', --download-first to 'erase'"};
    }
    if (o.command == Command::Erase && !o.yes && o.download_path.empty()) {
        throw Failure{
            "erase deletes the sensor's stored data: confirm with --yes, or keep it with "
            "--download-first FILE"};
    }
    if ((o.study_interval != 0 || !o.memory_overwrite.empty()) && o.command != Command::Study) {
        throw Failure{"--interval and --memory-overwrite belong to 'study'"};
    }
    if (o.command == Command::Study && o.study_interval == 0) {
        throw Failure{"study needs --interval SECONDS (5 or more)"};
    }
}

void ParseFirmware(const std::vector<std::string>& words, CliOptions& o) {
    constexpr const char* kUsage =
        "firmware check | firmware upload --dsp FILE|--fpga FILE [--yes] | firmware update [--yes]";
    ExpectWords(words, 2, 2, kUsage);
    const std::string& action = words[1];
    if (action == "check") {
        o.command = Command::FirmwareCheck;
    } else if (action == "upload") {
        o.command = Command::FirmwareUpload;
    } else if (action == "update") {
        o.command = Command::FirmwareUpdate;
    } else {
        throw Failure{std::string("usage: qvx ") + kUsage};
    }
}

void ParseConfig(const std::vector<std::string>& words, CliOptions& o) {
    const char* usage =
        "usage: qvx config save FILE | config load FILE [--dry-run] | config show [--format F]";
    const std::string action = words.size() >= 2 ? words[1] : "";
    if ((action == "save" || action == "load") && words.size() == 3) {
        o.command = action == "save" ? Command::ConfigSave : Command::ConfigLoad;
        o.config_path = words[2];
    } else if (action == "show" && words.size() == 2) {
        o.command = Command::ConfigShow;
    } else {
        throw Failure{usage};
    }
}

void ParseCommand(const std::vector<std::string>& words, CliOptions& o) {
    const std::string& name = words.front();
    if (name == "info") {
        ExpectWords(words, 1, 1, "info");
        o.command = Command::Info;
    } else if (name == "send") {
        ExpectWords(words, 2, 3, "send CODE [PAYLOAD]");
        o.command = Command::Send;
        o.code = words[1];
        o.payload = words.size() == 3 ? words[2] : "";
        if (BuildCommandCatalogue().FindCommand(o.code) < 0) {
            throw Failure{"'" + o.code + "' is not a command code the sensor knows"};
        }
        if (HoldsControlCharacter(o.payload)) {
            throw Failure{"the payload must not hold a carriage return or another control character"};
        }
    } else if (name == "clock") {
        ParseClock(words, o);
    } else if (name == "discover") {
        ExpectWords(words, 1, 1, "discover");
        o.command = Command::Discover;
    } else if (name == "firmware") {
        ParseFirmware(words, o);
    } else if (name == "config") {
        ParseConfig(words, o);
    } else if (name == "live") {
        ParseLive(words, o);
    } else if (name == "lanes") {
        if (const std::string error = ParseLanesCommand(words, o); !error.empty()) {
            throw Failure{error};
        }
    } else if (IsToolCommand(name)) {
        if (const std::string error = ParseToolCommand(words, o); !error.empty()) {
            throw Failure{error};
        }
    } else if (name == "export") {
        o.command = Command::Export;
        if (auto problem = ParseExportCommand(words, o.export_args)) {
            throw Failure{*problem};
        }
    } else if (!ParseStoredCommand(words, o)) {
        throw Failure{"unknown command '" + name + "'"};
    }
}

// The image is read and recognised before anything is sent.
void CheckFirmwareOptions(const CliOptions& o) {
    const bool upload = o.command == Command::FirmwareUpload;
    if (!upload && !o.firmware_file.empty()) {
        throw Failure{"--dsp and --fpga belong to 'firmware upload'"};
    }
    if (o.no_reboot && !(upload && o.firmware_fpga)) {
        throw Failure{"--no-reboot belongs to 'firmware upload --fpga'"};
    }
    if (!upload) {
        return;
    }
    if (o.firmware_file.empty()) {
        throw Failure{"firmware upload needs --dsp FILE or --fpga FILE"};
    }
    const auto bytes = ReadFileBytes(o.firmware_file);
    if (!bytes) {
        throw Failure{"cannot read " + o.firmware_file};
    }
    const Recognition recognition =
        RecognizeHexFile(*bytes, o.firmware_fpga ? ImageKind::Fpga : ImageKind::Dsp);
    if (!recognition.ok) {
        throw Failure{o.firmware_file + ": " + recognition.text};
    }
}

void CheckModemOptions(const CliOptions& o) {
    if (!o.modem) {
        if (o.dial || o.dial_manually) {
            throw Failure{"--dial and --dial-manually belong to --modem"};
        }
        return;
    }
    if (o.dial && o.dial_manually) {
        throw Failure{"choose one: --dial NUMBER or --dial-manually"};
    }
    if (!o.dial && !o.dial_manually) {
        throw Failure{"--modem needs --dial NUMBER or --dial-manually"};
    }
    if (o.dial && (o.dial->empty() || o.dial->size() > kPhoneNumberMaxChars)) {
        throw Failure{"--dial needs a telephone number of 1 to 29 characters"};
    }
}

// The commands that take --format text|tsv|json.
bool PrintsData(Command command) {
    static const std::set<Command> printing = {
        Command::Info,           Command::Send,       Command::ClockGet,      Command::ClockSet,
        Command::ClockSync,      Command::Discover,   Command::LiveIntervals, Command::LiveEvents,
        Command::LiveActuation,  Command::Buffers,    Command::Pll,           Command::FirmwareCheck,
        Command::FirmwareUpdate, Command::ConfigShow, Command::LanesShow,
    };
    return printing.contains(command);
}

void CheckCombination(const CliOptions& o) {
    if (IsOfflineCommand(o.command)) {
        return;
    }
    if (HasExportOptions(o.export_args)) {
        throw Failure{
            "--from, --to, --station, --state, --class, --restriction, --lane, --out and --overwrite "
            "belong to 'export'"};
    }
    const int links = (o.serial ? 1 : 0) + (o.tcp_host ? 1 : 0) + (o.modem ? 1 : 0);
    if (links > 1) {
        throw Failure{"choose one link: --serial, --tcp or --modem, not more"};
    }
    if (links == 0) {
        throw Failure{"no link given: use --serial PATH|auto, --tcp HOST:PORT or --modem PATH|auto"};
    }
    CheckModemOptions(o);
    if (o.baud != 0 && !o.serial) {
        throw Failure{"--baud belongs to --serial"};
    }
    if (o.pick != 0 && !o.auto_id() && o.command != Command::Discover) {
        throw Failure{"--pick chooses among detected IDs: use it with --id auto"};
    }
    if (o.command == Command::Discover && o.id && !o.auto_id()) {
        throw Failure{"discover detects the IDs itself: leave out --id " + *o.id};
    }
    const bool counted = o.command == Command::LiveIntervals || o.command == Command::LiveEvents ||
                         o.command == Command::LiveActuation || o.command == Command::Memory;
    const bool logs = o.command == Command::LiveIntervals || o.command == Command::LiveEvents;
    if ((!counted && o.count != 0) || (!logs && !o.log_path.empty())) {
        throw Failure{
            "--count and --log belong to 'live intervals' and 'live events' (--count also to "
            "'live actuation' and 'memory')"};
    }
    if (o.command != Command::LiveIntervals && o.lost_after_seconds != 0) {
        throw Failure{"--lost-after belongs to 'live intervals'"};
    }
    if (o.command != Command::LiveEvents && o.counts) {
        throw Failure{"--counts belongs to 'live events'"};
    }
    CheckStoredCombination(o);
    if (const std::string error = ToolOptionMisuse(o); !error.empty()) {
        throw Failure{error};
    }
    CheckFirmwareOptions(o);
    if (const std::string error = LaneOptionMisuse(o); !error.empty()) {
        throw Failure{error};
    }
    if (o.dry_run && o.command != Command::ConfigLoad) {
        throw Failure{"--dry-run belongs to 'config load'"};
    }
    const bool clock =
        o.command == Command::ClockGet || o.command == Command::ClockSet || o.command == Command::ClockSync;
    if (o.utc && !clock && o.command != Command::LiveIntervals) {
        throw Failure{"--utc belongs to 'clock' and 'live intervals'"};
    }
    if (o.format && !PrintsData(o.command)) {
        throw Failure{"--format belongs to the commands that print data; see qvx --help"};
    }
    if (o.raw && o.command != Command::Send) {
        throw Failure{"--raw belongs to 'send'"};
    }
}

}  // namespace

std::optional<CalendarTime> ParseClockText(const std::string& text) {
    CalendarTime time;
    char tail = 0;
    const bool parsed =
        text.size() == 19 && std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &time.year, &time.month,
                                         &time.day, &time.hour, &time.minute, &time.second, &tail) == 6;
    if (!parsed || !LocalToSensorSeconds(time, true)) {
        return std::nullopt;
    }
    return time;
}

ParseOutcome ParseCliOptions(const std::vector<std::string>& args, CliOptions& options) {
    ParseOutcome outcome;
    try {
        const std::vector<std::string> words = ApplyOptions(args, options);
        if (options.help) {
            options.help_topic = words.empty() ? "" : words.front();
            if (!options.help_topic.empty() && !IsHelpTopic(options.help_topic)) {
                throw Failure{"unknown command '" + options.help_topic + "'; see qvx --help"};
            }
            outcome.ok = true;
            return outcome;
        }
        if (options.version) {
            outcome.ok = true;
            return outcome;
        }
        if (words.empty()) {
            throw Failure{
                "no command given (info, send, clock, discover, live, lanes, config, export, download, "
                "buffers, "
                "erase, study, terminal, acquire, pll, memory, firmware); see qvx --help"};
        }
        ParseCommand(words, options);
        CheckCombination(options);
        outcome.ok = true;
    } catch (const Failure& failure) {
        outcome.error = failure.text;
    }
    return outcome;
}

}  // namespace qvx::cli
