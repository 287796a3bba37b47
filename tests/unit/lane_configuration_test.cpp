// The lane configuration's texts for the sensor: the restart payloads, the marker and last-lane
// arrays and the side-fire record text they become.

#include <gtest/gtest.h>

#include <string>

#include "connect/operating_mode.h"
#include "lanes/lane_configuration.h"
#include "lanes/lane_presence.h"
#include "lanes/lane_tools.h"
#include "protocol/lane_map.h"

namespace qvx {
namespace {

std::string SideFireRecord(const std::string& lane_fields) {
    std::string record = lane_fields;
    record.resize(kSfAlgorithmInfoLength, '0');
    return record;
}

TEST(LaneRestartPayload, WithoutBlindersAndWithThemAbsentButEnabled) {
    EXPECT_EQ(RestartModePayload(BlinderSettings{}), "0\r");
    EXPECT_EQ(RestartModePayload(BlinderSettings{.enabled = true}), "0000000531\r");
    EXPECT_EQ(RestartModePayload(BlinderSettings{.low = 5, .high = 78, .enabled = true}), "00005004E1\r");
    EXPECT_EQ(RestartModePayload(BlinderSettings{.low = 5, .high = kNoBlinder, .enabled = false}),
              "0000500530\r");
}

TEST(LaneMode, FollowsTheConfigurationModeCharacter) {
    EXPECT_EQ(LaneModeFromConfigMode(config_mode::kAutoConfiguring), LaneMode::Automatic);
    EXPECT_EQ(LaneModeFromConfigMode(config_mode::kConfigured), LaneMode::Manual);
    EXPECT_EQ(LaneModeFromConfigMode(config_mode::kManual), LaneMode::Manual);
    EXPECT_EQ(LaneModeFromConfigMode(config_mode::kUndecided), std::nullopt);
    EXPECT_EQ(LaneModeFromConfigMode(config_mode::kFailed), std::nullopt);
    EXPECT_EQ(LaneStatusText(LaneMode::Manual, "03"),
              "Orbek - Manual configuration mode.  Sensor's current gain value: 03");
}

TEST(LaneMarkers, NoLanesGiveTwentyEmptyMarkersAndFourEmptyGroups) {
    const LaneModel empty;
    const LaneMarkers markers = MarkersOf(empty);
    for (int marker : markers.markers) {
        EXPECT_EQ(marker, -1);
    }
    for (int last : markers.last_lanes) {
        EXPECT_EQ(last, -1);
    }
    const std::string text = SideFireRecordWith(SideFireRecord("0123"), empty);
    std::string expected;
    for (int k = 0; k < 20; ++k) {
        expected += "0000";
    }
    expected += "00FF00FF00FF00FFRRRRRRRR";
    EXPECT_EQ(text.substr(0, 104), expected);
}

TEST(LaneMarkers, BinsInOrderAndTheLastLaneOfEachRoad) {
    LaneModel model;
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::ConstructRoads, 5));
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::ConstructRoads, 20));
    ASSERT_TRUE(DragLaneMark(model, 21, 30) == 30);
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::PaintLines, 25));
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::ReverseDirection, 5));
    const LaneMarkers markers = MarkersOf(model);
    EXPECT_EQ(markers.markers[0], 4);
    EXPECT_EQ(markers.markers[3], 19);
    EXPECT_EQ(markers.last_lanes[0], 0);
    EXPECT_EQ(markers.last_lanes[1], 2);
    EXPECT_EQ(markers.last_lanes[2], -1);
    const std::string text = SideFireRecordWith(SideFireRecord(""), model);
    EXPECT_EQ(text.substr(0, 4), "0010");  // bin 4 x 2 + 8
    EXPECT_EQ(text.substr(80, 16), "0000000200FF00FF");
    EXPECT_EQ(text.substr(96, 8), "LRRRRRRR");
}

TEST(LaneMarkers, TheRecordTextReadsBackAsTheSameModel) {
    LaneModel model;
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::ConstructRoads, 10));
    ASSERT_TRUE(DragLaneMark(model, 11, 30) == 30);
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::PaintLines, 20));
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::ConstructBarriers, 25));
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::ConstructRoads, 60));
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::ReverseDirection, 60));
    ASSERT_EQ(model.Problem(), "");
    const std::string text = SideFireRecordWith(SideFireRecord(""), model);
    const LaneModel read_back = LaneModel::FromLaneMap(BuildLaneMap(text));
    EXPECT_EQ(read_back, model);
    EXPECT_EQ(SideFireRecordWith(text, read_back), text);
}

TEST(LaneMarkers, ARecordTooShortGivesNoText) {
    EXPECT_EQ(SideFireRecordWith(std::string(103, '0'), LaneModel()), "");
}

}  // namespace
}  // namespace qvx

namespace qvx {
namespace {

TEST(LanePresence, ShiftsTwoBitsPerUpdateAcrossTheWords) {
    LanePresence presence;
    presence.Update(0x05);  // lanes 1 and 3
    EXPECT_TRUE(presence.Occupied(0, 0));
    EXPECT_TRUE(presence.Occupied(0, 1));
    EXPECT_FALSE(presence.Occupied(1, 0));
    EXPECT_TRUE(presence.Occupied(2, 1));
    for (int update = 0; update < 15; ++update) {
        presence.Update(0);
    }
    EXPECT_TRUE(presence.Occupied(0, 30));
    EXPECT_TRUE(presence.Occupied(0, 31));
    presence.Update(0);  // over into the second word
    EXPECT_TRUE(presence.Occupied(0, 32));
    EXPECT_FALSE(presence.Occupied(0, 30));
    for (int update = 0; update < 48; ++update) {
        presence.Update(0);
    }
    EXPECT_FALSE(presence.Occupied(0, 127));  // gone off the end
    EXPECT_FALSE(presence.Occupied(0, 128));
}

TEST(LanePresence, OccupancyFromTheVehiclesInTheBeam) {
    const std::vector<BeamVisit> visits = {{1, 1000, 400}, {3, 1500, 0}, {9, 1000, 400}};
    EXPECT_EQ(OccupancyAt(visits, 999, 100), 0);
    EXPECT_EQ(OccupancyAt(visits, 1000, 100), 0x01);
    EXPECT_EQ(OccupancyAt(visits, 1550, 100), 0x05);
    EXPECT_EQ(OccupancyAt(visits, 1999, 100), 0x01);  // 400 ticks are 1000 ms
    EXPECT_EQ(OccupancyAt(visits, 2000, 100), 0);
}

}  // namespace
}  // namespace qvx
