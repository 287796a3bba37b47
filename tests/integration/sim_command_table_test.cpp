// The sensor's own table of answers against the program's catalogue: written apart on purpose, so
// a misreading on either side becomes a failing row here instead of an agreement on the wire.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/catalogue.h"
#include "protocol/frame.h"
#include "sensor_command_table.h"
#include "sensor_text.h"

namespace qvx::sim {
namespace {

// The catalogue marks "expects no reply" as -1 or -99; the sensor simply stays silent.
int SensorLength(int catalogue_length) {
    return catalogue_length == -99 ? kSilentLength : catalogue_length;
}

TEST(SimCommandTable, EveryRowAgreesWithTheProgramsCatalogue) {
    const CommandCatalogue& catalogue = BuildCommandCatalogue();
    const std::vector<SensorCommand>& sensor = SensorCommands();
    ASSERT_EQ(sensor.size(), catalogue.size());
    for (CommandId id = 0; id < static_cast<CommandId>(catalogue.size()); ++id) {
        const CommandDescriptor& row = catalogue.DescribeCommand(id);
        const SensorCommand& answer = sensor[static_cast<std::size_t>(id)];
        SCOPED_TRACE("row " + std::to_string(id) + " " + row.request_code);
        EXPECT_EQ(answer.request, row.request_code);
        EXPECT_EQ(answer.reply, row.response_code);
        EXPECT_EQ(answer.min_length, SensorLength(row.min_length));
        EXPECT_EQ(answer.max_length, SensorLength(row.max_length));
        EXPECT_EQ(answer.checksummed, row.checksummed);
        EXPECT_EQ(answer.words, row.status_mask);
    }
}

TEST(SimCommandTable, RequestCodesAreUniqueAndFoundExactly) {
    for (const SensorCommand& command : SensorCommands()) {
        EXPECT_EQ(FindSensorCommand(command.request), &command) << command.request;
    }
    EXPECT_EQ(FindSensorCommand("S8")->min_length, 1) << "the ping, not a firewall row";
    EXPECT_EQ(FindSensorCommand("XEE")->reply, "XE");
    EXPECT_EQ(FindSensorCommand("S"), nullptr);
}

TEST(SimSensorText, ChecksumAndHexAgreeWithTheProgramsOwn) {
    EXPECT_EQ(SensorChecksum("abc"), "0126");
    EXPECT_EQ(SensorChecksum(""), "0000");
    const std::string high = "\xFF\xFF";
    EXPECT_EQ(SensorChecksum(high), "01FE") << "bytes count unsigned";
    for (const std::string& text :
         std::vector<std::string>{"0012", "7C3A9E1B5D2F486", "Lane 1  Lane 2", std::string(240, 'z')}) {
        EXPECT_EQ(SensorChecksum(text), ComputeFrameChecksum(text)) << text;
        EXPECT_TRUE(SensorChecksumMatches(text, ComputeFrameChecksum(text)));
    }
    EXPECT_TRUE(SensorChecksumMatches("abc", "0126"));
    EXPECT_TRUE(SensorChecksumMatches("0012", "00c3")) << "either case is read";
    EXPECT_FALSE(SensorChecksumMatches("abc", "126"));
    EXPECT_FALSE(SensorChecksumMatches("abc", "012G"));

    EXPECT_EQ(Hex(0x1A, 8), "0000001A");
    EXPECT_EQ(Hex(0xFFF6, 4), "FFF6");
    EXPECT_EQ(Hex(0x12345, 4), "2345") << "higher digits are cut";
    std::uint32_t value = 0;
    EXPECT_TRUE(ParseHex("12cff780", value));
    EXPECT_EQ(value, 0x12CFF780u);
    EXPECT_FALSE(ParseHex("", value));
    EXPECT_FALSE(ParseHex("12 4", value));
    EXPECT_FALSE(ParseHex("123456789", value));
}

}  // namespace
}  // namespace qvx::sim
