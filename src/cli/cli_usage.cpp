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
    "Every connection measures the link's response time first, and ends by protecting the\n"
    "sensor's command firewall and restoring push mode; a modem line is then hung up.\n";

constexpr const char* kOverview =
    "usage: qvx [connection options] COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  info                         the sensor's identity, one \"Name: value\" line per field\n"
    "  send CODE [PAYLOAD]          one command of the catalogue; prints the reply data\n"
    "  clock get                    the sensor clock in the PC's local time\n"
    "  clock set \"YYYY-MM-DD HH:MM:SS\"  set the sensor clock (local time)\n"
    "  clock sync                   set the sensor clock from the PC's UTC time\n"
    "  discover                     the multi-drop IDs on the line, one per line\n"
    "  live intervals [--count N] [--log FILE]\n"
    "                               each new interval record, one line per lane\n"
    "  live events [--count N] [--log FILE] [--counts] [--format text|tsv|json]\n"
    "                               each vehicle event as the sensor reports it\n"
    "  live actuation [--count N] [--format text|tsv|json]\n"
    "                               the lanes occupied now, printed as they change\n"
    "  export 3card LOG --from DATE --to DATE --station ID --state NAME|CODE --class CODE\n"
    "               [--restriction N] [--lane NAME=LANE:DIR ...] [--out DIR] [--overwrite]\n"
    "                               an interval log as a 3-card hourly volume file (no sensor)\n"
    "  export csv LOG [--from DATE --to DATE] [--out FILE] [--overwrite]\n"
    "                               an interval log as CSV, one row per interval and lane\n"
    "  config save FILE             read the sensor's configuration into a .qcf settings file\n"
    "  config load FILE [--dry-run] check a .qcf file and write it to the sensor\n"
    "  config show [--format F]     every settings field by its label (text, tsv or json)\n"
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
         "usage: qvx [connection options] info\n"
         "Prints the Sensor Information fields, one per line: Serial Number, Description,\n"
         "Location, Sensor ID, Serial Interface, DSP, FPGA. A field the sensor did not give\n"
         "reads \"Unknown\".\n"},
        {"send",
         "usage: qvx [connection options] send CODE [PAYLOAD]\n"
         "Sends one command of the catalogue (for example S5, SB, XD) with PAYLOAD followed by\n"
         "a carriage return, and prints the reply's data. A reply of \"Failure\" or \"Invalid\"\n"
         "is a refusal (exit code 4). Put \"--\" before a payload that starts with \"-\".\n"},
        {"clock",
         "usage: qvx [connection options] clock get\n"
         "       qvx [connection options] clock set \"YYYY-MM-DD HH:MM:SS\"\n"
         "       qvx [connection options] clock sync\n"
         "get prints the sensor clock in the PC's local time; set writes the given local time;\n"
         "sync sets the sensor clock from the PC's UTC time.\n"},
        {"discover",
         "usage: qvx [connection options] discover\n"
         "Detects the sensors of a multi-drop line and prints their IDs, one per line, in the\n"
         "order they answered. The detected sensors are told to resume pushing at the end.\n"},
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
         "usage: qvx [connection options] live intervals [--count N] [--log FILE]\n"
         "Prints the latest interval record at once, then each new one as the sensor completes\n"
         "it: one line per lane with the lane name, volume, speed, occupancy %, small, medium\n"
         "and large %, and \"Updated: \" with the record time. Stops after N records, or on\n"
         "Ctrl+C / SIGTERM. --log FILE appends a banner and every record to an interval log.\n"
         "\n"
         "usage: qvx [connection options] live events [--count N] [--log FILE] [--counts]\n"
         "                                            [--format text|tsv|json]\n"
         "Clears the events the sensor kept, then prints each vehicle event as it comes: the\n"
         "time of day (HH:MM:SS:mmm), lane name, speed, class (a class digit above 2 counts as\n"
         "0) and the time in the beam. A forward-fire sensor reports lane 1 only. Stops after N\n"
         "events, or on Ctrl+C / SIGTERM; --counts then prints the events counted per lane.\n"
         "--log FILE appends a banner and every event to an event log. tsv starts with a header\n"
         "line; json prints one object per line. Not available while the additional response\n"
         "wait is 500 ms or more (2000 ms on a forward-fire sensor).\n"
         "\n"
         "usage: qvx [connection options] live actuation [--count N] [--format text|tsv|json]\n"
         "Prints the lane occupancy mask (bit 0 = lane 1) and the occupied lanes whenever they\n"
         "change, polled every 30 ms; stops after N changes or on Ctrl+C / SIGTERM.\n"},
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
