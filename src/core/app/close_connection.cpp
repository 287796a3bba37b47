#include "app/close_connection.h"

#include <chrono>
#include <thread>

#include "app/app_context.h"
#include "protocol/catalogue.h"
#include "protocol/transaction_result.h"

namespace qvx {

namespace {

constexpr const char* kPlainPayload = "\r";
constexpr int kRestoreRetries = 1;
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

void Call(const std::function<void()>& hook) {
    if (hook) {
        hook();
    }
}

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
    app.link.SerialWrite(text, 0, false);
    SleepMs(sleep, pause_ms);
    SleepMs(sleep, wait_ms);
    std::string reply;
    app.link.ReadUntil(reply, kModemReplyChars, read_ms, 0, 0);
    return reply;
}

bool SaysOk(const std::string& reply) {
    return reply.find(kModemOk) != std::string::npos;
}

class ClosingSequence {
  public:
    ClosingSequence(AppContext& app, const CloseConnectionHooks& hooks) : app_(app), hooks_(hooks) {}

    CloseOutcome Run() {
        outcome_.ran = true;
        on_modem_ = app_.state.link_kind == LinkKind::Modem;
        Call(hooks_.show_wait_cursor);
        Call(hooks_.stop_sync_timer);
        Call(hooks_.close_current_view);
        ShowProgress();
        outcome_.protect_done = RestoreUntilDeclined(cmd::kProtect, kProtectRetryText);
        if (app_.state.multidrop_mode == 1) {
            BroadcastStartPush();
        }
        outcome_.push_restored = RestoreUntilDeclined(cmd::kStartPush, kPushRetryText);
        if (on_modem_) {
            outcome_.modem_offline = EscapeModemToCommandMode(app_, hooks_.sleep_ms);
            CloseProgress();
            HangUpModem(app_, hooks_.sleep_ms);
        }
        ReleaseLink();
        CloseProgress();
        Call(hooks_.reset_shared_records);
        Call(hooks_.restore_cursor);
        WarnAboutWhatFailed();
        app_.state.link_kind = LinkKind::None;
        return outcome_;
    }

  private:
    void ShowProgress() {
        if (hooks_.show_progress) {
            hooks_.show_progress(kClosingTitle, kClosingText);
            progress_shown_ = true;
        }
    }

    void CloseProgress() {
        if (progress_shown_) {
            progress_shown_ = false;
            Call(hooks_.close_progress);
        }
    }

    int Send(const char* code, int retries) {
        std::string reply;
        return app_.protocol.SendSensorCommand(code, kPlainPayload, reply, 0, retries, false, 0);
    }

    // The user may retry without limit; only a No gives the step up.
    bool RestoreUntilDeclined(const char* code, const char* retry_text) {
        for (;;) {
            app_.link.PurgeInput();
            if (Send(code, kRestoreRetries) == kOk) {
                return true;
            }
            if (!app_.prompts().Ask(kShutdownRetryCaption, retry_text, "Yes", "No")) {
                return false;
            }
        }
    }

    // Sensors muted by the detection answer nothing until told to push again.
    void BroadcastStartPush() {
        for (int i = 0; i < kBroadcastStartPushRepeats; ++i) {
            Send(cmd::kBroadcastStartPush, 0);
        }
    }

    // Whatever failed before, the socket and the port are released.
    void ReleaseLink() {
        if (app_.state.socket_open) {
            app_.link.TcpClose();
        }
        if (app_.link.SerialPortOpen()) {
            app_.link.CloseSerialPort();
        }
    }

    void Warn(const char* text) {
        MessageRequest request;
        request.caption = kShutdownWarningCaption;
        request.text = text;
        request.icon = IconKind::Warning;
        request.auto_close_ms = kShutdownWarningCloseMs;
        app_.prompts().Message(request);
    }

    void WarnAboutWhatFailed() {
        if (!outcome_.push_restored) {
            Warn(kPushNotRestoredText);
        }
        if (!outcome_.protect_done) {
            Warn(kNotProtectedText);
        }
        if (on_modem_ && !outcome_.modem_offline) {
            Warn(kModemOnlineText);
        }
    }

    AppContext& app_;
    const CloseConnectionHooks& hooks_;
    CloseOutcome outcome_;
    bool progress_shown_ = false;
    bool on_modem_ = false;  // the link kind may drop to None when the socket closes
};

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
        app.link.SerialWrite("ATH0\r", 0, false);
        SleepMs(sleep, kHangUpPauseMs);
        return;
    }
    MessageRequest request;
    request.caption = kHangUpCaption;
    request.text = kHangUpText;
    request.icon = IconKind::Information;
    app.prompts().Message(request);
}

CloseOutcome CloseConnection(AppContext& app, const CloseConnectionHooks& hooks) {
    if (app.state.link_kind == LinkKind::None) {
        return {};
    }
    return ClosingSequence(app, hooks).Run();
}

}  // namespace qvx
