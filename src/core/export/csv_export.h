#pragma once
// The CSV export of an interval log: a header row, then one row per interval and lane in file
// order, fields as RFC 4180 has them (CR LF, quotes only where a field needs them), times in
// ISO 8601.

#include <string>

#include "export/interval_log_reader.h"

namespace qvx {

inline constexpr const char* kCsvHeader = "time,lane,volume,speed,occupancy,small,medium,large";

// "2011-05-01T14:30:00". The interval the log reader keeps as 24:00:00 is shown as 00:00:00 of
// the next day, as the sensor stamped it.
std::string IsoTime(const LogRecord& record);
// A field quoted when it holds a comma, a quote, CR or LF (quotes doubled).
std::string CsvField(std::string_view text);
void AppendCsvField(std::string& out, std::string_view text);
void AppendIsoTime(std::string& out, const LogRecord& record);

std::string ComposeCsvFile(const LogData& log);

// The log's path with its extension replaced by ".csv" (added when it has none).
std::string CsvFilePathFor(const std::string& log_path);

ExportMessage CsvSuccessMessage(const std::string& csv_path);

}  // namespace qvx
