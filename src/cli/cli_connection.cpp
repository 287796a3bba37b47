#include "cli_connection.h"

#include <cstring>

#include "connect/abandon_connection.h"
#include "connect/connection_defaults.h"
#include "connect/internet_connect.h"
#include "connect/multidrop.h"
#include "connect/serial_connect.h"
#include "context/app_context.h"

namespace qvx::cli {

namespace {

void ApplyOptions(ConnectionState& state, const CliOptions& options, bool force_detect) {
    state.response_wait_ms = options.wait_ms;
    state.synchronize_clock = false;  // the CLI sets the clock only when asked to
    state.fixed_baud = options.baud;
    if (options.serial) {
        state.auto_port_and_baud = *options.serial == "auto";
        state.port_setting = state.auto_port_and_baud ? kAutoFindPort : *options.serial;
    }
    if (force_detect || options.auto_id()) {
        state.multidrop_mode = kMultiDropDetect;
        state.multidrop_enabled = true;
        state.SetMultiDropId("");
    } else if (options.id) {
        state.multidrop_mode = kMultiDropFixedId;
        state.multidrop_enabled = true;
        state.SetMultiDropId(*options.id);
    } else {
        state.multidrop_mode = kMultiDropSimple;
        state.multidrop_enabled = false;
    }
}

std::string RateText(std::uint32_t baud) {
    return std::to_string(baud) + " bps";
}

std::string SerialFailure(const AppContext& app, const CliOptions& options, const SerialConnectWorker& worker,
                          bool answered) {
    const ConnectionState& state = app.state;
    const std::vector<UnopenedPort> unopened = worker.unopened_ports();
    const bool one_port = *options.serial != "auto";
    if (one_port && !unopened.empty()) {
        std::string text =
            "cannot open serial port " + *options.serial + ": " + std::strerror(unopened[0].error);
        if (const std::string advice = PermissionAdvice(unopened); !advice.empty()) {
            text += " (" + advice + ")";
        }
        return text;
    }
    const std::string rates =
        options.baud != 0 ? "at " + RateText(options.baud) : "at any rate from 9600 to 921600 bps";
    if (answered) {
        const std::string who = state.multidrop_mode == kMultiDropDetect
                                    ? "no multi-drop ID answered"
                                    : "the sensor did not accept the connection";
        return who + " on " + state.port_name + " at " + RateText(state.current_baud);
    }
    if (one_port) {
        return "no sensor answered on " + *options.serial + " " + rates;
    }
    if (SerialPortsToSearch(state).empty()) {
        return "no serial ports to search (set QVX_SERIAL_PORTS or name the port with --serial PATH)";
    }
    return "no sensor answered on any serial port. " + FailedSerialSearchText(worker.search_log());
}

ConnectResult ConnectSerial(AppContext& app, const CliOptions& options) {
    ConnectResult result;
    SerialConnectWorker worker(app);
    const bool found = worker.Run() == SerialConnectWorker::Outcome::Connected;
    std::string pick_failure;
    ProgressText status;
    const ConnectFinish finish = AfterSerialConnect(
        app, found, PickingSelector(options.pick, result.detected_ids, pick_failure), status);
    if (finish == ConnectFinish::Success) {
        result.connected = true;
        return result;
    }
    AbandonConnection(app.link);
    result.failure = !pick_failure.empty() ? pick_failure + " on " + app.state.port_name
                                           : SerialFailure(app, options, worker, found);
    return result;
}

std::string SocketErrorText(std::uint32_t code) {
    switch (code) {
        case 10061:
            return "connection refused";
        case 10060:
        case link_error::kConnectTimeout:
            return "no connection within 7000 ms";
        case link_error::kHostNotFound:
            return "host not found";
        case 10065:
            return "host unreachable";
        default:
            return "socket error " + std::to_string(code);
    }
}

ConnectResult ConnectTcp(AppContext& app, const CliOptions& options) {
    ConnectResult result;
    const std::string address = *options.tcp_host + ":" + std::to_string(options.tcp_port);
    app.state.host_address = ResolveInternetAddress(app, *options.tcp_host);
    app.state.tcp_port = options.tcp_port;
    InternetConnectWorker worker(app);
    const InternetConnectWorker::Outcome outcome = worker.Run();
    if (outcome != InternetConnectWorker::Outcome::Answered) {
        const bool opened = worker.probes_made() > 0;  // the socket connected and was probed
        AbandonConnection(app.link);
        result.failure =
            opened ? "no sensor answered at " + address
                   : "cannot connect to " + address + ": " + SocketErrorText(app.state.last_link_error);
        return result;
    }
    std::string pick_failure;
    ProgressText status;
    const ConnectFinish finish =
        AfterInternetConnect(app, PickingSelector(options.pick, result.detected_ids, pick_failure), status);
    if (finish != ConnectFinish::Success) {
        AbandonConnection(app.link);
        result.failure =
            (!pick_failure.empty()                          ? pick_failure
             : app.state.multidrop_mode == kMultiDropDetect ? "no multi-drop ID answered"
                                                            : "the sensor did not accept the connection") +
            " at " + address;
        return result;
    }
    app.state.connection_description =
        InternetConnectionDescription(*options.tcp_host, std::to_string(options.tcp_port));
    result.connected = true;
    return result;
}

}  // namespace

SensorSelector PickingSelector(int pick, std::vector<std::string>& found, std::string& failure) {
    return [pick, &found, &failure](AppContext& app) {
        MultiDropDetection detection;
        GatherMultiDropIds(app.protocol, detection);
        found = detection.ids;
        SensorSelection selection;
        selection.count = detection.count;
        const std::size_t index = pick > 0 ? static_cast<std::size_t>(pick - 1) : 0;
        if (detection.count == 0) {
            selection.continued = true;  // the caller sees no ID and fails
        } else if (index >= detection.ids.size()) {
            failure = "--pick " + std::to_string(pick) + " but only " + std::to_string(detection.count) +
                      " multi-drop ID(s) answered";
        } else {
            selection.continued = TakeChosenSensorId(app.state, detection.ids[index]);
        }
        return selection;
    };
}

ConnectResult ConnectSensor(AppContext& app, const CliOptions& options, bool force_detect) {
    ApplyOptions(app.state, options, force_detect);
    if (options.modem) {
        return ConnectModem(app, options);
    }
    return options.serial ? ConnectSerial(app, options) : ConnectTcp(app, options);
}

}  // namespace qvx::cli
