#include "connect/connection_properties.h"

#include "connect/connection_defaults.h"
#include "link/sensor_link.h"
#include "platform/named_sync.h"
#include "platform/registry_store.h"
#include "protocol/calibration.h"

namespace qvx {

std::string ConnectionTypeText(const ConnectionState& state) {
    switch (state.link_kind) {
        case LinkKind::Serial:
            return "Serial";
        case LinkKind::Modem:
            return "Modem";
        case LinkKind::Internet:
            return "Internet";
        default:
            return "Disconnected";
    }
}

std::string AddressLabelText(const ConnectionState& state) {
    switch (state.link_kind) {
        case LinkKind::Serial:
            return "Port:";
        case LinkKind::Modem:
            return "Phone #:";
        default:
            return "Address:";
    }
}

std::string AddressValueText(const ConnectionState& state) {
    return state.link_kind == LinkKind::None ? "None" : state.connection_description;
}

std::string ProtocolText(const ConnectionState& state) {
    if (state.link_kind == LinkKind::None) {
        return "None";
    }
    if (!state.multidrop_enabled) {
        return "Simple Quorvix Network";
    }
    return "Multi-drop Quorvix Network (" + state.multidrop_current_id + ")";
}

int AutomaticWaitMs(const ConnectionState& state) {
    return state.link_kind == LinkKind::None ? 0 : state.base_response_wait_ms;
}

bool RecalculateResponseWait(SensorLink& link, NamedObjects& objects) {
    ManualResetEvent& busy = objects.Event(sync_name::kGetProperties);
    NamedMutex& sync = objects.SyncData();
    busy.Set();
    bool held = false;
    while (!held) {
        for (int i = 0; i < kPropertiesLockAttemptsPerRound && !held; ++i) {
            held = sync.TryLockFor(kPropertiesLockAttemptMs);
        }
    }
    const bool calibrated = CalibrateResponseWait(link);
    busy.Reset();
    sync.Unlock();
    return calibrated;
}

bool SaveResponseWaitDefault(RegistryStore& registry, const ConnectionState& state) {
    registry.CreateKey(kKeyConnectionDefaults);
    bool ok = registry.SetInt(kKeyConnectionDefaults, defaults_value::kUseDelay, 1, 1);
    ok &= registry.SetInt(kKeyConnectionDefaults, defaults_value::kUserAddedDelay,
                          state.response_wait_ms.load());
    return ok;
}

}  // namespace qvx
