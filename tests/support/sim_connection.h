#pragma once
// Connects a program context to an in-process simulated sensor over loopback TCP, and reads what
// the connect sequence would have read (lane names, units, the connection port).

#include <string>

#include "context/app_context.h"
#include "sim_server.h"

namespace qvx::test {

inline bool ConnectToSim(AppContext& context, const sim::SimServer& server, std::string* why = nullptr) {
    context.state.host_address = "127.0.0.1";
    context.state.tcp_port = server.tcp_port();
    if (!context.link.tcp().Connect()) {
        if (why)
            *why = "TcpConnect failed: " + std::to_string(context.state.last_link_error);
        return false;
    }
    if (!context.records.ReadExtendedConfigInfo().ok() || !context.records.ReadConfigInfo().ok() ||
        !context.records.ReadConnectionPort().ok()) {
        if (why)
            *why = "the configuration records could not be read";
        return false;
    }
    return true;
}

}  // namespace qvx::test
