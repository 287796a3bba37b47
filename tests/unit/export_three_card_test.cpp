// The 3-card export byte for byte against golden files built independently
// (scripts/make-export-goldens), the code tables, the lane mapping rules and the refusal to
// write a record whose hourly sum does not fit.

#include <gtest/gtest.h>

#include "../support/scratch_folder.h"
#include "export/calendar_day.h"
#include "export/card_codes.h"
#include "export/three_card.h"

namespace qvx {
namespace {

using test::ReadFileText;

const std::string kData = QVX_TEST_DATA_DIR "/export/";

LogData Read(const std::string& name, const std::string& first, const std::string& last) {
    auto result = ReadIntervalLog(kData + name, {first, last});
    EXPECT_TRUE(result.usable()) << name;
    return result.data;
}

CardSettings Settings(const std::string& day, const std::string& station, const char* state,
                      const char* functional_class, int restriction, std::vector<LaneMapping> lanes) {
    CardSettings settings;
    settings.start_date = settings.end_date = day;
    settings.station = station;
    settings.state_index = *FindCardCode(StateCodes(), state);
    settings.class_index = *FindCardCode(FunctionalClassCodes(), functional_class);
    settings.restriction_index = restriction;
    settings.lanes = std::move(lanes);
    return settings;
}

TEST(ExportThreeCard, CodeTables) {
    EXPECT_EQ(StateCodes().size(), 66u);
    EXPECT_STREQ(StateCodes()[*FindCardCode(StateCodes(), "Alaska")].code, "02");
    EXPECT_EQ(FindCardCode(StateCodes(), "72"), FindCardCode(StateCodes(), "puerto rico"));
    EXPECT_STREQ(StateCodes()[*FindCardCode(StateCodes(), "Labrador")].code, "93");
    EXPECT_STREQ(StateCodes().back().name, "Yukon");
    EXPECT_EQ(FunctionalClassCodes().size(), 12u);
    EXPECT_STREQ(FunctionalClassCodes()[11].code, "19");
    ASSERT_EQ(DirectionCodes().size(), 10u);
    EXPECT_STREQ(DirectionCodes()[9].name, "E-W/SE-NW");
    EXPECT_STREQ(DirectionCodes()[9].code, "0");
    EXPECT_FALSE(FindCardCode(StateCodes(), "Atlantis"));
}

TEST(ExportThreeCard, StationAndFileName) {
    EXPECT_EQ(PaddedStation("42"), "000042");
    EXPECT_EQ(CardFilePath("/data/logs/north.log", "42"), "/data/logs/000042.TM3");
    EXPECT_EQ(CardFilePath("north.log", "42"), "000042.TM3");
    // A '\' is part of a name on this platform, not a folder separator.
    EXPECT_EQ(CardFilePath("/data/a\\b.log", "1"), "/data/000001.TM3");
    EXPECT_TRUE(IsValidStation("ABC123"));
    EXPECT_FALSE(IsValidStation(""));
    EXPECT_FALSE(IsValidStation("1234567"));
    EXPECT_FALSE(IsValidStation("../x"));
}

TEST(ExportThreeCard, DayOfWeekAndCalendar) {
    EXPECT_EQ(DayOfWeek({2011, 5, 1}), 1);  // a Sunday
    EXPECT_EQ(DayOfWeek({2011, 5, 7}), 7);
    EXPECT_EQ(CalendarDayText(PreviousDay({2012, 3, 1})), "2012-02-29");
    EXPECT_EQ(CalendarDayText(NextDay({2010, 12, 31})), "2011-01-01");
    EXPECT_FALSE(ParseCalendarDay("2011-02-29"));
}

TEST(ExportThreeCard, PartialDayAndPaddedStation) {
    const LogData log = Read("station_42.log", "2011-05-03", "2011-05-03");
    const CardComposition card =
        ComposeCardFile(log, Settings("2011-05-03", "42", "Alabama", "01", 0, {{'1', '0'}}));
    ASSERT_EQ(card.status, CardStatus::Ok);
    EXPECT_EQ(card.text, ReadFileText(kData + "000042.TM3"));
    EXPECT_EQ(card.text.size(), kCardRecordLength + 1);
}

TEST(ExportThreeCard, LaneZeroSumsADirectionAndMidnightIsHour23) {
    const LogData log = Read("two_directions.log", "2011-05-01", "2011-05-01");
    const CardComposition card = ComposeCardFile(
        log, Settings("2011-05-01", "ALASKA", "Alaska", "11", 1, {{'0', '0'}, {'0', '0'}, {'1', '9'}}));
    ASSERT_EQ(card.status, CardStatus::Ok);
    EXPECT_EQ(card.record_count, 2u);
    EXPECT_EQ(card.text, ReadFileText(kData + "ALASKA.TM3"));
}

TEST(ExportThreeCard, DownloadFileAndIncompleteSets) {
    const CardComposition download =
        ComposeCardFile(Read("download.log", "2011-06-01", "2011-06-01"),
                        Settings("2011-06-01", "9999", "California", "09", 0, {{'1', '4'}, {'2', '4'}}));
    EXPECT_EQ(download.text, ReadFileText(kData + "009999.TM3"));

    const CardComposition incomplete =
        ComposeCardFile(Read("incomplete.log", "2011-07-04", "2011-07-04"),
                        Settings("2011-07-04", "7", "Texas", "01", 2, {{'1', '0'}, {'2', '0'}, {'3', '0'}}));
    EXPECT_EQ(incomplete.text, ReadFileText(kData + "000007.TM3"));
}

TEST(ExportThreeCard, LaneCodesAfterLaneZeroArePassedOver) {
    const LogData log = Read("two_directions.log", "2011-05-01", "2011-05-01");
    const CardComposition card = ComposeCardFile(
        log, Settings("2011-05-01", "1", "Alaska", "11", 0, {{'0', '0'}, {'2', '0'}, {'0', '0'}}));
    EXPECT_EQ(card.record_count, 1u);
    EXPECT_EQ(card.unexported_records, 48u);  // lane name 2 on lane 2 of N, after lane 0
}

TEST(ExportThreeCard, DuplicateMappings) {
    EXPECT_TRUE(HasDuplicateLaneMapping({{'1', '0'}, {'2', '0'}, {'1', '0'}}));
    EXPECT_FALSE(HasDuplicateLaneMapping({{'1', '0'}, {'1', '4'}}));
    EXPECT_FALSE(HasDuplicateLaneMapping({{'0', '0'}, {'0', '0'}}));
}

TEST(ExportThreeCard, AnHourlySumBeyondFiveColumnsWritesNothing) {
    const std::string text =
        "  2011-05-01 10:15:00\tA\t4294967295\t 55\t 1\t 1\t 1\t 1\t 1\n"
        "  2011-05-01 10:30:00\tA\t60000\t 55\t 1\t 1\t 1\t 1\t 1\n"
        "  2011-05-01 10:45:00\tA\t50000\t 55\t 1\t 1\t 1\t 1\t 1\n";
    for (const std::string& lines : {text.substr(0, text.find('\n') + 1), text.substr(text.find('\n') + 1)}) {
        const auto log = ReadIntervalLogText(lines, {});
        const CardComposition card =
            ComposeCardFile(log.data, Settings("2011-05-01", "1", "Ohio", "01", 0, {{'1', '0'}}));
        EXPECT_EQ(card.status, CardStatus::VolumeTooLarge);
        EXPECT_TRUE(card.text.empty());
        EXPECT_EQ(card.day, "2011-05-01");
        EXPECT_EQ(card.hour, 10);
        EXPECT_NE(CardCompositionMessage(card).text.find("2011-05-01 10:01-11:00, direction code 1 lane 1"),
                  std::string::npos);
    }
}

TEST(ExportThreeCard, SelectionsWithoutACode) {
    const LogData log = Read("station_42.log", "2011-05-03", "2011-05-03");
    CardSettings settings = Settings("2011-05-03", "42", "Alabama", "01", 0, {{'1', '0'}});
    settings.state_index = 66;
    const CardComposition card = ComposeCardFile(log, settings);
    EXPECT_EQ(card.status, CardStatus::InvalidSelection);
    EXPECT_EQ(CardCompositionMessage(card).text, "Invalid state or classification selections");
    EXPECT_EQ(CardCompositionMessage(card).caption, "Invalid entries");
}

}  // namespace
}  // namespace qvx
