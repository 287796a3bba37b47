// The CSV export against its golden file, RFC 4180 quoting and the midnight interval, the
// chart's time buckets, and the registry values the export wizard keeps.

#include <gtest/gtest.h>

#include "../support/scratch_folder.h"
#include "app/menus.h"
#include "export/csv_export.h"
#include "export/export_settings.h"
#include "export/log_chart_data.h"

namespace qvx {
namespace {

using test::ReadFileText;
using test::ScratchFolder;

const std::string kData = QVX_TEST_DATA_DIR "/export/";

TEST(ExportCsv, GoldenFile) {
    const auto log = ReadIntervalLog(kData + "download.log", {});
    EXPECT_EQ(ComposeCsvFile(log.data), ReadFileText(kData + "download.csv"));
}

TEST(ExportCsv, QuotingAndMidnight) {
    EXPECT_EQ(CsvField("NB 1"), "NB 1");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    const auto log = ReadIntervalLogText("  2011-12-31 00:00:00\t\"X\"\t 3\t-5\t 0.1\t0\t100\t0\n", {});
    EXPECT_EQ(ComposeCsvFile(log.data),
              std::string(kCsvHeader) + "\r\n2011-12-31T00:00:00,\"\"\"X\"\"\",3,-5,0.1,0,100,0\r\n");
    EXPECT_EQ(CsvFilePathFor("/a/b.c/log"), "/a/b.c/log.csv");
    EXPECT_EQ(CsvFilePathFor("/a/north.log"), "/a/north.csv");
}

TEST(ExportChart, BucketsKeepThePointCountDown) {
    const auto log = ReadIntervalLog(kData + "two_directions.log", {});
    const LogChart fine = BuildLogChart(log.data);
    EXPECT_EQ(fine.bucket_seconds, 1800);  // the log's interval
    ASSERT_EQ(fine.lanes.size(), 3u);
    EXPECT_EQ(fine.lanes[0].lane_name, "NB 1");
    EXPECT_EQ(fine.lanes[0].points.size(), 53u);

    const LogChart coarse = BuildLogChart(log.data, 10);
    EXPECT_EQ(BucketText(coarse.bucket_seconds), "3 h");
    double fine_total = 0;
    double coarse_total = 0;
    for (const ChartPoint& p : fine.lanes[2].points) {
        fine_total += p.volume;
    }
    for (const ChartPoint& p : coarse.lanes[2].points) {
        coarse_total += p.volume;
        EXPECT_DOUBLE_EQ(p.speed, 55);
    }
    EXPECT_DOUBLE_EQ(fine_total, coarse_total);
    EXPECT_LE(coarse.lanes[2].points.size(), 10u);
}

TEST(ExportSettings, RegistryValuesOfBothSteps) {
    ScratchFolder folder;
    RegistryStore registry(folder / "registry");
    ASSERT_TRUE(SaveImportChoice(registry, {"/logs/north.log", kExportFormatCsv}));
    EXPECT_EQ(registry.GetString("Software\\Korvane\\Export", "ImportFileName"), "/logs/north.log");
    EXPECT_EQ(registry.GetString("Software\\Korvane\\Export", "ExportFileType"), "CSV");
    EXPECT_EQ(LoadImportChoice(registry).format, kExportFormatCsv);

    CardSettings settings;
    settings.start_date = "2011-05-01";
    settings.end_date = "2011-05-31";
    settings.station = "42";
    settings.state_index = 1;
    settings.class_index = 6;
    settings.restriction_index = 2;
    ASSERT_TRUE(SaveCardSettings(registry, settings));
    EXPECT_EQ(registry.GetString("Software\\Korvane\\Export\\Card", "startDate"), "2011-05-01");
    EXPECT_EQ(registry.GetString("Software\\Korvane\\Export\\Card", "state"), "1");
    CardSettings loaded;
    LoadCardSettings(registry, loaded);
    EXPECT_EQ(loaded.end_date, "2011-05-31");
    EXPECT_EQ(loaded.station, "42");
    EXPECT_EQ(loaded.class_index, 6);
    EXPECT_EQ(loaded.restriction_index, 2);

    // Per station: defaults first, then what step 3 stored; lanes beyond the log's keep theirs.
    EXPECT_EQ(LoadLaneMappings(registry, "42", 2), (std::vector<LaneMapping>{{'1', '0'}, {'2', '0'}}));
    ASSERT_TRUE(SaveLaneMappings(registry, "42", {{'0', '4'}, {'0', '4'}}));
    EXPECT_EQ(registry.GetString("Software\\Korvane\\Export\\Card\\42", "lane"), "00345678");
    EXPECT_EQ(registry.GetString("Software\\Korvane\\Export\\Card\\42", "travel"), "44000000");
    EXPECT_EQ(LoadLaneMappings(registry, "42", 3)[2], (LaneMapping{'3', '0'}));
}

TEST(ExportSettings, StepOneChecks) {
    ScratchFolder folder;
    EXPECT_EQ(CheckImportFile("")->text, "Please select a file to export.");
    EXPECT_EQ(CheckImportFile("")->caption, "No File Selected...");
    EXPECT_EQ(CheckImportFile(folder / "none.log")->text, "Cannot open selected file.");
    EXPECT_FALSE(CheckImportFile(kData + "station_42.log"));
    // A folder that cannot take the file: reported, nothing half-written.
    EXPECT_FALSE(WriteExportFile(folder / "missing/x.TM3", "3"));
}

TEST(ExportMenu, ExportAndChartNeedNoSensor) {
    const MenuPlan plan = PlanMenus(MenuInputs{});
    EXPECT_TRUE(plan.state(MenuItem::ExportLog).enabled);
    EXPECT_TRUE(plan.state(MenuItem::ChartLog).enabled);
    const auto& table = MenuTable();
    const auto chart = std::find_if(table.begin(), table.end(),
                                    [](const MenuEntry& entry) { return entry.item == MenuItem::ChartLog; });
    ASSERT_NE(chart, table.end());
    EXPECT_STREQ(chart->path, "File/Data Logs/Chart of a Log...");
}

}  // namespace
}  // namespace qvx
