#include "protocol/lane_map.h"

#include <gtest/gtest.h>

#include <string>

#include "protocol/sensor_configuration.h"

namespace qvx {
namespace {

// Layout notation, one character per bin from bin `first`: 's' edge, 'c' centre, 'd' divider,
// '-' inside, '.' unused.
LaneBins Layout(int first, std::string_view marks) {
    LaneBins bins;
    bins.fill(BinType::Unused);
    for (std::size_t i = 0; i < marks.size(); ++i) {
        BinType type = BinType::Unused;
        switch (marks[i]) {
            case 's':
                type = BinType::Edge;
                break;
            case 'c':
                type = BinType::Centre;
                break;
            case 'd':
                type = BinType::Divider;
                break;
            case '-':
                type = BinType::Inside;
                break;
            default:
                break;
        }
        bins[static_cast<std::size_t>(first) + i] = type;
    }
    return bins;
}

std::string BlankSideFire() {
    return std::string(kSideFireLength, '0');
}

struct RoundTripCase {
    const char* name;
    int first;
    const char* marks;
    int lanes;
};

class LaneMapRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(LaneMapRoundTrip, MapToRecordToMapGivesTheSameBins) {
    const RoundTripCase& c = GetParam();
    const LaneBins bins = Layout(c.first, c.marks);
    std::string record = BlankSideFire();
    const std::string noise = record.substr(kSfAlgorithmInfoLength);
    std::array<char, kMaxLanes> directions{'L', 'R', 'L', 'R', 'L', 'R', 'L', 'R'};
    ASSERT_TRUE(ApplyLaneMap(record, bins, directions));

    const LaneMap map = BuildLaneMap(record);
    EXPECT_EQ(map.bins, bins);
    EXPECT_EQ(map.lane_count, c.lanes);
    EXPECT_EQ(map.directions, directions);
    EXPECT_EQ(record.substr(kSfAlgorithmInfoLength), noise) << "the noise record is not touched";

    std::string again = record;
    ASSERT_TRUE(ApplyLaneMap(again, map));
    EXPECT_EQ(again, record);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, LaneMapRoundTrip,
    ::testing::Values(RoundTripCase{"OneLane", 10, "s--c--s", 1},
                      RoundTripCase{"EightLanes", 0, "s-c-d-c-d-c-d-c-d-c-d-c-d-c-d-c-s", 8},
                      RoundTripCase{"TwoGroups", 5, "s--c--d--c--s.....s-c-d-c-d-c-s", 5},
                      RoundTripCase{"FourGroups", 2, "s-c-d-c-ss-c-d-c-s...s-c-d-c-s..s-c-d-c-s", 8},
                      RoundTripCase{"LastUsableBin", 70, "s-c-d-c-d-c-s", 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LaneMapBuild, MarkersBecomeBinsAndTheGroupFillsInside) {
    std::string record = BlankSideFire();
    // markers 16, 22, 28 -> bins 4, 7, 10; one group whose last lane is lane 0
    record.replace(0, 12, "00100016001C");
    record.replace(80, 16, "000000FF00FF00FF");
    const LaneMap map = BuildLaneMap(record);
    EXPECT_EQ(map.bins, Layout(4, "s--c--s"));
    EXPECT_EQ(map.lane_count, 1);
}

TEST(LaneMapBuild, MarkersAtOrBeyond174AndOversizedGroupsMarkNothing) {
    std::string record = BlankSideFire();
    record.replace(0, 12, "001000AE001C");  // middle marker 174
    record.replace(80, 16, "000000FF00FF00FF");
    LaneMap map = BuildLaneMap(record);
    EXPECT_EQ(map.bins[4], BinType::Edge);
    EXPECT_EQ(map.bins[10], BinType::Edge);
    EXPECT_EQ(map.lane_count, 0);

    record.replace(80, 16, "000900FF00FF00FF");  // ten lanes in one group
    map = BuildLaneMap(record);
    EXPECT_EQ(map.bins, LaneMap().bins);
}

TEST(LaneMapBuild, ShortOrNonHexRecordsGiveAnEmptyMap) {
    const LaneMap empty;
    EXPECT_EQ(BuildLaneMap("").bins, empty.bins);
    EXPECT_EQ(BuildLaneMap(std::string(96, 'Z')).bins, empty.bins);
    EXPECT_EQ(BuildLaneMap("0010001400180000").bins, empty.bins);
}

TEST(LaneMapApply, NoLanesGivesZeroMarkersAndUnusedGroups) {
    std::string record = BlankSideFire();
    std::array<char, kMaxLanes> directions{};
    ASSERT_TRUE(ApplyLaneMap(record, LaneMap().bins, directions));
    EXPECT_EQ(record.substr(0, 80), std::string(80, '0'));
    EXPECT_EQ(record.substr(80, 16), "00FF00FF00FF00FF");
    EXPECT_EQ(record.substr(96, 8), "RRRRRRRR") << "an empty lane letter is written as 'R'";
}

TEST(LaneMapApply, ARecordTooShortForTheLaneFieldsIsLeftAlone) {
    std::string record(103, '0');
    EXPECT_FALSE(ApplyLaneMap(record, Layout(10, "s--c--s"), std::array<char, kMaxLanes>{}));
    EXPECT_EQ(record, std::string(103, '0'));
}

TEST(LaneMapInConfiguration, EditingAMarkerFieldRebuildsTheMap) {
    SensorConfiguration config;
    config.SetRecord(RecordSlot::SideFire, BlankSideFire());
    ASSERT_TRUE(config.SetSideFireField(16, "00100016001C"));
    ASSERT_TRUE(config.SetSideFireField(243, "0000"));
    ASSERT_TRUE(config.SetSideFireField(244, "00FF"));
    ASSERT_TRUE(config.SetSideFireField(245, "00FF"));
    ASSERT_TRUE(config.SetSideFireField(246, "00FF"));
    EXPECT_EQ(config.lane_count(), 1);
    EXPECT_EQ(config.lane_map().bins[7], BinType::Centre);
}

}  // namespace
}  // namespace qvx
