// The modem connection of one CLI run: the dialog's procedure without its window. The result is
// awaited by polling instead of the dialog's two timers, with a limit, so that a modem that never
// answers cannot hold the run.

#include <string>

#include "context/app_context.h"
#include "app/close_connection.h"
#include "cli_connection.h"
#include "connect/modem_connect.h"

namespace qvx::cli {

namespace {

constexpr int kResultPollMs = 200;
constexpr int kResultLimitMs = 60000;

// A status text of the dialog as one line.
std::string OneLine(std::string text) {
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) {
        text.replace(at, 2, " ");
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

std::string NoModemFailure(const CliOptions& options) {
    if (*options.modem != "auto") {
        return "no modem answered on " + *options.modem;
    }
    std::string list;
    for (const std::string& port : ModemPortsToSearch()) {
        list += (list.empty() ? "" : ", ") + port;
    }
    if (list.empty()) {
        return "no modem found: no serial ports to search (set QVX_SERIAL_PORTS or name the port with "
               "--modem PATH)";
    }
    return "no modem found on any serial port (searched " + list + ")";
}

// Failed or refused after the modems connected: the closing sequence restores the sensor and hangs up.
ConnectResult FailConnected(AppContext& app, std::string failure) {
    CloseConnection(app);
    ConnectResult result;
    result.failure = std::move(failure);
    return result;
}

ConnectResult Fail(AppContext& app, std::string failure) {
    AbandonModemDial(app);
    ConnectResult result;
    result.failure = std::move(failure);
    return result;
}

}  // namespace

ConnectResult ConnectModem(AppContext& app, const CliOptions& options) {
    ConnectionState& state = app.state;
    state.manual_dial = options.dial_manually;
    const std::string number = options.dial.value_or("");
    std::vector<std::string> ports;
    if (*options.modem != "auto") {
        ports.push_back(*options.modem);
    }
    if (!FindModemPort(app, {}, ports)) {
        ConnectResult result;
        result.failure = NoModemFailure(options);
        return result;
    }
    InitialiseModem(app);
    if (!DialModem(app, state.manual_dial, number)) {
        return Fail(app, "cannot write to the modem on " + state.port_name);
    }
    if (state.manual_dial) {
        MessageRequest request;
        request.caption = "Modem";
        request.text = kManualDialStatus;
        request.icon = IconKind::Information;
        app.prompts().Message(request);
    }
    const std::string reply = AwaitModemResult(app, kResultPollMs, kResultLimitMs);
    if (reply.empty()) {
        return Fail(app, "no result from the modem on " + state.port_name + " within 60 s");
    }
    const ModemReply modem = ClassifyModemReply(reply);
    if (modem.result == ModemResult::TooSlow) {
        DropModemLine(app);
        return Fail(app, OneLine(kTooSlowText) + " (CONNECT " + std::to_string(modem.line_speed) + ")");
    }
    if (modem.result != ModemResult::Connected) {
        return Fail(app, OneLine(ModemResultText(modem.result)));
    }
    ConnectResult result;
    std::string pick_failure;
    ProgressText status;
    const ConnectFinish finish = AfterModemConnect(
        app, modem.line_speed, PickingSelector(options.pick, result.detected_ids, pick_failure), status);
    if (finish != ConnectFinish::Success) {
        return FailConnected(app, !pick_failure.empty() ? pick_failure : OneLine(status.Get()));
    }
    state.connection_description = ModemConnectionDescription(state.manual_dial, number);
    result.connected = true;
    return result;
}

}  // namespace qvx::cli
