#include "connect/modem_connect.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "connect/internet_connect.h"
#include "connect/modem_line.h"
#include "context/app_context.h"
#include "link/sensor_link.h"
#include "platform/registry_store.h"
#include "protocol/calibration.h"
#include "protocol/catalogue.h"
#include "protocol/transaction_result.h"

namespace qvx {

namespace {

constexpr const char* kPlainPayload = "\r";
constexpr int kSearchSettleMs = 500;
constexpr int kSearchReplyWaitMs = 500;
constexpr int kSearchReadMs = 150;
constexpr std::size_t kSearchReadChars = 9;
constexpr std::size_t kSearchMinChars = 2;
constexpr int kInitDrainMs = 500;
constexpr std::size_t kInitDrainChars = 200;
constexpr std::size_t kSpeedMaxChars = 20;
constexpr int kSensorSettleMs = 2000;
constexpr int kModemRetries = 3;
constexpr int kMultiDropPollExtraMs = 200;
constexpr int kConnectedPauseMs = 200;
constexpr int kAbandonPauseMs = 200;

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

void SleepFor(const SleepFunction& sleep, int ms) {
    if (sleep) {
        sleep(ms);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

bool PortHoldsModem(AppContext& app, const std::string& search_command) {
    SensorLink& link = app.link;
    std::this_thread::sleep_for(std::chrono::milliseconds(kSearchSettleMs));
    link.PurgeInput();
    link.Write(search_command + "\r");
    std::this_thread::sleep_for(std::chrono::milliseconds(kSearchReplyWaitMs));
    std::string reply;
    link.ReadUntil(reply, kSearchReadChars, kSearchReadMs, 0, 0);
    return IsModemSearchReply(reply, search_command);
}

TransactionResult Send(AppContext& app, const SensorRequest& request) {
    std::string reply;
    return app.protocol.SendSensorCommand(request, reply);
}

// With automatic detection: the IDs are gathered, the user picks one, and it must accept
// "Unprotect Sensor".
ConnectFinish ProveDetectedSensor(AppContext& app, std::uint32_t speed, const SensorSelector& select,
                                  ProgressText& status, const SleepFunction& sleep) {
    status.Set(kAutoDetectingText);
    SleepFor(sleep, kSensorSettleMs);
    for (int i = 0; i < kMultiDropEnableRepeats; ++i) {
        Send(app, {.code = cmd::kEnableMultiDrop, .payload = kPlainPayload});
    }
    if (Send(app, {.code = cmd::kRequestMultiDropIds,
                   .payload = "00\r",
                   .extra_wait_ms = kMultiDropPollExtraMs}) != TransactionResult::Ok) {
        return ConnectFinish::Failed;
    }
    const SensorSelection selection = select ? select(app) : SelectSensorIdAutomatically(app);
    if (!selection.continued) {
        return ConnectFinish::Cancelled;
    }
    if (selection.count == 0 || Send(app, {.code = cmd::kUnprotect,
                                           .payload = kPlainPayload,
                                           .on_error = ErrorPolicy::Report,
                                           .retries = kModemRetries,
                                           .link_recovery = true}) != TransactionResult::Ok) {
        return ConnectFinish::Failed;
    }
    status.Set(kCalculatingWaitText);
    CalibrateResponseWait(app.link);
    status.Set(FormatSpeed(kModemConnectedFormat, speed));
    SleepFor(sleep, kConnectedPauseMs);
    return ConnectFinish::Success;
}

// Simple protocol or one fixed ID: only the user's cancel (121) in the communication-error
// dialog undoes the connection; a sensor that refuses is still on the line.
ConnectFinish ProveSensor(AppContext& app, ProgressText& status, const SleepFunction& sleep) {
    SleepFor(sleep, kSensorSettleMs);
    status.Set(kCalculatingWaitText);
    CalibrateResponseWait(app.link);
    if (Send(app, {.code = cmd::kStopPush,
                   .payload = kPlainPayload,
                   .on_error = ErrorPolicy::Report,
                   .retries = kModemRetries,
                   .link_recovery = true}) == TransactionResult::Cancel) {
        return ConnectFinish::Failed;
    }
    if (Send(app, {.code = cmd::kUnprotect,
                   .payload = kPlainPayload,
                   .on_error = ErrorPolicy::Report,
                   .retries = kModemRetries,
                   .link_recovery = true}) == TransactionResult::Cancel) {
        return ConnectFinish::Failed;
    }
    return ConnectFinish::Success;
}

}  // namespace

bool IsModemSearchReply(const std::string& reply, const std::string& search_command) {
    if (reply.size() < kSearchMinChars) {
        return false;
    }
    if (Contains(reply, "OK")) {
        return true;
    }
    return Contains(reply, "0") && reply.find(search_command) == std::string::npos;
}

std::uint32_t ConnectLineSpeed(const std::string& reply) {
    const std::size_t t = reply.find('T', reply.find("CONNECT"));
    if (t == std::string::npos) {
        return 0;
    }
    std::string digits;
    for (std::size_t i = t + 1; i < reply.size() && digits.size() < kSpeedMaxChars; ++i) {
        const char c = reply[i];
        if (c != ' ' && c != '\t' && (c < '0' || c > '9')) {
            break;
        }
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    if (digits.empty()) {
        return 0;
    }
    // A number too long for 32 bits is no speed a modem reports: read it as the largest one.
    return digits.size() > 9 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(std::stoul(digits));
}

ModemReply ClassifyModemReply(const std::string& reply) {
    ModemReply result;
    if (Contains(reply, "CONNECT")) {
        result.line_speed = ConnectLineSpeed(reply);
        result.result = result.line_speed < kModemLineBaud ? ModemResult::TooSlow : ModemResult::Connected;
    } else if (Contains(reply, "NO") && Contains(reply, "DIALTONE")) {
        result.result = ModemResult::NoDialTone;
    } else if (Contains(reply, "NO") && Contains(reply, "CARRIER")) {
        result.result = ModemResult::NoCarrier;
    }
    return result;
}

const char* ModemResultText(ModemResult result) {
    switch (result) {
        case ModemResult::TooSlow:
            return kTooSlowText;
        case ModemResult::NoDialTone:
            return kNoDialToneText;
        case ModemResult::NoCarrier:
            return kNoCarrierText;
        case ModemResult::Other:
        case ModemResult::Connected:
            break;
    }
    return kModemErrorText;
}

std::string FormatSpeed(const char* format, std::uint32_t speed) {
    std::string text = format;
    const std::size_t at = text.find("%i");
    if (at != std::string::npos) {
        text.replace(at, 2, std::to_string(speed));
    }
    return text;
}

std::string OpenModemConnection(AppContext& app, ConnectionDefaults& defaults) {
    defaults = LoadConnectionDefaults(SettingsKind::Modem, app.registry, app.state);
    app.state.cancel_connect.store(false);
    const std::string number =
        app.registry.GetString(kKeyAddressBook, kLastPhoneValue, kLastPhoneReadBytes).value_or("");
    return number.substr(0, kPhoneNumberMaxChars);
}

void StoreModemDialSettings(AppContext& app, const std::string& number) {
    ConnectionState& state = app.state;
    RegistryStore& registry = app.registry;
    registry.CreateKey(kKeyAddressBook);
    registry.SetString(kKeyAddressBook, kLastPhoneValue, number.substr(0, kPhoneNumberMaxChars));
    registry.CreateKey(kKeyConnectionDefaults);
    registry.SetInt(kKeyConnectionDefaults, MultiDropDetectionValueName(SettingsKind::Modem),
                    state.multidrop_mode);
    const std::string id =
        state.multidrop_mode == kMultiDropFixedId ? state.multidrop_target_id : std::string();
    registry.SetString(kKeyConnectionDefaults, SingleMultiDropIdValueName(SettingsKind::Modem), id,
                       std::max(defaults_value::kShortStringBytes, id.size() + 1));
}

bool PhoneNumberAcceptable(bool manual_dial, const std::string& number) {
    return manual_dial || (!number.empty() && number.size() < kPhoneNumberLimit);
}

std::string ModemConnectionDescription(bool manual_dial, const std::string& number) {
    if (manual_dial) {
        return "Manually Dialed @ 9600 bps";
    }
    if (!number.empty()) {
        return number + " @ 9600 bps";
    }
    return kInformationUnavailable;
}

void TakeModemBookEntry(ConnectionState& state, const std::string& sensor_id) {
    if (sensor_id.size() == kMultiDropIdLength) {
        state.multidrop_mode = kMultiDropFixedId;
        state.multidrop_enabled = true;
        state.SetMultiDropId(sensor_id);
        return;
    }
    state.multidrop_mode = kMultiDropDetect;
    state.multidrop_enabled = true;
    state.SetMultiDropId("");
}

std::vector<std::string> ModemPortsToSearch() {
    return EnumerateSerialPorts();
}

bool FindModemPort(AppContext& app, const CancelCheck& cancelled, std::vector<std::string> ports) {
    const std::string search_command = app.state.modem_auto_cmd;
    if (ports.empty()) {
        ports = ModemPortsToSearch();
    }
    for (const std::string& port : ports) {
        if (cancelled && cancelled()) {
            break;
        }
        app.state.port_name = port;
        if (!app.link.serial().Open(kModemLineBaud, SerialTimeouts{})) {
            app.link.serial().Close();
            continue;
        }
        if (PortHoldsModem(app, search_command)) {
            app.state.current_baud = kModemLineBaud;
            return true;
        }
        app.link.serial().Close();
    }
    return false;
}

void InitialiseModem(AppContext& app) {
    app.link.WriteSerial(app.state.modem_init + "\r");
    std::string dropped;
    app.link.ReadUntil(dropped, kInitDrainChars, kInitDrainMs, 0, 0);
}

bool DialModem(AppContext& app, bool manual_dial, const std::string& number) {
    const std::string command =
        manual_dial ? std::string(kManualDialCommand)
                    : std::string(kDialPrefix) + number.substr(0, kPhoneNumberMaxChars) + "\r";
    return app.link.WriteSerial(command) == command.size();
}

std::string ReadModemResult(AppContext& app) {
    std::string reply;
    app.link.ReadUntil(reply, kResultReadChars, kResultReadMs, 0, 0);
    return reply;
}

std::string AwaitModemResult(AppContext& app, int poll_ms, int limit_ms, const CancelCheck& cancelled) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    std::string reply;
    while (reply.empty() && std::chrono::steady_clock::now() < deadline) {
        if (cancelled && cancelled()) {
            return {};
        }
        reply = ReadModemResult(app);
        if (reply.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(poll_ms));
        }
    }
    for (std::string more = reply; !more.empty() && reply.size() < kResultReadChars;) {
        more = ReadModemResult(app);
        reply += more;
    }
    return reply;
}

void DropModemLine(AppContext& app, const SleepFunction& sleep) {
    EscapeModemToCommandMode(app, sleep);
    HangUpModem(app, sleep);
    app.link.PurgeInput();
}

void AbandonModemDial(AppContext& app) {
    SerialPort& port = app.link.serial();
    if (!port.IsOpen()) {
        return;
    }
    app.link.WriteSerial("\r");
    std::this_thread::sleep_for(std::chrono::milliseconds(kAbandonPauseMs));
    app.link.WriteSerial("ATH0\r");
    std::this_thread::sleep_for(std::chrono::milliseconds(kAbandonPauseMs));
    app.link.PurgeSerialInput();
    port.Close();
    app.state.link_kind = LinkKind::None;
}

ConnectFinish AfterModemConnect(AppContext& app, std::uint32_t line_speed, const SensorSelector& select,
                                ProgressText& status, const SleepFunction& sleep) {
    app.state.link_kind = LinkKind::Modem;
    app.state.connection_type = LinkKind::Modem;
    status.Set(FormatSpeed(kModemQueryingFormat, line_speed));
    const ConnectFinish finish = app.state.multidrop_mode == kMultiDropDetect
                                     ? ProveDetectedSensor(app, line_speed, select, status, sleep)
                                     : ProveSensor(app, status, sleep);
    if (finish == ConnectFinish::Success) {
        status.Set(FormatSpeed(kModemConnectedFormat, line_speed));
    } else {
        status.Set(finish == ConnectFinish::Cancelled ? kConnectionCancelledText : kSensorFailedText);
    }
    return finish;
}

}  // namespace qvx
