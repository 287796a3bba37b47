// A configuration write that moves the sensor's port to another rate: the program follows with
// the next command, and what it shows of the connection follows too.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/busy_flag.h"
#include "context/app_context.h"
#include "protocol/catalogue.h"
#include "protocol/user_prompts.h"
#include "sim_server.h"

namespace qvx {
namespace {

TEST(RateChange, ConnectionDescriptionFollowsTheNewRateAndTheWaitCursorShows) {
    sim::ServerSettings settings;
    settings.transport = sim::Transport::Pty;
    settings.pacing = false;
    sim::SimServer server(std::vector<sim::SensorSettings>{sim::SensorSettings{}}, settings);
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;

    ScriptedPrompts prompts;
    AppContext app(prompts);
    app.protocol.sleep_ms = [](int) {};
    app.state.base_response_wait_ms = 400;
    app.state.port_name = server.pty_path();
    ASSERT_TRUE(app.link.serial().Open(9600, {kReadIntervalNoWait, 0, 0}));
    app.state.link_kind = app.state.connection_type = LinkKind::Serial;
    app.state.current_baud = app.state.pending_baud = 9600;
    app.state.connection_description = app.link.serial().Description();
    ASSERT_NE(app.state.connection_description.find("9600 bps"), std::string::npos);
    std::vector<bool> busy_while_changing;
    app.protocol.SetCalibrationHook([&] {
        busy_while_changing.push_back(busy_flag::IsSet());
        return true;
    });

    std::string reply;
    ASSERT_EQ(app.protocol.SendSensorCommand({.code = cmd::kUnprotect, .payload = "\r", .retries = 1}, reply),
              TransactionResult::Ok);
    ASSERT_TRUE(app.records.ReadConfigInfo().ok());
    ASSERT_TRUE(app.records.ReadConnectionPort().ok());
    std::string codes = app.configuration.GetConfigField(config_field::kPortBaudCodes);
    codes[app.configuration.connection_port().index] = '4';  // 115200 bps
    ASSERT_TRUE(app.configuration.SetConfigField(config_field::kPortBaudCodes, codes));
    ASSERT_TRUE(app.records.WriteConfigInfo(false, false).ok());
    ASSERT_EQ(app.state.pending_baud, 115200u);

    ASSERT_TRUE(app.records.ReadConfigInfo().ok());
    EXPECT_EQ(app.state.current_baud, 115200u);
    EXPECT_NE(app.state.connection_description.find("115200 bps"), std::string::npos)
        << app.state.connection_description;
    EXPECT_EQ(busy_while_changing, std::vector<bool>{true});
    EXPECT_FALSE(busy_flag::IsSet());  // cleared again: nothing else had set it
    app.link.serial().Close();
    server.Stop();
}

}  // namespace
}  // namespace qvx
