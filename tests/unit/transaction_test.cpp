#include "protocol/transaction.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../support/scripted_peer.h"
#include "../support/scripted_prompts.h"
#include "link/sensor_link.h"
#include "protocol/user_prompts.h"

namespace qvx {
namespace {

// The details block as the dialog's first lines have it; the "Link: ..." line that names the
// open link's endpoint follows it (link_error_words_test checks that line).
std::string WithoutLinkLine(const std::string& details) {
    return details.substr(0, details.find("\r\nLink: "));
}


using test::ScriptedPeer;

constexpr ErrorPolicy kShowDialog = ErrorPolicy::Report;
constexpr ErrorPolicy kNoDialog = ErrorPolicy::Silent;
constexpr int kPatientWaitMs = 3000;  // replies end the wait at their CR, so this costs nothing

class TransactionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::signal(SIGPIPE, SIG_IGN);
        protocol_.sleep_ms = [this](int ms) { sleeps_.push_back(ms); };
    }

    void StartPeer(std::vector<std::string> replies) {
        peer_ = test::AttachScriptedPeer(link_, std::move(replies));
        ASSERT_NE(peer_, nullptr);
    }

    // A silent attempt then lasts one 10 ms poll step.
    void QuickSilence() { state_.base_response_wait_ms = 0; }
    void PatientReplies() { state_.base_response_wait_ms = kPatientWaitMs; }

    TransactionResult Send(const char* code, ErrorPolicy on_error, int retries, const char* payload = "\r") {
        return protocol_.SendSensorCommand(
            {.code = code, .payload = payload, .on_error = on_error, .retries = retries}, response_);
    }

    ConnectionState state_;
    SensorLink link_{state_};
    ScriptedPrompts prompts_;
    SensorProtocol protocol_{link_, prompts_};
    std::vector<int> sleeps_;
    std::string response_;
    std::unique_ptr<ScriptedPeer> peer_;
};

TEST_F(TransactionTest, ValidReplyReturnsDataAndCounts) {
    PatientReplies();
    StartPeer({"S61\r"});
    EXPECT_EQ(Send("S6", kShowDialog, 1), TransactionResult::Ok);
    EXPECT_EQ(response_, "1");
    EXPECT_EQ(state_.transactions_total, 1u);
    EXPECT_EQ(state_.transactions_ok, 1u);
    EXPECT_EQ(peer_->requests(), std::vector<std::string>{"S6\r"});
    EXPECT_EQ(protocol_.pending().attempt_timeout_ms, kPatientWaitMs + 1);
}

TEST_F(TransactionTest, AttemptTimeoutAddsEveryWait) {
    PatientReplies();
    state_.response_wait_ms = 40;
    StartPeer({"SESuccess\r"});
    EXPECT_EQ(protocol_.SendSensorCommand({.code = "SE",
                                           .payload = "\r",
                                           .on_error = ErrorPolicy::Report,
                                           .retries = 1,
                                           .extra_wait_ms = 200},
                                          response_),
              TransactionResult::Ok);
    EXPECT_EQ(protocol_.pending().attempt_timeout_ms, kPatientWaitMs + 1 + 10000 + 40 + 200);
}

TEST_F(TransactionTest, RetriesOneGivesTwoAttemptsThenOnePerRetry) {
    QuickSilence();
    StartPeer({});
    prompts_.communication_answers = {TransactionResult::Retry, TransactionResult::Retry,
                                      TransactionResult::Cancel};
    EXPECT_EQ(Send("S6", kShowDialog, 1), TransactionResult::Cancel);
    EXPECT_EQ(protocol_.attempts_made(), 2 + 1 + 1);
    EXPECT_EQ(prompts_.communication_errors.size(), 3u);
    EXPECT_EQ(peer_->WaitForRequests(4), 4u);
    EXPECT_EQ(state_.transactions_total, 3u);  // every dialog follows a counted failure
}

TEST_F(TransactionTest, RetriesZeroAndRetryMakesExactlyOneMoreAttempt) {
    QuickSilence();
    StartPeer({});
    prompts_.communication_answers = {TransactionResult::Retry, TransactionResult::Ignore};
    EXPECT_EQ(Send("S6", kShowDialog, 0), TransactionResult::Ignore);
    EXPECT_EQ(protocol_.attempts_made(), 2);
}

TEST_F(TransactionTest, RetryAfterSilenceCanSucceed) {
    state_.base_response_wait_ms = 300;
    StartPeer({"", "S62\r"});
    prompts_.communication_answers = {TransactionResult::Retry};
    EXPECT_EQ(Send("S6", kShowDialog, 0), TransactionResult::Ok);
    EXPECT_EQ(response_, "2");
    EXPECT_EQ(prompts_.communication_errors.size(), 1u);
    EXPECT_EQ(state_.transactions_total, 2u);
    EXPECT_EQ(state_.transactions_ok, 1u);
}

TEST_F(TransactionTest, RefusedPacketGetsNineMoreAttemptsOnce) {
    QuickSilence();  // "D1" carries its own 10 s extra wait; every attempt ends at the reply's CR
    StartPeer(std::vector<std::string>(30, "D1Failure\r"));
    EXPECT_EQ(Send("D1", kShowDialog, 1, "packet\r"), TransactionResult::Cancel);
    EXPECT_EQ(protocol_.attempts_made(), 1 + 10);
    ASSERT_EQ(prompts_.communication_errors.size(), 1u);
    EXPECT_EQ(prompts_.communication_errors[0].result, TransactionResult::UploadPacketFailure);
    EXPECT_EQ(prompts_.communication_errors[0].error_text, "Upload Packet Failure");
    EXPECT_EQ(protocol_.pending().retries, 10);
}

TEST_F(TransactionTest, PacketTakenDespiteFailureWord) {
    QuickSilence();
    StartPeer({"D19Failure\r"});
    EXPECT_EQ(Send("D1", kShowDialog, 1, "packet\r"), TransactionResult::Ok);
    EXPECT_EQ(response_, "9Failure");
}

TEST_F(TransactionTest, SilentPollWithoutDialogIsIgnoredAndCounted) {
    QuickSilence();
    StartPeer({});
    EXPECT_EQ(Send("X0", kNoDialog, 0), TransactionResult::Ignore);
    EXPECT_EQ(state_.transactions_total, 1u);
    EXPECT_EQ(state_.transactions_ok, 0u);
    EXPECT_TRUE(prompts_.communication_errors.empty());
}

TEST_F(TransactionTest, ReliabilityAndDetailsOfAContentError) {
    PatientReplies();
    StartPeer({"S61\r", "S60\r", "S62\r", "S63\r"});
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(Send("S6", kShowDialog, 0), TransactionResult::Ok);
    }
    prompts_.communication_answers = {TransactionResult::Ignore};
    EXPECT_EQ(Send("S6", kShowDialog, 0), TransactionResult::Ignore);
    EXPECT_EQ(protocol_.GetReliability(), 75);
    ASSERT_EQ(prompts_.communication_errors.size(), 1u);
    EXPECT_EQ(
        WithoutLinkLine(prompts_.communication_errors[0].details),
        "Operation: Get config mode\r\nResponse Error: Payload Error\r\nError Code: 0\r\nReliability: 75%");
}

TEST_F(TransactionTest, DetailsOfARetryableErrorNameRetriesAndTimeout) {
    QuickSilence();
    StartPeer({});
    EXPECT_EQ(Send("S6", kShowDialog, 2), TransactionResult::Cancel);
    ASSERT_EQ(prompts_.communication_errors.size(), 1u);
    EXPECT_EQ(prompts_.communication_errors[0].error_text, "No Response");
    EXPECT_EQ(
        WithoutLinkLine(prompts_.communication_errors[0].details),
        "Operation: Get config mode\r\nResponse Error: No Response\r\nError Code: 0\r\nReliability: 0%\r\n"
        "Automatic Retries: 2\r\nResponse Timeout: 1 milliseconds");
}

TEST_F(TransactionTest, UnknownCodeIsReportedAndNothingSent) {
    StartPeer({});
    EXPECT_EQ(Send("QQ", kShowDialog, 1), TransactionResult::NoResponse);
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].text, "Failure to initialize this QQ command properly!");
    EXPECT_EQ(prompts_.messages[0].caption, "Warning");
    EXPECT_EQ(protocol_.attempts_made(), 0);
    EXPECT_EQ(state_.transactions_total, 0u);
}

TEST_F(TransactionTest, PendingBaudChangeRunsHooksBeforeSending) {
    PatientReplies();
    StartPeer({"S61\r"});
    std::vector<std::string> calls;
    protocol_.SetPortChangedHook([&] { calls.push_back("port"); });
    protocol_.SetCalibrationHook([&] {
        calls.push_back("calibrate");
        return true;
    });
    state_.current_baud = 9600;
    state_.pending_baud = 38400;
    EXPECT_EQ(Send("S6", kShowDialog, 0), TransactionResult::Ok);
    EXPECT_EQ(calls, (std::vector<std::string>{"port", "calibrate"}));
    EXPECT_EQ(sleeps_, std::vector<int>{500});
    EXPECT_EQ(state_.pending_baud, state_.current_baud);
}

TEST_F(TransactionTest, MultiDropRequestTakesTargetIdAndSkipsOtherSensors) {
    PatientReplies();
    StartPeer({"Z00002S60\rZ00007S62\r"});
    state_.multidrop_enable_next = true;
    state_.multidrop_target_id = "0007";
    EXPECT_EQ(Send("S6", kShowDialog, 0), TransactionResult::Ok);
    EXPECT_EQ(response_, "2");
    EXPECT_EQ(state_.multidrop_current_id, "0007");
    EXPECT_TRUE(state_.multidrop_enabled);
    EXPECT_FALSE(state_.multidrop_enable_next);
    EXPECT_EQ(peer_->requests(), std::vector<std::string>{"Z00007S6\r"});
}

TEST_F(TransactionTest, DiscoveryIsSentBareAndGathersEveryReply) {
    QuickSilence();  // the row's own 250 ms extra wait is the gathering time
    state_.multidrop_enabled = true;
    StartPeer({"B10001" + ComputeFrameChecksum("0001") + "\rB100020000\rB10003" +
               ComputeFrameChecksum("0003") + "\r"});
    EXPECT_EQ(Send("B0", kNoDialog, 0, "00\r"), TransactionResult::Ok);
    EXPECT_EQ(response_, "00010003");
    EXPECT_EQ(peer_->requests(), std::vector<std::string>{"B000\r"});
}

TEST_F(TransactionTest, LinkDownUsesUpTheAttemptsWithoutWaiting) {
    PatientReplies();  // a failed send must not wait for a reply
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Send("S6", kNoDialog, 2), TransactionResult::Ignore);
    EXPECT_EQ(protocol_.attempts_made(), 3);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kPatientWaitMs));
}

TEST_F(TransactionTest, OverlongReplyStopsAtTheBufferCapacity) {
    QuickSilence();
    StartPeer({"X6" + std::string(20000, 'm') + "\r"});
    state_.base_response_wait_ms = 500;
    EXPECT_EQ(Send("X6", kNoDialog, 0, "00000000\r"), TransactionResult::Ignore);
    EXPECT_LE(response_.size(), 8192u);
}

// --- re-opening a dropped TCP link ---

class TcpRecoveryTest : public TransactionTest {
  protected:
    void SetUp() override {
        TransactionTest::SetUp();
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_GE(listener_, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(listener_, 4), 0);
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        state_.host_address = "127.0.0.1";
        state_.tcp_port = ntohs(address.sin_port);
        state_.link_kind = LinkKind::Internet;
        state_.connection_type = LinkKind::Internet;
        ASSERT_TRUE(link_.tcp().Connect());
        // The sensor side drops the first connection at once.
        ::close(::accept(listener_, nullptr, nullptr));
    }
    void TearDown() override {
        if (server_.joinable()) {
            server_.join();
        }
        if (listener_ >= 0) {
            ::close(listener_);
        }
        link_.tcp().Close();
    }

    void StopListening() {
        ::close(listener_);
        listener_ = -1;
    }
    void AnswerNextConnection(std::vector<std::string> replies) {
        server_ = std::thread([this, replies = std::move(replies)] {
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (fd >= 0) {
                peer_ = std::make_unique<ScriptedPeer>(fd, replies);
            }
        });
    }
    TransactionResult SendReconnecting(const char* code) {
        return protocol_.SendSensorCommand(
            {.code = code, .payload = "\r", .on_error = ErrorPolicy::Report, .link_recovery = true},
            response_);
    }

    int listener_ = -1;
    std::thread server_;
};

TEST_F(TcpRecoveryTest, ReconnectFailureWhenTheSensorIsGone) {
    QuickSilence();
    StopListening();
    EXPECT_EQ(SendReconnecting("S6"), TransactionResult::Cancel);
    ASSERT_EQ(prompts_.communication_errors.size(), 1u);
    EXPECT_EQ(prompts_.communication_errors[0].result, TransactionResult::ReconnectFailure);
    EXPECT_EQ(prompts_.communication_errors[0].error_text, "Reconnect Failure");
}

TEST_F(TcpRecoveryTest, ReconnectsCalibratesAndSucceeds) {
    PatientReplies();
    int calibrations = 0;
    protocol_.SetCalibrationHook([&] {
        ++calibrations;
        return true;
    });
    AnswerNextConnection({"S61\r"});
    EXPECT_EQ(SendReconnecting("S6"), TransactionResult::Ok);
    EXPECT_EQ(response_, "1");
    EXPECT_EQ(calibrations, 1);
    EXPECT_EQ(sleeps_, std::vector<int>{50});
    EXPECT_EQ(state_.transactions_total, 1u);
}

TEST_F(TcpRecoveryTest, FailedCalibrationAfterReconnect) {
    QuickSilence();
    protocol_.SetCalibrationHook([] { return false; });
    AnswerNextConnection({});
    EXPECT_EQ(SendReconnecting("S6"), TransactionResult::Cancel);
    ASSERT_EQ(prompts_.communication_errors.size(), 1u);
    EXPECT_EQ(prompts_.communication_errors[0].result, TransactionResult::LatencyDetectionFailure);
    EXPECT_EQ(prompts_.communication_errors[0].error_text, "Latency Detection Failure");
}

}  // namespace
}  // namespace qvx
