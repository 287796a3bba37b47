#pragma once
// The interval log: a text file appended to, never rewritten. Every time logging is turned on it
// starts a new section with a banner; each interval record seen live adds one line per lane. The
// export reads these files back, so the layout is kept exactly. The download file shares the
// banner and the line layout.
//
// Texts are built with "\n" line ends and written with CR LF.

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/traffic_records.h"

namespace qvx {

class SensorConfiguration;

struct LogBannerFields {
    std::string date;  // "March 7, 2011"
    std::string serial_number;
    std::string description;
    std::string location;
    char units = 'E';  // 'E': speeds in mph, anything else km/h
};

// The month name, the day without a leading zero, ", " and the four-digit year.
std::string FormatLogDate(int year, int month, int day);
// Today's date on the PC, in the local time zone.
std::string LogDateToday();

// The serial number (field 0), description (10) and location (9) of the configuration record,
// exactly as stored, blanks included.
LogBannerFields BannerFieldsFrom(const SensorConfiguration& configuration, char units, std::string date);

std::string IntervalLogBanner(const LogBannerFields& fields);

// One line of the layout: two blanks, the time field, then TAB-separated the lane label, the
// volume, speed and the four percentages as the interval view shows them, and the stamp field.
std::string IntervalLogLine(std::string_view time_field, std::string_view lane_label,
                            const IntervalLane& lane, std::string_view stamp_field);
// The lines of one live record: the record time in the PC's local time, the lane's name centred,
// the sensor timestamp in decimal.
std::string IntervalLogRecordLines(const IntervalRecord& record, const std::string (&lane_names)[8]);

// "\n" becomes CR LF.
std::string WithCrLf(std::string_view text);
// Opens the file for appending (creating it), writes text with CR LF line ends, closes it.
bool AppendToLog(const std::string& path, std::string_view text);

}  // namespace qvx
