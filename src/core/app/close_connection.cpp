#include "app/close_connection.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/comm_log.h"
#include "context/app_context.h"
#include "protocol/catalogue.h"
#include "protocol/refusal.h"
#include "protocol/transaction_result.h"

namespace qvx {

namespace {

constexpr const char* kPlainPayload = "\r";
constexpr int kRestoreRetries = 1;

// The box closes by itself, so the warning also goes to the communication log on one line and
// into the outcome.
void WarnShutdown(AppContext& app, const char* text, CloseOutcome& outcome) {
    outcome.warnings.push_back(text);
    std::string line = text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    ProgramLog().Message(LogLevel::Warning, line);
    MessageRequest request;
    request.caption = kShutdownWarningCaption;
    request.text = text;
    request.icon = IconKind::Warning;
    request.auto_close_ms = kShutdownWarningCloseMs;
    app.prompts().Message(request);
}

void Call(const std::function<void()>& hook) {
    if (hook) {
        hook();
    }
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
        // The start-push command the sensor confirms: a silent or refusing sensor is not taken
        // as restored.
        outcome_.push_restored = RestoreUntilDeclined(cmd::kStartPushConfirmed, kPushRetryText);
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

    TransactionResult Send(const char* code, int retries, std::string& reply) {
        return app_.protocol.SendSensorCommand({.code = code, .payload = kPlainPayload, .retries = retries},
                                               reply);
    }

    bool Confirmed(const char* code) {
        std::string reply;
        return Send(code, kRestoreRetries, reply) == TransactionResult::Ok && !IsRefusal(code, reply);
    }

    // The user may retry without limit; only a No gives the step up.
    bool RestoreUntilDeclined(const char* code, const char* retry_text) {
        for (;;) {
            app_.link.PurgeInput();
            if (Confirmed(code)) {
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
            std::string reply;
            Send(cmd::kBroadcastStartPush, 0, reply);
        }
    }

    // Whatever failed before, the socket and the port are released.
    void ReleaseLink() { app_.link.Close(); }

    void Warn(const char* text) { WarnShutdown(app_, text, outcome_); }

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

CloseOutcome CloseConnection(AppContext& app, const CloseConnectionHooks& hooks) {
    if (app.state.link_kind == LinkKind::None) {
        // A TCP link that dropped mid-command left nothing to restore through: say so, once.
        CloseOutcome outcome;
        if (app.state.link_dropped) {
            app.state.link_dropped = false;
            WarnShutdown(app, kLinkLostText, outcome);
        }
        return outcome;
    }
    const CloseOutcome outcome = ClosingSequence(app, hooks).Run();
    app.state.link_dropped = false;
    return outcome;
}

}  // namespace qvx
