#include "sensor_records.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <vector>

#include "traffic_model.h"

namespace qvx::sim {

namespace {

constexpr std::array<std::uint32_t, 8> kBaudRates = {9600,   19200,  38400,  57600,
                                                     115200, 230400, 460800, 921600};
constexpr int kLaneWidthBins = 4;
constexpr int kFirstRoadBin = 6;
constexpr int kMedianBins = 3;
constexpr int kMarkerCount = 20;
constexpr int kGroupCount = 4;
constexpr std::uint32_t kUnusedGroup = 0x00FF;

// Lanes per road: up to three lanes share one road, more are split over two carriageways.
std::vector<int> RoadLanes(int lanes) {
    if (lanes <= 0) {
        return {};
    }
    if (lanes <= 3) {
        return {lanes};
    }
    const int first = (lanes + 1) / 2;
    return {first, lanes - first};
}

// Range bins of the edges, centres and dividers, in bin order.
std::vector<int> MarkerBins(const std::vector<int>& roads) {
    std::vector<int> bins;
    int bin = kFirstRoadBin;
    for (int lanes : roads) {
        bins.push_back(bin);  // opening edge
        for (int lane = 0; lane < lanes; ++lane) {
            bins.push_back(bin + kLaneWidthBins / 2);  // centre
            bin += kLaneWidthBins;
            bins.push_back(bin);  // divider, or the closing edge after the last lane
        }
        bin += kMedianBins;
    }
    return bins;
}

std::string LaneLetters(const std::vector<int>& roads) {
    std::string letters;
    for (std::size_t road = 0; road < roads.size(); ++road) {
        letters.append(static_cast<std::size_t>(roads[road]), road == 0 ? 'L' : 'R');
    }
    letters.resize(kMaxLanes, 'R');  // an unused lane carries 'R', as the program writes it
    return letters;
}

std::string Ip(int a, int b, int c, int d) {
    char text[16];
    std::snprintf(text, sizeof text, "%03d.%03d.%03d.%03d", a, b, c, d);
    return text;
}

std::string HexFields(std::uint32_t seed, std::uint32_t salt, std::size_t length, std::uint32_t low,
                      std::uint32_t span) {
    std::string record;
    for (std::size_t i = 0; record.size() < length; ++i) {
        record += Hex(low + Mix(seed, salt + static_cast<std::uint32_t>(i)) % span, 4);
    }
    return record;
}

}  // namespace

std::uint32_t BaudOfCode(char code) {
    if (code < '0' || code > '7') {
        return 0;
    }
    return kBaudRates[static_cast<std::size_t>(code - '0')];
}

char CodeOfBaud(std::uint32_t baud) {
    for (std::size_t i = 0; i < kBaudRates.size(); ++i) {
        if (kBaudRates[i] == baud) {
            return static_cast<char>('0' + i);
        }
    }
    return '\0';
}

char PushPortLetter(SensorPort port) {
    constexpr char kPortLetters[] = {'A', 'F', 'B', 'S'};  // in the order of SensorPort
    return kPortLetters[static_cast<int>(port)];
}

std::string BuildConfigInfo(const RecordSeed& seed) {
    const int lanes = std::clamp(seed.lanes, 0, kMaxLanes);
    std::string baud_codes = "4444";
    const char code = CodeOfBaud(seed.baud);
    baud_codes[static_cast<std::size_t>(seed.port)] = code != '\0' ? code : '0';

    std::string record;
    record += PadRight("QVX-S" + Hex(Mix(seed.seed, 0x5E41), 8), 16);  // serial number
    record += Ip(0, 0, 0, 0);                                          // modem IP
    record += Ip(192, 168, 1, 50);                                     // data collector IP
    record += PadRight("DATAPKT", 10);
    record += PadRight("CFGPKT", 6);
    record += Hex(Mix(seed.seed, 0x4D) % 256, 4);  // RTMS ID
    record += PadRight(seed.id, 4).substr(0, 4);
    record += PadRight("VAR001", 6);
    record += "NE";
    record += PadRight("Simulated site, Main St at 5th", 32);
    record += PadRight("qvx-sim sensor " + seed.id, 32);
    record += Hex(seed.interval_seconds, 8);
    record += static_cast<char>(flag_bit::kStatusEnabled | flag_bit::kFlashStorage);
    record += baud_codes;
    record += "0A5F";  // DACR
    record += LaneLetters(RoadLanes(lanes));
    return record;
}

std::string BuildExtendedConfigInfo(const RecordSeed& seed) {
    const int lanes = std::clamp(seed.lanes, 0, kMaxLanes);
    std::string record(1, seed.units);
    for (int lane = 1; lane <= kMaxLanes; ++lane) {
        record += PadRight(lane <= lanes ? "Lane " + std::to_string(lane) : "", 8);
    }
    record += "03";  // gain
    // The four push set-ups: data type, port letter, 'Y' when enabled, 'N'.
    const char own_port = PushPortLetter(seed.port);
    const std::pair<const char*, char> setups[] = {{"XD", 'F'}, {"XA", 'S'}, {"X1", 'A'}, {"I0", 'B'}};
    for (const auto& [type, default_port] : setups) {
        const bool pushed =
            std::find(seed.push_types.begin(), seed.push_types.end(), type) != seed.push_types.end();
        record += type;
        record += pushed ? own_port : default_port;
        record += pushed ? "YN" : "NN";
    }
    return record;
}

// The collection fields a sensor keeps in the units of its extended record: the three length
// classes (feet or decimetres) and the loops (inches or centimetres). Fields not listed here are
// seeded filler.
std::map<int, std::uint32_t> CollectionFieldValues(const RecordSeed& seed) {
    const bool english = seed.units == 'E';
    std::map<int, std::uint32_t> fields = {{163, 0},
                                           {164, english ? 21u : 64u},
                                           {167, english ? 22u : 65u},
                                           {168, english ? 35u : 107u},
                                           {171, english ? 36u : 108u},
                                           {172, english ? 328u : 1000u},
                                           {212, 3600},  // flash interval
                                           {213, english ? 240u : 610u},
                                           {214, english ? 72u : 183u},
                                           {216, 2},  // RS-485 delay
                                           {217, 0},
                                           {218, 0},
                                           {219, 0},
                                           {221, 4}};
    for (int lane = 0; lane < kMaxLanes; ++lane) {
        fields[195 + lane] = english ? 240 : 610;  // loop spacing
        fields[203 + lane] = english ? 72 : 183;   // loop size
    }
    return fields;
}

std::string BuildCollectionConfigInfo(const RecordSeed& seed) {
    const std::map<int, std::uint32_t> values = CollectionFieldValues(seed);
    std::string record;
    for (int id = 163; id <= 222; ++id) {
        std::string field = "0000";
        if (values.count(id)) {
            field = Hex(values.at(id), 4);
        } else if (id == 211) {
            field = "0001";  // RF channel
        } else if (id == 215) {
            field = seed.multi_drop_network ? "0003" : "0001";
        } else if (id == 220) {
            field = "FFFF";  // replay off
        } else if (id == 222) {
            field = "FF0C";
        } else if (id < 211) {
            field = Hex(Mix(seed.seed, 0xC0 + static_cast<std::uint32_t>(id)) % 64, 4);
        }
        record += field;
    }
    return record;
}

std::string BuildSfAlgorithmInfo(const RecordSeed& seed) {
    const std::vector<int> roads = RoadLanes(std::clamp(seed.lanes, 0, kMaxLanes));
    const std::vector<int> bins = MarkerBins(roads);
    std::string record;
    for (int i = 0; i < kMarkerCount; ++i) {
        record +=
            i < static_cast<int>(bins.size()) ? Hex(static_cast<std::uint32_t>(bins[i] * 2 + 8), 4) : "0000";
    }
    int lanes_so_far = 0;
    for (int group = 0; group < kGroupCount; ++group) {
        if (group < static_cast<int>(roads.size())) {
            lanes_so_far += roads[group];
            record += Hex(static_cast<std::uint32_t>(lanes_so_far - 1), 4);
        } else {
            record += Hex(kUnusedGroup, 4);
        }
    }
    record += LaneLetters(roads);
    return record;
}

std::string BuildSfNoiseInfo(const RecordSeed& seed) {
    // Fields 0..7 stay at or above the minimums the program enforces on connection.
    return HexFields(seed.seed, 0x2000, 32, 16, 16) + HexFields(seed.seed, 0x2100, 32, 0, 256);
}

std::string BuildSfOccupancyInfo(const RecordSeed& seed) {
    return HexFields(seed.seed, 0x3000, kSfOccupancyLength, 0, 1024);
}

std::string BuildFfAlgorithmInfo(const RecordSeed& seed, int part) {
    const std::size_t length = part == 0 ? kFfPart0Length : kFfPartLength;
    return HexFields(seed.seed, 0x4000 + static_cast<std::uint32_t>(part) * 0x100, length, 0, 512);
}

std::string BuildVersionText(const VersionParts& parts) {
    std::string dsp = parts.dsp_text.empty()
                          ? "QVX_" + parts.primary + ".30." + parts.yy + "." + parts.amm + ".R" + parts.dd
                          : parts.dsp_text;
    std::string fpga = parts.fpga;
    if (fpga.size() < 4) {
        fpga.insert(0, 4 - fpga.size(), '0');
    }
    return "DSP: " + PadRight(dsp, 20) + " FPGA: " + fpga.substr(0, 4);
}

int LaneCountOfSfAlgorithm(const std::string& record) {
    if (record.size() < 96) {
        return 0;
    }
    int lanes = 0;
    for (int group = 0; group < kGroupCount; ++group) {
        std::uint32_t boundary = 0;
        if (!ParseHex(std::string_view(record).substr(80 + 4 * group, 4), boundary) ||
            boundary == kUnusedGroup) {
            continue;
        }
        lanes = std::max(lanes, static_cast<int>(boundary) + 1);
    }
    return std::min(lanes, kMaxLanes);
}

}  // namespace qvx::sim
