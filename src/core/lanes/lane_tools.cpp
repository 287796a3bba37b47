#include "lanes/lane_tools.h"

#include <algorithm>
#include <iterator>

namespace qvx {

namespace {

bool InRange(int bin) {
    return bin >= 0 && bin < kRangeBins;
}

// The sensor reads no marker at the last bin (its marker value, 174, lies past the markers it
// counts), so no edge, divider or centre may go there: a road closed there would read back open.
constexpr int kLastMarkBin = kRangeBins - 2;

BinType At(const LaneModel& model, int bin) {
    return InRange(bin) ? model.bin(bin) : BinType::Unused;
}

bool IsLaneBin(BinType type) {
    return type == BinType::Inside || type == BinType::Centre;
}

bool IsBoundary(BinType type) {
    return type == BinType::Divider || type == BinType::Edge;
}

// The first bin from `from` in direction step (+1 / -1) that is not lane surface; -1 or 84 past
// the range.
int NextNonSurface(const LaneModel& model, int from, int step) {
    int bin = from;
    while (InRange(bin) && model.bin(bin) == BinType::Inside) {
        bin += step;
    }
    return bin;
}

// The nearest divider or edge from `from` (exclusive) in direction step; -1 or 84 when none.
int NextBoundary(const LaneModel& model, int from, int step) {
    int bin = from + step;
    while (InRange(bin) && !IsBoundary(model.bin(bin))) {
        bin += step;
    }
    return bin;
}

int CentresBelow(const LaneModel& model, int bin) {
    const auto& centres = model.centres();
    return static_cast<int>(std::count_if(centres.begin(), centres.end(), [bin](int c) { return c < bin; }));
}

void InsertDirection(LaneModel& model, int lane) {
    auto& directions = model.mutable_directions();
    const auto at = std::min<std::size_t>(static_cast<std::size_t>(std::max(lane, 0)), directions.size());
    directions.insert(directions.begin() + static_cast<std::ptrdiff_t>(at), 'R');
}

void EraseDirection(LaneModel& model, int lane) {
    auto& directions = model.mutable_directions();
    if (lane >= 0 && static_cast<std::size_t>(lane) < directions.size()) {
        directions.erase(directions.begin() + lane);
    }
}

void Fill(LaneModel& model, int first, int last, BinType type) {
    for (int bin = std::max(first, 0); bin <= std::min(last, kRangeBins - 1); ++bin) {
        model.SetBin(bin, type);
    }
}

// Replaces the centres of the lanes between two boundaries by one at the middle.
void CentreBetween(LaneModel& model, int lower_boundary, int upper_boundary) {
    for (int bin = lower_boundary + 1; bin < upper_boundary; ++bin) {
        if (model.bin(bin) == BinType::Centre) {
            model.SetBin(bin, BinType::Inside);
        }
    }
    model.SetBin((lower_boundary + upper_boundary) / 2, BinType::Centre);
}

bool Room(const LaneModel& model) {
    return model.lane_count() < kMaxLanes;
}

bool RoadRoom(const LaneModel& model) {
    return model.road_count() < kMaxRoads && Room(model);
}

// --- Paint Lines ---

bool PaintLinesAllowed(const LaneModel& m, int b) {
    return b >= 1 && b <= kRangeBins - 2 && IsLaneBin(m.bin(b)) && IsLaneBin(m.bin(b - 1)) &&
           IsLaneBin(m.bin(b + 1)) && Room(m);
}

void PaintLines(LaneModel& m, int b) {
    const int lane = *m.LaneAt(b);
    const bool centre_above =
        NextNonSurface(m, b + 1, +1) < kRangeBins && At(m, NextNonSurface(m, b + 1, +1)) == BinType::Centre;
    m.SetBin(b, BinType::Divider);
    for (int step : {-1, +1}) {
        const int stop = NextNonSurface(m, b + step, step);
        if (At(m, stop) != BinType::Centre) {
            m.SetBin((stop + b) / 2, BinType::Centre);
        }
    }
    // The new lane is the side that did not keep the old centre.
    InsertDirection(m, centre_above ? lane : lane + 1);
}

// --- Remove Lines ---

bool RemoveLinesAllowed(const LaneModel& m, int b) {
    return InRange(b) && m.bin(b) == BinType::Divider;
}

void RemoveLines(LaneModel& m, int b) {
    const int upper_lane = *m.LaneAt(b + 1);
    m.SetBin(b, BinType::Inside);
    CentreBetween(m, NextBoundary(m, b, -1), NextBoundary(m, b, +1));
    EraseDirection(m, upper_lane);
}

// --- Remove Lane ---

bool TouchesEdge(const LaneModel& m, int b) {
    return At(m, NextBoundary(m, b, -1)) == BinType::Edge || At(m, NextBoundary(m, b, +1)) == BinType::Edge;
}

bool RemoveLaneAllowed(const LaneModel& m, int b) {
    if (!InRange(b) || !IsLaneBin(m.bin(b)) || !m.LaneAt(b)) {
        return false;
    }
    // Removing a middle lane splits its road: with four roads there is no room for a fifth.
    return m.road_count() < kMaxRoads || TouchesEdge(m, b);
}

void RemoveLane(LaneModel& m, int b) {
    const int lane = *m.LaneAt(b);
    const int low = NextBoundary(m, b, -1);
    const int high = NextBoundary(m, b, +1);
    Fill(m, low + 1, high - 1, BinType::Unused);
    for (int boundary : {low, high}) {
        if (InRange(boundary)) {
            m.SetBin(boundary, m.bin(boundary) == BinType::Divider ? BinType::Edge : BinType::Unused);
        }
    }
    EraseDirection(m, lane);
}

// --- Reverse Direction ---

bool ReverseAllowed(const LaneModel& m, int b) {
    return InRange(b) && m.LaneAt(b).has_value() &&
           static_cast<std::size_t>(*m.LaneAt(b)) < m.directions().size();
}

void Reverse(LaneModel& m, int b) {
    char& letter = m.mutable_directions()[static_cast<std::size_t>(*m.LaneAt(b))];
    switch (letter) {
        case 'R':
            letter = 'L';
            break;
        case 'L':
            letter = 'R';
            break;
        case 'r':
            letter = 'l';
            break;
        case 'l':
            letter = 'r';
            break;
        default:
            letter = 'R';
    }
}

// --- Construct Roads ---

bool ConstructRoadsAllowed(const LaneModel& m, int b) {
    return b >= 1 && b + 1 <= kLastMarkBin && m.bin(b - 1) == BinType::Unused &&
           m.bin(b) == BinType::Unused && m.bin(b + 1) == BinType::Unused && RoadRoom(m);
}

void ConstructRoads(LaneModel& m, int b) {
    const int lane = CentresBelow(m, b);
    m.SetBin(b - 1, BinType::Edge);
    m.SetBin(b, BinType::Centre);
    m.SetBin(b + 1, BinType::Edge);
    InsertDirection(m, lane);
}

// --- Remove Roads ---

bool RemoveRoadsAllowed(const LaneModel& m, int b) {
    return InRange(b) && m.bin(b) != BinType::Unused && m.RoadAt(b).has_value();
}

void RemoveRoads(LaneModel& m, int b) {
    const RoadSpan road = m.roads()[static_cast<std::size_t>(*m.RoadAt(b))];
    const int first_lane = CentresBelow(m, road.opening_edge);
    const int lanes = CentresBelow(m, road.closing_edge) - first_lane;
    Fill(m, road.opening_edge, road.closing_edge, BinType::Unused);
    for (int k = 0; k < lanes; ++k) {
        EraseDirection(m, first_lane);
    }
}

// --- Construct Barriers ---

bool ConstructBarriersAllowed(const LaneModel& m, int b) {
    if (!InRange(b) || !IsLaneBin(m.bin(b)) || !RoadRoom(m)) {
        return false;
    }
    return b - NextBoundary(m, b, -1) > 1 && NextBoundary(m, b, +1) - b > 2;
}

void ConstructBarriers(LaneModel& m, int b) {
    const int lane = *m.LaneAt(b);
    const int low = NextBoundary(m, b, -1);
    const int high = NextBoundary(m, b, +1);
    m.SetBin(b, BinType::Edge);
    m.SetBin(b + 1, BinType::Edge);
    CentreBetween(m, low, b);
    CentreBetween(m, b + 1, high);
    InsertDirection(m, lane + 1);
}

// --- Remove Barriers ---

// The closing edge below a gap between two roads and the opening edge above it, when b lies on
// one of them or in the off-road bins between.
struct Gap {
    int closing = -1;
    int opening = -1;
};

std::optional<Gap> GapAt(const LaneModel& m, int b) {
    if (!InRange(b) || (m.bin(b) != BinType::Edge && m.bin(b) != BinType::Unused)) {
        return std::nullopt;
    }
    auto edge_from = [&m](int from, int step) {
        int bin = from;
        while (InRange(bin) && m.bin(bin) == BinType::Unused) {
            bin += step;
        }
        return At(m, bin) == BinType::Edge ? bin : -1;
    };
    Gap gap;
    if (m.bin(b) == BinType::Edge) {
        const bool opening = m.IsOpeningEdge(b);
        (opening ? gap.opening : gap.closing) = b;
        (opening ? gap.closing : gap.opening) = edge_from(b + (opening ? -1 : +1), opening ? -1 : +1);
    } else {
        gap.closing = edge_from(b, -1);
        gap.opening = edge_from(b, +1);
    }
    if (gap.closing < 0 || gap.opening < 0 || m.IsOpeningEdge(gap.closing) || !m.IsOpeningEdge(gap.opening)) {
        return std::nullopt;
    }
    return gap;
}

bool RemoveBarriersAllowed(const LaneModel& m, int b) {
    return GapAt(m, b).has_value();
}

void RemoveBarriers(LaneModel& m, int b) {
    const Gap gap = *GapAt(m, b);
    // From the barrier outward up to the nearest centre on each side all becomes lane surface.
    int below = gap.closing;
    while (below > 0 && m.bin(below) != BinType::Centre) {
        --below;
    }
    int above = gap.opening;
    while (above < kRangeBins - 1 && m.bin(above) != BinType::Centre) {
        ++above;
    }
    Fill(m, below + 1, above - 1, BinType::Inside);
    m.SetBin((below + above) / 2, BinType::Divider);
}

// --- Adjust Lanes ---

bool AdjustAllowed(const LaneModel& m, int b) {
    return InRange(b) && (IsBoundary(m.bin(b)) || m.bin(b) == BinType::Centre);
}

// One step of the mark at `at` towards step; false when its neighbours stop it.
bool StepMark(LaneModel& m, int at, int step) {
    const int next = at + step;
    if (!InRange(next) || next > kLastMarkBin) {
        return false;
    }
    const BinType mark = m.bin(at);
    const BinType ahead = m.bin(next);
    BinType left_behind = BinType::Inside;
    if (mark == BinType::Edge) {
        const bool outward = m.IsOpeningEdge(at) ? step < 0 : step > 0;
        if (outward ? ahead != BinType::Unused : ahead != BinType::Inside) {
            return false;
        }
        left_behind = outward ? BinType::Inside : BinType::Unused;
    } else if (ahead != BinType::Inside) {
        return false;  // a divider or centre stays between its lane's boundaries and centres
    }
    m.SetBin(next, mark);
    m.SetBin(at, left_behind);
    m.Recompute();
    return true;
}

struct ToolFunctions {
    LaneTool tool;
    const char* name;
    bool (*allowed)(const LaneModel&, int);
    void (*apply)(LaneModel&, int);
};

const ToolFunctions kTools[] = {
    {LaneTool::AdjustLanes, "Adjust Lanes", AdjustAllowed, nullptr},
    {LaneTool::PaintLines, "Paint Lines", PaintLinesAllowed, PaintLines},
    {LaneTool::RemoveLines, "Remove Lines", RemoveLinesAllowed, RemoveLines},
    {LaneTool::RemoveLane, "Remove Lane", RemoveLaneAllowed, RemoveLane},
    {LaneTool::ReverseDirection, "Reverse Direction", ReverseAllowed, Reverse},
    {LaneTool::ConstructRoads, "Construct Roads", ConstructRoadsAllowed, ConstructRoads},
    {LaneTool::RemoveRoads, "Remove Roads", RemoveRoadsAllowed, RemoveRoads},
    {LaneTool::ConstructBarriers, "Construct Barriers", ConstructBarriersAllowed, ConstructBarriers},
    {LaneTool::RemoveBarriers, "Remove Barriers", RemoveBarriersAllowed, RemoveBarriers},
};

const ToolFunctions* Find(LaneTool tool) {
    const auto found = std::find_if(std::begin(kTools), std::end(kTools),
                                    [tool](const ToolFunctions& row) { return row.tool == tool; });
    return found == std::end(kTools) ? nullptr : found;
}

}  // namespace

const char* LaneToolName(LaneTool tool) {
    if (tool == LaneTool::EditBlinders) {
        return "Edit Range Blinders";
    }
    const ToolFunctions* row = Find(tool);
    return row != nullptr ? row->name : "";
}

bool LaneToolAllowed(const LaneModel& model, LaneTool tool, int bin) {
    const ToolFunctions* row = Find(tool);
    return row != nullptr && row->allowed(model, bin);
}

bool ApplyLaneTool(LaneModel& model, LaneTool tool, int bin) {
    const ToolFunctions* row = Find(tool);
    if (row == nullptr || row->apply == nullptr || !row->allowed(model, bin)) {
        return false;
    }
    row->apply(model, bin);
    model.Recompute();
    return true;
}

int DragLaneMark(LaneModel& model, int from, int to) {
    if (!AdjustAllowed(model, from) || !InRange(to)) {
        return from;
    }
    const int step = to > from ? +1 : -1;
    int at = from;
    while (at != to && StepMark(model, at, step)) {
        at += step;
    }
    return at;
}

}  // namespace qvx
