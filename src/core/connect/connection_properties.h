#pragma once
// What the "Current Connection Properties" window shows and does: the link's kind, address and
// network protocol, the response waits, and the re-calculation of the automatic wait while the
// data threads are held off the link.

#include <string>

namespace qvx {

class NamedObjects;
class SensorLink;
class RegistryStore;
struct ConnectionState;

inline constexpr int kMaxAdditionalWaitMs = 99998;
inline constexpr int kPropertiesLockAttemptMs = 1000;
inline constexpr int kPropertiesLockAttemptsPerRound = 5;

// "Serial", "Modem", "Internet" or "Disconnected".
std::string ConnectionTypeText(const ConnectionState& state);
// "Port:", "Phone #:" or "Address:".
std::string AddressLabelText(const ConnectionState& state);
// connection_description, or "None" without a link.
std::string AddressValueText(const ConnectionState& state);
// "None", "Simple Quorvix Network" or "Multi-drop Quorvix Network (ID)".
std::string ProtocolText(const ConnectionState& state);
// base_response_wait_ms, or 0 without a link.
int AutomaticWaitMs(const ConnectionState& state);

// "Re-calculate": sets "GetPropertiesEvent" so the polling threads stay off the link, takes
// "SyncDataMutex" (in rounds of five 1,000 ms attempts until it comes), calibrates, and lets go.
bool RecalculateResponseWait(SensorLink& link, NamedObjects& objects);

// "Save As Default": "Use Delay" = 1 (one byte) and "User Added Delay" = the additional wait.
bool SaveResponseWaitDefault(RegistryStore& registry, const ConnectionState& state);

}  // namespace qvx
