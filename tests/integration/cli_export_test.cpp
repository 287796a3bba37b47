// "qvx export 3card" and "qvx export csv" end to end: no link is needed, the files equal the
// golden ones, an existing file is kept unless --overwrite, and bad input gives its message
// and exit code without writing anything.

#include <gtest/gtest.h>

#include <filesystem>

#include "../support/cli_runner.h"

namespace qvx::test {
namespace {

const std::string kData = QVX_TEST_DATA_DIR "/export/";

class CliExport : public ::testing::Test {
  protected:
    std::string CopyLog(const std::string& name) {
        std::filesystem::copy_file(kData + name, runner_.dir() / name);
        return runner_.dir() / name;
    }
    ChildResult Card(const std::string& log, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"export", "3card",      log,         "--from",        "2011-05-01",
                                         "--to",   "2011-05-01", "--station", "ALASKA",        "--state",
                                         "Alaska", "--class",    "11",        "--restriction", "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        return runner_.RunBare(args);
    }
    CliRunner runner_;
};

TEST_F(CliExport, ThreeCardWithLaneMappingsNeedsNoSensor) {
    const std::string log = CopyLog("two_directions.log");
    const ChildResult run =
        Card(log, {"--lane", "NB 1=0:N", "--lane", "NB 2=0:1", "--lane", "EB=1:E-W/SE-NW"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, runner_.dir() / "ALASKA.TM3\n");
    EXPECT_EQ(ReadFileText(runner_.dir() / "ALASKA.TM3"), ReadFileText(kData + "ALASKA.TM3"));

    // The file is there now: kept without --overwrite, replaced with it.
    const ChildResult again = Card(log);
    EXPECT_EQ(again.exit_code, 1);
    EXPECT_NE(again.err.find("exists; give --overwrite"), std::string::npos);
    EXPECT_EQ(ReadFileText(runner_.dir() / "ALASKA.TM3"), ReadFileText(kData + "ALASKA.TM3"));
    EXPECT_EQ(Card(log, {"--overwrite"}).exit_code, 0);
    EXPECT_NE(ReadFileText(runner_.dir() / "ALASKA.TM3"), ReadFileText(kData + "ALASKA.TM3"));
}

TEST_F(CliExport, WarningsGoToStderrAndTheExportGoesOn) {
    const ChildResult run =
        runner_.RunBare({"export", "3card", CopyLog("incomplete.log"), "--from", "2011-07-04", "--to",
                         "2011-07-04", "--station", "7", "--state", "48", "--class", "01", "--restriction",
                         "2", "--out", runner_.dir() / "out"});
    EXPECT_EQ(run.exit_code, 1);  // the folder does not exist: reported, nothing written
    EXPECT_NE(run.err.find("could not be written"), std::string::npos);
    std::filesystem::create_directory(runner_.dir() / "out");
    const ChildResult written =
        runner_.RunBare({"export", "3card", runner_.dir() / "incomplete.log", "--from", "2011-07-04", "--to",
                         "2011-07-04", "--station", "7", "--state", "48", "--class", "01", "--restriction",
                         "2", "--out", runner_.dir() / "out"});
    ASSERT_EQ(written.exit_code, 0) << written.err;
    EXPECT_NE(written.err.find("do not contain all 3 lanes"), std::string::npos);
    EXPECT_EQ(ReadFileText(runner_.dir() / "out/000007.TM3"), ReadFileText(kData + "000007.TM3"));
}

TEST_F(CliExport, CsvOfADownloadFile) {
    const ChildResult run = runner_.RunBare({"export", "csv", CopyLog("download.log")});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(ReadFileText(runner_.dir() / "download.csv"), ReadFileText(kData + "download.csv"));
    EXPECT_NE(run.err.find("1 damaged lines"), std::string::npos);
    const ChildResult named =
        runner_.RunBare({"export", "csv", runner_.dir() / "download.log", "--out", runner_.dir() / "june.csv",
                         "--from", "2011-06-02", "--to", "2011-06-30"});
    EXPECT_EQ(named.exit_code, 1);
    EXPECT_NE(named.err.find("No data found on or between the days selected!"), std::string::npos);
}

TEST_F(CliExport, BadInputGivesItsMessage) {
    const std::string empty = runner_.dir() / "empty.log";
    std::ofstream(empty).close();
    const ChildResult missing = runner_.RunBare({"export", "csv", runner_.dir() / "none.log"});
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_NE(missing.err.find("The selected log file can not be found!"), std::string::npos);
    const ChildResult no_lines = runner_.RunBare({"export", "csv", empty});
    EXPECT_NE(no_lines.err.find("No data found in selected log file!"), std::string::npos);

    const std::string log = CopyLog("two_directions.log");
    for (const auto& extra : std::vector<std::vector<std::string>>{{"--lane", "NB 1=A:N"},
                                                                   {"--lane", "NB 1=1:Up"},
                                                                   {"--station", "1234567"},
                                                                   {"--class", "03"},
                                                                   {"--restriction", "3"}}) {
        const ChildResult run = Card(log, extra);
        EXPECT_EQ(run.exit_code, 2) << extra[0] << " " << extra[1];
    }
    const ChildResult duplicate = Card(log, {"--lane", "NB 1=2:N", "--lane", "NB 2=2:N"});
    EXPECT_EQ(duplicate.exit_code, 2);
    EXPECT_NE(duplicate.err.find("Duplicate lane/direction entries found"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(runner_.dir() / "ALASKA.TM3"));
}

}  // namespace
}  // namespace qvx::test
