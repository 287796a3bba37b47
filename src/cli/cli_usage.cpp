#include <map>

#include "cli_options.h"

namespace qvx::cli {

namespace {

constexpr const char* kConnectionHelp =
    "Connection (one of --serial, --tcp or --modem is required):\n"
    "  --serial PATH|auto   the serial port (a device path), or 'auto' to search every port\n"
    "                       (or the colon-separated list in QVX_SERIAL_PORTS)\n"
    "  --baud N             a fixed rate; without it the rate is detected (9600 ... 921600 bps)\n"
    "  --tcp HOST:PORT      a TCP connection to the sensor's network port\n"
    "  --modem PATH|auto    a dial-up modem on that serial port, or 'auto' to find it\n"
    "  --dial NUMBER        with --modem: the sensor's telephone number (ATDT)\n"
    "  --dial-manually      with --modem: you dial on the telephone once qvx says so\n"
    "  --id XXXX            address one sensor of a multi-drop line by its 4-character ID\n"
    "  --id auto            detect the IDs on the line and talk to the first (or to --pick N)\n"
    "  --pick N             with --id auto: the Nth ID found (1 = the first)\n"
    "  --wait MS            additional response wait, 0 to 99998 ms (default 0)\n"
    "  --on-error POLICY    after a failed exchange: cancel (default: report and fail),\n"
    "                       retry (up to 3 more tries, then cancel) or ignore\n"
    "  --debug              log every frame both ways, connection steps and warnings to stderr\n"
    "Every connection measures the link's response time first, and ends by protecting the\n"
    "sensor's command firewall and restoring push mode; a modem line is then hung up.\n";

constexpr const char* kOverview =
    "usage: qvx [connection options] COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  info [--format F]            the sensor's identity, one \"Name: value\" line per field\n"
    "  send CODE [PAYLOAD] [--raw] [--format F]\n"
    "                               one command of the catalogue; prints the reply data\n"
    "                               or the status word it answered (\"status: Success\")\n"
    "  clock get [--utc] [--format F]  the sensor clock in the PC's local time\n"
    "  clock set \"YYYY-MM-DD HH:MM:SS\"  set the sensor clock (local time)\n"
    "  clock sync                   set the sensor clock from the PC's UTC time\n"
    "  discover [--format F]        the multi-drop IDs on the line, one per line\n"
    "  live intervals [--count N] [--log FILE] [--utc] [--format F]\n"
    "                               each new interval record, one line per lane\n"
    "  live events [--count N] [--log FILE] [--counts] [--format text|tsv|json]\n"
    "                               each vehicle event as the sensor reports it\n"
    "  live actuation [--count N] [--format text|tsv|json]\n"
    "                               the lanes occupied now, printed as they change\n"
    "  terminal [--binary]          a raw console: lines typed are sent as they are\n"
    "  acquire [--seconds N] FILE   record the raw radar stream (serial, 921600 bps)\n"
    "  pll get [latch|r|n]          the synthesizer registers, field by field\n"
    "  pll set latch|r|n ...        write one register and read it back\n"
    "  memory LOWER UPPER           sensor memory words as a table (--watch MS, --store)\n"
    "  firmware check [--format text|tsv|json]\n"
    "                               the firmware compared with the built-in bundle, per image\n"
    "  firmware upload --dsp FILE|--fpga FILE --yes [--no-reboot]\n"
    "                               load one image from a hex file\n"
    "  firmware update --yes        load the bundle images the check plans\n"
    "  export 3card LOG --from DATE --to DATE --station ID --state NAME|CODE --class CODE\n"
    "               [--restriction N] [--lane NAME=LANE:DIR ...] [--out DIR] [--overwrite]\n"
    "                               an interval log as a 3-card hourly volume file (no sensor)\n"
    "  export csv LOG [--from DATE --to DATE] [--out FILE] [--overwrite]\n"
    "                               an interval log as CSV, one row per interval and lane\n"
    "  config save FILE             read the sensor's configuration into a .qcf settings file\n"
    "  config load FILE [--dry-run] check a .qcf file and write it to the sensor\n"
    "  config show [--format F]     every settings field by its label (text, tsv or json)\n"
    "  lanes show [--format F]      the sensor's roads and lanes, one line per road\n"
    "  lanes restart [--blinders LOW HIGH]  restart the automatic lane configuration\n"
    "  lanes save                   save the lane picture the sensor holds to its flash\n"
    "  download FILE [--mode incremental|normal|recovery]\n"
    "                               fetch the sensor's stored intervals into a download file\n"
    "  buffers [--format F]         how full the flash and SRAM buffers are\n"
    "  erase --yes | --download-first FILE  erase the stored intervals\n"
    "  study --interval SECONDS [--memory-overwrite on|off]  prepare the sensor for a study\n"
    "\n"
    "  F (--format) is text (the default), tsv (a header line of field names, then rows) or\n"
    "  json. Both print times as ISO 8601 with the zone (2026-12-08T15:04:05+01:00, or Z\n"
    "  with --utc) and escape what would break them: tsv writes \\\\, \\t, \\n and \\r;\n"
    "  json writes control and 8-bit bytes as \\u00XX.\n"
    "\n"
    "  qvx COMMAND --help           help on one command\n"
    "  qvx --version                the program's version\n"
    "\n"
    "Exit codes: 0 success, 2 usage error, 3 no connection, 4 the sensor refused or an\n"
    "exchange failed, 1 any other failure.\n"
    "\n";

const std::map<std::string, std::string>& TopicTexts() {
    static const std::map<std::string, std::string> topics = {
        {"info",
         "usage: qvx [connection options] info [--format text|tsv|json]\n"
         "Prints the Sensor Information fields, one per line: Serial Number, Description,\n"
         "Location, Sensor ID, Serial Interface, DSP, FPGA (trailing blanks removed). A field\n"
         "the sensor did not give is left out (exit code 4).\n"
         "tsv: one header line and one row, fields serial_number, description, location,\n"
         "sensor_id, serial_interface, dsp, fpga (a field not read is empty). json: one object\n"
         "with the same names; a field not read is absent.\n"},
        {"send",
         "usage: qvx [connection options] send CODE [PAYLOAD] [--raw] [--format text|tsv|json]\n"
         "Sends one command of the catalogue (for example S5, SB, XD) with PAYLOAD followed by\n"
         "a carriage return, and prints the reply's data: control and 8-bit bytes as \\xHH (a\n"
         "backslash as \\\\) unless --raw. A reply that is a status word the command may answer\n"
         "(\"Success\", \"Failure\", \"Invalid\", \"Ready\", \"Empty\", \"Null\", \"No lanes\") is\n"
         "printed as \"status: WORD\"; \"Failure\" and \"Invalid\" are refusals (exit code 4).\n"
         "tsv: the header \"code status data\" and one row (status or data empty). json: one\n"
         "object {\"code\", and \"status\" or \"data\"}; json data is the reply as received.\n"
         "Put \"--\" before a payload that starts with \"-\".\n"},
        {"clock",
         "usage: qvx [connection options] clock get\n"
         "       qvx [connection options] clock set \"YYYY-MM-DD HH:MM:SS\"\n"
         "       qvx [connection options] clock sync\n"
         "get prints the sensor clock in the PC's local time; set writes the given local time;\n"
         "sync sets the sensor clock from the PC's UTC time. set and sync print the time set.\n"
         "--utc prints times in UTC. --format tsv prints the header \"time\" and the time,\n"
         "json {\"time\": ...}, both ISO 8601 with the zone (2026-12-08T15:04:05+01:00, or Z).\n"},
        {"discover",
         "usage: qvx [connection options] discover\n"
         "Detects the sensors of a multi-drop line and prints their IDs, one per line, in the\n"
         "order they answered. The detected sensors are told to resume pushing at the end.\n"
         "--format tsv: the header \"id pick\" and one row per ID (pick: the number --pick takes);\n"
         "json: an array of {\"id\", \"pick\"} objects.\n"},
        {"config",
         "usage: qvx [connection options] config save FILE\n"
         "       qvx [connection options] config load FILE [--dry-run]\n"
         "       qvx [connection options] config show [--format text|tsv|json]\n"
         "save reads the configuration records of the sensor's mounting (side-fire or\n"
         "forward-fire) and writes them to FILE (\".qcf\" is appended to a name without it).\n"
         "load checks FILE as the settings window does before it saves, prints every field\n"
         "that fails with the reason (exit code 1), and writes the records to the sensor:\n"
         "algorithm records, extended, collection, then the main record with the flash save.\n"
         "The sensor's own serial number is kept. --dry-run checks without writing.\n"
         "show prints every field of the settings pages by its label, lengths in the\n"
         "sensor's units.\n"},
        {"live",
         "usage: qvx [connection options] live intervals [--count N] [--log FILE] [--utc]\n"
         "                                               [--format text|tsv|json]\n"
         "Prints the latest interval record at once, then each new one as the sensor completes\n"
         "it: one line per lane with the lane name, volume, speed, occupancy %, small, medium\n"
         "and large %, and \"Updated: \" with the record time (in UTC with --utc). Stops after N\n"
         "records, or on Ctrl+C / SIGTERM. --log FILE appends a banner and every record to an\n"
         "interval log. tsv: a header line, then one row per lane: time, lane, lane_name,\n"
         "volume, speed, occupancy, small, medium, large (percentages with one decimal). json:\n"
         "one object per record and line, {\"time\", \"lanes\": [{\"lane\", \"lane_name\",\n"
         "\"volume\", \"speed\", \"occupancy\", \"small\", \"medium\", \"large\"}]}.\n"
         "\n"
         "usage: qvx [connection options] live events [--count N] [--log FILE] [--counts]\n"
         "                                            [--format text|tsv|json]\n"
         "Clears the events the sensor kept, then prints each vehicle event as it comes: the\n"
         "time of day (HH:MM:SS:mmm), lane name, speed, class (a class digit above 2 counts as\n"
         "0) and the time in the beam. A forward-fire sensor reports lane 1 only. Stops after N\n"
         "events, or on Ctrl+C / SIGTERM; --counts then prints the events counted per lane.\n"
         "--log FILE appends a banner and every event to an event log. tsv starts with a header\n"
         "line; json prints one object per line; both give the time as ISO 8601 with\n"
         "milliseconds and the zone. Not available while the additional response\n"
         "wait is 500 ms or more (2000 ms on a forward-fire sensor).\n"
         "\n"
         "usage: qvx [connection options] live actuation [--count N] [--format text|tsv|json]\n"
         "Prints the lane occupancy mask (bit 0 = lane 1) and the occupied lanes whenever they\n"
         "change, polled every 30 ms; stops after N changes or on Ctrl+C / SIGTERM. tsv and json\n"
         "fields: time (ISO 8601 with the zone), mask, lanes.\n"},
        {"download",
         "usage: qvx [connection options] download FILE [--mode incremental|normal|recovery]\n"
         "Fetches the sensor's stored interval records, newest first, and appends them to FILE\n"
         "after a banner, in the interval log's layout. incremental (the default) fetches only\n"
         "what is newer than the last incremental download of this sensor and then remembers\n"
         "the newest record; normal fetches everything; recovery reads the flash buffer without\n"
         "the timestamp checks. A progress bar runs on stderr when it is a terminal; a summary\n"
         "line ends the run. Each record also goes to FILE.journal as it arrives: a download\n"
         "cut short is offered (and saved) by the next one. Ctrl+C stops and saves what came.\n"
         "Exit codes: 0 done (also when there was nothing new), 1 stopped or the file could\n"
         "not be written, 4 the sensor failed.\n"},
        {"lanes",
         "usage: qvx [connection options] lanes show [--format text|tsv|json]\n"
         "       qvx [connection options] lanes restart [--blinders LOW HIGH]\n"
         "       qvx [connection options] lanes save\n"
         "show prints the configuration mode and gain, then one line per road: its edges and\n"
         "its lanes with name, direction (R, L; r, l marked reversed), bins and centre bin\n"
         "(range bins 0..83, 0 nearest the sensor). tsv: one row per lane; json: one object.\n"
         "restart clears the lanes and restarts the sensor's automatic configuration; with\n"
         "--blinders it searches only between bins LOW and HIGH (at least 3 apart).\n"
         "save writes the picture the sensor holds back and saves it to flash.\n"},
        {"buffers",
         "usage: qvx [connection options] buffers [--format text|tsv|json]\n"
         "Counts the records in the flash (2975) and SRAM (246) buffers and prints each as\n"
         "\"1487/2975 = 50.0%\". tsv: buffer, count, capacity, percent; json: one object.\n"},
        {"erase",
         "usage: qvx [connection options] erase --yes\n"
         "       qvx [connection options] erase --download-first FILE\n"
         "Erases the SRAM and flash buffers (\"XE\" then \"XF\"). --download-first runs an\n"
         "incremental download into FILE first and erases only when it saved its data.\n"},
        {"study",
         "usage: qvx [connection options] study --interval SECONDS [--memory-overwrite on|off]\n"
         "Prepares the sensor for a study: sets the interval and flash storage, saves the\n"
         "settings, synchronises the clock and erases the stored data, printing each step.\n"},
        {"terminal",
         "usage: qvx [connection options] terminal [--binary]\n"
         "A raw console on the link, past the command protocol. Line mode: each line read from\n"
         "standard input goes out followed by a carriage return. --binary: each line is pairs of\n"
         "hexadecimal digits (\"0a1B\"), each pair one byte, each byte written by itself; what\n"
         "the sensor sends is printed as hexadecimal digits. Ends at the end of the input (after\n"
         "the last replies) or on Ctrl+C.\n"},
        {"acquire",
         "usage: qvx --serial PATH acquire [--seconds N] FILE\n"
         "Moves the sensor and the port to 921600 bps (the sensor must be on its RS-485 port),\n"
         "records N seconds (1 to 900, default 60) of the raw radar stream, N x 46748 - 116\n"
         "bytes, into FILE (\".dat\" is appended unless it ends so) and moves both rates back.\n"
         "A progress bar shows on a terminal; Ctrl+C stops and saves what came. Exit code 4\n"
         "when the stream stopped early or the rates could not be restored.\n"},
        {"pll",
         "usage: qvx [connection options] pll get [latch|r|n] [--format text|tsv|json]\n"
         "       qvx [connection options] pll set n RATIO [go]            RATIO 992..262143\n"
         "       qvx [connection options] pll set r RATIO [ld-precision]  RATIO 3..16383\n"
         "       qvx [connection options] pll set latch NAME=VALUE ...\n"
         "get prints each register as 6 hex digits, 24 bits and its fields. set writes the\n"
         "register (\"00\" + 6 hex digits) and reads it back; a latch keeps the fields not named.\n"
         "Latch fields: counter-reset, power-down, pd-polarity, cp-tristate, power-down-mode\n"
         "(0 or 1), fo-ld (0-7), fastlock (0-4), fastlock-timeout (0-15). Exit code 4 when the\n"
         "register reads back otherwise.\n"},
        {"memory",
         "usage: qvx [connection options] memory LOWER UPPER [--format hex|dec|char]\n"
         "                                [--watch MS [--count N] [--store FILE [--event-list]]]\n"
         "Reads the 16-bit words LOWER..UPPER (hexadecimal word addresses, at most 1025 words;\n"
         "a lower address above the upper one reads one word) and prints 16 per row. A sensor\n"
         "that returns fewer words is reported on stderr; only the words returned are shown.\n"
         "--watch reads again every MS ms and prints the table whenever it changed (N reads,\n"
         "or until Ctrl+C); --store appends every change to FILE (\".dat\" unless it ends in\n"
         "\".dat\" or \".txt\"), as a dump or, with --event-list, as the recent-event list\n"
         "(the range becomes LOWER..LOWER+49).\n"},
        {"firmware",
         "usage: qvx [connection options] firmware check [--format text|tsv|json]\n"
         "       qvx [connection options] firmware upload --dsp FILE|--fpga FILE --yes [--no-reboot]\n"
         "       qvx [connection options] firmware update --yes\n"
         "check compares the sensor's firmware with the bundle built into the program and prints\n"
         "one line per image: the image, the sensor's version, the bundle's version and the plan\n"
         "(\"current\", \"upload\" or \"incompatible\"). upload loads one DSP or FPGA image from\n"
         "a hex file; the file is recognised first, and nothing is sent without --yes. After an\n"
         "FPGA image the sensor is restarted unless --no-reboot is given; a DSP image always\n"
         "restarts it (15 seconds). update loads the images check plans (FPGA first, then DSP)\n"
         "and checks again. A failed handshake is retried under --on-error retry. On a terminal\n"
         "a progress bar shows the percentage, the rate and the time left; Ctrl+C cancels the\n"
         "transfer. Exit code 4 when the sensor refused the image or the upload failed.\n"},
        {"export",
         "usage: qvx export 3card LOG --from DATE --to DATE --station ID --state NAME|CODE\n"
         "                  --class CODE [--restriction N] [--lane NAME=LANE:DIR ...] [--out DIR]\n"
         "       qvx export csv LOG [--from DATE --to DATE] [--out FILE]\n"
         "Reads an interval log or download file; no sensor is needed.\n"
         "3card writes one 3-card hourly volume record per day, direction and lane code to\n"
         "DIR/<station padded to 6>.TM3 (DIR: the log's folder by default). DATE is YYYY-MM-DD;\n"
         "--state takes a name (\"Alaska\") or its code (02), --class a code (01 ... 19),\n"
         "--restriction 0 none, 1 construction or other activity, 2 counting device problem.\n"
         "--lane maps a lane name of the log to a lane code 0-9 (0: all lanes of the direction\n"
         "summed) and a direction (N NE E SE S SW W NW N-S/NE-SW E-W/SE-NW); lanes not named\n"
         "get lane 1, 2, 3 ... in the log's order, direction N.\n"
         "csv writes a header row and one row per interval and lane (RFC 4180, ISO 8601 times)\n"
         "to FILE (default: the log's name with .csv).\n"
         "An existing file is replaced only with --overwrite. Prints the path written; warnings\n"
         "(incomplete interval sets, damaged lines skipped) go to stderr. Exit code 1 when the\n"
         "log cannot be read or holds no data for the days, or the file cannot be written.\n"},
    };
    return topics;
}

}  // namespace

bool IsHelpTopic(const std::string& topic) {
    return TopicTexts().count(topic) != 0;
}

std::string UsageText(const std::string& topic) {
    const auto it = TopicTexts().find(topic);
    if (it == TopicTexts().end()) {
        return std::string(kOverview) + kConnectionHelp;
    }
    if (topic == "export") {
        return it->second;
    }
    return it->second + "\n" + kConnectionHelp;
}

}  // namespace qvx::cli
