#include "protocol/sensor_configuration.h"

#include <gtest/gtest.h>

#include <string>

#include "../support/case_name.h"

namespace qvx {
namespace {

// A record whose every character tells its own position, so a field's text shows where it came from.
std::string PositionalRecord(std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        text += static_cast<char>('!' + i % 90);
    }
    return text;
}

struct FieldCase {
    RecordSlot slot;
    int id;
    std::size_t pos;
    std::size_t width;
};

std::string Get(const SensorConfiguration& config, RecordSlot slot, int id) {
    switch (slot) {
        case RecordSlot::Config:
            return config.GetConfigField(id);
        case RecordSlot::Extended:
            return config.GetExtendedField(id);
        case RecordSlot::Collection:
            return config.GetCollectionField(id);
        case RecordSlot::SideFire:
            return config.GetSideFireField(id);
        case RecordSlot::ForwardFire:
            break;
    }
    return config.GetForwardFireField(id);
}

bool Set(SensorConfiguration& config, RecordSlot slot, int id, std::string_view text) {
    switch (slot) {
        case RecordSlot::Config:
            return config.SetConfigField(id, text);
        case RecordSlot::Extended:
            return config.SetExtendedField(id, text);
        case RecordSlot::Collection:
            return config.SetCollectionField(id, text);
        case RecordSlot::SideFire:
            return config.SetSideFireField(id, text);
        case RecordSlot::ForwardFire:
            break;
    }
    return config.SetForwardFireField(id, text);
}

SensorConfiguration FullConfiguration() {
    SensorConfiguration config;
    config.SetRecord(RecordSlot::Config, PositionalRecord(kConfigInfoLength));
    config.SetRecord(RecordSlot::Extended, PositionalRecord(kExtendedConfigInfoLength));
    config.SetRecord(RecordSlot::Collection, PositionalRecord(kCollectionConfigInfoLength));
    config.SetRecord(RecordSlot::SideFire, PositionalRecord(kSideFireLength));
    config.SetRecord(RecordSlot::ForwardFire, PositionalRecord(kForwardFireLength));
    return config;
}

class FieldPositions : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldPositions, ReadsAndWritesExactlyItsCharacters) {
    const FieldCase& c = GetParam();
    SensorConfiguration config = FullConfiguration();
    const std::string before = config.record(c.slot);
    EXPECT_EQ(Get(config, c.slot, c.id), before.substr(c.pos, c.width));

    const std::string replacement(c.width, '#');
    ASSERT_TRUE(Set(config, c.slot, c.id, replacement + "overflow"));
    std::string expected = before;
    expected.replace(c.pos, c.width, replacement);
    EXPECT_EQ(config.record(c.slot), expected);
}

INSTANTIATE_TEST_SUITE_P(
    AllRecords, FieldPositions,
    ::testing::Values(
        FieldCase{RecordSlot::Config, 0, 0, 16}, FieldCase{RecordSlot::Config, 1, 16, 15},
        FieldCase{RecordSlot::Config, 8, 76, 2}, FieldCase{RecordSlot::Config, 11, 142, 8},
        FieldCase{RecordSlot::Config, 12, 150, 1}, FieldCase{RecordSlot::Config, 13, 151, 4},
        FieldCase{RecordSlot::Config, 15, 159, 8}, FieldCase{RecordSlot::Extended, 18, 0, 1},
        FieldCase{RecordSlot::Extended, 19, 1, 8}, FieldCase{RecordSlot::Extended, 26, 57, 8},
        FieldCase{RecordSlot::Extended, 27, 65, 2}, FieldCase{RecordSlot::Extended, 28, 67, 5},
        FieldCase{RecordSlot::Extended, 31, 82, 5}, FieldCase{RecordSlot::Collection, 163, 0, 4},
        FieldCase{RecordSlot::Collection, 215, 208, 4}, FieldCase{RecordSlot::Collection, 222, 236, 4},
        FieldCase{RecordSlot::SideFire, 15, 96, 8}, FieldCase{RecordSlot::SideFire, 16, 0, 80},
        FieldCase{RecordSlot::SideFire, 17, 80, 16}, FieldCase{RecordSlot::SideFire, 223, 0, 4},
        FieldCase{RecordSlot::SideFire, 246, 92, 4}, FieldCase{RecordSlot::SideFire, 247, 104, 4},
        FieldCase{RecordSlot::SideFire, 262, 164, 4}, FieldCase{RecordSlot::ForwardFire, 32, 4, 4},
        FieldCase{RecordSlot::ForwardFire, 39, 60, 4}, FieldCase{RecordSlot::ForwardFire, 40, 8, 4},
        FieldCase{RecordSlot::ForwardFire, 47, 64, 4}, FieldCase{RecordSlot::ForwardFire, 48, 68, 4},
        FieldCase{RecordSlot::ForwardFire, 162, 524, 4}),
    [](const auto& info) { return test::NumberedCaseName(info.index, {"field", std::to_string(info.param.id)}); });

TEST(SensorConfigurationFields, IdsOutsideARecordReadEmptyAndWriteNothing) {
    SensorConfiguration config = FullConfiguration();
    const SensorConfiguration untouched = config;
    const std::pair<RecordSlot, int> outside[] = {
        {RecordSlot::Config, -1},    {RecordSlot::Config, 16},      {RecordSlot::Extended, 17},
        {RecordSlot::Extended, 32},  {RecordSlot::Collection, 162}, {RecordSlot::Collection, 223},
        {RecordSlot::SideFire, 14},  {RecordSlot::SideFire, 18},    {RecordSlot::SideFire, 222},
        {RecordSlot::SideFire, 263}, {RecordSlot::ForwardFire, 31}, {RecordSlot::ForwardFire, 163},
    };
    for (const auto& [slot, id] : outside) {
        EXPECT_EQ(Get(config, slot, id), "") << "id " << id;
        EXPECT_FALSE(Set(config, slot, id, "XXXX")) << "id " << id;
        EXPECT_EQ(config.record(slot), untouched.record(slot)) << "id " << id;
    }
}

TEST(SensorConfigurationFields, ARecordEndingBeforeTheFieldReadsEmptyAndIsNotExtended) {
    SensorConfiguration config;
    config.SetRecord(RecordSlot::Extended, PositionalRecord(66));  // field 27 ends at 66
    EXPECT_EQ(config.GetExtendedField(27), "");
    EXPECT_FALSE(config.SetExtendedField(27, "AB"));
    EXPECT_EQ(config.extended().size(), 66u);
    EXPECT_EQ(config.GetExtendedField(26).size(), 8u);

    config.ClearRecord(RecordSlot::Config);
    EXPECT_EQ(config.GetConfigField(0), "");
    EXPECT_FALSE(config.SetConfigField(0, "1234567890123456"));
    EXPECT_TRUE(config.config().empty());
}

TEST(SensorConfigurationFields, AShorterTextOverwritesOnlyItsOwnLength) {
    SensorConfiguration config = FullConfiguration();
    const std::string before = config.GetConfigField(9);
    ASSERT_TRUE(config.SetConfigField(9, "Main St"));
    EXPECT_EQ(config.GetConfigField(9), "Main St" + before.substr(7));
}

TEST(SensorConfigurationBaud, CodesMapToRatesBothWays) {
    const std::pair<char, std::uint32_t> table[] = {{'0', 9600},   {'1', 19200},  {'2', 38400},
                                                    {'3', 57600},  {'4', 115200}, {'5', 230400},
                                                    {'6', 460800}, {'7', 921600}};
    for (const auto& [code, bps] : table) {
        EXPECT_EQ(BaudForCode(code), bps);
        EXPECT_EQ(CodeForBaud(bps), code);
    }
    EXPECT_EQ(BaudForCode('8'), 0u);
    EXPECT_EQ(BaudForCode('/'), 0u);
    EXPECT_FALSE(CodeForBaud(4800).has_value());
}

TEST(SensorConfigurationPort, ReplyNamesGiveTheirFieldPositions) {
    EXPECT_EQ(PortIndexFromReply("RS-232"), port_index::kRs232);
    EXPECT_EQ(PortIndexFromReply("RS-485"), port_index::kRs485);
    EXPECT_EQ(PortIndexFromReply("EXPA"), port_index::kExpansionA);
    EXPECT_EQ(PortIndexFromReply("EXP-A"), port_index::kExpansionA);
    EXPECT_EQ(PortIndexFromReply("EXPB"), port_index::kExpansionB);
    EXPECT_EQ(PortIndexFromReply("EXP-B"), port_index::kExpansionB);
    EXPECT_EQ(PortIndexFromReply("USB"), port_index::kUnknown);
}

TEST(SensorConfigurationPort, RateComesFromTheBaudCodeAtThePortIndex) {
    SensorConfiguration config;
    std::string record(kConfigInfoLength, ' ');
    record.replace(151, 4, "0417");  // exp A 9600, RS-232 115200, exp B 19200, RS-485 921600
    config.SetRecord(RecordSlot::Config, record);
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"RS-232", 115200}, {"RS-485", 921600}, {"EXPA", 9600}, {"EXPB", 19200}, {"???", 0}};
    for (const auto& [reply, bps] : cases) {
        config.SetConnectionPort(reply);
        EXPECT_EQ(config.connection_port().baud, bps) << reply;
    }
}

}  // namespace
}  // namespace qvx
