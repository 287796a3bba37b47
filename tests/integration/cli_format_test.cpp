// qvx --format tsv|json for info, send, clock, discover and the live commands, end to end against the
// simulated sensor over a pseudo-terminal and over TCP: json parses, tsv has its header and
// stable columns, times are ISO 8601 with the zone, status words land in the status field.

#include <gtest/gtest.h>

#include <regex>

#include "../support/cli_runner.h"
#include "../support/json_reader.h"

namespace qvx {
namespace {

using test::ChildResult;
using test::JsonReader;
using test::JsonValue;
using test::SplitLines;

// Central European time: +02:00 in June, +01:00 in December, without the zone database.
constexpr const char* kBerlinZone = "CET-1CEST,M3.5.0,M10.5.0/3";
const std::regex kIsoLocal(
    "20[0-9]{2}-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-5][0-9][+-][0-9]{2}:[0-9]{2}");

std::string TransportName(const ::testing::TestParamInfo<sim::Transport>& info) {
    return info.param == sim::Transport::Pty ? "Pty" : "Tcp";
}

std::vector<std::string> Columns(const std::string& line) {
    std::vector<std::string> columns;
    std::size_t start = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
        columns.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    columns.push_back(line.substr(start));
    return columns;
}

JsonValue ParsedJson(const std::string& text) {
    const std::optional<JsonValue> value = JsonReader::Parse(text);
    EXPECT_TRUE(value.has_value()) << "not JSON: " << text;
    return value.value_or(JsonValue{});
}

class CliFormatTest : public ::testing::TestWithParam<sim::Transport> {
  protected:
    void StartOneSensor() { runner_.StartSim(GetParam(), {sim::SensorSettings{}}); }

    ChildResult RunOk(const std::vector<std::string>& args) {
        ChildResult run = runner_.Run(args);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        return run;
    }

    test::CliRunner runner_;
};

TEST_P(CliFormatTest, InfoAsTsvAndJsonNamesEveryField) {
    StartOneSensor();
    const ChildResult tsv = RunOk({"info", "--format", "tsv"});
    const std::vector<std::string> lines = SplitLines(tsv.out);
    ASSERT_EQ(lines.size(), 2u) << tsv.out;
    EXPECT_EQ(lines[0], "serial_number\tdescription\tlocation\tsensor_id\tserial_interface\tdsp\tfpga");
    const std::vector<std::string> row = Columns(lines[1]);
    ASSERT_EQ(row.size(), 7u) << lines[1];
    EXPECT_EQ(row[3], "0001");
    EXPECT_EQ(row[4], "RS-232");

    const JsonValue json = ParsedJson(RunOk({"info", "--format", "json"}).out);
    EXPECT_EQ(json.members.size(), 7u);
    EXPECT_EQ(json["sensor_id"].text, "0001");
    EXPECT_EQ(json["serial_interface"].text, "RS-232");
    EXPECT_EQ(json["dsp"].text, row[5]);
}

// A status word is no data: text says so, tsv and json carry it in the status field, and a
// refusal keeps its exit code.
TEST_P(CliFormatTest, SendPutsStatusWordsInTheStatusField) {
    StartOneSensor();
    EXPECT_EQ(RunOk({"send", "S6", "--format", "json"}).out, "{\"code\":\"S6\",\"data\":\"2\"}\n");
    EXPECT_EQ(RunOk({"send", "S6", "--format", "tsv"}).out, "code\tstatus\tdata\nS6\t\t2\n");

    ChildResult run = runner_.Run({"send", "S8"});
    EXPECT_EQ(run.exit_code, 4);
    EXPECT_EQ(run.out, "status: Failure\n");
    run = runner_.Run({"send", "S8", "--format", "tsv"});
    EXPECT_EQ(run.exit_code, 4);
    EXPECT_EQ(run.out, "code\tstatus\tdata\nS8\tFailure\t\n");
    run = runner_.Run({"send", "S8", "--format", "json"});
    EXPECT_EQ(run.exit_code, 4);
    const JsonValue refused = ParsedJson(run.out);
    EXPECT_EQ(refused["status"].text, "Failure");
    EXPECT_FALSE(refused.Has("data"));

    // "Start push" confirmed: a status, and no refusal.
    EXPECT_EQ(RunOk({"send", "X7"}).out, "status: Success\n");
    EXPECT_EQ(RunOk({"send", "X7", "--format", "json"}).out, "{\"code\":\"X7\",\"status\":\"Success\"}\n");
}

TEST_P(CliFormatTest, ClockTimesCarryTheZone) {
    StartOneSensor();
    runner_.SetEnv("TZ", kBerlinZone);
    EXPECT_EQ(RunOk({"clock", "set", "2021-06-01 12:00:00", "--format", "json"}).out,
              "{\"time\":\"2021-06-01T12:00:00+02:00\"}\n");
    EXPECT_EQ(RunOk({"clock", "set", "2021-12-01 12:00:00", "--format", "tsv", "--utc"}).out,
              "time\n2021-12-01T11:00:00Z\n");

    const ChildResult get = RunOk({"clock", "get", "--format", "json"});
    const JsonValue json = ParsedJson(get.out);
    EXPECT_TRUE(std::regex_match(json["time"].text, std::regex("2021-12-01T12:00:[0-9]{2}\\+01:00")))
        << get.out;
    const std::vector<std::string> utc = SplitLines(RunOk({"clock", "get", "--format", "tsv", "--utc"}).out);
    ASSERT_EQ(utc.size(), 2u);
    EXPECT_EQ(utc[0], "time");
    EXPECT_TRUE(std::regex_match(utc[1], std::regex("2021-12-01T11:00:[0-9]{2}Z"))) << utc[1];

    const JsonValue synced = ParsedJson(RunOk({"clock", "sync", "--format", "json"}).out);
    EXPECT_TRUE(std::regex_match(synced["time"].text, kIsoLocal)) << synced["time"].text;
}

TEST_P(CliFormatTest, DiscoverListsIdsWithTheirPick) {
    runner_.StartSim(GetParam(), test::MultiDropLine({"0012", "0045", "00A1"}));
    EXPECT_EQ(RunOk({"discover", "--format", "tsv"}).out, "id\tpick\n0012\t1\n0045\t2\n00A1\t3\n");
    const JsonValue json = ParsedJson(RunOk({"discover", "--format", "json"}).out);
    ASSERT_EQ(json.items.size(), 3u);
    EXPECT_EQ(json[2]["id"].text, "00A1");
    EXPECT_EQ(json[2]["pick"].text, "3");
}

TEST_P(CliFormatTest, LiveIntervalsPrintOneObjectPerRecordAndOneRowPerLane) {
    StartOneSensor();
    runner_.SetEnv("TZ", kBerlinZone);
    const ChildResult json_run = RunOk({"live", "intervals", "--count", "1", "--format", "json"});
    const std::vector<std::string> objects = SplitLines(json_run.out);
    ASSERT_EQ(objects.size(), 1u) << json_run.out;
    const JsonValue record = ParsedJson(objects[0]);
    EXPECT_TRUE(std::regex_match(record["time"].text, kIsoLocal)) << objects[0];
    ASSERT_EQ(record["lanes"].items.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const JsonValue& lane = record["lanes"][i];
        EXPECT_EQ(lane["lane"].text, std::to_string(i + 1));
        for (const char* name : {"lane_name", "volume", "speed", "occupancy", "small", "medium", "large"}) {
            EXPECT_TRUE(lane.Has(name)) << name;
        }
        EXPECT_EQ(lane["volume"].kind, JsonValue::Kind::Number);
        EXPECT_EQ(lane["occupancy"].kind, JsonValue::Kind::Number);
    }

    const ChildResult tsv_run = RunOk({"live", "intervals", "--count", "1", "--format", "tsv", "--utc"});
    const std::vector<std::string> lines = SplitLines(tsv_run.out);
    ASSERT_EQ(lines.size(), 5u) << tsv_run.out;
    EXPECT_EQ(lines[0], "time\tlane\tlane_name\tvolume\tspeed\toccupancy\tsmall\tmedium\tlarge");
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> row = Columns(lines[i]);
        ASSERT_EQ(row.size(), 9u) << lines[i];
        EXPECT_TRUE(std::regex_match(row[0], std::regex("20[0-9-]{8}T[0-9:]{8}Z"))) << row[0];
        EXPECT_EQ(row[1], std::to_string(i));
        EXPECT_TRUE(std::regex_match(row[5], std::regex("[0-9]{1,3}(\\.[0-9])?"))) << row[5];
    }
}

TEST_P(CliFormatTest, LiveEventsAndActuationTimesAreIsoWithTheZone) {
    StartOneSensor();
    runner_.SetEnv("TZ", kBerlinZone);
    const std::regex iso_ms("20[0-9-]{8}T[0-9:]{8}\\.[0-9]{3}\\+01:00");
    const std::vector<std::string> events =
        SplitLines(RunOk({"live", "events", "--count", "2", "--format", "json"}).out);
    ASSERT_EQ(events.size(), 2u);
    for (const std::string& line : events) {
        const JsonValue event = ParsedJson(line);
        EXPECT_TRUE(std::regex_match(event["time"].text, iso_ms)) << line;
        EXPECT_EQ(event["duration_ms"].kind, JsonValue::Kind::Number);
    }
    const std::vector<std::string> rows =
        SplitLines(RunOk({"live", "events", "--count", "1", "--format", "tsv"}).out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], "time\tlane\tspeed\tclass\tduration_ms");
    EXPECT_TRUE(std::regex_match(Columns(rows[1])[0], iso_ms)) << rows[1];

    const std::vector<std::string> changes =
        SplitLines(RunOk({"live", "actuation", "--count", "1", "--format", "json"}).out);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_TRUE(
        std::regex_match(ParsedJson(changes[0])["time"].text, std::regex("20[0-9-]{8}T[0-9:]{8}\\+01:00")))
        << changes[0];
}

INSTANTIATE_TEST_SUITE_P(BothLinks, CliFormatTest,
                         ::testing::Values(sim::Transport::Pty, sim::Transport::Tcp), TransportName);

}  // namespace
}  // namespace qvx
