#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/link_wait.h"
#include "link/sensor_link.h"
#include "link/socket_error.h"
#include "platform/instance.h"
#include "support/pty_pair.h"
#include "support/scratch_folder.h"

namespace qvx {
namespace {

TEST(IsDottedQuad, AcceptsOnlyFourDecimalGroupsUpTo255) {
    const struct {
        const char* text;
        bool dotted;
    } cases[] = {
        {"192.168.001.010", true},
        {"0.0.0.0", true},
        {"255.255.255.255", true},
        {"000.000.000.000", true},
        {"192.168.1.300", false},
        {"1.2.3", false},
        {"a.b.c.d", false},
        {"1.2.3.4.5", false},
        {"1..2.3", false},
        {"1.2.3.", false},
        {".1.2.3", false},
        {"1.2.3.4 ", false},
        {"-1.2.3.4", false},
        {"1.2.3.256", false},
        {"0001.2.3.4", true},
        {"1000.2.3.4", false},
        {"1.2.3.4444", false},
        {"1.2.3.04a", false},
        {"", false},
        {"192.168.0.0001", true},
        {"sensor.example", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TcpLink::IsDottedQuad(c.text), c.dotted) << c.text;
    }
}

TEST(BaudRates, ListAndTextsMatchTheConnectionDialog) {
    const std::vector<std::uint32_t> expected = {1200,   9600,   19200,  38400, 57600,
                                                 115200, 230400, 460800, 921600};
    const auto& rates = SupportedBaudRates();
    ASSERT_EQ(rates.size(), expected.size());
    for (std::size_t i = 0; i < rates.size(); ++i) {
        EXPECT_EQ(rates[i].bps, expected[i]);
        EXPECT_EQ(std::string(rates[i].text), std::to_string(expected[i]) + " bps");
        EXPECT_STREQ(BaudRateText(expected[i]), rates[i].text);
    }
    EXPECT_EQ(BaudRateText(2400), nullptr);
    EXPECT_EQ(BaudRateText(4800), nullptr);
    EXPECT_EQ(BaudRateText(0), nullptr);
}

TEST(LineScanner, StopsAtUnescapedTerminatorEvenAcrossChunks) {
    link_detail::LineScanner scanner(270, '\r', '~');
    EXPECT_EQ(scanner.Take("AB~", 3), 3u);
    EXPECT_FALSE(scanner.finished());
    // The escape arrived in the previous chunk: this CR is data.
    EXPECT_EQ(scanner.Take("\rCD\rEF", 6), 4u);
    EXPECT_TRUE(scanner.finished());
    EXPECT_EQ(scanner.count(), 7u);
}

TEST(LineScanner, StopsAtMaxLenWithoutTerminator) {
    link_detail::LineScanner scanner(5, 0, 0);
    EXPECT_EQ(scanner.Take("abc", 3), 3u);
    EXPECT_EQ(scanner.room(), 2u);
    EXPECT_EQ(scanner.Take("\r\rdef", 5), 2u);
    EXPECT_TRUE(scanner.finished());
}

TEST(SocketErrorCode, UsesTheCodesTheTransactionKnows) {
    EXPECT_EQ(SocketErrorCode(ECONNRESET), 10054u);
    EXPECT_EQ(SocketErrorCode(ECONNREFUSED), 10061u);
    EXPECT_EQ(SocketErrorCode(ETIMEDOUT), 10060u);
    EXPECT_EQ(SocketErrorCode(ENETUNREACH), 10051u);
    EXPECT_EQ(SocketErrorCode(EHOSTUNREACH), 10065u);
    EXPECT_EQ(SocketErrorCode(EPIPE), 10058u);
    EXPECT_EQ(SocketErrorCode(ENOMEM), 10000u + ENOMEM);
    for (const int e : {ECONNRESET, ECONNREFUSED, ETIMEDOUT, EPIPE, ENOTCONN, ENOMEM}) {
        EXPECT_TRUE(link_error::IsSocketError(SocketErrorCode(e))) << e;
    }
}

TEST(EnumerateSerialPorts, TakesTheListFromTheEnvironment) {
    setenv("QVX_SERIAL_PORTS", "/dev/pts/7::/dev/ttyUSB1:", 1);
    EXPECT_EQ(EnumerateSerialPorts(), (std::vector<std::string>{"/dev/pts/7", "/dev/ttyUSB1"}));
    unsetenv("QVX_SERIAL_PORTS");
    const auto ports = EnumerateSerialPorts();
    EXPECT_EQ(ports, EnumerateSerialPorts());  // stable between calls
    for (const auto& port : ports) {
        EXPECT_EQ(port.rfind("/dev/", 0), 0u) << port;
    }
}

class DescribePortOnPty : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty_.ok());
        state_.port_name = pty_.slave_path();
        ASSERT_TRUE(link_.serial().Open(9600, {kReadIntervalNoWait, 0, 0})) << state_.last_link_error;
    }
    test::PtyPair pty_;
    ConnectionState state_;
    SensorLink link_{state_};
};

TEST_F(DescribePortOnPty, NamesPortAndRate) {
    state_.current_baud = 1200;
    std::string text;
    EXPECT_TRUE(link_.serial().Describe(text));
    EXPECT_EQ(text, pty_.slave_path() + " @ 9600 bps");
    EXPECT_EQ(state_.current_baud, 9600u);
    EXPECT_EQ(state_.pending_baud, 9600u);
}

TEST_F(DescribePortOnPty, UnlistedRateLeavesTextAfterTheAt) {
    ASSERT_EQ(link_.serial().SetBaud(4800), 1);
    EXPECT_EQ(link_.serial().Baud(), 4800u);
    std::string text = "old";
    EXPECT_FALSE(link_.serial().Describe(text));
    EXPECT_EQ(text, pty_.slave_path() + " @ ");
    EXPECT_EQ(state_.current_baud, 4800u);
}

TEST(OpenSerialPort, MissingDeviceStoresTheError) {
    ConnectionState state;
    SensorLink link(state);
    state.port_name = "/dev/qvx-no-such-port";
    EXPECT_FALSE(link.serial().Open(9600, {kReadIntervalNoWait, 0, 0}));
    EXPECT_EQ(state.last_link_error, static_cast<std::uint32_t>(ENOENT));
    EXPECT_FALSE(link.serial().IsOpen());
}

TEST(InstanceNumber, EachHolderGetsTheNextFreeNumber) {
    test::ScratchFolder dir;
    std::vector<int> held;
    for (int expected = 0; expected < 9; ++expected) {
        int fd = -1;
        EXPECT_EQ(LockFirstFreeInstance(dir.path(), fd), expected);
        held.push_back(fd);
    }
    int fd = -1;
    EXPECT_EQ(LockFirstFreeInstance(dir.path(), fd), -1);
    // A copy that ends frees its number for the next one.
    close(held[3]);
    EXPECT_EQ(LockFirstFreeInstance(dir.path(), fd), 3);
    held[3] = fd;
    for (const int h : held) {
        close(h);
    }
}

TEST(InstanceNumber, RepeatedCallsKeepTheNumber) {
    const std::string first = AcquireInstanceNumber();
    EXPECT_EQ(AcquireInstanceNumber(), first);
    if (!first.empty()) {
        EXPECT_GE(first[0], '0');
        EXPECT_LE(first[0], '8');
        // The number's lock is held: nobody else can take that file.
        const int other = open(InstanceLockPath(RuntimeDirectory(), first[0] - '0').c_str(), O_RDWR);
        ASSERT_GE(other, 0);
        EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0);
        close(other);
    }
}

TEST(RuntimeDirectory, FollowsTheOverride) {
    test::ScratchFolder dir;
    const std::string wanted = dir / "runtime";
    setenv("QVX_RUNTIME_DIR", wanted.c_str(), 1);
    EXPECT_EQ(RuntimeDirectory(), wanted);
    struct stat info {};
    ASSERT_EQ(stat(wanted.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    unsetenv("QVX_RUNTIME_DIR");
}

}  // namespace
}  // namespace qvx
