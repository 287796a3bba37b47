#include "connect/modem_line.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <thread>

#include "context/app_context.h"

namespace qvx {

namespace {

constexpr int kModemGuardMs = 2000;
constexpr int kModemGuardExtraMs = 1000;
constexpr int kModemWritePauseMs = 200;
constexpr int kFirstEscapeReadMs = 100;
constexpr int kEscapeRetryWaitMs = 1000;
constexpr int kEscapeReadMs = 500;
constexpr int kEscapeRetries = 2;
constexpr int kAtl0WaitMs = 500;
constexpr int kHangUpPauseMs = 2000;
constexpr std::size_t kModemReplyChars = 22;
constexpr const char* kModemOk = "OK";

void SleepMs(const std::function<void(int ms)>& sleep, int ms) {
    if (ms <= 0) {
        return;
    }
    if (sleep) {
        sleep(ms);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

std::string WriteAndRead(AppContext& app, const std::function<void(int ms)>& sleep, const char* text,
                         int pause_ms, int wait_ms, int read_ms) {
    app.link.Write(text);
    SleepMs(sleep, pause_ms);
    SleepMs(sleep, wait_ms);
    std::string reply;
    app.link.ReadUntil(reply, kModemReplyChars, read_ms, 0, 0);
    return reply;
}

bool SaysOk(const std::string& reply) {
    return reply.find(kModemOk) != std::string::npos;
}

}  // namespace

// The modem takes "+++" as the escape only after a silent guard time; it answers "OK" once it is
// back in command mode. It never blocks: three more tries, then "ATL0" as a last probe.
bool EscapeModemToCommandMode(AppContext& app, const std::function<void(int ms)>& sleep) {
    SleepMs(sleep, kModemGuardMs);
    SleepMs(sleep, kModemGuardExtraMs);
    std::string reply = WriteAndRead(app, sleep, "+++", kModemWritePauseMs, 0, kFirstEscapeReadMs);
    for (int attempt = 0;; ++attempt) {
        if (SaysOk(reply)) {
            return true;
        }
        reply = WriteAndRead(app, sleep, "+++", 0, kEscapeRetryWaitMs, kEscapeReadMs);
        if (attempt >= kEscapeRetries) {
            return SaysOk(WriteAndRead(app, sleep, "ATL0", kModemWritePauseMs, kAtl0WaitMs, kEscapeReadMs));
        }
    }
}

void HangUpModem(AppContext& app, const std::function<void(int ms)>& sleep) {
    if (!app.state.manual_dial) {
        app.link.Write("ATH0\r");
        SleepMs(sleep, kHangUpPauseMs);
        return;
    }
    MessageRequest request;
    request.caption = kHangUpCaption;
    request.text = kHangUpText;
    request.icon = IconKind::Information;
    app.prompts().Message(request);
}

}  // namespace qvx
