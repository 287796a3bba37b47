#include "connect/input_parameters.h"

#include <gtest/gtest.h>

namespace qvx {
namespace {

TEST(InputParametersTest, AddressPortAndOptionalId) {
    struct Case {
        std::string text;
        std::string address, port, id;
    };
    const Case cases[] = {
        {"10.0.0.5 4001 0012\n", "10.0.0.5", "4001", "0012"},
        {"10.0.0.5 4001\r\n", "10.0.0.5", "4001", ""},
        {"sensor-north", "sensor-north", "", ""},
        {"", "", "", ""},
        {"a b c d", "a", "b", "c d"},
        {"10.0.0.5\n4001 0012\n", "10.0.0.5", "", ""},  // a line end never joins a field
        {"10.0.0.5 4001 0012\r\n\r\n# note\n", "10.0.0.5", "4001", "0012"},
    };
    for (const Case& c : cases) {
        InputParameters p = ParseInputParameters(c.text);
        EXPECT_EQ(p.address, c.address) << c.text;
        EXPECT_EQ(p.port, c.port) << c.text;
        EXPECT_EQ(p.sensor_id, c.id) << c.text;
    }
    EXPECT_EQ(ParseInputParameters("x " + std::string(600, '1')).port.size(), 510u);
    EXPECT_FALSE(ReadInputParametersFile("/nonexistent/params.txt").has_value());
}

TEST(InputParametersTest, ChosenIdSelectsFixedOrDetectedAddressing) {
    ConnectionState state;
    ApplyChosenSensorId("0012", state);
    EXPECT_EQ(state.multidrop_mode, 0);
    EXPECT_EQ(state.multidrop_target_id, "0012");
    EXPECT_TRUE(state.multidrop_enabled);
    ApplyChosenSensorId("12", state);
    EXPECT_EQ(state.multidrop_mode, 1);
    EXPECT_EQ(state.multidrop_current_id, "");
}

}  // namespace
}  // namespace qvx
