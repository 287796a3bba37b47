// The escaping and time rules every --format tsv|json output shares (no sensor needed).

#include "cli_output.h"

#include <gtest/gtest.h>

#include "../support/json_reader.h"
#include "../support/scoped_time_zone.h"

namespace qvx::cli {
namespace {

TEST(CliOutput, JsonStringsStayAsciiAndReadBackToTheSameBytes) {
    EXPECT_EQ(JsonString("Lane \"1\" \\ N"), R"("Lane \"1\" \\ N")");
    EXPECT_EQ(JsonString(std::string("a\0b\r\n\t\x1f", 7)), R"("a\u0000b\u000d\u000a\u0009\u001f")");
    EXPECT_EQ(JsonString("\x7f\x80\xff"), R"("\u007f\u0080\u00ff")");

    std::string every_byte;
    for (int byte = 0; byte < 256; ++byte) {
        every_byte += static_cast<char>(byte);
    }
    const std::string quoted = JsonString(every_byte);
    for (const char c : quoted) {
        EXPECT_TRUE(c >= 0x20 && c < 0x7F) << static_cast<int>(c);
    }
    const std::optional<test::JsonValue> back = test::JsonReader::Parse(quoted);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->text, every_byte);
}

TEST(CliOutput, TsvFieldsNeverSplitARowOrALine) {
    EXPECT_EQ(TsvField("NB 1"), "NB 1");
    EXPECT_EQ(TsvField("a\tb\nc\rd\\e"), "a\\tb\\nc\\rd\\\\e");
    // The escape is undone without doubt: a literal backslash-t stays apart from a tab.
    EXPECT_NE(TsvField("\\t"), TsvField("\t"));
}

TEST(CliOutput, IsoTimesNameTheirZone) {
    const test::ScopedTimeZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
    constexpr std::int64_t kSummerNoonUtc = 1622548800;  // 2021-06-01 12:00:00 UTC
    EXPECT_EQ(IsoTime(kSummerNoonUtc, false), "2021-06-01T14:00:00+02:00");
    EXPECT_EQ(IsoTime(kSummerNoonUtc, true), "2021-06-01T12:00:00Z");
    EXPECT_EQ(IsoTime(kSummerNoonUtc + 183 * 86400, false), "2021-12-01T13:00:00+01:00");
    {
        const test::ScopedTimeZone newfoundland("NST+3:30");
        EXPECT_EQ(IsoTime(kSummerNoonUtc, false), "2021-06-01T08:30:00-03:30");
    }
    EXPECT_EQ(IsoTimeMs(kSummerNoonUtc * 1000 + 250, true), "2021-06-01T12:00:00.250Z");
    EXPECT_EQ(IsoTimeMs(kSummerNoonUtc * 1000 + 7, false), "2021-06-01T14:00:00.007+02:00");
    // A sensor clock on UTC names its moment; one on wall-clock time is read as local time.
    const std::uint32_t sensor_noon = static_cast<std::uint32_t>(kSummerNoonUtc - 946684800);
    EXPECT_EQ(SensorIsoTime(sensor_noon, true, false), "2021-06-01T14:00:00+02:00");
    EXPECT_EQ(SensorIsoTime(sensor_noon, false, false), "2021-06-01T12:00:00+02:00");
    EXPECT_EQ(SensorIsoTime(sensor_noon, false, true), "2021-06-01T10:00:00Z");
}

}  // namespace
}  // namespace qvx::cli
