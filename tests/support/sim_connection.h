#pragma once
// Connects a program context to an in-process simulated sensor over loopback TCP, and reads what
// the connect sequence would have read (lane names, units, the connection port).

#include <string>

#include "app/app_context.h"
#include "sim_server.h"

namespace qvx::test {

inline bool ConnectToSim(AppContext& context, const sim::SimServer& server, std::string* why = nullptr) {
    context.state.host_address = "127.0.0.1";
    context.state.tcp_port = server.tcp_port();
    if (context.link.TcpConnect() != 1) {
        if (why)
            *why = "TcpConnect failed: " + std::to_string(context.state.last_link_error);
        return false;
    }
    if (context.records.ReadExtendedConfigInfo() != 1 || context.records.ReadConfigInfo() != 1 ||
        context.records.ReadConnectionPort() != 1) {
        if (why)
            *why = "the configuration records could not be read";
        return false;
    }
    return true;
}

}  // namespace qvx::test
