// The parts of the connection procedures that need no line: which ports the serial search walks
// and at which rates, the advice after refused ports, the Internet window's opening fields,
// alias resolution and the connection's description.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <vector>

#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "connect/input_parameters.h"
#include "connect/internet_connect.h"
#include "connect/serial_connect.h"
#include "context/app_context.h"
#include "platform/registry_store.h"
#include "protocol/user_prompts.h"

namespace qvx {
namespace {

using test::ScratchFolder;

TEST(SerialSearchTest, UnansweredAttemptsWalkTheRateTableAndTheEighthLeavesTheRate) {
    const std::vector<std::uint32_t> expected{19200, 38400, 57600, 115200, 230400, 460800, 921600, 0};
    for (int attempt = 1; attempt <= 8; ++attempt) {
        EXPECT_EQ(SerialRateAfterAttempt(attempt), expected[attempt - 1]) << "attempt " << attempt;
    }
    EXPECT_EQ(SerialRateAfterAttempt(0), 0u);
    EXPECT_EQ(SerialRateAfterAttempt(9), 0u);
}

TEST(SerialSearchTest, OnlyANamedPortWithAutomaticDetectionOffIsSearchedAlone) {
    ::setenv("QVX_SERIAL_PORTS", "/dev/pts/91:/dev/pts/92", 1);
    struct Case {
        std::string setting;
        bool automatic;
        std::vector<std::string> ports;
    };
    const std::vector<Case> cases{
        {"/dev/ttyUSB3", false, {"/dev/ttyUSB3"}},
        {"/dev/ttyUSB3", true, {"/dev/pts/91", "/dev/pts/92"}},
        {"Auto-find", false, {"/dev/pts/91", "/dev/pts/92"}},
        {"NULL", false, {"/dev/pts/91", "/dev/pts/92"}},
        {"", false, {"/dev/pts/91", "/dev/pts/92"}},
    };
    for (const Case& c : cases) {
        ConnectionState state;
        state.port_setting = c.setting;
        state.auto_port_and_baud = c.automatic;
        EXPECT_EQ(SerialPortsToSearch(state), c.ports) << c.setting << " automatic " << c.automatic;
    }
    ::unsetenv("QVX_SERIAL_PORTS");
}

TEST(SerialSearchTest, PermissionAdviceNamesThePortsAndTheGroupThatOwnsThem) {
    ScratchFolder dir;
    const std::string device = dir / "ttyFAKE0";
    std::ofstream(device) << "";
    struct stat info {};
    ASSERT_EQ(::stat(device.c_str(), &info), 0);

    EXPECT_EQ(PermissionAdvice({{device, ENOENT}, {"/dev/ttyS9", EBUSY}}), "");
    const std::string advice = PermissionAdvice({{device, EACCES}, {"/dev/ttyS9", ENOENT}});
    EXPECT_NE(advice.find("Permission denied on " + device + "."), std::string::npos) << advice;
    EXPECT_EQ(advice.find("/dev/ttyS9"), std::string::npos) << advice;
    EXPECT_NE(advice.find("Add your user to the group \""), std::string::npos) << advice;
    EXPECT_NE(advice.find("usermod -aG"), std::string::npos) << advice;
}

TEST(SerialSearchTest, TheFailureTextNamesThePortsAndRatesTriedAndThePortsThatWouldNotOpen) {
    EXPECT_EQ(FailedSerialSearchText({}), "There was no serial port to search.");
    const std::vector<std::uint32_t> all{9600, 19200, 38400};
    SerialSearchLog log;
    log.tried = {{"/dev/ttyUSB0", all}, {"/dev/ttyS0", {9600}}, {"/dev/ttyS1", all}, {"/dev/ttyS2", {}}};
    EXPECT_EQ(
        FailedSerialSearchText(log),
        "Tried /dev/ttyUSB0, /dev/ttyS1 at 9600, 19200, 38400 bps; /dev/ttyS0 at 9600 bps; /dev/ttyS2.");
    log.unopened = {{"/dev/ttyS4", EBUSY}, {"/no/such/tty", EACCES}};
    const std::string text = FailedSerialSearchText(log);
    EXPECT_NE(
        text.find("/dev/ttyS2. Could not open /dev/ttyS4 (Device or resource busy). Permission denied on "
                  "/no/such/tty."),
        std::string::npos)
        << text;
    EXPECT_EQ(text.find("Could not open /no/such/tty"), std::string::npos) << text;
}

class InternetOpeningTest : public ::testing::Test {
  protected:
    std::string WriteFile(const std::string& name, const std::string& text) {
        const std::string path = dir_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    ScratchFolder dir_;
    ScriptedPrompts prompts_;
    AppContext app_{prompts_, RegistryStore(dir_ / "registry")};
    ConnectionDefaults defaults_;
};

TEST_F(InternetOpeningTest, AParametersFileFillsTheFieldsAndAFourCharacterIdIsAddressedDirectly) {
    const InternetFields fields =
        OpenInternetConnection(app_, WriteFile("params", "10.0.0.5 4001 0012\r\n"), defaults_);
    EXPECT_EQ(fields.error, "");
    EXPECT_EQ(fields.address, "10.0.0.5");
    EXPECT_EQ(fields.port, "4001");
    EXPECT_EQ(app_.state.multidrop_mode, 0);
    EXPECT_TRUE(app_.state.multidrop_enabled);
    EXPECT_EQ(app_.state.multidrop_target_id, "0012");
}

TEST_F(InternetOpeningTest, AFileWithoutIdLeavesTheMultiDropSetting) {
    const InternetFields fields =
        OpenInternetConnection(app_, WriteFile("params", "10.0.0.5 4001\n"), defaults_);
    EXPECT_EQ(fields.address, "10.0.0.5");
    EXPECT_EQ(fields.port, "4001");
    EXPECT_EQ(app_.state.multidrop_mode, -1);
    EXPECT_FALSE(app_.state.multidrop_enabled);
}

TEST_F(InternetOpeningTest, UnusableFilesAreRefusedWholeWithTheMessage) {
    const std::vector<std::string> bad{"", "10.0.0.5\n", "10.0.0.5 40x1\n", "10.0.0.5 4001 12345\n",
                                       " 4001 0012\n"};
    for (const std::string& text : bad) {
        const InternetFields fields = OpenInternetConnection(app_, WriteFile("params", text), defaults_);
        EXPECT_EQ(fields.error, "Error processing Input Parameters File, Parameters not used.") << text;
        EXPECT_EQ(fields.address, "") << text;
        EXPECT_EQ(fields.port, "") << text;
        EXPECT_EQ(app_.state.multidrop_mode, -1) << text;
    }
    const InternetFields missing = OpenInternetConnection(app_, dir_ / "no-such-file", defaults_);
    EXPECT_EQ(missing.error, "Error processing Input Parameters File, Parameters not used.");
}

TEST_F(InternetOpeningTest, ConnectStoresTheFieldsWhichTheNextOpeningReadsBack) {
    PrepareInternetConnect(app_, "192.168.001.020", "4001");
    EXPECT_EQ(app_.state.host_address, "192.168.001.020");
    EXPECT_EQ(app_.state.tcp_port, 4001);
    const InternetFields fields = OpenInternetConnection(app_, "", defaults_);
    EXPECT_EQ(fields.address, "192.168.001.020");
    EXPECT_EQ(fields.port, "4001");
    EXPECT_EQ(app_.registry.GetInt(kKeyConnectionDefaults, "Inet Multi-drop Detection"), -1);
}

// A connection with automatic detection (or the simple protocol) has no ID of its own to store:
// the stored fixed ID stays for the next time it is chosen.
TEST_F(InternetOpeningTest, ConnectKeepsTheStoredMultiDropIdUnlessItHasOne) {
    const std::string id_value = "Inet Single Multi-drop ID";
    app_.registry.SetString(kKeyConnectionDefaults, id_value, "0045", 20);
    for (const int mode : {1, -1}) {
        app_.registry.SetInt(kKeyConnectionDefaults, "Inet Multi-drop Detection", mode);
        OpenInternetConnection(app_, "", defaults_);
        if (mode == 1) {
            ApplyChosenSensorId("", app_.state);  // an entry picked from the book without an ID
        }
        PrepareInternetConnect(app_, "10.0.0.5", "4001");
        EXPECT_EQ(app_.registry.GetString(kKeyConnectionDefaults, id_value), "0045") << mode;
    }
    OpenInternetConnection(app_, WriteFile("params", "10.0.0.5 4001 0012\n"), defaults_);
    PrepareInternetConnect(app_, "10.0.0.5", "4001");
    EXPECT_EQ(app_.registry.GetString(kKeyConnectionDefaults, id_value), "0012");
}

TEST_F(InternetOpeningTest, AParametersFileThatIsAPipeIsRefusedWithTheReason) {
    const std::string fifo = dir_ / "params-pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const InternetFields fields = OpenInternetConnection(app_, fifo, defaults_);
    EXPECT_EQ(fields.error.rfind("Error processing Input Parameters File, Parameters not used.\n", 0), 0u);
    EXPECT_NE(fields.error.find("not a regular file"), std::string::npos);
}

TEST_F(InternetOpeningTest, AnAliasInTheBookGivesItsAddressOtherNamesStayAsTyped) {
    const std::string book = WriteFile("book.abf",
                                       "Modem?sensor-north?0012?x?\n"
                                       "Internet?sensor-north?10.1.2.3?4001?0012?north?\n");
    app_.registry.CreateKey(kKeyAddressBook);
    app_.registry.SetString(kKeyAddressBook, "AddressBookPath", book);
    EXPECT_EQ(ResolveInternetAddress(app_, "sensor-north"), "10.1.2.3");
    EXPECT_EQ(ResolveInternetAddress(app_, "sensor-south"), "sensor-south");
    PrepareInternetConnect(app_, "sensor-north", "70000");
    EXPECT_EQ(app_.state.host_address, "10.1.2.3");
    EXPECT_EQ(app_.state.tcp_port, 65535);
}

TEST(InternetDescriptionTest, AddressSlashPortOrInformationUnavailable) {
    EXPECT_EQ(InternetConnectionDescription("127.0.0.1", "4001"), "127.0.0.1/4001");
    EXPECT_EQ(InternetConnectionDescription("127.0.0.1", ""), "Information unavailable");
    EXPECT_EQ(InternetConnectionDescription("", "4001"), "Information unavailable");
}

}  // namespace
}  // namespace qvx

namespace qvx {
namespace {

// The finishing step's branches after automatic ID detection, with the selection scripted.
class AfterSerialConnectTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app_.state.multidrop_mode = 1;
        app_.state.multidrop_enabled = true;
        app_.protocol.sleep_ms = [](int) {};
        prompts_.default_communication_answer =
            TransactionResult::Cancel;  // the user cancels the failed unprotect
    }

    SensorSelector Answer(bool continued, int count) {
        return [continued, count](AppContext&) { return SensorSelection{continued, count}; };
    }

    ScratchFolder dir_;
    ScriptedPrompts prompts_;
    AppContext app_{prompts_, RegistryStore(dir_ / "registry")};
    ProgressText status_;
};

TEST_F(AfterSerialConnectTest, ACancelledSelectionCancelsAndNoIdFoundFails) {
    EXPECT_EQ(AfterSerialConnect(app_, true, Answer(false, 0), status_), ConnectFinish::Cancelled);
    EXPECT_EQ(status_.Get(), "Automatically detecting multi-drop ID's...");
    EXPECT_EQ(AfterSerialConnect(app_, true, Answer(true, 0), status_), ConnectFinish::Failed);
    EXPECT_EQ(app_.state.link_kind, LinkKind::None);
    EXPECT_TRUE(prompts_.communication_errors.empty());
}

TEST_F(AfterSerialConnectTest, AChosenSensorThatRefusesTheUnprotectCancels) {
    // No port behind the link: the unprotect fails and is reported.
    EXPECT_EQ(AfterSerialConnect(app_, true, Answer(true, 2), status_), ConnectFinish::Cancelled);
    EXPECT_EQ(prompts_.communication_errors.size(), 1u);
    EXPECT_EQ(app_.state.link_kind, LinkKind::None);
}

}  // namespace
}  // namespace qvx
