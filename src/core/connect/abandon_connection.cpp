#include "connect/abandon_connection.h"

#include "link/sensor_link.h"

namespace qvx {

void AbandonConnection(SensorLink& link) {
    link.Close();
    ConnectionState& state = link.state();
    state.link_kind = LinkKind::None;
    state.cancel_connect.store(false);
    state.link_dropped = false;  // a connection never made is not a lost one
}

}  // namespace qvx
