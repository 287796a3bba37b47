// The lane configuration's editing tools on small road pictures, their refusals, and a random
// walk of allowed edits that must keep every picture consistent.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "lanes/lane_model.h"
#include "lanes/lane_tools.h"

namespace qvx {
namespace {

// A picture of the bins from bin 0: 's' edge, 'c' centre, 'd' divider, '.' lane surface, ' ' off-road.
LaneModel Picture(const std::string& text, std::vector<char> directions = {}) {
    LaneMap map;
    for (std::size_t bin = 0; bin < text.size(); ++bin) {
        static const std::string kMarks = "scd. ";
        static const BinType kTypes[] = {BinType::Edge, BinType::Centre, BinType::Divider, BinType::Inside,
                                         BinType::Unused};
        map.bins[bin] = kTypes[kMarks.find(text[bin])];
    }
    LaneModel model = LaneModel::FromLaneMap(map);
    if (directions.empty()) {
        directions.assign(static_cast<std::size_t>(model.lane_count()), 'R');
    }
    model.mutable_directions() = directions;
    model.TakeUndoCopy();
    return model;
}

std::string Text(const LaneModel& model, std::size_t length) {
    std::string text;
    for (std::size_t bin = 0; bin < length; ++bin) {
        switch (model.bin(static_cast<int>(bin))) {
            case BinType::Edge:
                text += 's';
                break;
            case BinType::Centre:
                text += 'c';
                break;
            case BinType::Divider:
                text += 'd';
                break;
            case BinType::Inside:
                text += '.';
                break;
            default:
                text += ' ';
        }
    }
    return text;
}

std::string Directions(const LaneModel& model) {
    return std::string(model.directions().begin(), model.directions().end());
}

TEST(LaneModel, DerivesLanesRoadsAndCentres) {
    const LaneModel model = Picture("  s..c..d.c.ss.c.s");
    EXPECT_EQ(model.lane_count(), 3);
    EXPECT_EQ(model.road_count(), 2);
    ASSERT_EQ(model.lanes().size(), 3u);
    EXPECT_EQ(model.lanes()[0], (LaneSpan{3, 5}));
    EXPECT_EQ(model.lanes()[1], (LaneSpan{9, 3}));
    EXPECT_EQ(model.lanes()[2], (LaneSpan{14, 3}));
    EXPECT_EQ(model.centres(), (std::vector<int>{5, 10, 15}));
    EXPECT_EQ(model.LaneAt(8), std::nullopt);  // the divider belongs to no lane
    EXPECT_EQ(model.RoadAt(12), 0);
    EXPECT_EQ(model.RoadAt(13), 1);
    EXPECT_TRUE(model.IsOpeningEdge(13));
    EXPECT_EQ(model.Problem(), "");
}

TEST(LaneModel, FreshModelIsEmptyAndValid) {
    const LaneModel model;
    EXPECT_EQ(model.lane_count(), 0);
    EXPECT_EQ(model.road_count(), 0);
    EXPECT_EQ(model.Problem(), "");
}

TEST(LaneModel, UndoReturnsToTheLastCopyWithItsDirections) {
    LaneModel model = Picture("  s..c...s", {'L'});
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::PaintLines, 7));
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::ReverseDirection, 4));
    model.Undo();
    EXPECT_EQ(Text(model, 10), "  s..c...s");
    EXPECT_EQ(Directions(model), "L");
}

TEST(PaintLines, SplitsALaneAndGivesTheNewSideACentre) {
    LaneModel model = Picture("  s.c.....s", {'L'});
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::PaintLines, 7));
    EXPECT_EQ(Text(model, 11), "  s.c..dc.s");
    EXPECT_EQ(Directions(model), "LR");  // the new lane above keeps the old one's letter below
    LaneModel below = Picture("  s.....c.s", {'L'});
    ASSERT_TRUE(ApplyLaneTool(below, LaneTool::PaintLines, 5));
    EXPECT_EQ(Text(below, 11), "  sc.d..c.s");
    EXPECT_EQ(Directions(below), "RL");
}

TEST(PaintLines, OnTheCentreGivesBothSidesNewCentres) {
    LaneModel model = Picture("  s...c...s");
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::PaintLines, 6));
    EXPECT_EQ(Text(model, 11), "  s.c.d.c.s");
    EXPECT_EQ(model.lane_count(), 2);
}

TEST(PaintLines, RefusedNextToABoundaryAndForANinthLane) {
    LaneModel model = Picture("  s.c.....s");
    EXPECT_FALSE(LaneToolAllowed(model, LaneTool::PaintLines, 3));  // next to the edge
    EXPECT_FALSE(LaneToolAllowed(model, LaneTool::PaintLines, 2));
    LaneModel eight = Picture(" s.c.d.c.d.c.d.c.d.c.d.c.d.c.d.c.....s");
    ASSERT_EQ(eight.lane_count(), 8);
    const LaneModel before = eight;
    EXPECT_FALSE(ApplyLaneTool(eight, LaneTool::PaintLines, 34));
    EXPECT_EQ(eight, before);
}

TEST(RemoveLines, JoinsTwoLanesWithOneCentreAtTheMiddle) {
    LaneModel model = Picture("  s.c..d..c.s", {'L', 'R'});
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::RemoveLines, 7));
    EXPECT_EQ(Text(model, 13), "  s....c....s");
    EXPECT_EQ(model.lane_count(), 1);
    EXPECT_EQ(Directions(model), "L");
    EXPECT_FALSE(LaneToolAllowed(model, LaneTool::RemoveLines, 6));
}

TEST(RemoveLane, AtTheEdgeNarrowsTheRoadInTheMiddleSplitsIt) {
    LaneModel edge = Picture("  s.c.d.c.s", {'L', 'R'});
    ASSERT_TRUE(ApplyLaneTool(edge, LaneTool::RemoveLane, 3));
    EXPECT_EQ(Text(edge, 11), "      s.c.s");
    EXPECT_EQ(Directions(edge), "R");
    LaneModel middle = Picture("  s.c.d.c.d.c.s", {'L', 'R', 'L'});
    ASSERT_TRUE(ApplyLaneTool(middle, LaneTool::RemoveLane, 8));
    EXPECT_EQ(Text(middle, 15), "  s.c.s   s.c.s");
    EXPECT_EQ(middle.road_count(), 2);
    EXPECT_EQ(Directions(middle), "LL");
    LaneModel single = Picture("  s.c.s");
    ASSERT_TRUE(ApplyLaneTool(single, LaneTool::RemoveLane, 4));
    EXPECT_EQ(single.road_count(), 0);
    EXPECT_EQ(single.lane_count(), 0);
}

TEST(RemoveLane, WithFourRoadsOnlyALaneAtAnEdge) {
    LaneModel model = Picture(" s.c.d.c.d.c.s s.c.s s.c.s s.c.s");
    ASSERT_EQ(model.road_count(), 4);
    EXPECT_FALSE(LaneToolAllowed(model, LaneTool::RemoveLane, 7));  // the middle lane
    EXPECT_TRUE(LaneToolAllowed(model, LaneTool::RemoveLane, 3));
    EXPECT_TRUE(LaneToolAllowed(model, LaneTool::RemoveLane, 11));
}

TEST(ReverseDirection, TogglesTheLaneLetterAndKeepsTheReversedMark) {
    LaneModel model = Picture("  s.c.d.c.s", {'R', 'l'});
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::ReverseDirection, 3));
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::ReverseDirection, 9));
    EXPECT_EQ(Directions(model), "Lr");
    EXPECT_FALSE(LaneToolAllowed(model, LaneTool::ReverseDirection, 6));  // the divider
    EXPECT_FALSE(LaneToolAllowed(model, LaneTool::ReverseDirection, 0));
}

TEST(ConstructRoads, BuildsAOneLaneRoadAndInsertsItsDirection) {
    LaneModel model = Picture("       s.c.s", {'L'});
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::ConstructRoads, 2));
    EXPECT_EQ(Text(model, 12), " scs   s.c.s");
    EXPECT_EQ(Directions(model), "RL");
    EXPECT_EQ(model.road_count(), 2);
}

TEST(ConstructRoads, RefusedAtTheRangeEndsNextToARoadAndForAFifthRoad) {
    LaneModel empty;
    EXPECT_FALSE(LaneToolAllowed(empty, LaneTool::ConstructRoads, 0));
    EXPECT_FALSE(LaneToolAllowed(empty, LaneTool::ConstructRoads, 83));
    EXPECT_TRUE(LaneToolAllowed(empty, LaneTool::ConstructRoads, 1));
    EXPECT_TRUE(LaneToolAllowed(empty, LaneTool::ConstructRoads, 81));
    // Its closing edge would sit on the last bin, where the sensor reads no marker.
    EXPECT_FALSE(LaneToolAllowed(empty, LaneTool::ConstructRoads, 82));
    LaneModel road = Picture("  s.c.s");
    EXPECT_FALSE(LaneToolAllowed(road, LaneTool::ConstructRoads, 7));  // b-1 is the edge
    EXPECT_TRUE(LaneToolAllowed(road, LaneTool::ConstructRoads, 8));
    LaneModel four = Picture(" scs scs scs scs");
    const LaneModel before = four;
    EXPECT_FALSE(ApplyLaneTool(four, LaneTool::ConstructRoads, 30));
    EXPECT_EQ(four, before);
}

TEST(RemoveRoads, ClearsTheRoadFromEdgeToEdgeWithItsDirections) {
    LaneModel model = Picture(" s.c.ss.c.d.c.s s.c.s", {'L', 'R', 'L', 'R'});
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::RemoveRoads, 6));  // the second road's opening edge
    EXPECT_EQ(Text(model, 21), " s.c.s          s.c.s");
    EXPECT_EQ(Directions(model), "LR");
    EXPECT_FALSE(LaneToolAllowed(model, LaneTool::RemoveRoads, 8));
}

TEST(ConstructBarriers, SplitsTheLaneIntoTwoRoads) {
    LaneModel model = Picture("  s...c....s", {'L'});
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::ConstructBarriers, 5));
    EXPECT_EQ(Text(model, 12), "  sc.ss.c..s");
    EXPECT_EQ(model.road_count(), 2);
    EXPECT_EQ(Directions(model), "LR");
    EXPECT_EQ(model.Problem(), "");
}

TEST(ConstructBarriers, RefusedWithoutRoomOrAFifthRoad) {
    const LaneModel model = Picture("  s...c....s");
    EXPECT_FALSE(LaneToolAllowed(model, LaneTool::ConstructBarriers, 3));  // 1 bin above the edge
    EXPECT_TRUE(LaneToolAllowed(model, LaneTool::ConstructBarriers, 4));
    EXPECT_TRUE(LaneToolAllowed(model, LaneTool::ConstructBarriers, 8));
    EXPECT_FALSE(LaneToolAllowed(model, LaneTool::ConstructBarriers, 9));  // 2 bins below the edge
    const LaneModel four = Picture(" s...c....s scs scs scs");
    EXPECT_FALSE(LaneToolAllowed(four, LaneTool::ConstructBarriers, 5));
}

TEST(RemoveBarriers, JoinsTwoRoadsWithADividerBetweenTheNearestCentres) {
    LaneModel model = Picture("  s.c.ss.c.s", {'L', 'R'});
    ASSERT_TRUE(LaneToolAllowed(model, LaneTool::RemoveBarriers, 6));
    ASSERT_TRUE(ApplyLaneTool(model, LaneTool::RemoveBarriers, 7));
    EXPECT_EQ(Text(model, 12), "  s.c.d..c.s");
    EXPECT_EQ(model.road_count(), 1);
    EXPECT_EQ(Directions(model), "LR");
    LaneModel apart = Picture("  s.c.s   s.c.s");
    EXPECT_TRUE(LaneToolAllowed(apart, LaneTool::RemoveBarriers, 8));   // off-road between roads
    EXPECT_FALSE(LaneToolAllowed(apart, LaneTool::RemoveBarriers, 2));  // nothing below
    EXPECT_FALSE(LaneToolAllowed(apart, LaneTool::RemoveBarriers, 20));
    ASSERT_TRUE(ApplyLaneTool(apart, LaneTool::RemoveBarriers, 10));
    EXPECT_EQ(Text(apart, 15), "  s.c...d...c.s");
    EXPECT_EQ(apart.Problem(), "");
}

TEST(AdjustLanes, DragsMarksAsFarAsTheirNeighboursAllow) {
    LaneModel model = Picture("   s.c..d..c.s  ");
    EXPECT_EQ(DragLaneMark(model, 8, 2), 6);  // the divider stops before the centre
    EXPECT_EQ(Text(model, 16), "   s.cd....c.s  ");
    EXPECT_EQ(DragLaneMark(model, 3, 0), 0);  // the edge moves outward over off-road bins
    EXPECT_EQ(Text(model, 16), "s....cd....c.s  ");
    EXPECT_EQ(DragLaneMark(model, 13, 9), 12);  // inward up to the centre, leaving off-road
    EXPECT_EQ(Text(model, 16), "s....cd....cs   ");
    EXPECT_EQ(DragLaneMark(model, 11, 8), 8);    // the centre moves within its lane
    EXPECT_EQ(DragLaneMark(model, 20, 25), 20);  // nothing to grab off-road
    EXPECT_EQ(model.Problem(), "");
    EXPECT_FALSE(LaneToolAllowed(model, LaneTool::AdjustLanes, 2));
    EXPECT_TRUE(LaneToolAllowed(model, LaneTool::AdjustLanes, 0));
}

TEST(Blinders, StayThreeBinsApartAndBlindWhatLiesBeyond) {
    BlinderSettings blinders;
    blinders = MoveBlinder(blinders, true, 10);
    EXPECT_EQ(blinders.low, 10);
    EXPECT_EQ(blinders.high, 83);
    blinders = MoveBlinder(blinders, false, 5);
    EXPECT_EQ(blinders.high, 13);
    blinders = MoveBlinder(blinders, true, 40);
    EXPECT_EQ(blinders.low, 10);
    const LaneModel model = Picture("  s.c.s");
    EXPECT_EQ(DisplayBin(model, blinders, 2), BinType::Blinded);
    EXPECT_EQ(DisplayBin(model, blinders, 10), BinType::BlinderMark);
    EXPECT_EQ(DisplayBin(model, blinders, 12), BinType::Unused);
    EXPECT_EQ(DisplayBin(model, blinders, 14), BinType::Blinded);
    EXPECT_EQ(BlinderMarkAt(blinders, 11), true);
    EXPECT_EQ(BlinderMarkAt(blinders, 14), false);
    EXPECT_EQ(DisplayBin(model, BlinderSettings{}, 2), BinType::Edge);
}

// Any sequence of allowed edits keeps the picture consistent.
TEST(LaneToolsProperty, RandomAllowedEditsKeepTheModelValid) {
    std::mt19937 random(20261208);
    const LaneTool tools[] = {LaneTool::PaintLines,        LaneTool::RemoveLines,    LaneTool::RemoveLane,
                              LaneTool::ReverseDirection,  LaneTool::ConstructRoads, LaneTool::RemoveRoads,
                              LaneTool::ConstructBarriers, LaneTool::RemoveBarriers, LaneTool::AdjustLanes};
    for (int run = 0; run < 200; ++run) {
        LaneModel model;
        for (int step = 0; step < 120; ++step) {
            const LaneTool tool = tools[random() % std::size(tools)];
            const int bin = static_cast<int>(random() % kRangeBins);
            const LaneModel before = model;
            if (tool == LaneTool::AdjustLanes) {
                DragLaneMark(model, bin, static_cast<int>(random() % kRangeBins));
            } else if (!LaneToolAllowed(model, tool, bin)) {
                ASSERT_FALSE(ApplyLaneTool(model, tool, bin));
                ASSERT_EQ(model, before);
                continue;
            } else {
                ASSERT_TRUE(ApplyLaneTool(model, tool, bin));
            }
            ASSERT_EQ(model.Problem(), "")
                << LaneToolName(tool) << " at " << bin << " in run " << run << " step " << step
                << "\nbefore: " << Text(before, kRangeBins) << "\nafter:  " << Text(model, kRangeBins);
            ASSERT_LE(model.lane_count(), kMaxLanes);
            ASSERT_LE(model.road_count(), kMaxRoads);
        }
    }
}

}  // namespace
}  // namespace qvx
