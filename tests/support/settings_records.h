#pragma once
// Configuration records written out by hand, field by field, for the settings tests: a
// side-fire sensor with English units and four lanes, and the same with a forward-fire record.

#include <map>
#include <string>

#include "protocol/sensor_configuration.h"

namespace qvx::test {

inline std::string Hex4Text(unsigned value) {
    static const char* digits = "0123456789ABCDEF";
    std::string text(4, '0');
    for (int k = 3; k >= 0; --k, value >>= 4) {
        text[static_cast<std::size_t>(k)] = digits[value & 0xF];
    }
    return text;
}

inline std::string ConfigInfoText(char flags = '1') {
    std::string text;
    text += "Q1234567890ABCDE";                  // serial number
    text += "192.168.001.010";                   // modem IP
    text += "010.000.000.002";                   // data collector IP
    text += "DATA      ";                        // data packet script
    text += "CFG   ";                            // config packet script
    text += "00FF";                              // RTMS ID
    text += "CDE0";                              // multi-drop ID
    text += "VAR   ";                            // packet variable name
    text += "NE";                                // orientation
    text += "Exit 12 northbound              ";  // location
    text += "Main Street bridge              ";  // description
    text += "00000014";                          // 20 s intervals
    text += flags;                               // bit 0: store in flash
    text += "2010";                              // baud codes: Exp A, RS-232, Exp B, RS-485
    text += "0003";                              // DACR
    text += "LRLLLLLL";                          // lane directions
    return text;
}

inline std::string ExtendedInfoText(char units = 'E') {
    std::string text(1, units);
    text += "Lane 1  Lane 2  Lane 3  Lane 4  5       6       7       8       ";
    text += "04";
    text += "XDSYNXAFNNX1ANNI0BNN";
    return text;
}

// Collection fields by id (163..222); every other field "0000".
inline std::string CollectionInfoText(const std::map<int, unsigned>& overrides = {}) {
    std::map<int, unsigned> fields = {{164, 21},  {168, 35},    {172, 328},    {211, 2}, {212, 3600},
                                      {213, 240}, {214, 72},    {215, 0x0001}, {216, 2}, {217, 0},
                                      {218, 10},  {219, 65534}, {220, 0xFFFF}, {221, 4}, {222, 0xFFFF}};
    for (int lane = 0; lane < 8; ++lane) {
        fields[195 + lane] = 240;  // loop spacing
        fields[203 + lane] = 72;   // loop size
    }
    for (const auto& [id, value] : overrides) {
        fields[id] = value;
    }
    std::string text;
    for (int id = 163; id <= 222; ++id) {
        text += Hex4Text(fields.count(id) ? fields.at(id) : 0);
    }
    return text;
}

// Four lanes in one group: markers at bins 2..10, boundary 3, the rest unused.
inline std::string SideFireInfoText() {
    std::string text;
    const unsigned markers[] = {12, 14, 16, 18, 20, 22, 24, 26, 28};
    for (int k = 0; k < 20; ++k) {
        text += Hex4Text(k < 9 ? markers[k] : 0);
    }
    text += Hex4Text(3) + Hex4Text(255) + Hex4Text(255) + Hex4Text(255);
    text += "LRLLLLLL";
    for (int k = 0; k < 16; ++k) {
        text += Hex4Text(0x100 + static_cast<unsigned>(k));
    }
    return text;
}

inline std::string ForwardFireInfoText() {
    std::string text;
    for (unsigned k = 0; text.size() < kForwardFireLength; ++k) {
        text += Hex4Text(k * 7 % 0x10000);
    }
    return text.substr(0, kForwardFireLength);
}

inline SensorConfiguration SideFireConfiguration() {
    SensorConfiguration config;
    config.SetRecord(RecordSlot::Config, ConfigInfoText());
    config.SetRecord(RecordSlot::Extended, ExtendedInfoText());
    config.SetRecord(RecordSlot::Collection, CollectionInfoText());
    config.SetRecord(RecordSlot::SideFire, SideFireInfoText());
    return config;
}

inline SensorConfiguration ForwardFireConfiguration() {
    SensorConfiguration config;
    config.SetRecord(RecordSlot::Config, ConfigInfoText('0'));
    config.SetRecord(RecordSlot::Extended, ExtendedInfoText('M'));
    config.SetRecord(RecordSlot::Collection, CollectionInfoText({{164, 64}, {168, 107}, {172, 1000}}));
    config.SetRecord(RecordSlot::ForwardFire, ForwardFireInfoText());
    return config;
}

}  // namespace qvx::test
