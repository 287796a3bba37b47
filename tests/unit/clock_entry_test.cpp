#include "app/clock_entry.h"

#include <gtest/gtest.h>

#include <climits>

namespace qvx {
namespace {

TEST(ClockEntry, PeriodInMillisecondsNeverOverflows) {
    EXPECT_EQ(SyncIntervalForMinutes(0), 0);
    EXPECT_EQ(SyncIntervalForMinutes(60), 3600000);
    EXPECT_EQ(SyncIntervalForMinutes(35791), 35791 * 60000);
    for (const long long minutes : {35792LL, 99999LL, LLONG_MAX}) {
        EXPECT_EQ(SyncIntervalForMinutes(minutes), kMaxSyncPeriodMinutes * 60000) << minutes;
    }
    EXPECT_EQ(SyncIntervalForMinutes(-5), 0);
}

TEST(ClockEntry, ImpossibleDatesSayWhy) {
    struct Case {
        CalendarTime time;
        const char* reason;  // empty: savable
    };
    const Case cases[] = {
        {{2013, 2, 30, 8, 0, 0}, "February 2013 has 28 days; there is no 30 February."},
        {{2012, 2, 29, 8, 0, 0}, ""},
        {{2013, 4, 31, 0, 0, 0}, "April 2013 has 30 days; there is no 31 April."},
        {{1999, 12, 31, 23, 0, 0}, "The sensor clock counts from 2000-01-01 00:00:00"},
        {{2137, 1, 1, 0, 0, 0}, "The sensor clock counts from 2000-01-01 00:00:00"},
        {{2013, 5, 1, 24, 0, 0}, "The time must lie between 00:00:00 and 23:59:59."},
    };
    for (const Case& c : cases) {
        const auto problem = ClockEntryProblem(c.time, false);
        if (*c.reason == '\0') {
            EXPECT_FALSE(problem.has_value()) << *problem;
        } else {
            ASSERT_TRUE(problem.has_value()) << c.reason;
            EXPECT_EQ(problem->rfind(c.reason, 0), 0u) << *problem;
        }
    }
}

}  // namespace
}  // namespace qvx
