// The three log files byte for byte against golden files built independently
// (scripts/make-live-log-goldens), and the rules of choosing, remembering and opening a log.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <string>
#include <vector>

#include "../support/scoped_time_zone.h"
#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "context/app_context.h"
#include "live/interval_log.h"
#include "live/log_files.h"

namespace qvx {
namespace {

using test::ReadFileText;
using test::ScopedTimeZone;
using test::ScratchFolder;

// 2011-03-07 14:30:00 UTC; lane 1 and lane 2 blocks with the values the goldens spell out.
const std::string kLaneOne = "10000002A00370080040000000002";
const std::string kLaneTwo = "200012345FFCE0001020001000005";
const std::string kRecordText = "1507A868" + kLaneOne + kLaneTwo;
constexpr std::time_t kMarch7th2011 = 1299508200;
constexpr std::time_t kDecember31st2030 = 1924948800;
const std::string kLaneNames[8] = {"NB 1    ", "SOUTHBND", "        ", "", "", "", "", ""};

std::string Golden(const std::string& name) {
    return ReadFileText(std::string(QVX_TEST_DATA_DIR) + "/live/" + name);
}

IntervalRecord Record(const std::string& text) {
    auto record = DecodeIntervalRecord(text);
    EXPECT_TRUE(record.has_value()) << text;
    return record.value_or(IntervalRecord{});
}

LogBannerInfo Banner(std::time_t when, char units) {
    LogBannerInfo info;
    info.date = BannerDate(when);
    info.serial = "QX00000000012345";
    info.description = "Main St northbound              ";
    info.location = "Mile 12.5                       ";
    info.units = units;
    return info;
}

class LogFilesTest : public ::testing::Test {
  protected:
    std::optional<std::string> Choose(LogKind kind) {
        chooser_calls_.push_back(kind);
        return chosen_;
    }
    LogFileChooser chooser() {
        return [this](LogKind kind) { return Choose(kind); };
    }

    ScopedTimeZone utc_{"UTC"};
    ScratchFolder folder_;
    ScriptedPrompts prompts_;
    AppContext context_{prompts_, RegistryStore(folder_ / "registry")};
    std::optional<std::string> chosen_;
    std::vector<LogKind> chooser_calls_;
};

TEST_F(LogFilesTest, IntervalLogWithTwoBannersMatchesTheGoldenFile) {
    const std::string path = folder_ / "bins.log";
    chosen_ = path;
    prompts_.ask_answers = {true};
    const IntervalRecord first = Record(kRecordText);
    IntervalRecord second = first;
    second.end_time += 20;

    ASSERT_TRUE(
        TurnLoggingOn(context_, LogKind::Interval, IntervalLogBanner(Banner(kMarch7th2011, 'E')), chooser()));
    LogLineWriter writer;
    ASSERT_TRUE(writer.Write(path, IntervalLogLines(first, kLaneNames, true)));
    // Turned on again: the remembered file is taken without a question and gets a second banner.
    ASSERT_TRUE(
        TurnLoggingOn(context_, LogKind::Interval, IntervalLogBanner(Banner(kMarch7th2011, 'M')), chooser()));
    ASSERT_TRUE(writer.Write(path, IntervalLogLines(second, kLaneNames, true)));

    EXPECT_EQ(ReadFileText(path), Golden("interval_log.golden"));
    EXPECT_EQ(
        prompts_.questions,
        (std::vector<std::string>{"Open\\create log...|You must open/create an interval data log file."}));
    EXPECT_EQ(chooser_calls_.size(), 1u);
    EXPECT_EQ(context_.registry.GetString(kKeyLogs, "Bin Data Log File"), path);
}

TEST_F(LogFilesTest, DownloadFileMarksDoubtfulRecordsAsTheGoldenFileShows) {
    const std::string path = folder_ / "download.log";
    const IntervalRecord record = Record(kRecordText);
    IntervalRecord unusable_stamp = record;
    unusable_stamp.end_time = kUnusableTimestamp;
    const IntervalRecord stray_lane = Record("1507A868" + std::string("9") + kLaneOne.substr(1, 28));

    std::string text = IntervalLogBanner(Banner(kDecember31st2030, 'E'));
    text += DownloadLogLines(record, kLaneNames, {}, true);
    text +=
        DownloadLogLines(record, kLaneNames, {.timestamp_unusable = false, .out_of_sequence = true}, true);
    text +=
        DownloadLogLines(record, kLaneNames, {.timestamp_unusable = true, .out_of_sequence = false}, true);
    text += DownloadLogLines(unusable_stamp, kLaneNames,
                             {.timestamp_unusable = true, .out_of_sequence = false}, true);
    text += DownloadLogLines(stray_lane, kLaneNames, {}, true);
    ASSERT_EQ(AppendLogText(path, text), LogWrite::Written);
    EXPECT_EQ(ReadFileText(path), Golden("download_log.golden"));
}

TEST_F(LogFilesTest, EventLogMatchesTheGoldenFile) {
    const std::string path = folder_ / "events.log";
    const std::time_t morning = kMarch7th2011 - 4 * 3600;  // the UTC day the counts are placed on
    std::string text = EventLogBanner(Banner(kMarch7th2011, 'M'));
    for (const char* raw : {"0015F9001"
                            "0060"
                            "0037"
                            "1",
                            "000001913"
                            "1234"
                            "FFCE"
                            "5",
                            "020F76D32"
                            "0000"
                            "0000"
                            "0"}) {
        const auto event = DecodeEventRecord(raw);
        ASSERT_TRUE(event.has_value()) << raw;
        text += EventLogLine(*event, kLaneNames, morning);
    }
    ASSERT_EQ(AppendLogText(path, text), LogWrite::Written);
    EXPECT_EQ(ReadFileText(path), Golden("event_log.golden"));
}

TEST(BannerText, ThirteenCharacterDateIsFilledToTheBannerWidth) {
    ScopedTimeZone utc("UTC");
    LogBannerInfo info;
    info.date = BannerDate(kMarch7th2011);
    ASSERT_EQ(info.date, "March 7, 2011");
    const std::string interval = IntervalLogBanner(info);
    EXPECT_NE(interval.find("DATE         : March 7, 2011" + std::string(53, ' ') + "|\n"),
              std::string::npos);
    const std::string event = EventLogBanner(info);
    EXPECT_NE(event.find("DATE         : March 7, 2011" + std::string(29, ' ') + "|\n"), std::string::npos);
    // A value longer than its column is written whole.
    info.location = std::string(70, 'L');
    EXPECT_NE(IntervalLogBanner(info).find(std::string(70, 'L') + "|"), std::string::npos);
}

TEST(BannerText, DateFollowsThePcsLocalDate) {
    // 23:30 UTC on 31 December is already New Year's Day east of Greenwich.
    ScopedTimeZone tokyo("Asia/Tokyo");
    EXPECT_EQ(BannerDate(kDecember31st2030 + 11 * 3600 + 1800), "January 1, 2031");
}

TEST(EventLogTime, DaylightSavingMovesTheBaseOneHourLater) {
    ScopedTimeZone london("Europe/London");
    const std::time_t summer_noon = 1310126400;  // 2011-07-08 12:00:00 UTC, BST in force
    const auto event = DecodeEventRecord(
        "000000001"
        "0001"
        "0001"
        "1");
    ASSERT_TRUE(event.has_value());
    // Base 00:00 UTC + 3600, shown in BST (UTC+1): 02:00.
    EXPECT_EQ(EventLogLine(*event, kLaneNames, summer_noon).substr(0, 15), "  02:00:00:000\t");
}

TEST(LogBytes, EveryLineBreakBecomesCarriageReturnLineFeed) {
    EXPECT_EQ(ToLogBytes("\nab\n\nc"), "\r\nab\r\n\r\nc");
}

TEST_F(LogFilesTest, RememberedValueThatIsNoLogFileAsksToCreateOne) {
    for (const char* value : {"notes.txt", ".log", "a.lo", ""}) {
        prompts_.questions.clear();
        ASSERT_TRUE(context_.registry.SetString(kKeyLogs, "Bin Data Log File", value));
        EXPECT_FALSE(ResolveLogFile(context_, LogKind::Interval, chooser()).has_value()) << value;
        EXPECT_EQ(
            prompts_.questions,
            (std::vector<std::string>{"Open\\create log...|You must open/create an interval data log file."}))
            << value;
    }
    EXPECT_TRUE(chooser_calls_.empty());  // every question was answered "Cancel"
    EXPECT_TRUE(IsLogFileValue("/x/A.LOG"));
    EXPECT_TRUE(IsLogFileValue("run.log.1"));
}

TEST_F(LogFilesTest, RememberedFileThatIsGoneAsksWithTheEventTexts) {
    ASSERT_TRUE(context_.registry.SetString(kKeyLogs, "Event Data Log File", folder_ / "moved.log"));
    EXPECT_FALSE(TurnLoggingOn(context_, LogKind::Event, "banner", chooser()));
    ASSERT_EQ(prompts_.questions.size(), 1u);
    EXPECT_EQ(
        prompts_.questions[0],
        "Open\\create log...|Could not open event data log!  It may be opened, renamed, moved or deleted.\n"
        "Click \"OK\" to open or create a log file.");
    // Cancel: nothing was created where the old file was.
    struct stat info {};
    EXPECT_NE(::stat((folder_ / "moved.log").c_str(), &info), 0);
}

TEST_F(LogFilesTest, UnwritableChoiceFailsAndKeepsTheRememberedPath) {
    const std::string good = folder_ / "good.log";
    chosen_ = good;
    ASSERT_EQ(ChooseLogFile(context_, LogKind::Download, chooser()), 1);
    chosen_ = folder_ / "no-such-folder/new.log";
    EXPECT_EQ(ChooseLogFileFromMenu(context_, LogKind::Download, chooser()), 0);
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].text, kLogRegistryErrorText);
    EXPECT_EQ(prompts_.messages[0].caption, "Registry error...");
    EXPECT_EQ(context_.live.log_paths.Get(LogKind::Download), good);
    EXPECT_EQ(context_.registry.GetString(kKeyLogs, "DownloadDataLogPath"), good);

    // Cancelling the menu's dialog is not an error.
    chosen_.reset();
    EXPECT_EQ(ChooseLogFileFromMenu(context_, LogKind::Download, chooser()), 0);
    EXPECT_EQ(prompts_.messages.size(), 1u);
}

TEST_F(LogFilesTest, RememberedPathThatTakesNoLinesIsNotUsedForLogging) {
    // A folder under the remembered name exists but cannot be written to, even by root.
    const std::string path = folder_ / "locked.log";
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    ASSERT_TRUE(context_.registry.SetString(kKeyLogs, "Bin Data Log File", path));
    chosen_ = folder_ / "fresh.log";
    prompts_.ask_answers = {true};
    EXPECT_TRUE(TurnLoggingOn(context_, LogKind::Interval, "banner\n", chooser()));
    ASSERT_EQ(prompts_.questions.size(), 1u);
    EXPECT_NE(prompts_.questions[0].find("Could not open interval data log!"), std::string::npos);
    EXPECT_EQ(ReadFileText(*chosen_), "banner\r\n");
    EXPECT_EQ(context_.registry.GetString(kKeyLogs, "Bin Data Log File"), *chosen_);
}

TEST_F(LogFilesTest, ViewingUsesTheCurrentPathOrAsksFirst) {
    std::vector<std::string> opened;
    const EditorLauncher launcher = [&](const std::string& path) {
        opened.push_back(path);
        return true;
    };
    chosen_ = folder_ / "view.log";
    prompts_.ask_answers = {true};
    EXPECT_TRUE(ViewLogFile(context_, LogKind::Interval, chooser(), launcher));
    EXPECT_TRUE(ViewLogFile(context_, LogKind::Interval, chooser(), launcher));
    EXPECT_EQ(opened, (std::vector<std::string>{*chosen_, *chosen_}));
    EXPECT_EQ(prompts_.questions.size(), 1u);

    const EditorLauncher failing = [](const std::string&) { return false; };
    EXPECT_FALSE(ViewLogFile(context_, LogKind::Interval, chooser(), failing));
    EXPECT_EQ(prompts_.messages.size(), 1u);
}

TEST_F(LogFilesTest, LinesThatFindNoFileAreHeldBackAndWrittenLater) {
    const std::string folder = folder_ / "stick";
    const std::string path = folder + "/bins.log";
    LogLineWriter writer;
    EXPECT_FALSE(writer.Write(path, "one\n"));
    EXPECT_FALSE(writer.Write(path, "two\n"));
    EXPECT_EQ(writer.held_back_bytes(), 8u);
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    EXPECT_TRUE(writer.Write(path, "three\n"));
    EXPECT_EQ(ReadFileText(path), "one\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(writer.held_back_bytes(), 0u);
}

TEST(LogLineWriter, HeldBackLinesGiveWayWholeWhenTheBoundIsReached) {
    LogLineWriter writer;
    const std::string line(1000, 'x');
    for (int i = 0; i < 1100; ++i) {
        writer.Write("/nonexistent-folder/bins.log", line + "\n");
    }
    EXPECT_LE(writer.held_back_bytes(), LogLineWriter::kMaxHeldBackBytes);
    EXPECT_EQ(writer.held_back_bytes() % 1001, 0u);
    EXPECT_EQ(writer.held_back_bytes() + writer.dropped_bytes(), 1100u * 1001);
}

TEST(IntervalLogLines, RecordOfNineBlocksLogsTheFirstEight) {
    ScopedTimeZone utc("UTC");
    std::string text = "1507A868";
    for (char lane = '1'; lane <= '9'; ++lane) {
        text += std::string(1, lane) + kLaneOne.substr(1, 28);
    }
    const std::string lines = IntervalLogLines(Record(text), kLaneNames, true);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 8);
    EXPECT_EQ(lines.find("********"), std::string::npos);
}

}  // namespace
}  // namespace qvx
