// The compatibility check reading the sensor's version through the transaction.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "../support/scripted_peer.h"
#include "../support/scripted_prompts.h"
#include "firmware/compatibility.h"
#include "link/sensor_link.h"
#include "protocol/transaction.h"

namespace qvx {
namespace {

namespace outcome = compatibility_outcome;

class CompatibilityLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::signal(SIGPIPE, SIG_IGN);
        protocol_.sleep_ms = [](int) {};
    }
    void StartPeer(std::vector<std::string> replies) {
        peer_ = test::AttachScriptedPeer(link_, std::move(replies));
        ASSERT_NE(peer_, nullptr);
    }
    CompatibilityState Check() {
        return CheckCompatibility(protocol_, ParseBundleVersion(kBundleName), std::nullopt);
    }

    ConnectionState state_;
    SensorLink link_{state_};
    ScriptedPrompts prompts_;
    SensorProtocol protocol_{link_, prompts_};
    std::unique_ptr<test::ScriptedPeer> peer_;
};

TEST_F(CompatibilityLinkTest, MatchingSensorNeedsNothing) {
    state_.base_response_wait_ms = 3000;  // the reply ends the wait at its CR
    StartPeer({"S5" + std::string(kExampleSensorVersion) + "\r"});
    const CompatibilityState state = Check();
    EXPECT_EQ(state.outcome, outcome::kMatch);
    EXPECT_EQ(peer_->requests(), std::vector<std::string>{"S5\r"});
}

TEST_F(CompatibilityLinkTest, SilentSensorIsRetriedOnceThenUnreadableOrExit) {
    for (TransactionResult answer :
         {TransactionResult::Cancel, TransactionResult::Ignore, TransactionResult::Exit}) {
        StartPeer({});
        prompts_.default_communication_answer = answer;
        const CompatibilityState state = Check();
        EXPECT_EQ(state.outcome,
                  answer == TransactionResult::Exit ? outcome::kExit : outcome::kVersionUnreadable)
            << answer;
        EXPECT_EQ(peer_->WaitForRequests(2), 2u) << answer;
        EXPECT_EQ(prompts_.communication_errors.size(), 1u) << answer;
        prompts_.communication_errors.clear();
        peer_.reset();
    }
}

}  // namespace
}  // namespace qvx
