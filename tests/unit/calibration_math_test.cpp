#include "protocol/calibration_math.h"

#include <gtest/gtest.h>

namespace qvx {
namespace {

struct WaitCase {
    LinkKind kind;
    std::uint32_t baud;
    int latency_ms;  // -1: the starting value
    int expected_ms;
};

TEST(CalibrationMathTest, StartingAndLatencyWaits) {
    const WaitCase cases[] = {
        {LinkKind::Serial, 9600, -1, 281},     {LinkKind::Serial, 115200, -1, 37},
        {LinkKind::Internet, 9600, -1, 228},   {LinkKind::Modem, 9600, -1, 331},
        {LinkKind::Serial, 9600, 40, 307},     {LinkKind::Internet, 9600, 40, 169},
        {LinkKind::Modem, 9600, 40, 307},      {LinkKind::Serial, 921600, 0, 3},
        {LinkKind::Serial, 9600, 999, 1266},   {LinkKind::Serial, 9600, 1000, 281},
        {LinkKind::Internet, 9600, 5000, 228}, {LinkKind::Serial, 0, -1, 281},
    };
    for (const WaitCase& c : cases) {
        int wait = c.latency_ms < 0 ? StartingResponseWait(c.kind, c.baud)
                                    : LatencyResponseWait(c.kind, c.baud, c.latency_ms);
        EXPECT_EQ(wait, c.expected_ms) << static_cast<int>(c.kind) << " " << c.baud << " " << c.latency_ms;
    }
}

TEST(CalibrationMathTest, ThroughputNeedsMoreThanHundredCharacters) {
    EXPECT_EQ(ThroughputResponseWait(167, 300), 300);
    EXPECT_EQ(ThroughputResponseWait(120, 300), 600);
    EXPECT_EQ(ThroughputResponseWait(101, 10), 20);
    EXPECT_EQ(ThroughputResponseWait(128, 10), 20);
    EXPECT_EQ(ThroughputResponseWait(129, 10), 10);
    EXPECT_EQ(ThroughputResponseWait(100, 300), std::nullopt);
    EXPECT_EQ(ThroughputResponseWait(0, 300), std::nullopt);
    EXPECT_EQ(ThroughputResponseWait(300, 50), 50);
}

}  // namespace
}  // namespace qvx
