#pragma once
// The one-line summary of the connection settings that the connection dialogs show under their
// prompt, rebuilt whenever the settings change.

#include <string>

#include "connect/connection_defaults.h"
#include "link/connection_state.h"

namespace qvx {

// "COM - Auto;   Baud - Auto;    ID - Simple;    Synchronize - Yes;    Wait - 0"
std::string SerialPropertiesLine(const ConnectionDefaults& defaults, const ConnectionState& state);
// "  ID - Simple;    Synchronize - Yes;    Wait - 0" (the Internet and modem dialogs)
std::string RemotePropertiesLine(const ConnectionDefaults& defaults, const ConnectionState& state);

}  // namespace qvx
