#include "connect/multidrop.h"

#include <algorithm>

#include "connect/connection_defaults.h"
#include "context/app_context.h"
#include "protocol/catalogue.h"
#include "protocol/transaction.h"
#include "protocol/transaction_result.h"

namespace qvx {

namespace {

constexpr const char* kPlainPayload = "\r";

bool SendQuiet(SensorProtocol& protocol, const char* code, const std::string& payload, std::string& reply,
               int extra_wait_ms = 0) {
    return protocol.SendSensorCommand({.code = code, .payload = payload, .extra_wait_ms = extra_wait_ms},
                                      reply) == TransactionResult::Ok;
}

// The fourth answer decides: a line where nobody heard the enabling has nobody to poll.
bool EnableIdResponses(SensorProtocol& protocol) {
    bool last = false;
    std::string reply;
    for (int i = 0; i < kMultiDropEnableRepeats; ++i) {
        last = SendQuiet(protocol, cmd::kEnableMultiDrop, kPlainPayload, reply);
    }
    return last;
}

// The mute goes to one sensor, so it is sent under that sensor's ID; the ID in use before is put
// back whatever the outcome.
bool MuteSensor(SensorProtocol& protocol, const std::string& id) {
    ConnectionState& state = protocol.state();
    const std::string saved_current = state.multidrop_current_id;
    const std::string saved_target = state.multidrop_target_id;
    state.SetMultiDropId(id);
    std::string reply;
    const bool muted = SendQuiet(protocol, cmd::kMuteMultiDrop, kPlainPayload, reply, kMuteExtraWaitMs);
    state.multidrop_current_id = saved_current;
    state.multidrop_target_id = saved_target;
    return muted;
}

bool Listed(const MultiDropDetection& detection, const std::string& id) {
    return std::find(detection.ids.begin(), detection.ids.end(), id) != detection.ids.end();
}

void TakeIds(SensorProtocol& protocol, const std::string& payload, MultiDropDetection& detection) {
    for (std::size_t at = 0; at < payload.size(); at += kMultiDropIdLength) {
        const std::string id = payload.substr(at, kMultiDropIdLength);
        if (Listed(detection, id)) {
            continue;
        }
        // A sensor that could not be muted stays off the list; a later slot may report it again.
        if (MuteSensor(protocol, id)) {
            detection.ids.push_back(id);
            ++detection.count;
        }
    }
}

void PollSlots(SensorProtocol& protocol, MultiDropDetection& detection) {
    for (int slot = 0; slot < kMultiDropPollSlots; ++slot) {
        std::string reply;
        const std::string payload = "0" + std::to_string(slot) + "\r";
        if (SendQuiet(protocol, cmd::kRequestMultiDropIds, payload, reply)) {
            TakeIds(protocol, reply, detection);
        }
    }
}

void FinishDetection(MultiDropDetection& detection) {
    detection.selected = detection.ids.empty() ? -1 : 0;
    detection.prompt = SelectSensorPrompt(detection.count);
}

}  // namespace

std::string SelectSensorPrompt(int count) {
    return "To complete the connection...\r\nSelect a sensor from among the " + std::to_string(count) +
           " ID(s) listed below...";
}

void GatherMultiDropIds(SensorProtocol& protocol, MultiDropDetection& detection) {
    if (detection.count == 0 && EnableIdResponses(protocol)) {
        PollSlots(protocol, detection);
    }
    FinishDetection(detection);
}

void RedetectMultiDropIds(SensorProtocol& protocol, MultiDropDetection& detection) {
    if (EnableIdResponses(protocol)) {
        for (const std::string& id : detection.ids) {
            MuteSensor(protocol, id);
        }
        PollSlots(protocol, detection);
    }
    FinishDetection(detection);
}

bool TakeChosenSensorId(ConnectionState& state, const std::string& text) {
    if (text.empty()) {
        return false;
    }
    state.SetMultiDropId(text);
    return true;
}

SensorSelection SelectSensorIdAutomatically(AppContext& app, const std::string& preferred_id) {
    MultiDropDetection detection;
    GatherMultiDropIds(app.protocol, detection);
    SensorSelection selection;
    selection.count = detection.count;
    if (detection.count == 0) {
        selection.continued = true;  // as the window does: it ends at once with nothing found
        return selection;
    }
    const std::string chosen = preferred_id.empty() ? detection.ids.front() : preferred_id;
    selection.continued = TakeChosenSensorId(app.state, chosen);
    return selection;
}

}  // namespace qvx
