#include "connect/serial_connect.h"

#include <grp.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "connect/connection_defaults.h"
#include "context/app_context.h"
#include "link/sensor_link.h"
#include "protocol/calibration.h"
#include "protocol/catalogue.h"
#include "protocol/transaction_result.h"

namespace qvx {

namespace {

constexpr const char* kPlainPayload = "\r";
constexpr int kStopPushRetries = 1;
constexpr int kUnprotectRetries = 2;
constexpr const char* kEchoMarker = "Echo";

// Indexed by the attempt number: an unanswered attempt a moves the port to entry a.
constexpr std::array<std::uint32_t, kSerialAttemptsPerPort> kRateAfterAttempt{19200,  38400,  57600,  115200,
                                                                              230400, 460800, 921600, 0};

bool NamesConcretePort(const std::string& setting) {
    return !setting.empty() && setting != "NULL" && setting.find(kAutoFindPort) == std::string::npos &&
           setting != kNoPortFound;
}

bool PermissionRefused(int error) {
    return error == EACCES || error == EPERM;
}

std::string GroupOwning(const std::string& port) {
    struct stat info {};
    if (stat(port.c_str(), &info) != 0) {
        return {};
    }
    std::array<char, 1024> buffer{};
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return std::to_string(info.st_gid);
    }
    return found->gr_name;
}

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
    std::string text;
    for (const std::string& part : parts) {
        text += (text.empty() ? "" : separator) + part;
    }
    return text;
}

// "Tried A, B at 9600, 19200 bps; C at 9600 bps.": ports with the same rates share one list.
std::string TriedPortsText(const std::vector<TriedPort>& tried) {
    std::vector<std::string> groups;
    std::vector<bool> told(tried.size(), false);
    for (std::size_t i = 0; i < tried.size(); ++i) {
        if (told[i]) {
            continue;
        }
        std::vector<std::string> ports;
        for (std::size_t j = i; j < tried.size(); ++j) {
            if (!told[j] && tried[j].rates == tried[i].rates) {
                ports.push_back(tried[j].port);
                told[j] = true;
            }
        }
        std::vector<std::string> rates;
        for (const std::uint32_t rate : tried[i].rates) {
            rates.push_back(std::to_string(rate));
        }
        groups.push_back(Join(ports, ", ") + (rates.empty() ? "" : " at " + Join(rates, ", ") + " bps"));
    }
    return "Tried " + Join(groups, "; ") + ".";
}

TransactionResult UnprotectSensor(AppContext& app, std::string& reply) {
    return app.protocol.SendSensorCommand({.code = cmd::kUnprotect,
                                           .payload = kPlainPayload,
                                           .on_error = ErrorPolicy::Report,
                                           .retries = kUnprotectRetries,
                                           .extra_wait_ms = kSerialCommandExtraWaitMs},
                                          reply);
}

}  // namespace

std::uint32_t SerialRateAfterAttempt(int attempt) {
    if (attempt < 1 || attempt > kSerialAttemptsPerPort) {
        return 0;
    }
    return kRateAfterAttempt[static_cast<std::size_t>(attempt - 1)];
}

std::vector<std::string> SerialPortsToSearch(const ConnectionState& state) {
    if (!state.auto_port_and_baud && NamesConcretePort(state.port_setting)) {
        return {state.port_setting};
    }
    return EnumerateSerialPorts();
}

std::string PermissionAdvice(const std::vector<UnopenedPort>& unopened) {
    std::vector<std::string> ports;
    std::vector<std::string> groups;
    for (const UnopenedPort& port : unopened) {
        if (!PermissionRefused(port.error)) {
            continue;
        }
        ports.push_back(port.port);
        const std::string group = GroupOwning(port.port);
        if (!group.empty() && std::find(groups.begin(), groups.end(), group) == groups.end()) {
            groups.push_back(group);
        }
    }
    if (ports.empty()) {
        return {};
    }
    std::string text = "Permission denied on " + Join(ports, ", ") + ".";
    if (!groups.empty()) {
        text += " Add your user to the group \"" + groups.front() +
                "\" that owns the device (sudo usermod -aG " + groups.front() + " $USER), then log in again.";
        for (std::size_t i = 1; i < groups.size(); ++i) {
            text += " Other ports belong to the group \"" + groups[i] + "\".";
        }
    }
    return text;
}

std::string FailedSerialSearchText(const SerialSearchLog& log) {
    if (log.tried.empty() && log.unopened.empty()) {
        return "There was no serial port to search.";
    }
    std::vector<std::string> sentences;
    if (!log.tried.empty()) {
        sentences.push_back(TriedPortsText(log.tried));
    }
    for (const UnopenedPort& port : log.unopened) {
        if (!PermissionRefused(port.error)) {
            sentences.push_back("Could not open " + port.port + " (" + std::strerror(port.error) + ").");
        }
    }
    if (const std::string advice = PermissionAdvice(log.unopened); !advice.empty()) {
        sentences.push_back(advice);
    }
    return Join(sentences, " ");
}

SerialConnectWorker::SerialConnectWorker(AppContext& app) : app_(app) {}

void SerialConnectWorker::RequestCancel() {
    app_.state.cancel_connect.store(true);
}

std::vector<UnopenedPort> SerialConnectWorker::unopened_ports() const {
    std::lock_guard lock(log_mutex_);
    return log_.unopened;
}

SerialSearchLog SerialConnectWorker::search_log() const {
    std::lock_guard lock(log_mutex_);
    return log_;
}

void SerialConnectWorker::NoteRateTried() {
    std::lock_guard lock(log_mutex_);
    std::vector<std::uint32_t>& rates = log_.tried.back().rates;
    if (std::find(rates.begin(), rates.end(), app_.state.current_baud) == rates.end()) {
        rates.push_back(app_.state.current_baud);
    }
}

// The flag is the worker's to clear: the window learns that the worker saw it when the thread ends.
bool SerialConnectWorker::CancelSeen() {
    return app_.state.cancel_connect.exchange(false);
}

SerialConnectWorker::Outcome SerialConnectWorker::Run() {
    connected_.store(false);
    attempts_.store(0);
    app_.state.cancel_connect.store(false);
    {
        std::lock_guard lock(log_mutex_);
        log_ = {};
    }
    for (const std::string& port : SerialPortsToSearch(app_.state)) {
        if (CancelSeen()) {
            return Outcome::Cancelled;
        }
        if (!SearchPort(port)) {
            return Outcome::Cancelled;
        }
        if (connected_.load()) {
            return Outcome::Connected;
        }
    }
    return CancelSeen() ? Outcome::Cancelled : Outcome::NotFound;
}

std::string SerialConnectWorker::RateText() const {
    return app_.state.port_name + " @ " + std::to_string(app_.state.current_baud) + " bps";
}

// False when the search was cancelled. A port left without a sensor is closed again.
bool SerialConnectWorker::SearchPort(const std::string& port) {
    ConnectionState& state = app_.state;
    state.port_name = port;
    state.current_baud = state.fixed_baud != 0 ? state.fixed_baud : kSerialSearchStartBaud;
    state.pending_baud = state.current_baud;
    SerialPort& serial = app_.link.serial();
    if (!serial.Open(state.current_baud, SerialTimeouts{})) {
        const int error = static_cast<int>(state.last_link_error);
        serial.Close();
        std::lock_guard lock(log_mutex_);
        log_.unopened.push_back({port, error});
        return true;
    }
    {
        std::lock_guard lock(log_mutex_);
        log_.tried.push_back({port, {}});
    }
    const int attempts = state.fixed_baud != 0 ? 1 : kSerialAttemptsPerPort;
    for (int attempt = 1; attempt <= attempts && !connected_.load(); ++attempt) {
        if (CancelSeen()) {
            serial.Close();
            return false;
        }
        ++attempts_;
        NoteRateTried();
        status_.Set("Looking for initial response on " + RateText() + "...");
        if (!InitialResponse()) {
            if (const std::uint32_t next = SerialRateAfterAttempt(attempt); next != 0) {
                serial.SetBaud(next);
            }
            continue;
        }
        status_.Set("Establishing checksum on " + RateText() + "...");
        const UnprotectResult unprotect =
            state.multidrop_mode == kMultiDropDetect ? UnprotectResult::Connected : Unprotect();
        if (unprotect == UnprotectResult::Echo) {
            break;  // a line that repeats what it hears is no sensor at any rate
        }
        if (unprotect == UnprotectResult::Connected) {
            connected_.store(true);
            status_.Set("Connection Established on " + RateText() + "!");
        }
    }
    if (!connected_.load()) {
        serial.Close();
    }
    return true;
}

bool SerialConnectWorker::InitialResponse() {
    std::string reply;
    if (app_.state.multidrop_mode == kMultiDropDetect) {
        for (int i = 0; i < kMultiDropEnableRepeats; ++i) {
            app_.protocol.SendSensorCommand({.code = cmd::kEnableMultiDrop, .payload = kPlainPayload}, reply);
        }
        return app_.protocol.SendSensorCommand({.code = cmd::kRequestMultiDropIds,
                                                .payload = "00\r",
                                                .extra_wait_ms = kSerialCommandExtraWaitMs},
                                               reply) == TransactionResult::Ok;
    }
    return app_.protocol.SendSensorCommand({.code = cmd::kStopPush,
                                            .payload = kPlainPayload,
                                            .retries = kStopPushRetries,
                                            .extra_wait_ms = kSerialCommandExtraWaitMs},
                                           reply) == TransactionResult::Ok;
}

SerialConnectWorker::UnprotectResult SerialConnectWorker::Unprotect() {
    std::string reply;
    if (UnprotectSensor(app_, reply) != TransactionResult::Ok) {
        return UnprotectResult::Failed;
    }
    return reply.find(kEchoMarker) != std::string::npos ? UnprotectResult::Echo : UnprotectResult::Connected;
}

void FinishSerialConnection(AppContext& app) {
    app.state.link_kind = LinkKind::Serial;
    app.state.connection_type = LinkKind::Serial;
    app.state.connection_description = app.link.serial().Description();
}

ConnectFinish AfterSerialConnect(AppContext& app, bool connected, const SensorSelector& select,
                                 ProgressText& status) {
    if (!connected) {
        app.state.link_kind = LinkKind::None;
        return ConnectFinish::Failed;
    }
    if (app.state.multidrop_mode == kMultiDropDetect) {
        status.Set(kDetectingIdsText);
        const SensorSelection selection = select ? select(app) : SelectSensorIdAutomatically(app);
        if (!selection.continued) {
            return ConnectFinish::Cancelled;
        }
        if (selection.count == 0) {
            app.state.link_kind = LinkKind::None;
            return ConnectFinish::Failed;
        }
        std::string reply;
        if (UnprotectSensor(app, reply) != TransactionResult::Ok) {
            return ConnectFinish::Cancelled;
        }
        app.state.link_kind = LinkKind::Serial;
        app.state.connection_type = LinkKind::Serial;
    }
    status.Set(kCalculatingWaitText);
    CalibrateResponseWait(app.link);
    FinishSerialConnection(app);
    return ConnectFinish::Success;
}

}  // namespace qvx
