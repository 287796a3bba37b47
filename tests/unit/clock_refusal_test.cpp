// A sensor that answers a clock write with "Failure" kept its old time: the save and the
// synchronisation report that, never "saved".

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <csignal>
#include <memory>

#include "../support/scratch_folder.h"
#include "../support/scripted_peer.h"
#include "../support/scripted_prompts.h"
#include "app/clock_poller.h"
#include "context/app_context.h"
#include "protocol/sensor_operations.h"

namespace qvx {
namespace {

class ClockRefusalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::signal(SIGPIPE, SIG_IGN);
        app_.protocol.sleep_ms = [](int) {};
        app_.state.base_response_wait_ms = 1000;  // replies end the wait at their CR
    }
    void StartPeer(std::vector<std::string> replies) {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        app_.link.serial().Adopt(fds[0]);
        app_.state.link_kind = LinkKind::Serial;
        peer_ = std::make_unique<test::ScriptedPeer>(fds[1], std::move(replies));
    }
    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const MessageRequest& message : prompts_.messages) {
            texts.push_back(message.text);
        }
        return texts;
    }

    test::ScratchFolder dir_;
    ScriptedPrompts prompts_;
    AppContext app_{prompts_, RegistryStore(dir_ / "registry")};
    std::unique_ptr<test::ScriptedPeer> peer_;
};

TEST_F(ClockRefusalTest, ASaveAnsweredFailureIsReportedAsAProblem) {
    StartPeer({"S4Failure\r"});
    const CalendarTime time{2012, 3, 15, 8, 30, 0};
    EXPECT_EQ(SaveSensorClock(app_, time, false), ClockSave::Failed);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{kClockSaveFailedText});
}

TEST_F(ClockRefusalTest, ASynchronisationAnsweredFailureIsNotASuccess) {
    StartPeer({"SB12CFF780\r", "S4Failure\r"});
    SensorOperations operations(app_.protocol, app_.objects.SyncData());
    EXPECT_FALSE(operations.SyncSensorClock(true));
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_NE(prompts_.messages[0].text.find("may not be synchronized"), std::string::npos);
}

TEST_F(ClockRefusalTest, ASynchronisationAnsweredSuccessIsOne) {
    StartPeer({"SB12CFF780\r", "S4Success\r"});
    SensorOperations operations(app_.protocol, app_.objects.SyncData());
    EXPECT_TRUE(operations.SyncSensorClock(true));
    EXPECT_TRUE(prompts_.messages.empty());
}

}  // namespace
}  // namespace qvx
