#include "export/three_card.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

#include "export/calendar_day.h"
#include "export/card_codes.h"

namespace qvx {

namespace {

constexpr int kHoursPerDay = 24;
constexpr std::uint64_t kLargestHourlySum = 99999;
constexpr std::int64_t kNoData = -1;

// One record's worth of lane names: a direction and lane code and the names mapped to them.
struct CardLane {
    char direction_index;
    char lane_code;
    std::uint32_t name_mask = 0;  // bit n: the n-th lane name of the log
};

// Directions in the order the lane names first use them; within each, lane codes in lane-name
// order, none after lane code '0'.
std::vector<CardLane> PlanCardLanes(const std::vector<LaneMapping>& lanes) {
    std::vector<char> directions;
    for (const LaneMapping& lane : lanes) {
        if (std::find(directions.begin(), directions.end(), lane.direction_index) == directions.end()) {
            directions.push_back(lane.direction_index);
        }
    }
    std::vector<CardLane> plan;
    for (char direction : directions) {
        const std::size_t first = plan.size();
        bool all_lanes_met = false;
        for (std::size_t n = 0; n < lanes.size(); ++n) {
            if (lanes[n].direction_index != direction) {
                continue;
            }
            auto same = std::find_if(plan.begin() + static_cast<std::ptrdiff_t>(first), plan.end(),
                                     [&](const CardLane& c) { return c.lane_code == lanes[n].lane_code; });
            if (same == plan.end()) {
                if (all_lanes_met) {
                    continue;
                }
                plan.push_back({direction, lanes[n].lane_code});
                same = plan.end() - 1;
            }
            same->name_mask |= 1u << n;
            all_lanes_met = all_lanes_met || lanes[n].lane_code == '0';
        }
    }
    return plan;
}

// Hour h takes the records stamped from h:01 through (h+1):00, compared as "HH:MM"; the first
// minute after midnight (00:00:01 to 00:00:59, which no hour's text range holds) is hour 0.
int HourOf(const LogRecord& record) {
    const std::string_view hm = record.hour_minute();
    const int hour = (hm[0] - '0') * 10 + (hm[1] - '0');
    const bool on_the_hour = hm[3] == '0' && hm[4] == '0';
    return std::max(on_the_hour ? hour - 1 : hour, 0);
}

char DirectionCode(const CardLane& lane) {
    return DirectionCodes()[static_cast<std::size_t>(lane.direction_index - '0')].code[0];
}

const char* CodeAt(std::span<const CardCode> list, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < list.size()
               ? list[static_cast<std::size_t>(index)].code
               : nullptr;
}

int LaneNameIndex(const std::vector<std::string>& names, const std::string& name) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

class CardComposer {
  public:
    CardComposer(const LogData& log, const CardSettings& settings) : log_(log), settings_(settings) {}

    CardComposition Run() {
        const char* state = CodeAt(StateCodes(), settings_.state_index);
        const char* functional_class = CodeAt(FunctionalClassCodes(), settings_.class_index);
        const char* restriction = CodeAt(RestrictionCodes(), settings_.restriction_index);
        if (!state || !functional_class || !restriction || !LaneMappingsValid()) {
            result_.status = CardStatus::InvalidSelection;
            return result_;
        }
        prefix_ = std::string("3") + state + functional_class + PaddedStation(settings_.station);
        restriction_ = restriction;
        const std::vector<CardLane> plan = PlanCardLanes(settings_.lanes);
        CountUnexported(plan);
        for (const auto& [day, indexes] : RecordsByDay()) {
            for (const CardLane& lane : plan) {
                if (!AddRecord(day, indexes, lane)) {
                    result_.text.clear();
                    result_.record_count = 0;
                    return result_;
                }
            }
        }
        return result_;
    }

  private:
    bool LaneMappingsValid() const {
        if (settings_.lanes.size() > kMaxLogLaneNames) {
            return false;
        }
        for (const LaneMapping& lane : settings_.lanes) {
            if (!std::isdigit(static_cast<unsigned char>(lane.lane_code)) ||
                !std::isdigit(static_cast<unsigned char>(lane.direction_index))) {
                return false;
            }
        }
        return true;
    }

    // The index of each record's lane name (-1: not mapped), and the records of each day.
    std::map<std::string_view, std::vector<std::uint32_t>> RecordsByDay() {
        std::map<std::string_view, std::vector<std::uint32_t>> days;
        name_index_.resize(log_.records.size());
        for (std::size_t i = 0; i < log_.records.size(); ++i) {
            const LogRecord& record = log_.records[i];
            const int name = LaneNameIndex(log_.lane_names, record.lane_name);
            name_index_[i] = name < static_cast<int>(settings_.lanes.size()) ? name : -1;
            days[record.date()].push_back(static_cast<std::uint32_t>(i));
        }
        return days;
    }

    void CountUnexported(const std::vector<CardLane>& plan) {
        std::uint32_t exported = 0;
        for (const CardLane& lane : plan) {
            exported |= lane.name_mask;
        }
        for (const LogRecord& record : log_.records) {
            const int name = LaneNameIndex(log_.lane_names, record.lane_name);
            if (name < 0 || static_cast<std::size_t>(name) >= settings_.lanes.size() ||
                (exported & (1u << name)) == 0) {
                ++result_.unexported_records;
            }
        }
    }

    bool AddRecord(std::string_view day_text, const std::vector<std::uint32_t>& indexes,
                   const CardLane& lane) {
        std::int64_t hours[kHoursPerDay];
        std::fill(std::begin(hours), std::end(hours), kNoData);
        for (std::uint32_t i : indexes) {
            const int name = name_index_[i];
            if (name < 0 || (lane.name_mask & (1u << name)) == 0) {
                continue;
            }
            std::int64_t& sum = hours[HourOf(log_.records[i])];
            sum = std::max<std::int64_t>(sum, 0) + static_cast<std::int64_t>(std::min<std::uint64_t>(
                                                       log_.records[i].volume, kLargestHourlySum + 1));
            if (static_cast<std::uint64_t>(sum) > kLargestHourlySum) {
                NoteOverflow(day_text, static_cast<int>(&sum - hours), lane, log_.records[i].volume);
                return false;
            }
        }
        AppendRecord(day_text, hours, lane);
        return true;
    }

    void NoteOverflow(std::string_view day, int hour, const CardLane& lane, std::uint64_t volume) {
        result_.status = CardStatus::VolumeTooLarge;
        result_.day = day;
        result_.hour = hour;
        result_.direction_code = DirectionCode(lane);
        result_.lane_code = lane.lane_code;
        result_.volume = volume;
    }

    void AppendRecord(std::string_view day_text, const std::int64_t (&hours)[kHoursPerDay],
                      const CardLane& lane) {
        const CalendarDay day = *ParseCalendarDay(day_text);
        char fixed[40];
        std::snprintf(fixed, sizeof fixed, "%c%c%02d%02d%02d%d", DirectionCode(lane), lane.lane_code,
                      day.year % 100, day.month, day.day, DayOfWeek(day));
        std::string record = prefix_ + fixed;
        for (std::int64_t sum : hours) {
            char column[8];
            std::snprintf(column, sizeof column, sum == kNoData ? "   -1" : "%05lld",
                          static_cast<long long>(sum));
            record += column;
        }
        record += restriction_;
        record += '\n';
        result_.text += record;
        ++result_.record_count;
    }

    const LogData& log_;
    const CardSettings& settings_;
    CardComposition result_;
    std::vector<int> name_index_;
    std::string prefix_;
    std::string restriction_;
};

}  // namespace

LaneMapping DefaultLaneMapping(std::size_t lane) {
    return {static_cast<char>('1' + lane % 9), '0'};
}

bool IsValidStation(const std::string& station) {
    if (station.empty() || station.size() > kMaxStationLength) {
        return false;
    }
    for (char c : station) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

std::string PaddedStation(const std::string& station) {
    if (station.size() >= kMaxStationLength) {
        return station.substr(0, kMaxStationLength);
    }
    return std::string(kMaxStationLength - station.size(), '0') + station;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string CardFilePath(const std::string& log_path, const std::string& station) {
    return FolderOf(log_path) + PaddedStation(station) + kCardFileExtension;
}

bool HasDuplicateLaneMapping(const std::vector<LaneMapping>& lanes) {
    for (std::size_t a = 0; a < lanes.size(); ++a) {
        for (std::size_t b = a + 1; b < lanes.size(); ++b) {
            if (lanes[a] == lanes[b] && lanes[a].lane_code != '0') {
                return true;
            }
        }
    }
    return false;
}

CardComposition ComposeCardFile(const LogData& log, const CardSettings& settings) {
    return CardComposer(log, settings).Run();
}

ExportMessage CardCompositionMessage(const CardComposition& composition) {
    switch (composition.status) {
        case CardStatus::InvalidSelection:
            return {"Invalid state or classification selections", kInvalidEntriesCaption};
        case CardStatus::VolumeTooLarge: {
            char hours[32];
            std::snprintf(hours, sizeof hours, "%02d:01-%02d:00", composition.hour, composition.hour + 1);
            return {"The hourly volume of " + composition.day + " " + hours + ", direction code " +
                        composition.direction_code + " lane " + composition.lane_code +
                        " does not fit the five columns of a 3 Card record (a volume of " +
                        std::to_string(composition.volume) + " is in the log).\r\nNothing was written.",
                    "Export error..."};
        }
        case CardStatus::Ok:
            break;
    }
    return {};
}

ExportMessage CardSuccessMessage(const std::string& card_path) {
    return {"Export of 3 Card file\r\n\"" + card_path + "\"\r\nsuccessfully completed!",
            "Export successful..."};
}

}  // namespace qvx
