#include "connect/connection_text.h"

namespace qvx {

namespace {

std::string MultiDropText(const ConnectionState& state) {
    switch (state.multidrop_mode) {
        case kMultiDropSimple:
            return "Simple";
        case kMultiDropDetect:
            return "Auto";
        default:
            return state.multidrop_current_id;
    }
}

std::string SettingsTail(const ConnectionDefaults& defaults, const ConnectionState& state) {
    std::string tail = MultiDropText(state);
    tail += ";    Synchronize - ";
    tail += state.synchronize_clock ? "Yes" : "No";
    tail += ";    Wait - ";
    tail += defaults.use_delay ? std::to_string(state.response_wait_ms.load()) : "0";
    return tail;
}

std::string BaudText(std::uint32_t fixed_baud) {
    return fixed_baud == 0 ? "Auto" : std::to_string(fixed_baud);
}

}  // namespace

std::string SerialPropertiesLine(const ConnectionDefaults& defaults, const ConnectionState& state) {
    std::string line = "COM - ";
    if (defaults.auto_port_and_baud) {
        line += "Auto;   Baud - Auto";
    } else if (state.port_setting.find(kAutoFindPort) != std::string::npos) {
        line += "Auto;   Baud - " + BaudText(state.fixed_baud);
    } else {
        line += state.port_setting + ";   Baud - " + BaudText(state.fixed_baud);
    }
    return line + ";    ID - " + SettingsTail(defaults, state);
}

std::string RemotePropertiesLine(const ConnectionDefaults& defaults, const ConnectionState& state) {
    return "  ID - " + SettingsTail(defaults, state);
}

}  // namespace qvx
