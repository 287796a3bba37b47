// The interval log written byte for byte: the banner of a section and the lines of one record,
// compared with a file laid out by hand.

#include "live/interval_log.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <string>

#include "../support/scratch_folder.h"
#include "platform/text_file.h"
#include "protocol/sensor_configuration.h"
#include "protocol/traffic_records.h"

namespace qvx {
namespace {

using test::ScratchFolder;

std::string Golden(const std::string& name) {
    return ReadTextFile(std::string(QVX_TEST_DATA_DIR) + "/interval_log/" + name).value_or("");
}

// Serial number at 0, location at 78, description at 110, as the sensor lays them out.
SensorConfiguration ConfigWithIdentity() {
    std::string record(kConfigInfoLength, '0');
    record.replace(0, 16, "QVX-0001234     ");
    record.replace(78, 32, "Pole 17 & Main St               ");
    record.replace(110, 32, "Northbound I-5 at Exit 12       ");
    SensorConfiguration configuration;
    configuration.SetRecord(RecordSlot::Config, record);
    return configuration;
}

class IntervalLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    void TearDown() override {
        ::unsetenv("TZ");
        ::tzset();
    }
    ScratchFolder dir_;
};

TEST_F(IntervalLogTest, BannerAndRecordLinesMatchTheFileByteForByte) {
    const LogBannerFields fields = BannerFieldsFrom(ConfigWithIdentity(), 'E', FormatLogDate(2011, 3, 7));
    const auto record = DecodeIntervalRecord(
        "12CFF780"
        "1"
        "0000002A00370080040000000002"
        "3"
        "0001E240FFF60200013301000001");
    ASSERT_TRUE(record.has_value());
    std::string names[8];
    names[0] = "Lane 1";
    names[2] = "NB Left";

    const std::string path = dir_ / "interval.log";
    ASSERT_TRUE(AppendToLog(path, IntervalLogBanner(fields)));
    ASSERT_TRUE(AppendToLog(path, IntervalLogRecordLines(*record, names)));
    EXPECT_EQ(ReadTextFile(path).value_or(""), Golden("banner_and_record.log"));
}

TEST_F(IntervalLogTest, TurningLoggingOnAgainAppendsASecondSection) {
    const LogBannerFields fields = BannerFieldsFrom(ConfigWithIdentity(), 'E', "March 7, 2011");
    const std::string path = dir_ / "twice.log";
    const std::string banner = WithCrLf(IntervalLogBanner(fields));
    ASSERT_TRUE(AppendToLog(path, IntervalLogBanner(fields)));
    ASSERT_TRUE(AppendToLog(path, IntervalLogBanner(fields)));
    EXPECT_EQ(ReadTextFile(path).value_or(""), banner + banner);
}

TEST_F(IntervalLogTest, MetricUnitsNameKphAndLongValuesAreWrittenWhole) {
    LogBannerFields fields;
    fields.date = FormatLogDate(2024, 12, 25);
    fields.location = std::string(70, 'L');
    fields.units = 'M';
    const std::string banner = IntervalLogBanner(fields);
    EXPECT_NE(banner.find("| (KPH) |"), std::string::npos);
    EXPECT_EQ(banner.find("(MPH)"), std::string::npos);
    EXPECT_NE(banner.find("DATE         : December 25, 2024" + std::string(66 - 17, ' ') + "|"),
              std::string::npos);
    EXPECT_NE(banner.find("LOCATION     : " + std::string(70, 'L') + "|"), std::string::npos);
}

}  // namespace
}  // namespace qvx
