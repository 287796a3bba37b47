#include "connect/connection_defaults.h"

#include <gtest/gtest.h>

#include "connect/connection_text.h"
#include "platform/registry_format.h"
#include "platform/registry_store.h"
#include "support/scratch_folder.h"

namespace qvx {
namespace {

namespace dv = defaults_value;
using test::ScratchFolder;

class ConnectionDefaultsTest : public ::testing::Test {
  protected:
    ScratchFolder dir_;
    RegistryStore registry_{(dir_ / "registry")};
    ConnectionState state_;

    // The value's byte length as stored, NUL padding included.
    std::size_t StoredBytes(const std::string& name) {
        registry_format::Document document = registry_format::Parse(test::ReadFileText(registry_.path()));
        const registry_format::Key* key = document.FindKey(kKeyConnectionDefaults);
        const registry_format::Value* value = key ? registry_format::FindValue(*key, name) : nullptr;
        return value ? value->bytes.size() : 0;
    }
};

TEST_F(ConnectionDefaultsTest, FirstTimeUserGetsAutomaticSimpleAndNoAddedWait) {
    state_.response_wait_ms = 77;
    ConnectionDefaults d = LoadConnectionDefaults(SettingsKind::Serial, registry_, state_);
    EXPECT_TRUE(d.auto_port_and_baud);
    EXPECT_EQ(d.multidrop_mode, kMultiDropSimple);
    EXPECT_TRUE(d.synchronize_clock);
    EXPECT_FALSE(d.use_delay);
    EXPECT_EQ(state_.response_wait_ms, 0);
    EXPECT_EQ(state_.fixed_baud, 0u);
    EXPECT_FALSE(state_.multidrop_enabled);
    EXPECT_TRUE(registry_.KeyExists(kKeyConnectionDefaults));
}

// A key that exists (another dialog stored its last values there) but has never held "Use Delay"
// switches a 10 ms added wait on.
TEST_F(ConnectionDefaultsTest, ExistingKeyWithoutUseDelayAddsTenMilliseconds) {
    registry_.CreateKey(kKeyConnectionDefaults);
    registry_.SetInt(kKeyConnectionDefaults, "Inet Multi-drop Detection", kMultiDropSimple);
    ConnectionDefaults d = LoadConnectionDefaults(SettingsKind::Internet, registry_, state_);
    EXPECT_TRUE(d.use_delay);
    EXPECT_EQ(d.user_added_delay, kFirstRunAddedDelayMs);
    EXPECT_EQ(state_.response_wait_ms, 10);
}

TEST_F(ConnectionDefaultsTest, SerialSaveStoresExactValuesAndReadsBack) {
    ConnectionDefaults d;
    d.settings_kind = SettingsKind::Serial;
    d.save_as_default = true;
    d.auto_port_and_baud = false;
    d.baud_index = 5;
    d.use_delay = true;
    d.user_added_delay = 250;
    d.multidrop_mode = kMultiDropFixedId;
    d.multidrop_id = "00A7";
    d.max_multidrop_sensors = 32;
    d.synchronize_clock = false;
    ASSERT_TRUE(ApplyConnectionDefaults(d, "/dev/ttyUSB0", registry_, state_));

    EXPECT_EQ(state_.fixed_baud, 115200u);
    EXPECT_EQ(state_.port_setting, "/dev/ttyUSB0");
    EXPECT_EQ(state_.multidrop_current_id, "00A7");
    EXPECT_TRUE(state_.multidrop_enabled);
    EXPECT_EQ(state_.response_wait_ms, 250);

    for (const char* name :
         {dv::kAutoComBaud, dv::kBaudrateIndex, dv::kUseDelay, dv::kUserAddedDelay,
          "Serial Multi-drop Detection", "Serial Max Multi-drop Sensors", dv::kSynchronize}) {
        EXPECT_EQ(StoredBytes(name), 4u) << name;
    }
    EXPECT_EQ(StoredBytes(dv::kComPort), 20u);
    EXPECT_EQ(StoredBytes("Serial Single Multi-drop ID"), 20u);
    EXPECT_FALSE(registry_.GetInt(kKeyConnectionDefaults, dv::kCommonMultiDropDetection).has_value());
    EXPECT_FALSE(registry_.GetInt(kKeyConnectionDefaults, dv::kCommonMaxMultiDropSensors).has_value());
    EXPECT_FALSE(registry_.GetString(kKeyConnectionDefaults, dv::kModemInitStr).has_value());

    ConnectionState fresh;
    ConnectionDefaults loaded = LoadConnectionDefaults(SettingsKind::Serial, registry_, fresh);
    EXPECT_FALSE(loaded.auto_port_and_baud);
    EXPECT_EQ(loaded.baud_index, 5);
    EXPECT_EQ(loaded.com_port, "/dev/ttyUSB0");
    EXPECT_EQ(loaded.max_multidrop_sensors, 32);
    EXPECT_EQ(fresh.fixed_baud, 115200u);
    EXPECT_EQ(fresh.port_setting, "/dev/ttyUSB0");
    EXPECT_EQ(fresh.multidrop_mode, kMultiDropFixedId);
    EXPECT_EQ(fresh.multidrop_target_id, "00A7");
    EXPECT_EQ(fresh.response_wait_ms, 250);
    EXPECT_FALSE(fresh.synchronize_clock);
}

TEST_F(ConnectionDefaultsTest, ModemStringsAreStoredIn500BytesAndReachTheState) {
    ConnectionDefaults d;
    d.settings_kind = SettingsKind::Modem;
    d.save_as_default = true;
    d.modem_init = "AT&F";
    d.modem_auto_cmd = "ATI";
    ASSERT_TRUE(ApplyConnectionDefaults(d, "", registry_, state_));
    EXPECT_EQ(StoredBytes(dv::kModemInitStr), 500u);
    EXPECT_EQ(state_.modem_init, "AT&F");
    EXPECT_FALSE(registry_.GetInt(kKeyConnectionDefaults, dv::kAutoComBaud).has_value());

    ConnectionState fresh;
    LoadConnectionDefaults(SettingsKind::Modem, registry_, fresh);
    EXPECT_EQ(fresh.modem_auto_cmd, "ATI");
}

TEST_F(ConnectionDefaultsTest, LinkKindValuesWinOverTheOlderCommonOnes) {
    registry_.CreateKey(kKeyConnectionDefaults);
    registry_.SetInt(kKeyConnectionDefaults, dv::kCommonMultiDropDetection, kMultiDropDetect);
    registry_.SetInt(kKeyConnectionDefaults, dv::kCommonMaxMultiDropSensors, 20);
    registry_.SetInt(kKeyConnectionDefaults, "Modem Multi-drop Detection", kMultiDropFixedId);
    registry_.SetString(kKeyConnectionDefaults, "Modem Single Multi-drop ID", "0042", 20);
    registry_.SetInt(kKeyConnectionDefaults, dv::kUseDelay, 1, 1);
    registry_.SetInt(kKeyConnectionDefaults, dv::kUserAddedDelay, 40);

    ConnectionDefaults modem = LoadConnectionDefaults(SettingsKind::Modem, registry_, state_);
    EXPECT_EQ(modem.multidrop_mode, kMultiDropFixedId);
    EXPECT_EQ(modem.max_multidrop_sensors, 20);
    EXPECT_EQ(state_.multidrop_current_id, "0042");
    EXPECT_EQ(state_.response_wait_ms, 40);

    ConnectionDefaults inet = LoadConnectionDefaults(SettingsKind::Internet, registry_, state_);
    EXPECT_EQ(inet.multidrop_mode, kMultiDropDetect);
    EXPECT_TRUE(state_.multidrop_enabled);
    EXPECT_EQ(state_.multidrop_current_id, "");
}

TEST_F(ConnectionDefaultsTest, IncompleteIdKeepsTheOldOneAndAutoPortClearsFixedBaud) {
    state_.SetMultiDropId("1234");
    state_.fixed_baud = 9600;
    ConnectionDefaults d;
    d.multidrop_mode = kMultiDropDetect;
    d.multidrop_id = "12";
    d.baud_index = 3;
    ApplyConnectionDefaults(d, "/dev/ttyS1", registry_, state_);
    EXPECT_EQ(state_.multidrop_current_id, "1234");
    EXPECT_EQ(state_.fixed_baud, 0u);
    EXPECT_EQ(state_.port_setting, "");
    EXPECT_FALSE(registry_.KeyExists(kKeyConnectionDefaults));
}

TEST(ConnectionFieldRulesTest, IdFilterBaudTableAndOkRule) {
    EXPECT_EQ(FilterMultiDropIdText("1 2 a 4"), "124");
    EXPECT_EQ(FilterMultiDropIdText("AZ09XY"), "AZ09");
    EXPECT_FALSE(AdvancedSettingsAcceptable(kMultiDropFixedId, "124"));
    EXPECT_TRUE(AdvancedSettingsAcceptable(kMultiDropFixedId, "1244"));
    EXPECT_TRUE(AdvancedSettingsAcceptable(kMultiDropDetect, ""));
    EXPECT_EQ(FilterDigitsText("12a345678", 5), "12345");

    const std::uint32_t expected[] = {0, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600, 0};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(BaudForIndex(i), expected[i]) << i;
    }
    EXPECT_EQ(BaudForIndex(-1), 0u);
}

TEST(ConnectionFieldRulesTest, PortChoicesPutAutoFindFirstOrSayNoneFound) {
    auto opens_usb = [](const std::string& port) { return port.find("USB") != std::string::npos; };
    EXPECT_EQ(BuildPortChoices({"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyUSB1"}, opens_usb),
              (std::vector<std::string>{"Auto-find", "/dev/ttyUSB0", "/dev/ttyUSB1"}));
    EXPECT_EQ(BuildPortChoices({"/dev/ttyS0"}, opens_usb), (std::vector<std::string>{"No port found"}));
    std::vector<std::string> choices{"Auto-find", "/dev/ttyUSB0"};
    EXPECT_EQ(PortChoiceIndex(choices, "/dev/ttyUSB0"), 1);
    EXPECT_EQ(PortChoiceIndex(choices, "/dev/ttyS9"), 0);
    EXPECT_FALSE(CanOpenSerialPort("/nonexistent/tty"));
}

TEST(ConnectionTextTest, PropertiesLines) {
    ConnectionState state;
    ConnectionDefaults d;
    state.multidrop_mode = kMultiDropSimple;
    state.synchronize_clock = true;
    state.response_wait_ms = 25;
    EXPECT_EQ(SerialPropertiesLine(d, state),
              "COM - Auto;   Baud - Auto;    ID - Simple;    Synchronize - Yes;    Wait - 0");

    d.auto_port_and_baud = false;
    d.use_delay = true;
    state.port_setting = "/dev/ttyUSB0";
    state.fixed_baud = 57600;
    state.multidrop_mode = kMultiDropFixedId;
    state.SetMultiDropId("0012");
    state.synchronize_clock = false;
    EXPECT_EQ(SerialPropertiesLine(d, state),
              "COM - /dev/ttyUSB0;   Baud - 57600;    ID - 0012;    Synchronize - No;    Wait - 25");

    state.port_setting = "Auto-find";
    state.fixed_baud = 0;
    state.multidrop_mode = kMultiDropDetect;
    EXPECT_EQ(SerialPropertiesLine(d, state),
              "COM - Auto;   Baud - Auto;    ID - Auto;    Synchronize - No;    Wait - 25");
    EXPECT_EQ(RemotePropertiesLine(d, state), "  ID - Auto;    Synchronize - No;    Wait - 25");
}

}  // namespace
}  // namespace qvx
