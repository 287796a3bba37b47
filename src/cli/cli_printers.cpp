#include "cli_printers.h"

#include <cstdio>

#include "app/sensor_info.h"
#include "cli_output.h"
#include "protocol/interval_format.h"
#include "protocol/traffic_records.h"

namespace qvx::cli {

namespace {

std::string TrimmedRight(std::string_view text) {
    const std::size_t last = text.find_last_not_of(" \0", std::string_view::npos, 2);
    return last == std::string_view::npos ? std::string() : std::string(text.substr(0, last + 1));
}

std::string Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \0", 0, 2);
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(" \0", std::string_view::npos, 2);
    return std::string(text.substr(first, last - first + 1));
}

struct InfoField {
    const char* label;  // text
    const char* name;   // tsv and json
    const std::string* value;
};

std::vector<InfoField> InfoFields(const SensorInformation& info) {
    return {
        {"Serial Number", "serial_number", &info.serial_number},
        {"Description", "description", &info.description},
        {"Location", "location", &info.location},
        {"Sensor ID", "sensor_id", &info.sensor_id},
        {"Serial Interface", "serial_interface", &info.serial_interface},
        {"DSP", "dsp", &info.dsp},
        {"FPGA", "fpga", &info.fpga},
    };
}

// "Unknown" would read as the sensor's answer.
bool WasRead(const InfoField& field) {
    return *field.value != kUnknownField;
}

}  // namespace

std::string EscapedReply(const std::string& reply) {
    std::string text;
    for (char c : reply) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\\') {
            text += "\\\\";
        } else if (byte < 0x20 || byte > 0x7E) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        } else {
            text += c;
        }
    }
    return text;
}

void PrintInfo(const SensorInformation& info, OutputFormat format, std::ostream& out) {
    const std::vector<InfoField> fields = InfoFields(info);
    if (format == OutputFormat::Tsv) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            out << (i ? "\t" : "") << fields[i].name;
        }
        out << "\n";
        for (std::size_t i = 0; i < fields.size(); ++i) {
            out << (i ? "\t" : "") << (WasRead(fields[i]) ? TsvField(TrimmedRight(*fields[i].value)) : "");
        }
        out << "\n";
        return;
    }
    if (format == OutputFormat::Json) {
        std::string members;
        for (const InfoField& field : fields) {
            if (WasRead(field)) {
                members += (members.empty() ? "" : ",") + JsonString(field.name) + ":" +
                           JsonString(TrimmedRight(*field.value));
            }
        }
        out << "{" << members << "}\n";
        return;
    }
    for (const InfoField& field : fields) {
        if (WasRead(field)) {
            out << field.label << ": " << TrimmedRight(*field.value) << "\n";
        }
    }
}

void PrintSendReply(const SendReply& reply, OutputFormat format, std::ostream& out) {
    const std::string status = reply.status ? std::string(*reply.status) : "";
    switch (format) {
        case OutputFormat::Text:
            if (reply.status) {
                out << "status: " << status << "\n";
            } else {
                out << (reply.raw ? reply.data : EscapedReply(reply.data)) << "\n";
            }
            break;
        case OutputFormat::Tsv: {
            const std::string data = reply.status ? ""
                                     : reply.raw  ? TsvField(reply.data)
                                                  : EscapedReply(reply.data);
            out << "code\tstatus\tdata\n" << TsvField(reply.code) << "\t" << status << "\t" << data << "\n";
            break;
        }
        case OutputFormat::Json:
            out << "{\"code\":" << JsonString(reply.code) << ","
                << (reply.status ? "\"status\":" + JsonString(status) : "\"data\":" + JsonString(reply.data))
                << "}\n";
            break;
    }
}

void PrintClockTime(const std::string& text, const std::string& iso, OutputFormat format, std::ostream& out) {
    switch (format) {
        case OutputFormat::Text:
            out << text << "\n";
            break;
        case OutputFormat::Tsv:
            out << "time\n" << iso << "\n";
            break;
        case OutputFormat::Json:
            out << "{\"time\":" << JsonString(iso) << "}\n";
            break;
    }
}

void PrintDiscoveredIds(const std::vector<std::string>& ids, OutputFormat format, std::ostream& out) {
    if (format == OutputFormat::Tsv) {
        out << "id\tpick\n";
    } else if (format == OutputFormat::Json) {
        out << "[";
    }
    for (std::size_t i = 0; i < ids.size(); ++i) {
        switch (format) {
            case OutputFormat::Text:
                out << ids[i] << "\n";
                break;
            case OutputFormat::Tsv:
                out << TsvField(ids[i]) << "\t" << i + 1 << "\n";
                break;
            case OutputFormat::Json:
                out << (i ? ",\n " : "") << "{\"id\":" << JsonString(ids[i]) << ",\"pick\":" << i + 1 << "}";
                break;
        }
    }
    if (format == OutputFormat::Json) {
        out << "]\n";
    }
}

IntervalRecordPrinter::IntervalRecordPrinter(OutputFormat format, const std::string (&lane_names)[8],
                                             bool sensor_clock_is_utc, bool utc, std::ostream& out)
    : format_(format),
      lane_names_(lane_names),
      sensor_clock_is_utc_(sensor_clock_is_utc),
      utc_(utc),
      out_(out) {}

void IntervalRecordPrinter::Header() {
    if (format_ == OutputFormat::Tsv) {
        out_ << "time\tlane\tlane_name\tvolume\tspeed\toccupancy\tsmall\tmedium\tlarge\n";
        out_.flush();
    }
}

void IntervalRecordPrinter::Print(const IntervalRecord& record) {
    const std::string time = record.end_time == kUnusableTimestamp
                                 ? ""
                                 : SensorIsoTime(record.end_time, sensor_clock_is_utc_, utc_);
    std::string lanes;
    for (const IntervalLane& lane : record.lanes) {
        const int index = lane.LaneIndex();
        const std::string number = index < 0 ? "" : std::to_string(index + 1);
        const std::string name = index < 0 ? "" : Trimmed(lane_names_[index]);
        const std::string percents[] = {
            Trimmed(FormatPercent(lane.occupancy)), Trimmed(FormatPercent(lane.small)),
            Trimmed(FormatPercent(lane.medium)), Trimmed(FormatPercent(lane.large))};
        if (format_ == OutputFormat::Tsv) {
            out_ << time << "\t" << number << "\t" << TsvField(name) << "\t" << lane.volume << "\t"
                 << lane.speed << "\t" << percents[0] << "\t" << percents[1] << "\t" << percents[2] << "\t"
                 << percents[3] << "\n";
            continue;
        }
        lanes += (lanes.empty() ? "" : ",") + std::string("{\"lane\":") + (number.empty() ? "null" : number) +
                 ",\"lane_name\":" + JsonString(name) + ",\"volume\":" + std::to_string(lane.volume) +
                 ",\"speed\":" + std::to_string(lane.speed) + ",\"occupancy\":" + percents[0] +
                 ",\"small\":" + percents[1] + ",\"medium\":" + percents[2] + ",\"large\":" + percents[3] +
                 "}";
    }
    if (format_ == OutputFormat::Json) {
        out_ << "{\"time\":" << (time.empty() ? "null" : JsonString(time)) << ",\"lanes\":[" << lanes
             << "]}\n";
    }
    out_.flush();
}

}  // namespace qvx::cli
