// The record adjustments of the configuration minimums, field by field.

#include <gtest/gtest.h>

#include "app/config_minimums.h"
#include "app/menus.h"
#include "connect/operating_mode.h"
#include "app/startup.h"

namespace qvx {
namespace {

std::string Noise(std::initializer_list<const char*> fields) {
    std::string record;
    for (const char* field : fields)
        record += field;
    while (record.size() < 64)
        record += "0100";
    return record;
}

TEST(ConfigMinimums, ExtendedLimitIsCappedAtFour) {
    struct Row {
        char value;
        bool changed;
        char after;
    };
    for (const Row& row :
         {Row{'9', true, '4'}, Row{'5', true, '4'}, Row{'4', false, '4'}, Row{'0', false, '0'}}) {
        std::string record(87, '0');
        record[66] = row.value;
        EXPECT_EQ(LimitExtendedRecord(record), row.changed) << row.value;
        EXPECT_EQ(record[66], row.after);
        EXPECT_EQ(record.size(), 87u);
    }
    std::string short_record(60, '9');
    EXPECT_FALSE(LimitExtendedRecord(short_record));
}

TEST(ConfigMinimums, ShortRangeNeedsBothRangeFieldsSmall) {
    struct Row {
        const char* a;
        const char* b;
        bool short_range;
    };
    for (const Row& row : {Row{"0010", "0024", true}, Row{"0011", "0024", false}, Row{"0010", "0025", false},
                           Row{"0000", "0000", true}, Row{"00G0", "0001", false}}) {
        std::string record(104, '0');
        record.replace(4, 4, row.a);
        record.replace(12, 4, row.b);
        EXPECT_EQ(IsShortRange(record), row.short_range) << row.a << " " << row.b;
    }
}

TEST(ConfigMinimums, NoiseFieldsRaisedToTheirFloors) {
    std::string record = Noise({"0002", "0007", "0006", "0000", "000A", "0005", "0100", "0001", "0000"});
    EXPECT_TRUE(RaiseNoiseRecord(record, false));
    EXPECT_EQ(record.substr(0, 36),
              "000600070006000600"
              "0A000601000006"
              "0000");
    // Fields past the eighth are not touched.
    EXPECT_EQ(record.substr(32, 4), "0000");

    std::string short_range = Noise({"0006", "0008"});
    EXPECT_TRUE(RaiseNoiseRecord(short_range, true));
    EXPECT_EQ(short_range.substr(4, 4), "0010");

    std::string already = Noise({"0006", "0010"});
    EXPECT_FALSE(RaiseNoiseRecord(already, true));
    std::string not_hex = Noise({"00X1"});
    EXPECT_FALSE(RaiseNoiseRecord(not_hex, false));
    EXPECT_EQ(not_hex.substr(0, 4), "00X1");
}

TEST(ConfigMinimums, CollectionFieldGetsFfAndAtLeastTwelve) {
    struct Row {
        const char* before;
        const char* after;
        bool changed;
    };
    for (const Row& row :
         {Row{"FFFF", "FF0C", true}, Row{"0000", "FF0C", true}, Row{"0020", "FF20", true},
          Row{"FF0B", "FF0C", true}, Row{"FF0C", "FF0C", false}, Row{"FF40", "FF40", false}}) {
        std::string record(240, '0');
        record.replace(236, 4, row.before);
        EXPECT_EQ(RaiseCollectionRecord(record), row.changed) << row.before;
        EXPECT_EQ(record.substr(236), row.after);
        EXPECT_EQ(record.size(), 240u);
    }
}

TEST(OperatingMode, ConfigModeReplyFirstCharacterDecides) {
    EXPECT_EQ(ConfigModeFromReply("0"), config_mode::kAutoConfiguring);
    EXPECT_EQ(ConfigModeFromReply("1xyz"), config_mode::kConfigured);
    EXPECT_EQ(ConfigModeFromReply("2"), config_mode::kManual);
    EXPECT_EQ(ConfigModeFromReply("3"), config_mode::kUndecided);
    EXPECT_EQ(ConfigModeFromReply(""), config_mode::kUndecided);
}

TEST(Startup, FirstPlainArgumentIsThePendingAddress) {
    EXPECT_EQ(PendingAddressFromArgs({}), std::nullopt);
    EXPECT_EQ(PendingAddressFromArgs({"-style", "params.txt"}), "params.txt");
    EXPECT_EQ(PendingAddressFromArgs({"a.txt", "b.txt"}), "a.txt");
}

TEST(Startup, PasswordComparedExactly) {
    EXPECT_TRUE(IsEngineeringPassword("mord63tb"));
    EXPECT_FALSE(IsEngineeringPassword("MORD63TB"));
    EXPECT_FALSE(IsEngineeringPassword("mord63tb "));
    EXPECT_FALSE(IsEngineeringPassword(""));
}

}  // namespace
}  // namespace qvx
