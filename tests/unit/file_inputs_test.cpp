// Files named by the user or found in the registry are read only when they are regular files,
// and only up to a size that fits their format: a FIFO must not freeze the program, a device
// must not exhaust its memory, and either gets a message that names the file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "config/settings_file.h"
#include "connect/address_book.h"
#include "connect/input_parameters.h"
#include "export/interval_log_reader.h"
#include "firmware/hex_image.h"
#include "platform/file_read.h"
#include "protocol/sensor_configuration.h"
#include "stored/download_journal.h"
#include "support/scratch_folder.h"

namespace qvx {
namespace {

class FileInputsTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(::mkfifo(fifo_.c_str(), 0600), 0); }

    test::ScratchFolder folder_;
    std::string fifo_ = folder_ / "pipe";
};

TEST_F(FileInputsTest, ReaderRefusesPipesDevicesFoldersAndOversizedFiles) {
    const std::string big = folder_.Write("big", std::string(2000, 'x'));
    struct Case {
        std::string path;
        FileReadStatus status;
        const char* words;
    };
    const Case cases[] = {
        {fifo_, FileReadStatus::NotRegular, "not a regular file"},
        {"/dev/zero", FileReadStatus::NotRegular, "not a regular file"},
        {folder_.path(), FileReadStatus::NotRegular, "not a regular file"},
        {big, FileReadStatus::TooLarge, "larger than 1000 bytes"},
        {folder_ / "absent", FileReadStatus::Missing, "does not exist"},
    };
    for (const Case& c : cases) {
        const FileRead read = ReadRegularFile(c.path, 1000);
        EXPECT_EQ(read.status, c.status) << c.path;
        const std::string text = FileReadProblem(c.path, read, 1000, "address book");
        EXPECT_NE(text.find(c.path), std::string::npos) << text;
        EXPECT_NE(text.find(c.words), std::string::npos) << text;
    }
    const FileRead prefix = ReadRegularFile(big, 1000, OverSize::Truncate);
    ASSERT_TRUE(prefix.ok());
    EXPECT_EQ(prefix.content.size(), 1000u);
}

TEST_F(FileInputsTest, ParametersFileThatIsAPipeIsRefusedAtOnce) {
    std::string problem;
    EXPECT_FALSE(ReadInputParametersFile(fifo_, &problem).has_value());
    EXPECT_NE(problem.find(fifo_), std::string::npos);
    EXPECT_FALSE(ReadInputParametersFile("/dev/zero", &problem).has_value());
    // A long regular file still gives its first line, as only the first 512 bytes count.
    const std::string long_file = folder_.Write("params", "10.0.0.5 4001\n" + std::string(100000, '#'));
    const auto parameters = ReadInputParametersFile(long_file, &problem);
    ASSERT_TRUE(parameters.has_value());
    EXPECT_EQ(parameters->address, "10.0.0.5");
}

TEST_F(FileInputsTest, AddressBookOnADeviceOrPipeSaysWhy) {
    for (const std::string& path : {std::string("/dev/zero"), fifo_}) {
        AddressBookFile book(path, AddressBookKind::Internet);
        EXPECT_FALSE(book.Load()) << path;
        EXPECT_NE(book.load_problem().find("not a regular file"), std::string::npos) << book.load_problem();
        EXPECT_FALSE(book.Save()) << path;  // and nothing is written into it
        EXPECT_EQ(LookupAlias(path, "sensor-north"), std::nullopt);
    }
}

TEST_F(FileInputsTest, OtherFormatsRefusePipesWithoutWaiting) {
    SensorConfiguration config;
    const SettingsFileOutcome settings = LoadSettingsFile(fifo_, true, config);
    EXPECT_FALSE(settings.ok());
    EXPECT_NE(settings.problem.find("not a regular file"), std::string::npos);
    EXPECT_FALSE(HexImage::Load(ImageKind::Dsp, fifo_).has_value());
    EXPECT_FALSE(HexImage::Load(ImageKind::Dsp, "/dev/zero").has_value());
    EXPECT_EQ(ReadIntervalLog(fifo_, DayRange{}).status, LogReadStatus::FileNotFound);
    ASSERT_EQ(::mkfifo(DownloadJournal::PathFor(folder_ / "download.log").c_str(), 0600), 0);
    EXPECT_FALSE(ReadDownloadJournal(folder_ / "download.log").has_value());
}

}  // namespace
}  // namespace qvx
