// Stand-in until the closing sequence lands: releases the link only.
#include "app/close_connection.h"

#include "app/app_context.h"

namespace qvx {

CloseOutcome CloseConnection(AppContext& app, const CloseConnectionHooks& hooks) {
    CloseOutcome outcome;
    if (app.state.link_kind == LinkKind::None)
        return outcome;
    outcome.ran = true;
    if (hooks.close_current_view)
        hooks.close_current_view();
    if (app.state.socket_open)
        app.link.TcpClose();
    app.link.CloseSerialPort();
    app.state.link_kind = LinkKind::None;
    return outcome;
}

}  // namespace qvx
