#include "config/settings_listing.h"

#include "config/settings_editor.h"

namespace qvx {

namespace {

template <std::size_t N>
std::string ItemOr(const std::array<const char*, N>& items, int index, const char* fallback = "") {
    return index >= 0 && static_cast<std::size_t>(index) < N ? items[static_cast<std::size_t>(index)]
                                                             : fallback;
}

std::string Address(const std::array<std::string, 4>& octets) {
    return octets[0] + "." + octets[1] + "." + octets[2] + "." + octets[3];
}

std::string Lane(int lane, const char* what) {
    return "Lane " + std::to_string(lane + 1) + " " + what;
}

void General(const GeneralPageModel& g, std::vector<SettingsLine>& out) {
    const auto add = [&](const char* label, std::string value) { out.push_back({"General", label, value}); };
    add("Serial Number", g.serial_number);
    add("Sensor (Multi-drop) ID", g.multidrop_id);
    add("RTMS ID", g.rtms_id);
    add("Description", g.description);
    add("Location", g.location);
    add("Orientation", ItemOr(kOrientationNames, g.orientation));
    add("Measurement Units", ItemOr(kUnitNames, g.units));
    add("RF Channel", std::to_string(g.rf_channel));
    add("Replay", ItemOr(kReplayNames, g.replay));
}

void Communication(const CommunicationPageModel& c, std::vector<SettingsLine>& out) {
    const auto add = [&](std::string label, std::string value) {
        out.push_back({"Communication", std::move(label), std::move(value)});
    };
    add("Modem IP", Address(c.modem_ip));
    add("Data Collector IP", Address(c.collector_ip));
    const std::pair<int, const char*> ports[] = {{comm_port::kRs232, "RS-232"},
                                                 {comm_port::kRs485, "RS-485"},
                                                 {comm_port::kExpansionA, "Expansion Port A"},
                                                 {comm_port::kExpansionB, "Expansion Port B"}};
    for (const auto& [port, name] : ports) {
        add(std::string(name) + (port == comm_port::kRs232 || port == comm_port::kRs485 ? " Port" : ""),
            ItemOr(kBaudItems, c.baud[static_cast<std::size_t>(port)], "unknown"));
    }
    add("Config Packet Script", c.config_script);
    add("Data Packet Script", c.data_script);
    add("Packet Variable Name", c.variable_name);
    add("Data Collector TCP Port", c.tcp_port);
    const std::pair<int, const char*> delays[] = {{comm_port::kRs232, "RS-232"},
                                                  {comm_port::kRs485, "RS-485"},
                                                  {comm_port::kExpansionA, "Exp. A"},
                                                  {comm_port::kExpansionB, "Exp. B"}};
    for (const auto& [port, name] : delays) {
        add(std::string("Response Delay ") + name + " (ms)", c.delays[static_cast<std::size_t>(port)]);
    }
    add("Simple Protocol", c.simple_protocol ? "Enabled" : "Disabled");
    add("Flow Control", c.rts_cts ? "RTS/CTS" : "None");
    for (std::size_t row = 0; row < c.push.size(); ++row) {
        const PushSetup& push = c.push[row];
        const std::string prefix = "Data Push " + std::to_string(row + 1) + " ";
        add(prefix + "Enabled", push.enabled ? "Yes" : "No");
        add(prefix + "Port", ItemOr(kPushPortNames, push.port, "unknown"));
        add(prefix + "Data Type", ItemOr(kPushDataTypes, push.data_type, "unknown"));
    }
}

void DataCollection(const DataCollectionModel& d, std::vector<SettingsLine>& out) {
    const auto add = [&](std::string label, std::string value) {
        out.push_back({"Data Collection", std::move(label), std::move(value)});
    };
    const bool english = d.units == 'E';
    const std::string length_units = english ? " (feet)" : " (decimeters)";
    const std::string loop_units = english ? " (inches)" : " (centimeters)";
    add("Interval (Bin) Size (seconds)", d.interval);
    add("Store in Flash Memory", d.store_in_flash ? "Yes" : "No");
    add("Flash Interval (seconds)", d.flash_interval);
    const char* classes[3] = {"Small", "Medium", "Large"};
    for (int k = 0; k < 3; ++k) {
        add(std::string(classes[k]) + " Min Length" + length_units,
            d.class_lengths[static_cast<std::size_t>(2 * k)]);
        add(std::string(classes[k]) + " Max Length" + length_units,
            d.class_lengths[static_cast<std::size_t>(2 * k + 1)]);
    }
    for (int lane = 0; lane < kPageLanes; ++lane) {
        const auto k = static_cast<std::size_t>(lane);
        add(Lane(lane, "Name"), d.lane_names[k]);
        if (d.directions_enabled) {
            add(Lane(lane, "Direction"), d.directions[k] == 1 ? "Right" : "Left");
        }
        add(Lane(lane, "Loop Size") + loop_units, d.loop_sizes[k]);
        add(Lane(lane, "Loop Spacing") + loop_units, d.loop_spacings[k]);
        add(Lane(lane, "Scale Occupancy"), d.occupancy_scales[k]);
        add(Lane(lane, "Scale Speed"), d.speed_scales[k]);
        add(Lane(lane, "Ext. Time"), d.extended[k] ? "Yes" : "No");
    }
    add("Default Loop Size" + loop_units, d.default_size);
    add("Default Loop Spacing" + loop_units, d.default_spacing);
    add("Extension Time (ms)", d.extension_ms);
    add("DACR", d.dacr);
    add("PGA", d.pga);
    add("Speed Avg Val", d.speed_avg);
}

template <std::size_t N>
void Entries(const std::array<std::string, N>& entries, const std::string& name,
             std::vector<SettingsLine>& out, int first_number = 0) {
    for (std::size_t k = 0; k < N; ++k) {
        out.push_back({"Lane Calibration", name + " " + std::to_string(static_cast<int>(k) + first_number),
                       entries[k]});
    }
}

}  // namespace

std::vector<SettingsLine> DescribeSettings(SettingsEditor& editor) {
    std::vector<SettingsLine> lines;
    General(editor.general(), lines);
    Communication(editor.communication(), lines);
    DataCollection(editor.data_collection().model(), lines);
    if (editor.side_fire()) {
        const SideFireCalibrationModel& s = editor.side_fire_calibration().model();
        Entries(s.main_noise, "Noise Rejection Main (Filtered) Lane", lines, 1);
        Entries(s.aux_noise, "Noise Rejection Aux (Unfiltered) Lane", lines, 1);
        Entries(s.boundaries, "Lane Boundary Index", lines);
        Entries(s.last_lanes, "Last Lane Index", lines);
    } else {
        const ForwardFireCalibrationModel& f = editor.forward_fire_calibration();
        Entries(f.start_bins, "Zone Start Bin", lines, 1);
        Entries(f.stop_bins, "Zone Stop Bin", lines, 1);
        Entries(f.bin_thresholds, "Bin Threshold", lines);
        lines.push_back({"Lane Calibration", "Peak Presence Threshold", f.peak_presence});
        Entries(f.peak_noise, "Peak Noise Threshold", lines);
    }
    return lines;
}

}  // namespace qvx
