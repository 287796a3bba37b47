#include "sim_options.h"

#include <charconv>
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

struct Parser {
    SimOptions& options;
    SensorSettings sensor;
    std::vector<std::string> ids;
    bool transport_chosen = false;
};

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
        {"--clock-offset",
         [](Parser& p, const std::string& v) { return ParseNumber(v, p.sensor.clock_offset_seconds); }},
        {"--history",
         [](Parser& p, const std::string& v) {
             return ParseNumber(v, p.sensor.history_records) && p.sensor.history_records >= 0;
         }},
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
        {"--noise", [](Parser& p) { p.options.server.faults.noise = true; }},
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

}  // namespace

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error) {
    Parser parser{options, {}, {}, false};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (const auto flag = FlagOptions().find(arg); flag != FlagOptions().end()) {
            flag->second(parser);
            continue;
        }
        const auto value = ValueOptions().find(arg);
        if (value == ValueOptions().end()) {
            error = "unknown option " + arg;
            return false;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return false;
        }
        if (!value->second(parser, args[++i])) {
            error = "bad value for " + arg + ": " + args[i];
            return false;
        }
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
  --history N           completed intervals stored at start (default 60)
  --forward-fire        a forward-fire sensor (side-fire by default)
  --version TEXT        the "S5" version text (default "DSP: QVX_v2.30.10.S03.R05 FPGA: 0030")
  --mode 0|1|2          configuration mode (default 2)
  --baud N              the connection port's rate: 9600 (default) .. 921600
  --port rs232|rs485|expa|expb   the port the program is connected through (default rs232)
  --clock-offset S      sensor clock minus the PC's UTC clock, in seconds (default 0)
  --no-firewall         accept writes without the unprotect command

Faults:
  --drop-reply N|P      drop every Nth reply, or each reply with probability P (e.g. 0.1)
  --fault-seed N        seed for the probability and the noise (default 1)
  --corrupt N           change one byte in every Nth reply
  --noise               garbage bytes on the line before each reply
  --slow MS             delay every reply by MS milliseconds
  --close-after N       TCP: close the connection after N requests on it
  --mute-after N        answer nothing after N requests

Other:
  --log FILE            append one line per request frame received (e.g. "Z00012S0")
  --help                this text
)";
}

}  // namespace qvx::sim
