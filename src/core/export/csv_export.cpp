#include "export/csv_export.h"

#include <charconv>

#include "export/calendar_day.h"

namespace qvx {

namespace {

constexpr std::size_t kTypicalRowLength = 64;

void AppendNumber(std::string& out, double value) {
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    out.append(text, ec == std::errc() ? end : text);
}

void AppendNumber(std::string& out, long long value) {
    char text[24];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    out.append(text, ec == std::errc() ? end : text);
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

void AppendIsoTime(std::string& out, const LogRecord& record) {
    const std::size_t start = out.size();
    if (record.hour_minute() == "24:00") {
        out += CalendarDayText(NextDay(*ParseCalendarDay(record.date())));
        out += " 00:00:00";
    } else {
        out += record.timestamp();
    }
    out[start + 10] = 'T';
}

std::string IsoTime(const LogRecord& record) {
    std::string text;
    AppendIsoTime(text, record);
    return text;
}

void AppendCsvField(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    out += '"';
}

std::string CsvField(std::string_view text) {
    std::string field;
    AppendCsvField(field, text);
    return field;
}

std::string ComposeCsvFile(const LogData& log) {
    std::string out;
    out.reserve((log.records.size() + 1) * kTypicalRowLength);
    out += kCsvHeader;
    out += "\r\n";
    for (const LogRecord& record : log.records) {
        AppendIsoTime(out, record);
        out += ',';
        AppendCsvField(out, Trimmed(record.lane_name));
        out += ',';
        out += Trimmed(record.volume_text);
        out += ',';
        AppendNumber(out, static_cast<long long>(record.speed));
        for (double share : {record.occupancy, record.small, record.medium, record.large}) {
            out += ',';
            AppendNumber(out, share);
        }
        out += "\r\n";
    }
    return out;
}

std::string CsvFilePathFor(const std::string& log_path) {
    const std::size_t slash = log_path.rfind('/');
    const std::size_t dot = log_path.rfind('.');
    const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (has_extension ? log_path.substr(0, dot) : log_path) + ".csv";
}

ExportMessage CsvSuccessMessage(const std::string& csv_path) {
    return {"Export of CSV file\r\n\"" + csv_path + "\"\r\nsuccessfully completed!", "Export successful..."};
}

}  // namespace qvx
