#pragma once
// The steps that take a dial-up modem off the line: the escape to command mode and the hang-up.
// The closing sequence runs them, and so does the modem connect when a line must be dropped before
// it became the connection (a line too slow to use).

#include <functional>

namespace qvx {

class AppContext;

inline constexpr const char* kHangUpCaption = "Message";
inline constexpr const char* kHangUpText = "Hang up telephone and then press OK.";

// The escape to command mode: true when the modem confirmed it with "OK". sleep replaces the
// guard-time waits when given (tests run without waiting).
bool EscapeModemToCommandMode(AppContext& app, const std::function<void(int ms)>& sleep = {});
// "ATH0" when the program dialled; the user is asked to hang up a call dialled by hand.
void HangUpModem(AppContext& app, const std::function<void(int ms)>& sleep = {});

}  // namespace qvx
