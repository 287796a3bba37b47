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
#include "sim_server.h"

namespace qvx::test {

inline std::string TransportName(const ::testing::TestParamInfo<sim::Transport>& info) {
    return info.param == sim::Transport::Pty ? "Pty" : "Tcp";
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
        state_.base_response_wait_ms = 150;
        if (server_->pty_path().empty()) {
            state_.link_kind = LinkKind::Internet;
            state_.connection_type = LinkKind::Internet;
            state_.host_address = "127.0.0.1";
            state_.tcp_port = server_->tcp_port();
            return Opened(link_.TcpConnect() == 1, "TcpConnect failed", why);
        }
        state_.link_kind = LinkKind::Serial;
        state_.port_name = server_->pty_path();
        const std::uint32_t rate = server_->sensor(0).LineRate();
        state_.current_baud = state_.pending_baud = static_cast<int>(rate);
        return Opened(link_.OpenSerialPort(static_cast<int>(rate), kReadIntervalNoWait, 0, 0) == 1,
                      "OpenSerialPort failed", why);
    }

    void Close() {
        if (state_.link_kind == LinkKind::Internet) {
            link_.TcpClose();
        } else if (state_.link_kind == LinkKind::Serial) {
            link_.CloseSerialPort();
        }
        state_.link_kind = LinkKind::None;
    }

    // One exchange without the error dialog; the transaction result.
    int Send(std::string_view code, std::string_view payload, std::string& reply, int retries = 1) {
        return protocol_.SendSensorCommand(code, payload, reply, 0, retries, false, 0);
    }

    sim::SimServer& server() { return *server_; }
    sim::SimulatedSensor& sensor(std::size_t index = 0) { return server_->sensor(index); }
    ConnectionState& state() { return state_; }
    SensorLink& link() { return link_; }
    SensorProtocol& protocol() { return protocol_; }
    ScriptedPrompts& prompts() { return prompts_; }

  private:
    static bool Opened(bool opened, const char* reason, std::string* why) {
        if (!opened && why)
            *why = reason;
        return opened;
    }

    std::unique_ptr<sim::SimServer> server_;
    ConnectionState state_;
    SensorLink link_{state_};
    ScriptedPrompts prompts_;
    SensorProtocol protocol_{link_, prompts_};
};

}  // namespace qvx::test
