#pragma once
// The lane configuration's editing tools. Each is a pair: whether the action is allowed at a bin
// (which also chooses the pointer's cursor) and the action itself, which changes nothing when it
// is not allowed. After a change the model's lanes, centres and counts are derived again.

#include <optional>

#include "lanes/lane_model.h"

namespace qvx {

// The toolbar's tools by their numbers; 6 is not used.
enum class LaneTool : int {
    AdjustLanes = 1,
    PaintLines = 2,
    RemoveLines = 3,
    RemoveLane = 4,
    ReverseDirection = 5,
    ConstructRoads = 7,
    RemoveRoads = 8,
    ConstructBarriers = 9,
    RemoveBarriers = 10,
    None = 11,
    EditBlinders = 12,
};

// The nine tools that edit the model in manual mode, in toolbar order.
inline constexpr LaneTool kEditingTools[] = {
    LaneTool::AdjustLanes, LaneTool::PaintLines,        LaneTool::RemoveLines,
    LaneTool::RemoveLane,  LaneTool::ReverseDirection,  LaneTool::ConstructRoads,
    LaneTool::RemoveRoads, LaneTool::ConstructBarriers, LaneTool::RemoveBarriers,
};

// The toolbar's label of a tool ("Paint Lines").
const char* LaneToolName(LaneTool tool);

// Whether tool may act at bin. Adjust Lanes: whether there is something to grab at bin.
bool LaneToolAllowed(const LaneModel& model, LaneTool tool, int bin);
// Acts at bin; false (and the model unchanged) when not allowed. Adjust Lanes acts by dragging
// (DragLaneMark), not here.
bool ApplyLaneTool(LaneModel& model, LaneTool tool, int bin);

// Adjust Lanes: moves the divider, edge or centre grabbed at `from` towards `to` as far as its
// neighbours let it. Returns where it now is (from, when nothing moved or nothing is there).
int DragLaneMark(LaneModel& model, int from, int to);

}  // namespace qvx
