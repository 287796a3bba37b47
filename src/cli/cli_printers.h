#pragma once
// What info, send, clock, discover and live intervals print, in each --format. Text is what a
// technician reads; tsv starts with a header line of the field names; json uses the same names.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli_options.h"

namespace qvx {
struct IntervalRecord;
struct SensorInformation;
}  // namespace qvx

namespace qvx::cli {

// The fields of the Sensor Information; a field the sensor did not give is left out (text, json)
// or left empty (tsv).
void PrintInfo(const SensorInformation& info, OutputFormat format, std::ostream& out);

// One reply to `send`: its data, or the status word it stands for.
struct SendReply {
    std::string code;
    std::string data;                        // as received
    std::optional<std::string_view> status;  // set when the reply is a status word, not data
    bool raw = false;                        // --raw: text and tsv data unescaped
};
void PrintSendReply(const SendReply& reply, OutputFormat format, std::ostream& out);

// A clock time: text is "YYYY-MM-DD HH:MM:SS", tsv and json the ISO 8601 time.
void PrintClockTime(const std::string& text, const std::string& iso, OutputFormat format, std::ostream& out);

void PrintDiscoveredIds(const std::vector<std::string>& ids, OutputFormat format, std::ostream& out);

// live intervals in tsv or json: one row per lane (tsv, after one header), one object per record
// and line (json).
class IntervalRecordPrinter {
  public:
    IntervalRecordPrinter(OutputFormat format, const std::string (&lane_names)[8], bool sensor_clock_is_utc,
                          bool utc, std::ostream& out);
    void Header();
    void Print(const IntervalRecord& record);

  private:
    OutputFormat format_;
    const std::string (&lane_names_)[8];
    bool sensor_clock_is_utc_;
    bool utc_;
    std::ostream& out_;
};

// Bytes above 0x7E and control bytes as \xHH (a backslash as \\).
std::string EscapedReply(const std::string& reply);

}  // namespace qvx::cli
