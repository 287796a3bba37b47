// The closing sequence against scripted lines: the order of the restoring commands, the retry
// questions and the warnings that follow what could not be restored, the modem escape.

#include "app/close_connection.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "base/comm_log.h"
#include "context/app_context.h"
#include "protocol/catalogue.h"
#include "protocol/frame.h"

namespace qvx {
namespace {

using test::ScratchFolder;

// The far end of the line: records every byte and, for each rule in turn, writes its reply once
// the bytes since the previous rule's trigger contain its trigger.
class RawPeer {
  public:
    struct Rule {
        std::string trigger;
        std::string reply;
    };

    RawPeer(int fd, std::vector<Rule> rules) : fd_(fd), rules_(std::move(rules)) {
        thread_ = std::thread([this] { Serve(); });
    }
    ~RawPeer() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        ::close(fd_);
    }

    // Everything the program wrote before it closed its end.
    std::string ReceivedUntilClosed() {
        if (thread_.joinable()) {
            thread_.join();
        }
        return received_;
    }

  private:
    void Serve() {
        std::size_t matched_to = 0;
        std::size_t next_rule = 0;
        while (!stop_) {
            pollfd entry{fd_, POLLIN, 0};
            if (::poll(&entry, 1, 5) <= 0) {
                continue;
            }
            char buffer[256];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) {
                return;
            }
            std::lock_guard lock(mutex_);
            received_.append(buffer, static_cast<std::size_t>(n));
            while (next_rule < rules_.size()) {
                const std::size_t at = received_.find(rules_[next_rule].trigger, matched_to);
                if (at == std::string::npos) {
                    break;
                }
                matched_to = at + rules_[next_rule].trigger.size();
                const std::string& reply = rules_[next_rule++].reply;
                (void)!::write(fd_, reply.data(), reply.size());
            }
        }
    }

    int fd_;
    std::vector<Rule> rules_;
    mutable std::mutex mutex_;
    std::string received_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

const std::string kProtectRequest = std::string(cmd::kProtect);
const std::string kProtectReply =
    std::string("S8") + kProtectCode + ComputeFrameChecksum(kProtectCode) + "\r";

const std::string kPushRequest = std::string(cmd::kStartPushConfirmed) + "\r";
const std::string kPushReply = std::string(cmd::kStartPushConfirmed) + "Success\r";

std::size_t Count(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at = text.find(piece, at + piece.size())) {
        ++count;
    }
    return count;
}

class CloseConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::signal(SIGPIPE, SIG_IGN);
        app_.protocol.sleep_ms = [](int) {};
        app_.state.base_response_wait_ms = 0;  // a silent attempt lasts one poll step
        hooks_.sleep_ms = [this](int ms) { sleeps_.push_back(ms); };
    }

    // A line whose far end answers by the rules.
    void StartLine(LinkKind kind, std::vector<RawPeer::Rule> rules) {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        app_.link.serial().Adopt(fds[0]);
        app_.state.link_kind = kind;
        peer_ = std::make_unique<RawPeer>(fds[1], std::move(rules));
    }

    // A line that takes nothing: every send fails.
    void StartDeadLine() {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        ::close(fds[1]);
        app_.link.serial().Adopt(fds[0]);
        app_.state.link_kind = LinkKind::Serial;
    }

    std::vector<std::string> WarningTexts() const {
        std::vector<std::string> texts;
        for (const MessageRequest& message : prompts_.messages) {
            EXPECT_EQ(message.caption, kShutdownWarningCaption);
            EXPECT_EQ(message.auto_close_ms, kShutdownWarningCloseMs);
            texts.push_back(message.text);
        }
        return texts;
    }

    // The closing warnings the communication log received, in order.
    std::vector<std::string> LoggedWarnings() const {
        std::vector<std::string> texts;
        for (const LogEntry& entry : log_->All()) {
            if (entry.text.starts_with(kShutdownWarningCaption)) {
                EXPECT_EQ(entry.level, LogLevel::Warning);
                texts.push_back(entry.text);
            }
        }
        return texts;
    }

    ScratchFolder dir_;
    ScriptedPrompts prompts_;
    AppContext app_{prompts_, RegistryStore(dir_ / "registry")};
    CloseConnectionHooks hooks_;
    std::shared_ptr<LogRing> log_ = std::make_shared<LogRing>(LogLevel::Warning);
    ScopedLogSink log_sink_{ProgramLog(), log_};
    std::vector<int> sleeps_;
    std::unique_ptr<RawPeer> peer_;
};

const std::string kProtectQuestion = std::string(kShutdownRetryCaption) + "|" + kProtectRetryText;
const std::string kPushQuestion = std::string(kShutdownRetryCaption) + "|" + kPushRetryText;

TEST_F(CloseConnectionTest, WithoutALinkNothingHappensAndNothingIsShown) {
    bool hook_called = false;
    hooks_.show_wait_cursor = [&] { hook_called = true; };
    const CloseOutcome outcome = CloseConnection(app_, hooks_);
    EXPECT_FALSE(outcome.ran);
    EXPECT_FALSE(hook_called);
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_TRUE(prompts_.questions.empty());
}

TEST_F(CloseConnectionTest, ASensorThatTakesNeitherCommandEndsWithBothWarningsInOrder) {
    StartDeadLine();
    prompts_.ask_answers = {false, false};
    const CloseOutcome outcome = CloseConnection(app_, hooks_);
    EXPECT_FALSE(outcome.protect_done);
    EXPECT_FALSE(outcome.push_restored);
    EXPECT_EQ(prompts_.questions, (std::vector<std::string>{kProtectQuestion, kPushQuestion}));
    EXPECT_EQ(WarningTexts(), (std::vector<std::string>{kPushNotRestoredText, kNotProtectedText}));
    // The boxes close by themselves: the communication log keeps the warnings.
    EXPECT_EQ(LoggedWarnings(), (std::vector<std::string>{kPushNotRestoredText, kNotProtectedText}));
    EXPECT_EQ(outcome.warnings, (std::vector<std::string>{kPushNotRestoredText, kNotProtectedText}));
    EXPECT_EQ(app_.state.link_kind, LinkKind::None);
    EXPECT_FALSE(app_.link.serial().IsOpen());
}

TEST_F(CloseConnectionTest, YesRepeatsTheStepUntilTheUserDeclines) {
    StartDeadLine();
    prompts_.ask_answers = {true, true, false, false};
    CloseConnection(app_, hooks_);
    EXPECT_EQ(prompts_.questions, (std::vector<std::string>{kProtectQuestion, kProtectQuestion,
                                                            kProtectQuestion, kPushQuestion}));
}

// Push mode is restored with the start-push command the sensor confirms, so a line that takes the
// bytes but never answers restores neither step, and both are offered for retry and warned about.
TEST_F(CloseConnectionTest, AnOpenButSilentLineRestoresNeitherStepAndWarnsAboutBoth) {
    StartLine(LinkKind::Serial, {});
    const CloseOutcome outcome = CloseConnection(app_, hooks_);
    EXPECT_FALSE(outcome.protect_done);
    EXPECT_FALSE(outcome.push_restored);
    EXPECT_EQ(prompts_.questions, (std::vector<std::string>{kProtectQuestion, kPushQuestion}));
    EXPECT_EQ(WarningTexts(), (std::vector<std::string>{kPushNotRestoredText, kNotProtectedText}));
    // One retry each: two protect attempts, then two start-push attempts.
    const std::string sent = peer_->ReceivedUntilClosed();
    EXPECT_EQ(Count(sent, kProtectRequest), 2u);
    EXPECT_EQ(Count(sent, kPushRequest), 2u);
    EXPECT_EQ(Count(sent, "S9"), 0u);
}

TEST_F(CloseConnectionTest, AStartPushAnsweredFailureIsNotTakenAsRestored) {
    StartLine(LinkKind::Serial, {{"\r", kProtectReply}, {kPushRequest, "X7Failure\r"}});
    app_.state.base_response_wait_ms = 300;  // room for the replies on a busy machine
    const CloseOutcome outcome = CloseConnection(app_, hooks_);
    EXPECT_TRUE(outcome.protect_done);
    EXPECT_FALSE(outcome.push_restored);
    EXPECT_EQ(prompts_.questions, std::vector<std::string>{kPushQuestion});
    EXPECT_EQ(WarningTexts(), std::vector<std::string>{kPushNotRestoredText});
}

// The TCP link went down in the middle of a command: there is nothing left to send on, and the
// user hears about it once, not again at the next close.
TEST_F(CloseConnectionTest, ATcpLinkLostMidCommandIsReportedOnce) {
    app_.state.connection_type = LinkKind::Internet;
    app_.state.link_kind = LinkKind::None;
    app_.state.link_dropped = true;
    EXPECT_EQ(CloseConnection(app_, hooks_).warnings, std::vector<std::string>{kLinkLostText});
    EXPECT_EQ(WarningTexts(), std::vector<std::string>{kLinkLostText});
    CloseConnection(app_, hooks_);
    EXPECT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(LoggedWarnings(), std::vector<std::string>{kLinkLostText});
    EXPECT_TRUE(prompts_.questions.empty());
}

TEST_F(CloseConnectionTest, RestoresFirewallThenPushAndRunsTheWindowStepsInOrder) {
    StartLine(LinkKind::Serial, {{"\r", kProtectReply}, {kPushRequest, kPushReply}});
    app_.state.base_response_wait_ms = 300;  // room for the reply on a busy machine
    std::vector<std::string> steps;
    hooks_.show_wait_cursor = [&] { steps.push_back("cursor"); };
    hooks_.stop_sync_timer = [&] { steps.push_back("timer"); };
    hooks_.close_current_view = [&] { steps.push_back("view"); };
    hooks_.show_progress = [&](const std::string& title, const std::string& text) {
        steps.push_back(title + "|" + text);
    };
    hooks_.close_progress = [&] { steps.push_back("progress closed"); };
    hooks_.reset_shared_records = [&] { steps.push_back("records"); };

    const CloseOutcome outcome = CloseConnection(app_, hooks_);
    EXPECT_TRUE(outcome.protect_done);
    EXPECT_TRUE(outcome.push_restored);
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_EQ(steps, (std::vector<std::string>{"cursor", "timer", "view",
                                               "Closing...|Closing current connection,\nplease wait...",
                                               "progress closed", "records"}));
    const std::string sent = peer_->ReceivedUntilClosed();
    EXPECT_EQ(sent.find(kProtectRequest), 0u);
    EXPECT_NE(sent.find(kPushRequest), std::string::npos);
    EXPECT_EQ(Count(sent, "B3"), 0u);
    EXPECT_FALSE(app_.link.serial().IsOpen());
}

TEST_F(CloseConnectionTest, DetectedMultiDropSensorsGetFiveBroadcastsBetweenFirewallAndPush) {
    app_.state.multidrop_mode = 1;
    StartLine(LinkKind::Serial, {{"\r", kProtectReply}});
    CloseConnection(app_, hooks_);
    const std::string sent = peer_->ReceivedUntilClosed();
    EXPECT_EQ(Count(sent, "B3\r"), 5u);
    EXPECT_LT(sent.find(kProtectRequest), sent.find("B3\r"));
    EXPECT_LT(sent.rfind("B3\r"), sent.find(kPushRequest));
}

TEST_F(CloseConnectionTest, AModemThatConfirmsTheFirstEscapeIsHungUpAtOnce) {
    StartLine(LinkKind::Modem, {{"\r", kProtectReply}, {kPushRequest, kPushReply}, {"+++", "\r\nOK\r\n"}});
    app_.state.base_response_wait_ms = 300;  // room for the replies on a busy machine
    const CloseOutcome outcome = CloseConnection(app_, hooks_);
    EXPECT_TRUE(outcome.modem_offline);
    const std::string sent = peer_->ReceivedUntilClosed();
    EXPECT_EQ(Count(sent, "+++"), 1u);
    EXPECT_EQ(Count(sent, "ATL0"), 0u);
    EXPECT_EQ(sent.substr(sent.size() - 5), "ATH0\r");
    EXPECT_EQ(sleeps_, (std::vector<int>{2000, 1000, 200, 2000}));
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(CloseConnectionTest, AModemThatNeverAnswersGetsThreeMoreEscapesAndAProbeThenAWarning) {
    app_.state.manual_dial = true;
    StartLine(LinkKind::Modem, {{"\r", kProtectReply}, {kPushRequest, kPushReply}});
    app_.state.base_response_wait_ms = 300;  // room for the replies on a busy machine
    const CloseOutcome outcome = CloseConnection(app_, hooks_);
    EXPECT_FALSE(outcome.modem_offline);
    const std::string sent = peer_->ReceivedUntilClosed();
    EXPECT_EQ(Count(sent, "+++"), 4u);
    EXPECT_EQ(Count(sent, "ATL0"), 1u);
    EXPECT_EQ(Count(sent, "ATH0"), 0u);  // the user dialled, the user hangs up
    ASSERT_EQ(prompts_.messages.size(), 2u);
    EXPECT_EQ(prompts_.messages[0].caption, kHangUpCaption);
    EXPECT_EQ(prompts_.messages[0].text, kHangUpText);
    EXPECT_EQ(prompts_.messages[0].auto_close_ms, 0);
    EXPECT_EQ(prompts_.messages[1].text, kModemOnlineText);
    EXPECT_EQ(prompts_.messages[1].auto_close_ms, kShutdownWarningCloseMs);
    EXPECT_EQ(LoggedWarnings(),
              std::vector<std::string>{"Shutdown Warning! Local modem may still be online."});
}

}  // namespace
}  // namespace qvx
