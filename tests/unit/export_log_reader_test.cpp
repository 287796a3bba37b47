// The interval log reader: which lines it takes, the midnight rule, the day range, the lane count
// and its messages, and damaged or hostile files.

#include <gtest/gtest.h>

#include <string>

#include "../support/scratch_folder.h"
#include "export/interval_log_reader.h"

namespace qvx {
namespace {

using test::ScratchFolder;

const std::string kData = QVX_TEST_DATA_DIR "/export/";

std::string Line(const std::string& time, const std::string& lane, const std::string& volume) {
    return "  " + time + "\t" + lane + "\t" + volume + "\t 55\t 12.5\t 80.0\t 15.0\t  5.0\t 360238500\r\n";
}

TEST(ExportLogReader, TakesOnlyIntervalLines) {
    EXPECT_TRUE(IsIntervalLine("  2011-05-01 10:00:00\t  NB 1  \t        42"));
    EXPECT_TRUE(IsIntervalLine("  2011-05-01 10:00:00 ???\t  NB 1  "));
    EXPECT_FALSE(IsIntervalLine("  2011-05-01 10:00:00\t   --   \t 4"));  // "--" after the time
    EXPECT_FALSE(IsIntervalLine(" 2011-05-01 10:00:00\t NB"));            // one leading character
    EXPECT_FALSE(IsIntervalLine("  *******************\t  NB 1  "));
    EXPECT_FALSE(IsIntervalLine("                     \t  NB 1  "));
    EXPECT_FALSE(IsIntervalLine("| YYYY-MM-DD HH:MM:SS |  LANE NAME  |"));
    EXPECT_FALSE(IsIntervalLine("  2011/05/01 10:00:00"));
}

TEST(ExportLogReader, ReadsFieldsWithoutTrailingBlanks) {
    const auto result = ReadIntervalLogText(Line("2011-05-01 10:15:00", "  NB 1  ", "        42"), {});
    ASSERT_EQ(result.status, LogReadStatus::Ok);
    const LogRecord& record = result.data.records.at(0);
    EXPECT_EQ(record.timestamp(), "2011-05-01 10:15:00");
    EXPECT_EQ(record.lane_name, "  NB 1");
    EXPECT_EQ(record.volume_text, "        42");
    EXPECT_EQ(record.volume, 42u);
    EXPECT_EQ(record.speed, 55);
    EXPECT_DOUBLE_EQ(record.occupancy, 12.5);
    EXPECT_DOUBLE_EQ(record.large, 5.0);
}

TEST(ExportLogReader, MidnightBelongsToTheDayBefore) {
    const std::string text = Line("2011-05-02 00:00:00", "A", "1") + Line("2011-05-02 00:00:01", "A", "2") +
                             Line("2011-01-01 00:00:00", "A", "3");
    const auto result = ReadIntervalLogText(text, {"2010-01-01", "2011-05-01"});
    ASSERT_EQ(result.data.records.size(), 2u);
    EXPECT_EQ(result.data.records[0].timestamp(), "2011-05-01 24:00:00");
    EXPECT_EQ(result.data.records[1].timestamp(), "2010-12-31 24:00:00");
}

TEST(ExportLogReader, TwoLoggingSectionsReadAsOne) {
    const auto result = ReadIntervalLog(kData + "two_directions.log", {});
    ASSERT_EQ(result.status, LogReadStatus::Ok);
    EXPECT_EQ(result.data.records.size(), 53u * 3);
    EXPECT_EQ(result.data.lane_count, 3);
    EXPECT_EQ(result.data.lane_names, (std::vector<std::string>{"  NB 1", "  NB 2", "   EB"}));
}

TEST(ExportLogReader, DownloadFileMarksAndDamagedLines) {
    const auto result = ReadIntervalLog(kData + "download.log", {});
    ASSERT_EQ(result.status, LogReadStatus::Ok);
    // Blank and asterisk time columns and the "--" line are skipped; " ???" is taken; the
    // 30th of February is counted as damaged.
    EXPECT_EQ(result.data.records.size(), 6u);
    EXPECT_EQ(result.data.damaged_lines, 1u);
    EXPECT_EQ(result.data.records[2].timestamp(), "2011-06-01 10:45:00");
}

TEST(ExportLogReader, TheMessagesOfAFailedRead) {
    ScratchFolder folder;
    EXPECT_EQ(ReadIntervalLog(folder / "missing.log", {}).status, LogReadStatus::FileNotFound);
    EXPECT_EQ(ReadIntervalLog(folder.path(), {}).status, LogReadStatus::FileNotFound);
    EXPECT_EQ(ReadIntervalLog(folder.Write("empty.log", ""), {}).status, LogReadStatus::NoLines);
    EXPECT_EQ(ReadIntervalLog(folder.Write("banner.log", "\r\n|  heading |\r\n"), {}).status,
              LogReadStatus::NoDataInRange);
    EXPECT_EQ(ReadIntervalLog(kData + "station_42.log", {"2012-01-01", "2012-12-31"}).status,
              LogReadStatus::NoDataInRange);

    const auto incomplete = ReadIntervalLog(kData + "incomplete.log", {});
    EXPECT_EQ(incomplete.status, LogReadStatus::IncompleteSets);
    EXPECT_TRUE(incomplete.usable());
    EXPECT_EQ(incomplete.data.lane_count, 3);
    const ExportMessage message = LogReadMessage(incomplete.status, incomplete.data.lane_count);
    EXPECT_EQ(message.text, "Some interval data sets do not contain all 3 lanes detected!.");
    EXPECT_EQ(message.caption, "Error...");
    EXPECT_EQ(LogReadMessage(LogReadStatus::FileNotFound, 0).text, "The selected log file can not be found!");
    EXPECT_EQ(LogReadMessage(LogReadStatus::FileNotFound, 0).caption, "File not found...");
    EXPECT_EQ(LogReadMessage(LogReadStatus::NoLines, 0).text, "No data found in selected log file!");
    EXPECT_EQ(LogReadMessage(LogReadStatus::NoDataInRange, 0).text,
              "No data found on or between the days selected!");
}

TEST(ExportLogReader, HostileFilesNeverCrash) {
    ScratchFolder folder;
    // A 10 MB line, then a good one: the long line is cut and passed over, the next one read.
    std::string long_line = "  2011-05-01 10:15:00\tA\t" + std::string(10 << 20, '7') + "\n";
    const auto cut =
        ReadIntervalLog(folder.Write("long.log", long_line + Line("2011-05-01 10:30:00", "A", "3")), {});
    ASSERT_EQ(cut.status, LogReadStatus::Ok);
    ASSERT_EQ(cut.data.records.size(), 1u);
    EXPECT_EQ(cut.data.records[0].volume, 3u);

    std::string binary;
    for (int i = 0; i < 4096; ++i) {
        binary += static_cast<char>((i * 37) & 0xFF);
    }
    EXPECT_EQ(ReadIntervalLog(folder.Write("binary.log", binary), {}).status, LogReadStatus::NoDataInRange);

    // A volume beyond any counter and missing columns: skipped or kept, never wrapped around.
    const std::string odd = Line("2011-05-01 10:15:00", "A", "99999999999999999999999") +
                            "  2011-05-01 10:30:00\tA\t5\n" + Line("2011-05-01 10:45:00", "A", "12x");
    const auto read = ReadIntervalLogText(odd, {});
    ASSERT_EQ(read.data.records.size(), 1u);
    EXPECT_GT(read.data.records[0].volume, 99999u);
    EXPECT_EQ(read.data.damaged_lines, 2u);
}

TEST(ExportLogReader, CancelStopsTheRead) {
    std::atomic<bool> cancel{true};
    LogReadProgress progress;
    progress.cancel = &cancel;
    EXPECT_EQ(ReadIntervalLog(kData + "station_42.log", {}, progress).status, LogReadStatus::Cancelled);
}

}  // namespace
}  // namespace qvx
