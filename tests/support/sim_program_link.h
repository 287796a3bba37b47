#pragma once
// The program's own link and transaction connected to an in-process qvx-sim server over a
// pseudo-terminal or loopback TCP, for tests that run one behaviour over both transports.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/sensor_link.h"
#include "protocol/transaction.h"
#include "protocol/user_prompts.h"
#include "scripted_prompts.h"
#include "sim_server.h"

namespace qvx::test {

inline std::string TransportName(const ::testing::TestParamInfo<sim::Transport>& info) {
    return info.param == sim::Transport::Pty ? "Pty" : "Tcp";
}

// Opens the program's link to a started server: its TCP port, or its pty at the first sensor's rate.
inline bool OpenProgramLink(ConnectionState& state, SensorLink& link, sim::SimServer& server,
                            std::string* why = nullptr) {
    const auto opened = [why](bool ok, const char* reason) {
        if (!ok && why)
            *why = reason;
        return ok;
    };
    state.base_response_wait_ms = 150;
    if (server.pty_path().empty()) {
        state.link_kind = LinkKind::Internet;
        state.connection_type = LinkKind::Internet;
        state.host_address = "127.0.0.1";
        state.tcp_port = server.tcp_port();
        return opened(link.tcp().Connect(), "TcpConnect failed");
    }
    state.link_kind = LinkKind::Serial;
    state.connection_type = LinkKind::Serial;
    state.port_name = server.pty_path();
    const auto rate = static_cast<int>(server.sensor(0).LineRate());
    state.current_baud = state.pending_baud = rate;
    return opened(link.serial().Open(rate, {kReadIntervalNoWait, 0, 0}), "OpenSerialPort failed");
}

class SimProgramLink {
  public:
    SimProgramLink(sim::Transport transport, std::vector<sim::SensorSettings> sensors,
                   sim::ServerSettings settings = {}) {
        settings.transport = transport;
        settings.pacing = false;
        server_ = std::make_unique<sim::SimServer>(std::move(sensors), settings);
    }
    ~SimProgramLink() { Close(); }

    // Starts the server and opens the program's link to it; false with the reason in why.
    bool Open(std::string* why = nullptr) {
        std::string error;
        if (!server_->Start(&error)) {
            if (why)
                *why = "server: " + error;
            return false;
        }
        return OpenProgramLink(state_, link_, *server_, why);
    }

    void Close() {
        if (state_.link_kind == LinkKind::Internet) {
            link_.tcp().Close();
        } else if (state_.link_kind == LinkKind::Serial) {
            link_.serial().Close();
        }
        state_.link_kind = LinkKind::None;
    }

    // One exchange without the error dialog; the transaction result.
    TransactionResult Send(std::string_view code, std::string_view payload, std::string& reply,
                           int retries = 1) {
        return protocol_.SendSensorCommand(
            {.code = std::string(code), .payload = std::string(payload), .retries = retries}, reply);
    }

    sim::SimServer& server() { return *server_; }
    sim::SimulatedSensor& sensor(std::size_t index = 0) { return server_->sensor(index); }
    ConnectionState& state() { return state_; }
    SensorLink& link() { return link_; }
    SensorProtocol& protocol() { return protocol_; }
    ScriptedPrompts& prompts() { return prompts_; }

  private:
    std::unique_ptr<sim::SimServer> server_;
    ConnectionState state_;
    SensorLink link_{state_};
    ScriptedPrompts prompts_;
    SensorProtocol protocol_{link_, prompts_};
};

}  // namespace qvx::test
