// The .qcf settings file: golden files of both mountings, the header's line end, lines one
// character too long, the wrong mounting, and saves that cannot be completed.

#include "config/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "support/scratch_folder.h"
#include "support/settings_records.h"

namespace qvx {
namespace {

using test::ReadFileText;
using test::ScratchFolder;

std::string GoldenPath(const std::string& name) {
    return std::string(QVX_TEST_DATA_DIR) + "/config/" + name;
}

// QVX_WRITE_GOLDEN=1 writes a missing golden file from the current output (then look at it).
void ExpectGolden(const std::string& written, const std::string& name) {
    if (std::getenv("QVX_WRITE_GOLDEN") && !std::ifstream(GoldenPath(name))) {
        std::ofstream(GoldenPath(name), std::ios::binary) << written;
    }
    EXPECT_EQ(written, ReadFileText(GoldenPath(name))) << name;
}

TEST(SettingsFile, SideFireAndForwardFireFilesMatchTheirGoldenFiles) {
    ScratchFolder folder;
    const SensorConfiguration side_fire = test::SideFireConfiguration();
    ASSERT_TRUE(SaveSettingsFile(folder / "sf.qcf", side_fire, true).ok());
    ExpectGolden(ReadFileText(folder / "sf.qcf"), "side_fire.qcf");

    const SensorConfiguration forward_fire = test::ForwardFireConfiguration();
    ASSERT_TRUE(SaveSettingsFile(folder / "ff.qcf", forward_fire, false).ok());
    ExpectGolden(ReadFileText(folder / "ff.qcf"), "forward_fire.qcf");

    // Read back, each gives its records unchanged.
    SensorConfiguration read;
    ASSERT_TRUE(LoadSettingsFile(GoldenPath("forward_fire.qcf"), false, read).ok());
    EXPECT_EQ(read.config(), forward_fire.config());
    EXPECT_EQ(read.extended(), forward_fire.extended());
    EXPECT_EQ(read.collection(), forward_fire.collection());
    EXPECT_EQ(read.forward_fire(), forward_fire.forward_fire());
    EXPECT_TRUE(read.side_fire().empty());
    EXPECT_EQ(read.units(), 'M');
}

TEST(SettingsFile, HeaderEndedByCrLfInsteadOfNulIsAccepted) {
    std::string text = ReadFileText(GoldenPath("side_fire.qcf"));
    text.replace(kSettingsFileHeader.size(), 1, "\r\n");
    const SettingsFileParse parse = ParseSettingsFile(text, true);
    ASSERT_TRUE(parse.ok) << parse.problem;
    EXPECT_EQ(parse.records.config, test::ConfigInfoText());
    EXPECT_EQ(parse.records.algorithm, test::SideFireInfoText());
    // Lines ended by LF alone read the same.
    std::string lf = ReadFileText(GoldenPath("side_fire.qcf"));
    for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;) {
        lf.erase(at, 1);
    }
    EXPECT_TRUE(ParseSettingsFile(lf, true).ok);
}

TEST(SettingsFile, OneExtraCharacterOnAnyLineRefusesTheWholeFileAndChangesNothing) {
    ScratchFolder folder;
    const std::string good = ReadFileText(GoldenPath("side_fire.qcf"));
    const std::size_t line_starts[] = {
        kSettingsFileHeader.size() + 1, kSettingsFileHeader.size() + 1 + kConfigInfoLength + 2,
        kSettingsFileHeader.size() + 1 + kConfigInfoLength + kExtendedConfigInfoLength + 4,
        good.size() - kSideFireLength};
    for (std::size_t start : line_starts) {
        std::string bad = good;
        bad.insert(start + 5, "7");
        const std::string path = folder.Write("bad.qcf", bad);
        SensorConfiguration config = test::ForwardFireConfiguration();
        const SensorConfiguration before = config;
        const SettingsFileOutcome outcome = LoadSettingsFile(path, true, config);
        EXPECT_EQ(outcome.status, SettingsFileStatus::Invalid) << start;
        EXPECT_EQ(config.config(), before.config());
        EXPECT_EQ(config.forward_fire(), before.forward_fire());
        EXPECT_TRUE(config.side_fire().empty());
    }
    // One character missing, a header changed, text after the last record, a carriage return inside a record.
    EXPECT_FALSE(ParseSettingsFile(good.substr(0, good.size() - 1), true).ok);
    std::string header = good;
    header[3] = 'X';
    EXPECT_FALSE(ParseSettingsFile(header, true).ok);
    EXPECT_FALSE(ParseSettingsFile(good + "\r\nmore", true).ok);
    std::string control = good;
    control[kSettingsFileHeader.size() + 20] = '\r';
    EXPECT_FALSE(ParseSettingsFile(control, true).ok);
    EXPECT_FALSE(ParseSettingsFile("", true).ok);
}

TEST(SettingsFile, SideFireFileIsRefusedInForwardFireModeAndTheReverse) {
    EXPECT_FALSE(ParseSettingsFile(ReadFileText(GoldenPath("side_fire.qcf")), false).ok);
    EXPECT_FALSE(ParseSettingsFile(ReadFileText(GoldenPath("forward_fire.qcf")), true).ok);
}

TEST(SettingsFile, ExtensionIsAppendedOnlyWhenTheNameLacksIt) {
    EXPECT_EQ(WithSettingsFileExtension("/tmp/north"), "/tmp/north.qcf");
    EXPECT_EQ(WithSettingsFileExtension("/tmp/north.qcf.bak"), "/tmp/north.qcf.bak");
}

TEST(SettingsFile, FailedSaveIsReportedAndLeavesTheOldFileInPlace) {
    ScratchFolder folder;
    const std::string path = folder / "keep.qcf";
    ASSERT_TRUE(SaveSettingsFile(path, test::SideFireConfiguration(), true).ok());
    const std::string before = ReadFileText(path);

    // Incomplete records are never written.
    SensorConfiguration partial = test::SideFireConfiguration();
    partial.ClearRecord(RecordSlot::Collection);
    EXPECT_EQ(SaveSettingsFile(path, partial, true).status, SettingsFileStatus::Incomplete);

    // A folder that cannot take the temporary file (as root every folder can).
    ASSERT_EQ(::chmod(folder.path().c_str(), 0500), 0);
    const SettingsFileOutcome outcome = SaveSettingsFile(path, test::ForwardFireConfiguration(), false);
    ::chmod(folder.path().c_str(), 0700);
    if (::geteuid() != 0) {
        EXPECT_EQ(outcome.status, SettingsFileStatus::NotWritten);
        EXPECT_EQ(ReadFileText(path), before);
    }
    // The rename fails: the name is taken by a folder that holds something.
    folder.Write("taken.qcf", "");
    ASSERT_EQ(::mkdir((folder / "dir.qcf").c_str(), 0700), 0);
    folder.Write("dir.qcf/inside", "x");
    EXPECT_EQ(SaveSettingsFile(folder / "dir.qcf", test::SideFireConfiguration(), true).status,
              SettingsFileStatus::NotWritten);
    EXPECT_EQ(ReadFileText(folder / "dir.qcf/inside"), "x");
    EXPECT_EQ(SaveSettingsFile("/nonexistent-folder/x.qcf", test::SideFireConfiguration(), true).status,
              SettingsFileStatus::NotWritten);
    SensorConfiguration config;
    EXPECT_EQ(LoadSettingsFile(folder / "missing.qcf", true, config).status, SettingsFileStatus::NotOpened);
}

}  // namespace
}  // namespace qvx
