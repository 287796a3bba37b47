#include "sim_options.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

namespace qvx::sim {

namespace {

template <typename T>
bool ParseNumber(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

bool ParseIds(const std::string& text, std::vector<std::string>& ids) {
    std::stringstream stream(text);
    std::string id;
    while (std::getline(stream, id, ',')) {
        if (id.size() != 4) {
            return false;
        }
        ids.push_back(id);
    }
    return !ids.empty();
}

bool ParsePort(const std::string& text, SensorPort& port) {
    static const std::map<std::string, SensorPort> names = {{"rs232", SensorPort::Rs232},
                                                            {"rs485", SensorPort::Rs485},
                                                            {"expa", SensorPort::ExpansionA},
                                                            {"expb", SensorPort::ExpansionB}};
    const auto it = names.find(text);
    if (it == names.end()) {
        return false;
    }
    port = it->second;
    return true;
}

bool ParseList(const std::string& text, std::vector<std::string>& items) {
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        items.push_back(item);
    }
    return !items.empty();
}

bool ParsePushTypes(const std::string& text, std::vector<std::string>& types) {
    types.clear();
    return ParseList(text, types) && std::all_of(types.begin(), types.end(), [](const std::string& type) {
               return type == "XD" || type == "XA" || type == "X1";
           });
}

bool ParseRough(const std::string& text, RoughTraffic& rough) {
    static const std::map<std::string, bool RoughTraffic::*> kinds = {
        {"lane-order", &RoughTraffic::lanes_out_of_order},
        {"departing", &RoughTraffic::departing},
        {"big-shares", &RoughTraffic::big_shares},
        {"class-digits", &RoughTraffic::class_digits},
        {"lane-nine", &RoughTraffic::lane_nine}};
    std::vector<std::string> names;
    if (!ParseList(text, names)) {
        return false;
    }
    for (const std::string& name : names) {
        if (name == "all") {
            for (const auto& [unused, member] : kinds) {
                rough.*member = true;
            }
            continue;
        }
        const auto it = kinds.find(name);
        if (it == kinds.end()) {
            return false;
        }
        rough.*(it->second) = true;
    }
    return true;
}

// "CODE=TEXT": a record to start with, named by the command that reads it. A text shorter than the
// record is padded with blanks (editors drop trailing blanks); a longer one is refused.
bool ParseRecord(const std::string& text, std::map<RecordKind, std::string>& records) {
    struct Slot {
        RecordKind kind;
        std::size_t length;
    };
    static const std::map<std::string, Slot> slots = {
        {"S0", {RecordKind::Config, kConfigInfoLength}},
        {"S01", {RecordKind::Extended, kExtendedConfigLength}},
        {"S02", {RecordKind::Collection, kCollectionConfigLength}},
        {"S3", {RecordKind::SfAlgorithm, kSfAlgorithmLength}},
        {"S3N", {RecordKind::SfNoise, kSfNoiseLength}},
        {"S30", {RecordKind::SfOccupancy, kSfOccupancyLength}},
        {"SG0", {RecordKind::Ff0, kFfPart0Length}},
        {"SG1", {RecordKind::Ff1, kFfPartLength}},
        {"SG2", {RecordKind::Ff2, kFfPartLength}},
        {"SG3", {RecordKind::Ff3, kFfPartLength}}};
    const std::size_t equals = text.find('=');
    const auto slot = slots.find(text.substr(0, equals));
    if (equals == std::string::npos || slot == slots.end() ||
        text.size() - equals - 1 > slot->second.length) {
        return false;
    }
    records[slot->second.kind] = PadRight(text.substr(equals + 1), slot->second.length);
    return true;
}

struct Parser {
    SimOptions& options;
    SensorSettings sensor;
    std::vector<std::string> ids;
    bool transport_chosen = false;
    std::string error;
    int profile_depth = 0;
};

bool ReadProfile(Parser& parser, const std::string& path);
// "N" or "NxK": the Nth packet refused K times.
bool ParseRefusePacket(Parser& p, const std::string& text) {
    FirmwareFaults& f = p.sensor.firmware_faults;
    const std::size_t x = text.find('x');
    if (x == std::string::npos) {
        f.refuse_times = 1;
        return ParseNumber(text, f.refuse_packet) && f.refuse_packet > 0;
    }
    return ParseNumber(text.substr(0, x), f.refuse_packet) && f.refuse_packet > 0 &&
           ParseNumber(text.substr(x + 1), f.refuse_times) && f.refuse_times > 0;
}

using ValueHandler = std::function<bool(Parser&, const std::string&)>;
using FlagHandler = std::function<void(Parser&)>;

const std::map<std::string, ValueHandler>& ValueOptions() {
    static const std::map<std::string, ValueHandler> handlers = {
        {"--tcp",
         [](Parser& p, const std::string& v) {
             p.options.server.transport = Transport::Tcp;
             p.transport_chosen = true;
             return ParseNumber(v, p.options.server.tcp_port);
         }},
        {"--ids", [](Parser& p, const std::string& v) { return ParseIds(v, p.ids); }},
        {"--seed", [](Parser& p, const std::string& v) { return ParseNumber(v, p.sensor.seed); }},
        {"--lanes",
         [](Parser& p, const std::string& v) {
             return ParseNumber(v, p.sensor.lanes) && p.sensor.lanes >= 0 && p.sensor.lanes <= kMaxLanes;
         }},
        {"--units",
         [](Parser& p, const std::string& v) {
             p.sensor.units = v.empty() ? '?' : v[0];
             return v == "E" || v == "M";
         }},
        {"--interval",
         [](Parser& p, const std::string& v) {
             return ParseNumber(v, p.sensor.interval_seconds) && p.sensor.interval_seconds > 0;
         }},
        {"--version",
         [](Parser& p, const std::string& v) {
             p.sensor.version_text = v;
             return !v.empty() && v.size() <= kVersionLength;
         }},
        {"--mode",
         [](Parser& p, const std::string& v) {
             p.sensor.config_mode = v.empty() ? '?' : v[0];
             return v == "0" || v == "1" || v == "2";
         }},
        {"--baud",
         [](Parser& p, const std::string& v) {
             return ParseNumber(v, p.sensor.baud) && CodeOfBaud(p.sensor.baud) != '\0';
         }},
        {"--port", [](Parser& p, const std::string& v) { return ParsePort(v, p.sensor.port); }},
        {"--push", [](Parser& p, const std::string& v) { return ParsePushTypes(v, p.sensor.push_types); }},
        {"--firewall-reply",
         [](Parser& p, const std::string& v) {
             p.sensor.bare_firewall_reply = v == "bare";
             return v == "bare" || v == "echo";
         }},
        {"--flash-records",
         [](Parser& p, const std::string& v) {
             p.sensor.flash_records.emplace();
             return ParseNumber(v, *p.sensor.flash_records) && *p.sensor.flash_records >= 0 &&
                    *p.sensor.flash_records <= static_cast<int>(kFlashCapacity);
         }},
        {"--sram-records",
         [](Parser& p, const std::string& v) {
             p.sensor.sram_records.emplace();
             return ParseNumber(v, *p.sensor.sram_records) && *p.sensor.sram_records >= 0 &&
                    *p.sensor.sram_records <= static_cast<int>(kSramCapacity);
         }},
        {"--record", [](Parser& p, const std::string& v) { return ParseRecord(v, p.sensor.records); }},
        {"--clock-reset-after",
         [](Parser& p, const std::string& v) {
             return ParseNumber(v, p.sensor.clock_reset_after_seconds) &&
                    p.sensor.clock_reset_after_seconds > 0;
         }},
        {"--auto-config-seconds",
         [](Parser& p, const std::string& v) {
             return ParseNumber(v, p.sensor.auto_config_seconds) && p.sensor.auto_config_seconds >= 0;
         }},
        {"--dsp-version",
         [](Parser& p, const std::string& v) {
             p.sensor.version.dsp_text = v;
             return !v.empty() && v.size() <= 20;
         }},
        {"--fpga-version",
         [](Parser& p, const std::string& v) {
             p.sensor.version.fpga = v;
             return !v.empty() && v.size() <= 4 && v.find_first_not_of("0123456789") == std::string::npos;
         }},
        {"--profile", [](Parser& p, const std::string& v) { return ReadProfile(p, v); }},
        {"--traffic",
         [](Parser& p, const std::string& v) {
             return ParseNumber(v, p.sensor.vehicles_per_hour) && p.sensor.vehicles_per_hour >= 1 &&
                    p.sensor.vehicles_per_hour <= 3600;
         }},
        {"--rough", [](Parser& p, const std::string& v) { return ParseRough(v, p.sensor.rough); }},
        {"--clock-offset",
         [](Parser& p, const std::string& v) { return ParseNumber(v, p.sensor.clock_offset_seconds); }},
        {"--history",
         [](Parser& p, const std::string& v) {
             return ParseNumber(v, p.sensor.history_records) && p.sensor.history_records >= 0;
         }},
        {"--reset-records",
         [](Parser& p, const std::string& v) {
             return ParseNumber(v, p.sensor.reset_records) && p.sensor.reset_records >= 0;
         }},
        {"--reset-clock",
         [](Parser& p, const std::string& v) { return ParseNumber(v, p.sensor.reset_clock_start); }},
        {"--log",
         [](Parser& p, const std::string& v) {
             p.options.server.log_path = v;
             return !v.empty();
         }},
        {"--drop-reply",
         [](Parser& p, const std::string& v) {
             FaultSettings& f = p.options.server.faults;
             if (v.find('.') != std::string::npos) {
                 return ParseNumber(v, f.drop_probability) && f.drop_probability >= 0.0 &&
                        f.drop_probability <= 1.0;
             }
             return ParseNumber(v, f.drop_every) && f.drop_every > 0;
         }},
        {"--fault-seed",
         [](Parser& p, const std::string& v) { return ParseNumber(v, p.options.server.faults.fault_seed); }},
        {"--corrupt",
         [](Parser& p, const std::string& v) {
             return ParseNumber(v, p.options.server.faults.corrupt_every) &&
                    p.options.server.faults.corrupt_every > 0;
         }},
        {"--slow",
         [](Parser& p, const std::string& v) {
             return ParseNumber(v, p.options.server.faults.slow_ms) && p.options.server.faults.slow_ms >= 0;
         }},
        {"--close-after",
         [](Parser& p, const std::string& v) {
             return ParseNumber(v, p.options.server.faults.close_after) &&
                    p.options.server.faults.close_after > 0;
         }},
        {"--modem-rate",
         [](Parser& p, const std::string& v) {
             p.options.server.modem = true;
             return ParseNumber(v, p.options.server.modem_front.connect_rate) &&
                    p.options.server.modem_front.connect_rate > 0;
         }},
        {"--modem-result",
         [](Parser& p, const std::string& v) {
             p.options.server.modem = true;
             return ParseDialOutcome(v, p.options.server.modem_front.outcome);
         }},
        {"--modem-dial-ms",
         [](Parser& p, const std::string& v) {
             p.options.server.modem = true;
             return ParseNumber(v, p.options.server.modem_front.dial_ms) &&
                    p.options.server.modem_front.dial_ms >= 0;
         }},
        {"--mute-after",
         [](Parser& p, const std::string& v) {
             return ParseNumber(v, p.options.server.faults.mute_after) &&
                    p.options.server.faults.mute_after > 0;
         }},
        {"--restart-ms",
         [](Parser& p, const std::string& v) {
             return ParseNumber(v, p.sensor.restart_ms) && p.sensor.restart_ms >= 0;
         }},
        {"--refuse-packet", ParseRefusePacket},
        {"--wrong-echo",
         [](Parser& p, const std::string& v) {
             return ParseNumber(v, p.sensor.firmware_faults.wrong_echo) &&
                    p.sensor.firmware_faults.wrong_echo > 0;
         }},
    };
    return handlers;
}

const std::map<std::string, FlagHandler>& FlagOptions() {
    static const std::map<std::string, FlagHandler> handlers = {
        {"--pty",
         [](Parser& p) {
             p.options.server.transport = Transport::Pty;
             p.transport_chosen = true;
         }},
        {"--no-pacing", [](Parser& p) { p.options.server.pacing = false; }},
        {"--modem", [](Parser& p) { p.options.server.modem = true; }},
        {"--modem-numeric",
         [](Parser& p) {
             p.options.server.modem = true;
             p.options.server.modem_front.numeric = true;
         }},
        {"--forward-fire", [](Parser& p) { p.sensor.forward_fire = true; }},
        {"--no-firewall", [](Parser& p) { p.sensor.firewall = false; }},
        {"--overwrite", [](Parser& p) { p.sensor.overwrite = true; }},
        {"--noise", [](Parser& p) { p.options.server.faults.noise = true; }},
        {"--collisions", [](Parser& p) { p.options.server.faults.collisions = true; }},
        {"--fail-upload", [](Parser& p) { p.sensor.firmware_faults.fail_result = true; }},
        {"--help", [](Parser& p) { p.options.help = true; }},
        {"-h", [](Parser& p) { p.options.help = true; }},
    };
    return handlers;
}

// One sensor per ID on a multi-drop line, each with its own traffic; one simple sensor otherwise.
void BuildSensors(Parser& parser) {
    if (parser.ids.empty()) {
        parser.options.sensors.push_back(parser.sensor);
        return;
    }
    for (std::size_t i = 0; i < parser.ids.size(); ++i) {
        SensorSettings sensor = parser.sensor;
        sensor.id = parser.ids[i];
        sensor.multi_drop_network = true;
        sensor.seed = parser.sensor.seed + static_cast<std::uint32_t>(i);
        parser.options.sensors.push_back(sensor);
    }
}

bool ApplyArguments(Parser& parser, const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (const auto flag = FlagOptions().find(arg); flag != FlagOptions().end()) {
            flag->second(parser);
            continue;
        }
        const auto value = ValueOptions().find(arg);
        if (value == ValueOptions().end()) {
            parser.error = "unknown option " + arg;
            return false;
        }
        if (i + 1 >= args.size()) {
            parser.error = arg + " needs a value";
            return false;
        }
        parser.error.clear();
        if (!value->second(parser, args[++i])) {
            if (parser.error.empty()) {
                parser.error = "bad value for " + arg + ": " + args[i];
            }
            return false;
        }
    }
    return true;
}

// A profile holds one option a line, without its leading "--": "lanes 6", "forward-fire",
// "record S01=M...". Blank lines and lines starting with '#' are skipped. The options take effect
// where --profile stands among the arguments, so later arguments override the profile.
bool ReadProfile(Parser& parser, const std::string& path) {
    constexpr int kMaxNesting = 4;
    std::ifstream file(path);
    if (!file) {
        parser.error = "cannot read the profile " + path;
        return false;
    }
    if (++parser.profile_depth > kMaxNesting) {
        parser.error = "profiles nested too deeply at " + path;
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') {
            continue;
        }
        const std::size_t name_end = line.find_first_of(" \t", start);
        std::vector<std::string> args{"--" + line.substr(start, name_end - start)};
        if (name_end != std::string::npos) {
            const std::size_t value_start = line.find_first_not_of(" \t", name_end);
            if (value_start != std::string::npos) {
                args.push_back(line.substr(value_start));
            }
        }
        if (!ApplyArguments(parser, args)) {
            parser.error = path + " line " + std::to_string(number) + ": " + parser.error;
            return false;
        }
    }
    --parser.profile_depth;
    return true;
}

}  // namespace

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error) {
    Parser parser{options, {}, {}, false, {}, 0};
    if (!ApplyArguments(parser, args)) {
        error = parser.error;
        return false;
    }
    if (options.help) {
        return true;
    }
    if (!parser.transport_chosen) {
        error = "choose a transport: --pty or --tcp PORT";
        return false;
    }
    BuildSensors(parser);
    return true;
}

std::string SimUsage() {
    return R"(Usage: qvx-sim (--pty | --tcp PORT) [options]

A simulated traffic radar sensor (or several on one multi-drop line) for Quorvix Manager.
The first line printed is the readiness line: the pty slave path, or "tcp 127.0.0.1:PORT".

Transport:
  --pty                 serve on a new pseudo-terminal; the sensor answers only while the
                        line runs at its configured rate
  --tcp PORT            serve on 127.0.0.1:PORT, one client at a time (0: any free port)
  --no-pacing           pty: write replies at once instead of at the line rate
  --modem               a Hayes modem in front of the sensors: it answers "AT" commands with
                        OK, "ATDT<number>" with CONNECT <rate> and then passes frames to
                        the sensors until "+++" returns it to command mode; it echoes
                        commands until "E0", "+++" needs 1 s of silence before it
  --modem-rate N        the rate the modem reports with CONNECT (default: the line rate)
  --modem-result R      what dialling brings: connect, no-carrier, no-dialtone or busy
  --modem-dial-ms N     dialling takes N ms; any character from the PC stops it
  --modem-numeric       results in numbers ("0" for OK) until "V1"

Sensors:
  --ids ID,ID,...       sensors on a multi-drop line, 4-character IDs; each answers only
                        frames addressed "Z0"+ID and the bare discovery commands
                        (without --ids: one sensor on the simple protocol, ID 0001)
  --seed N              traffic seed (default 1); the same seed gives the same data
  --lanes N             lanes 0..8 (default 4)
  --units E|M           English or metric (default E)
  --interval S          interval length in seconds (default 20)
  --history N           completed intervals stored at start (default 60; at most 2975 stay
                        in flash, the newest 246 in SRAM)
  --overwrite           memory overwrite on: a full flash buffer drops its oldest record
                        (off: a full flash buffer stores nothing more)
  --reset-records N     after the history the clock resets: N more records are stored from
                        an unset clock, which then runs on from there
  --reset-clock S       where the reset clock restarts, in sensor seconds (default 61440)
  --forward-fire        a forward-fire sensor (side-fire by default)
  --version TEXT        the "S5" version text (default "DSP: QVX_v2.30.10.S03.R05 FPGA: 0030")
  --mode 0|1|2          configuration mode (default 2)
  --baud N              the connection port's rate: 9600 (default) .. 921600
  --port rs232|rs485|expa|expb   the port the program is connected through (default rs232)
  --clock-offset S      sensor clock minus the PC's UTC clock, in seconds (default 0)
  --clock-reset-after S the sensor clock falls back to 0 once, S seconds after start
  --no-firewall         accept writes without the unprotect command
  --firewall-reply echo|bare   unprotect and protect answered with the echoed access code
                        (default) or with "S8" alone
  --auto-config-seconds S      how long an automatic lane configuration (mode 0) takes
                        before the sensor reports mode 1 (default 10)
  --dsp-version TEXT    the DSP part of the "S5" text, up to 20 characters
  --fpga-version NNNN   the FPGA part of the "S5" text (default 0030)
  --flash-records N     intervals stored in flash at start (0..2975; default: --history
                        when the configuration stores to flash)
  --sram-records N      intervals stored in SRAM at start (0..246; default: --history)
  --record CODE=TEXT    start with this record instead of the built one; CODE is the read
                        command: S0 S01 S02 S3 S3N S30 SG0 SG1 SG2 SG3 (blanks pad a short text)
  --profile FILE        options from a file, one a line without the leading "--"
                        ("lanes 6", "forward-fire"); '#' starts a comment line

Traffic:
  --traffic VPH         vehicles per hour in every lane, 1..3600 (default: 300..1200 per lane)
  --push TYPES          push set-ups enabled on the connection port: XD (interval records),
                        XA (events), X1 (actuation), comma-separated; in push mode the sensor
                        streams them until "Stop push"
  --rough KINDS         awkward data, comma-separated: lane-order (lane blocks in reverse),
                        departing (negative speeds in lanes 2, 4, ...), big-shares (shares
                        above 1024), class-digits (event classes above 2), lane-nine (event
                        lane digit 9), or all

Faults:
  --drop-reply N|P      drop every Nth reply, or each reply with probability P (e.g. 0.1)
  --fault-seed N        seed for the probability and the noise (default 1)
  --corrupt N           change one byte in every Nth reply
  --noise               garbage bytes on the line before each reply
  --slow MS             delay every reply by MS milliseconds
  --close-after N       TCP: close the connection after N requests on it
  --mute-after N        answer nothing after N requests
  --collisions          discovery replies in the same position of the poll window overlap
                        and reach the line garbled
  --refuse-packet N[xK] refuse the Nth packet of every firmware upload, K times (default 1)
  --fail-upload         answer every firmware upload result with "Failure"
  --wrong-echo N        echo a wrong check value to the first N firmware announces
  --restart-ms MS       silent this long after the restart command "D0" (default 8000)

Other:
  --log FILE            append one line per request frame received (e.g. "Z00012S0")
  --help                this text
)";
}

}  // namespace qvx::sim
