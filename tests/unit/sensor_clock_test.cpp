#include "protocol/sensor_clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace qvx {
namespace {

// Runs a test body under a POSIX TZ rule and puts the previous zone back afterwards.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* rule) {
        if (const char* old = std::getenv("TZ")) {
            previous_ = old;
        }
        setenv("TZ", rule, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (previous_) {
            setenv("TZ", previous_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    std::optional<std::string> previous_;
};

constexpr const char* kUtcPlus2 = "XXX-2";
constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

TEST(SensorClock, WireTextIsEightUpperCaseHexDigits) {
    EXPECT_EQ(SensorTimeText(0x12CFF780), "12CFF780");
    EXPECT_EQ(SensorTimeText(0xab), "000000AB");
    EXPECT_EQ(ParseSensorTime("12cff780"), 0x12CFF780u);
    EXPECT_FALSE(ParseSensorTime("12CFF78").has_value());
    EXPECT_FALSE(ParseSensorTime("Failure!").has_value());
}

TEST(SensorClock, EpochAndKnownDatesInUtc) {
    ScopedTimeZone zone("UTC0");
    for (bool is_utc : {true, false}) {
        EXPECT_EQ(FormatSensorSeconds(0, is_utc), "2000-01-01 00:00:00");
        EXPECT_EQ(FormatSensorSeconds(0x12CFF780, is_utc), "2010-01-01 00:00:00");
    }
    EXPECT_EQ(LocalToSensorSeconds({2010, 1, 1, 0, 0, 0}, true), 315619200u);
    EXPECT_EQ(LocalToSensorSeconds({2000, 1, 1, 0, 0, 0}, false), 0u);
}

TEST(SensorClock, SavingAWallClockTimeAtUtcPlus2) {
    ScopedTimeZone zone(kUtcPlus2);
    const CalendarTime typed{2012, 3, 15, 8, 30, 0};
    const std::uint32_t wall = *LocalToSensorSeconds(typed, false);
    EXPECT_EQ(FormatCalendarTime(SensorSecondsToLocal(wall, false)), "2012-03-15 08:30:00");
    const std::uint32_t utc = *LocalToSensorSeconds(typed, true);
    EXPECT_EQ(wall - utc, 7200u) << "a UTC sensor clock is written two hours earlier";
    EXPECT_EQ(SensorSecondsToLocal(utc, true), typed);
    EXPECT_EQ(FormatSensorSeconds(0, true), "2000-01-01 02:00:00");
}

TEST(SensorClock, DaylightSavingChangeUsesTheRulesOfThatDate) {
    ScopedTimeZone zone(kCentralEurope);
    // Summer time (UTC+2) began 2012-03-25 02:00 local time.
    const CalendarTime winter{2012, 3, 24, 12, 0, 0};
    const CalendarTime summer{2012, 3, 26, 12, 0, 0};
    const std::uint32_t winter_utc = *LocalToSensorSeconds(winter, true);
    const std::uint32_t summer_utc = *LocalToSensorSeconds(summer, true);
    EXPECT_EQ(*LocalToSensorSeconds(winter, false) - winter_utc, 3600u);
    EXPECT_EQ(*LocalToSensorSeconds(summer, false) - summer_utc, 7200u);
    EXPECT_EQ(SensorSecondsToLocal(winter_utc, true), winter);
    EXPECT_EQ(SensorSecondsToLocal(summer_utc, true), summer);
    // A wall-clock sensor clock shows its own fields whatever the season.
    EXPECT_EQ(SensorSecondsToLocal(*LocalToSensorSeconds(summer, false), false), summer);
    EXPECT_EQ(SensorSecondsToLocal(*LocalToSensorSeconds(winter, false), false), winter);
    // One hour of UTC across the change: 01:59:59 CET is followed by 03:00:00 CEST.
    const std::uint32_t before_change = *LocalToSensorSeconds({2012, 3, 25, 1, 59, 59}, true);
    EXPECT_EQ(FormatSensorSeconds(before_change + 1, true), "2012-03-25 03:00:00");
}

TEST(SensorClock, InvalidOrUnrepresentableDatesAreRefused) {
    ScopedTimeZone zone("UTC0");
    EXPECT_FALSE(LocalToSensorSeconds({2012, 2, 30, 0, 0, 0}, false).has_value());
    EXPECT_FALSE(LocalToSensorSeconds({2012, 13, 1, 0, 0, 0}, true).has_value());
    EXPECT_FALSE(LocalToSensorSeconds({2012, 1, 1, 24, 0, 0}, false).has_value());
    EXPECT_FALSE(LocalToSensorSeconds({1999, 12, 31, 23, 59, 59}, false).has_value());
    EXPECT_FALSE(LocalToSensorSeconds({2137, 1, 1, 0, 0, 0}, false).has_value());
    EXPECT_TRUE(LocalToSensorSeconds({2012, 2, 29, 0, 0, 0}, false).has_value());
}

TEST(SensorClock, MonthPrefixes) {
    const std::pair<const char*, int> unique[] = {
        {"JA", 1},   {"fe", 2},    {"MAR", 3},     {"AP", 4},        {"may", 5}, {"JUN", 6},
        {"Jul", 7},  {"AU", 8},    {"SE", 9},      {"OC", 10},       {"NO", 11}, {"DE", 12},
        {"JANU", 1}, {"SEPTE", 9}, {"January", 1}, {"DECEMBER", 12}, {"F", 2},
    };
    for (const auto& [text, month] : unique) {
        EXPECT_EQ(MatchMonthPrefix(text), month) << text;
    }
    for (const char* text : {"", "J", "JU", "MA", "A", "JANX", "Januaryy", "X"}) {
        EXPECT_FALSE(MatchMonthPrefix(text).has_value()) << text;
    }
    EXPECT_STREQ(kMonthNames[0], "January");
    EXPECT_STREQ(kMonthNames[11], "December");
}

}  // namespace
}  // namespace qvx
