#include "connect/internet_connect.h"

#include <chrono>
#include <thread>

#include "connect/address_book.h"
#include "connect/input_parameters.h"
#include "context/app_context.h"
#include "link/sensor_link.h"
#include "platform/registry_store.h"
#include "protocol/calibration.h"
#include "protocol/catalogue.h"
#include "protocol/transaction_result.h"

namespace qvx {

namespace {

constexpr const char* kPlainPayload = "\r";
constexpr const char* kSuccessWord = "Success";
constexpr int kStopPushRetries = 5;
constexpr int kStopPushExtraMs = 5000;
constexpr int kPollExtraMs = 1000;
constexpr int kWorkerUnprotectRetries = 3;
constexpr int kSelectedUnprotectRetries = 2;
constexpr int kSelectedUnprotectExtraMs = 200;

bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// A file that would put a wrong ID into every frame or leave nothing to connect to is refused
// whole, as an unreadable one is.
bool UsableParameters(const InputParameters& p) {
    return !p.address.empty() && AllDigits(p.port) && p.port.size() <= kInternetPortMaxChars &&
           (p.sensor_id.empty() || p.sensor_id.size() == kMultiDropIdLength);
}

InternetFields FieldsFromFile(ConnectionState& state, const std::string& params_file) {
    InternetFields fields;
    std::string problem;
    const std::optional<InputParameters> parameters = ReadInputParametersFile(params_file, &problem);
    if (!parameters || !UsableParameters(*parameters)) {
        fields.error = kInputParametersErrorText;
        if (!problem.empty()) {
            fields.error += "\n" + problem;
        }
        return fields;
    }
    fields.address = parameters->address.substr(0, kInternetAddressMaxChars);
    fields.port = FilterPortText(parameters->port);
    if (!parameters->sensor_id.empty()) {
        state.multidrop_mode = kMultiDropFixedId;
        state.multidrop_enabled = true;
        state.SetMultiDropId(parameters->sensor_id);
    }
    return fields;
}

InternetFields FieldsFromRegistry(const RegistryStore& registry) {
    InternetFields fields;
    fields.address = registry.GetString(kKeyAddressBook, kLastIpValue, kLastFieldReadBytes).value_or("");
    fields.port = registry.GetString(kKeyAddressBook, kLastPortValue, kLastFieldReadBytes).value_or("");
    fields.address = fields.address.substr(0, kInternetAddressMaxChars);
    fields.port = FilterPortText(fields.port);
    return fields;
}

std::uint16_t PortNumber(const std::string& port) {
    const std::string clamped = FilterPortText(port);
    return clamped.empty() ? 0 : static_cast<std::uint16_t>(std::stoul(clamped));
}

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

InternetFields OpenInternetConnection(AppContext& app, const std::string& params_file,
                                      ConnectionDefaults& defaults) {
    defaults = LoadConnectionDefaults(SettingsKind::Internet, app.registry, app.state);
    app.state.cancel_connect.store(false);
    if (params_file.empty()) {
        return FieldsFromRegistry(app.registry);
    }
    return FieldsFromFile(app.state, params_file);
}

std::string ResolveInternetAddress(AppContext& app, const std::string& address) {
    const std::string book = app.registry.GetString(kKeyAddressBook, kAddressBookPathValue).value_or("");
    if (book.empty()) {
        return address;
    }
    std::string problem;
    const std::optional<std::string> found = LookupAlias(book, address, &problem);
    if (!problem.empty()) {
        MessageRequest request;
        request.caption = "Warning";
        request.text = problem + "\nThe address " + address + " is used as typed.";
        request.icon = IconKind::Warning;
        app.prompts().Message(request);
    }
    return found.value_or(address);
}

std::string PrepareInternetConnect(AppContext& app, const std::string& address, const std::string& port) {
    ConnectionState& state = app.state;
    RegistryStore& registry = app.registry;
    registry.CreateKey(kKeyAddressBook);
    registry.SetString(kKeyAddressBook, kLastIpValue, address);
    registry.SetString(kKeyAddressBook, kLastPortValue, port);
    registry.CreateKey(kKeyConnectionDefaults);
    registry.SetInt(kKeyConnectionDefaults, MultiDropDetectionValueName(SettingsKind::Internet),
                    state.multidrop_mode);
    // The ID that loading (or the parameters file, or the book) put into the connection state is
    // stored; without one the stored ID stays, so a connection with detection does not erase it.
    const std::string& id = state.multidrop_target_id;
    if (!id.empty() && id != kNoMultiDropId) {
        registry.SetString(kKeyConnectionDefaults, SingleMultiDropIdValueName(SettingsKind::Internet), id,
                           std::max(defaults_value::kShortStringBytes, id.size() + 1));
    }
    state.host_address = ResolveInternetAddress(app, address.substr(0, kInternetAddressMaxChars));
    state.tcp_port = PortNumber(port);
    return state.host_address;
}

std::string InternetConnectionDescription(const std::string& address, const std::string& port) {
    if (address.empty() || port.empty()) {
        return kInformationUnavailable;
    }
    return address + "/" + port;
}

InternetConnectWorker::InternetConnectWorker(AppContext& app) : app_(app) {}

void InternetConnectWorker::RequestCancel() {
    app_.state.cancel_connect.store(true);
}

bool InternetConnectWorker::CancelSeen() {
    return app_.state.cancel_connect.exchange(false);
}

// The worker leaves as soon as it sees a cancel: the window closes the socket once the flag has
// been taken back, so nothing may be sent after that.
InternetConnectWorker::Outcome InternetConnectWorker::Run() {
    probes_.store(0);
    bool answered = false;
    bool cancelled = false;
    if (app_.link.tcp().Connect() && !app_.state.cancel_connect.load()) {
        for (;;) {
            connecting_.store(true);
            SleepMs(kProbeSettleMs);
            if ((cancelled = CancelSeen())) {
                break;
            }
            if ((answered = Probe())) {
                break;
            }
            if ((cancelled = CancelSeen())) {
                break;
            }
            if (!app_.prompts().Ask(kRetryCaption, kRetryText)) {
                break;
            }
        }
    }
    connecting_.store(false);
    cancelled = cancelled || CancelSeen();
    if (answered && !cancelled && app_.state.multidrop_mode != kMultiDropDetect) {
        answered = Unprotect();
    }
    if (!answered || cancelled) {
        app_.link.tcp().Close();
    }
    cancelled = CancelSeen() || cancelled;
    if (cancelled) {
        return Outcome::Cancelled;
    }
    return answered ? Outcome::Answered : Outcome::NoAnswer;
}

bool InternetConnectWorker::Probe() {
    ++probes_;
    std::string reply;
    SensorProtocol& protocol = app_.protocol;
    if (app_.state.multidrop_mode == kMultiDropDetect) {
        for (int i = 0; i < kMultiDropEnableRepeats; ++i) {
            protocol.SendSensorCommand({.code = cmd::kEnableMultiDrop, .payload = kPlainPayload}, reply);
        }
        return protocol.SendSensorCommand(
                   {.code = cmd::kRequestMultiDropIds, .payload = "00\r", .extra_wait_ms = kPollExtraMs},
                   reply) == TransactionResult::Ok;
    }
    const TransactionResult result = protocol.SendSensorCommand({.code = cmd::kStopPush,
                                                                 .payload = kPlainPayload,
                                                                 .retries = kStopPushRetries,
                                                                 .extra_wait_ms = kStopPushExtraMs},
                                                                reply);
    return result == TransactionResult::Ok && reply.find(kSuccessWord) != std::string::npos;
}

// Only the user's cancel in the communication-error dialog undoes the answer; a sensor that
// answered the probe but refuses the unprotect is still connected.
bool InternetConnectWorker::Unprotect() {
    std::string reply;
    const TransactionResult result =
        app_.protocol.SendSensorCommand({.code = cmd::kUnprotect,
                                         .payload = kPlainPayload,
                                         .on_error = ErrorPolicy::Report,
                                         .retries = kWorkerUnprotectRetries,
                                         .link_recovery = true,
                                         .extra_wait_ms = kInternetUnprotectExtraMs},
                                        reply);
    return result != TransactionResult::Cancel;
}

ConnectFinish AfterInternetConnect(AppContext& app, const SensorSelector& select, ProgressText& status) {
    status.Set(kRemoteFailedText);
    ConnectFinish finish = ConnectFinish::Failed;
    if (app.state.socket_open) {
        if (app.state.multidrop_mode == kMultiDropDetect) {
            const SensorSelection selection = select ? select(app) : SelectSensorIdAutomatically(app);
            if (!selection.continued) {
                status.Set(kRemoteCanceledText);
                finish = ConnectFinish::Cancelled;
            } else if (selection.count > 0) {
                std::string reply;
                if (app.protocol.SendSensorCommand({.code = cmd::kUnprotect,
                                                    .payload = kPlainPayload,
                                                    .on_error = ErrorPolicy::Report,
                                                    .retries = kSelectedUnprotectRetries,
                                                    .extra_wait_ms = kSelectedUnprotectExtraMs},
                                                   reply) == TransactionResult::Ok) {
                    finish = ConnectFinish::Success;
                }
            }
        } else {
            finish = ConnectFinish::Success;
        }
    }
    if (finish != ConnectFinish::Success) {
        app.link.tcp().Close();
        return finish;
    }
    status.Set(kCalculatingWaitText);
    CalibrateResponseWait(app.link);
    status.Set(kRemoteEstablishedText);
    return ConnectFinish::Success;
}

}  // namespace qvx
