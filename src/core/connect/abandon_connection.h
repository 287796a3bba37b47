#pragma once
// The clean-up after a connect that failed or was cancelled: whatever the attempt opened (the
// serial port, the socket) is closed and the program is left without a link. The connection
// windows and the CLI call it; nothing else closes a half-made connection.

namespace qvx {

class SensorLink;

void AbandonConnection(SensorLink& link);

}  // namespace qvx
