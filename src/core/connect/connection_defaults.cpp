#include "connect/connection_defaults.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/registry_store.h"

namespace qvx {

namespace {

namespace dv = defaults_value;

constexpr std::array<std::uint32_t, kBaudIndexCount> kBaudByIndex{0,      9600,   19200,  38400, 57600,
                                                                  115200, 230400, 460800, 921600};
constexpr int kMaxAddedDelayMs = 99999;

bool IsKnownMultiDropMode(int mode) {
    return mode >= kMultiDropSimple && mode <= kMultiDropDetect;
}

std::size_t StringBytesFor(const std::string& text, std::size_t fixed_bytes) {
    // A device path may be longer than the old fixed field; it is then stored whole.
    return std::max(fixed_bytes, text.size() + 1);
}

void ReadPortAndBaud(const RegistryStore& registry, ConnectionDefaults& d) {
    if (auto value = registry.GetInt(kKeyConnectionDefaults, dv::kAutoComBaud)) {
        d.auto_port_and_baud = *value != 0;
    }
    if (auto value = registry.GetString(kKeyConnectionDefaults, dv::kComPort)) {
        d.com_port = *value;
    }
    if (auto value = registry.GetInt(kKeyConnectionDefaults, dv::kBaudrateIndex)) {
        d.baud_index = (*value >= 0 && *value < kBaudIndexCount) ? *value : 0;
    }
}

void ReadModemStrings(const RegistryStore& registry, ConnectionDefaults& d) {
    if (auto value = registry.GetString(kKeyConnectionDefaults, dv::kModemInitStr, dv::kModemStringBytes)) {
        d.modem_init = value->substr(0, kModemInitMaxChars);
    }
    if (auto value = registry.GetString(kKeyConnectionDefaults, dv::kModemAutoCmd, dv::kModemStringBytes)) {
        d.modem_auto_cmd = value->substr(0, kModemAutoCmdMaxChars);
    }
}

void ReadAddedDelay(const RegistryStore& registry, ConnectionDefaults& d) {
    std::optional<std::int32_t> use_delay = registry.GetInt(kKeyConnectionDefaults, dv::kUseDelay);
    if (!use_delay) {
        d.use_delay = true;
        d.user_added_delay = kFirstRunAddedDelayMs;
        return;
    }
    d.use_delay = *use_delay != 0;
    if (auto value = registry.GetInt(kKeyConnectionDefaults, dv::kUserAddedDelay)) {
        d.user_added_delay = std::clamp<int>(*value, 0, kMaxAddedDelayMs);
    }
}

void ReadMultiDrop(const RegistryStore& registry, ConnectionDefaults& d) {
    for (const std::string& name :
         {std::string(dv::kCommonMultiDropDetection), MultiDropDetectionValueName(d.settings_kind)}) {
        if (auto value = registry.GetInt(kKeyConnectionDefaults, name)) {
            d.multidrop_mode = IsKnownMultiDropMode(*value) ? *value : kMultiDropSimple;
        }
    }
    for (const std::string& name :
         {std::string(dv::kCommonMaxMultiDropSensors), MaxMultiDropSensorsValueName(d.settings_kind)}) {
        if (auto value = registry.GetInt(kKeyConnectionDefaults, name)) {
            d.max_multidrop_sensors = *value;
        }
    }
    d.multidrop_id.clear();
    if (d.multidrop_mode != kMultiDropSimple) {
        d.multidrop_id = registry
                             .GetString(kKeyConnectionDefaults, SingleMultiDropIdValueName(d.settings_kind),
                                        dv::kIdReadBytes)
                             .value_or("");
    }
}

void ReadAll(const RegistryStore& registry, ConnectionDefaults& d) {
    if (d.settings_kind == SettingsKind::Serial) {
        ReadPortAndBaud(registry, d);
    } else if (d.settings_kind == SettingsKind::Modem) {
        ReadModemStrings(registry, d);
    }
    ReadAddedDelay(registry, d);
    ReadMultiDrop(registry, d);
    if (auto value = registry.GetInt(kKeyConnectionDefaults, dv::kSynchronize)) {
        d.synchronize_clock = *value != 0;
    }
}

void SetStateFromLoaded(const ConnectionDefaults& d, ConnectionState& state) {
    if (d.settings_kind == SettingsKind::Serial) {
        state.auto_port_and_baud = d.auto_port_and_baud;
        state.port_setting = d.com_port;
        state.fixed_baud = d.auto_port_and_baud ? 0 : BaudForIndex(d.baud_index);
    } else if (d.settings_kind == SettingsKind::Modem) {
        // Stored strings take effect for this run; empty ones keep what the program uses now.
        if (!d.modem_init.empty()) {
            state.modem_init = d.modem_init;
        }
        if (!d.modem_auto_cmd.empty()) {
            state.modem_auto_cmd = d.modem_auto_cmd;
        }
    }
    state.response_wait_ms = d.use_delay ? d.user_added_delay : 0;
    state.multidrop_mode = d.multidrop_mode;
    state.multidrop_enabled = d.multidrop_mode != kMultiDropSimple;
    state.SetMultiDropId(d.multidrop_id);
    state.synchronize_clock = d.synchronize_clock;
}

}  // namespace

const char* SettingsKindPrefix(SettingsKind kind) {
    switch (kind) {
        case SettingsKind::Serial:
            return "Serial";
        case SettingsKind::Modem:
            return "Modem";
        case SettingsKind::Internet:
            return "Inet";
    }
    return "Serial";
}

std::string MultiDropDetectionValueName(SettingsKind kind) {
    return std::string(SettingsKindPrefix(kind)) + " Multi-drop Detection";
}

std::string MaxMultiDropSensorsValueName(SettingsKind kind) {
    return std::string(SettingsKindPrefix(kind)) + " Max Multi-drop Sensors";
}

std::string SingleMultiDropIdValueName(SettingsKind kind) {
    return std::string(SettingsKindPrefix(kind)) + " Single Multi-drop ID";
}

std::uint32_t BaudForIndex(int baud_index) {
    if (baud_index < 0 || baud_index >= kBaudIndexCount) {
        return 0;
    }
    return kBaudByIndex[static_cast<std::size_t>(baud_index)];
}

const std::vector<std::string>& BaudChoices() {
    static const std::vector<std::string> choices{"Auto-find", "9600 bps",  "19200 bps",
                                                  "38400 bps", "57600 bps", "115200 bps"};
    return choices;
}

ConnectionDefaults LoadConnectionDefaults(SettingsKind settings_kind, RegistryStore& registry,
                                          ConnectionState& state) {
    ConnectionDefaults d;
    d.settings_kind = settings_kind;
    // Without a stored value the clock setting stays as the program has it.
    d.synchronize_clock = state.synchronize_clock;
    bool key_is_new = registry.CreateKey(kKeyConnectionDefaults);
    if (!key_is_new) {
        ReadAll(registry, d);
    }
    SetStateFromLoaded(d, state);
    return d;
}

bool SaveConnectionDefaults(const ConnectionDefaults& d, RegistryStore& registry) {
    const std::string key = kKeyConnectionDefaults;
    registry.CreateKey(key);
    bool ok = true;
    if (d.settings_kind == SettingsKind::Serial) {
        ok &= registry.SetInt(key, dv::kAutoComBaud, d.auto_port_and_baud ? 1 : 0);
        ok &= registry.SetString(key, dv::kComPort, d.com_port,
                                 StringBytesFor(d.com_port, dv::kShortStringBytes));
        ok &= registry.SetInt(key, dv::kBaudrateIndex, d.baud_index);
    } else if (d.settings_kind == SettingsKind::Modem) {
        ok &= registry.SetString(key, dv::kModemInitStr, d.modem_init, dv::kModemStringBytes);
        ok &= registry.SetString(key, dv::kModemAutoCmd, d.modem_auto_cmd, dv::kModemStringBytes);
    }
    ok &= registry.SetInt(key, dv::kUseDelay, d.use_delay ? 1 : 0);
    ok &= registry.SetInt(key, dv::kUserAddedDelay, d.user_added_delay);
    ok &= registry.SetInt(key, MultiDropDetectionValueName(d.settings_kind), d.multidrop_mode);
    ok &= registry.SetInt(key, MaxMultiDropSensorsValueName(d.settings_kind), d.max_multidrop_sensors);
    ok &= registry.SetString(key, SingleMultiDropIdValueName(d.settings_kind), d.multidrop_id,
                             StringBytesFor(d.multidrop_id, dv::kShortStringBytes));
    ok &= registry.SetInt(key, dv::kSynchronize, d.synchronize_clock ? 1 : 0);
    return ok;
}

bool ApplyConnectionDefaults(const ConnectionDefaults& d, const std::string& selected_port,
                             RegistryStore& registry, ConnectionState& state) {
    bool serial = d.settings_kind == SettingsKind::Serial;
    if (d.settings_kind == SettingsKind::Modem) {
        state.modem_init = d.modem_init.empty() ? kDefaultModemInit : d.modem_init;
        state.modem_auto_cmd = d.modem_auto_cmd.empty() ? kDefaultModemAutoCmd : d.modem_auto_cmd;
    }
    if (serial) {
        state.auto_port_and_baud = d.auto_port_and_baud;
    }
    state.response_wait_ms = d.use_delay ? d.user_added_delay : 0;
    state.multidrop_mode = d.multidrop_mode;
    state.multidrop_enabled = d.multidrop_mode != kMultiDropSimple;
    if (d.multidrop_id.size() == kMultiDropIdLength) {
        state.SetMultiDropId(d.multidrop_id);
    }
    state.synchronize_clock = d.synchronize_clock;

    bool saved = true;
    if (d.save_as_default) {
        ConnectionDefaults stored = d;
        stored.com_port = serial ? selected_port : d.com_port;
        stored.multidrop_id = state.multidrop_current_id;
        saved = SaveConnectionDefaults(stored, registry);
    }
    state.port_setting.clear();
    state.fixed_baud = 0;
    if (serial && !d.auto_port_and_baud) {
        state.fixed_baud = BaudForIndex(d.baud_index);
        state.port_setting = selected_port;
    }
    return saved;
}

std::string FilterMultiDropIdText(const std::string& text) {
    std::string id;
    for (char c : text) {
        bool allowed = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
        if (allowed && id.size() < kMultiDropIdLength) {
            id.push_back(c);
        }
    }
    return id;
}

bool AdvancedSettingsAcceptable(int multidrop_mode, const std::string& id) {
    return multidrop_mode != kMultiDropFixedId || id.size() == kMultiDropIdLength;
}

std::string FilterDigitsText(const std::string& text, std::size_t max_digits) {
    std::string digits;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)) && digits.size() < max_digits) {
            digits.push_back(c);
        }
    }
    return digits;
}

std::vector<std::string> BuildPortChoices(const std::vector<std::string>& ports,
                                          const PortOpenTest& can_open) {
    std::vector<std::string> choices{kAutoFindPort};
    for (const std::string& port : ports) {
        if (can_open(port)) {
            choices.push_back(port);
        }
    }
    if (choices.size() == 1) {
        return {kNoPortFound};
    }
    return choices;
}

int PortChoiceIndex(const std::vector<std::string>& choices, const std::string& stored_port) {
    auto found = std::find(choices.begin(), choices.end(), stored_port);
    return found == choices.end() ? 0 : static_cast<int>(found - choices.begin());
}

bool CanOpenSerialPort(const std::string& port) {
    int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

}  // namespace qvx
