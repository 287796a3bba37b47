#pragma once
// Everything one running program shares: the connection state, the link, the transaction path,
// the sensor's configuration records, the named sync objects and the registry. The GUI and the CLI
// each build one; a test builds its own.

#include <string>

#include "context/live_state.h"
#include "link/connection_state.h"
#include "link/sensor_link.h"
#include "platform/named_sync.h"
#include "platform/registry_store.h"
#include "protocol/record_io.h"
#include "protocol/sensor_configuration.h"
#include "protocol/transaction.h"
#include "protocol/user_prompts.h"

namespace qvx {

class AppContext {
  public:
    // prompts answers every question asked while work runs; it must outlive the context.
    explicit AppContext(UserPrompts& prompts);
    AppContext(UserPrompts& prompts, RegistryStore registry);
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    ConnectionState state;
    SensorLink link;
    SensorProtocol protocol;
    SensorConfiguration configuration;
    RecordIo records;
    NamedObjects objects;
    RegistryStore registry;
    LiveState live;

    UserPrompts& prompts() { return protocol.prompts(); }
    // The engineering menus are unlocked (the password was given).
    bool engineering_unlocked() const { return records.engineering_unlocked; }
    void set_engineering_unlocked(bool on) { records.engineering_unlocked = on; }
};

}  // namespace qvx
