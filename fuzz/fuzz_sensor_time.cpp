// Feeds arbitrary text to the sensor time parsers: the 8 hex digits of a clock reading, the
// month names typed in the clock window and the command line's "YYYY-MM-DD HH:MM:SS", and checks
// that every time that parses converts back to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "cli_options.h"
#include "protocol/sensor_clock.h"

namespace {

void CheckReading(std::string_view text) {
    const auto seconds = qvx::ParseSensorTime(text);
    if (!seconds) {
        return;
    }
    if (qvx::ParseSensorTime(qvx::SensorTimeText(*seconds)) != seconds) {
        __builtin_trap();
    }
    const qvx::CalendarTime shown = qvx::SensorSecondsToLocal(*seconds, true);
    const auto back = qvx::LocalToSensorSeconds(shown, true);
    if (back && *back != *seconds) {
        __builtin_trap();  // in UTC every moment the count holds maps to one calendar time
    }
    qvx::FormatSensorSeconds(*seconds, false);
}

void CheckClockText(const std::string& text) {
    const auto time = qvx::cli::ParseClockText(text);
    if (!time) {
        return;
    }
    if (qvx::FormatCalendarTime(*time) != text) {
        __builtin_trap();  // only the exact "YYYY-MM-DD HH:MM:SS" form is taken
    }
    const auto seconds = qvx::LocalToSensorSeconds(*time, true);
    if (!seconds || qvx::SensorSecondsToLocal(*seconds, true) != *time) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "UTC", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckReading(text);
    if (const auto month = qvx::MatchMonthPrefix(text); month && (*month < 1 || *month > 12)) {
        __builtin_trap();
    }
    CheckClockText(text);
    return 0;
}
