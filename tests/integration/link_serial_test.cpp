// The serial side of the link against a pseudo-terminal (or a socketpair) on which the test plays
// the sensor.

#include <dirent.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>

#include "link/sensor_link.h"
#include "protocol/frame.h"
#include "support/pty_pair.h"

namespace qvx {
namespace {

using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

int OpenDescriptorCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) {
            ++count;
        }
        closedir(dir);
    }
    return count;
}

class SerialLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty_.ok());
        state_.port_name = pty_.slave_path();
        state_.link_kind = LinkKind::Serial;
        ASSERT_TRUE(link_.serial().Open(9600, {kReadIntervalNoWait, 0, 0})) << state_.last_link_error;
    }

    test::PtyPair pty_;
    ConnectionState state_;
    SensorLink link_{state_};
};

TEST_F(SerialLinkTest, ReopeningClosesTheOldHandle) {
    const int before = OpenDescriptorCount();
    ASSERT_TRUE(link_.serial().Open(19200, {kReadIntervalNoWait, 0, 0}));
    EXPECT_EQ(OpenDescriptorCount(), before);
    EXPECT_EQ(link_.serial().Baud(), 19200u);
    ASSERT_TRUE(pty_.Send("X"));
    std::string got;
    EXPECT_EQ(link_.ReadUntil(got, 1, 1000, 0, 0), 1u);
}

TEST_F(SerialLinkTest, TildeEscapesTheTerminatorAndLaterBytesStayQueued) {
    ASSERT_TRUE(pty_.Send("AB~\rCD\rEF"));
    std::string line = "kept:";
    EXPECT_EQ(link_.ReadUntil(line, 270, 3000, '\r', '~'), 7u);
    EXPECT_EQ(line, "kept:AB~\rCD\r");
    std::string rest;
    EXPECT_EQ(link_.ReadUntil(rest, 270, 200, '\r', '~'), 2u);
    EXPECT_EQ(rest, "EF");
}

TEST_F(SerialLinkTest, MaxLenStopsTheReadAndLeavesTheRest) {
    ASSERT_TRUE(pty_.Send(std::string(30, 'x')));
    std::string got;
    const auto start = Clock::now();
    EXPECT_EQ(link_.ReadUntil(got, 22, 2000, 0, 0), 22u);
    EXPECT_LT(MillisecondsSince(start), 1000);
    std::string rest;
    EXPECT_EQ(link_.ReadAvailable(rest, 100, 500), 8u);
}

TEST_F(SerialLinkTest, SilentSensorEndsTheReadAtTimeoutPlusResponseWait) {
    state_.response_wait_ms = 50;
    std::string got;
    const auto start = Clock::now();
    EXPECT_EQ(link_.ReadUntil(got, 22, 100, 0, 0), 0u);
    const long elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, 150);
    EXPECT_LT(elapsed, 150 + 500);
    EXPECT_TRUE(got.empty());
}

TEST_F(SerialLinkTest, ZeroTimeoutIsOnePassOverWhatIsBuffered) {
    state_.response_wait_ms = 5000;  // not added when the timeout is 0
    ASSERT_TRUE(pty_.Send("ab"));
    std::string probe;
    ASSERT_EQ(link_.ReadAvailable(probe, 1, 1000), 1u);
    std::string got;
    const auto start = Clock::now();
    EXPECT_EQ(link_.ReadUntil(got, 22, 0, 0, 0), 1u);
    EXPECT_EQ(link_.ReadUntil(got, 22, 0, 0, 0), 0u);
    EXPECT_LT(MillisecondsSince(start), 1000);
}

TEST_F(SerialLinkTest, ReadReturnsAsSoonAsTheReplyIsComplete) {
    std::thread sensor([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty_.Send("S0 reply\r");
    });
    std::string got;
    const auto start = Clock::now();
    EXPECT_EQ(link_.ReadUntil(got, 270, 3000, '\r', '~'), 9u);
    EXPECT_LT(MillisecondsSince(start), 1500);
    sensor.join();
}

TEST_F(SerialLinkTest, BulkReadTakesOneChunkOfAtMost270) {
    ASSERT_TRUE(pty_.Send(std::string(400, 'b')));
    std::string probe;
    ASSERT_EQ(link_.ReadAvailable(probe, 1, 1000), 1u);
    std::string got;
    const std::size_t count = link_.ReadUntil(got, 0, 1000, '\r', '~');
    EXPECT_GE(count, 1u);
    EXPECT_LE(count, kBulkReadSize);
    EXPECT_EQ(got.size(), count);
}

TEST_F(SerialLinkTest, EndlessStreamWithoutTerminatorIsCutAtMaxLen) {
    std::atomic<bool> stop{false};
    std::thread sensor([&] {
        const std::string garbage = "\x01\xff~~garbage\n";
        while (!stop) {
            pollfd room{pty_.master(), POLLOUT, 0};
            if (poll(&room, 1, 20) > 0) {
                pty_.Send(garbage);
            }
        }
    });
    std::string got;
    EXPECT_EQ(link_.ReadUntil(got, 270, 2000, '\r', '~'), 270u);
    EXPECT_EQ(got.size(), 270u);
    stop = true;
    sensor.join();
}

TEST_F(SerialLinkTest, EmptyWriteSendsOneNul) {
    EXPECT_EQ(link_.Write(""), 1u);
    EXPECT_EQ(pty_.Receive(1), std::string(1, '\0'));
    EXPECT_EQ(link_.Write("S0\r"), 3u);
    EXPECT_EQ(pty_.Receive(3), "S0\r");
}

TEST_F(SerialLinkTest, WriteWithPurgeDropsStaleInput) {
    ASSERT_TRUE(pty_.Send("stale\r"));
    std::string probe;
    ASSERT_EQ(link_.ReadAvailable(probe, 1, 1000), 1u);
    link_.PurgeInput();
    ASSERT_EQ(link_.Write("X1\r"), 3u);
    std::string got;
    EXPECT_EQ(link_.ReadUntil(got, 270, 100, '\r', '~'), 0u);
}

TEST_F(SerialLinkTest, HangUpEndsTheReadWithAnError) {
    pty_.CloseMaster();
    std::string got;
    const auto start = Clock::now();
    EXPECT_EQ(link_.ReadUntil(got, 270, 2000, '\r', '~'), 0u);
    EXPECT_NE(state_.last_link_error, 0u);
    EXPECT_LT(MillisecondsSince(start), 1500);
}

// An adapter unplugged while the program waits for a reply: the wait ends at once instead of
// polling the dead line until its deadline.
TEST_F(SerialLinkTest, HangUpEndsTheReplyWaitAtOnce) {
    pty_.CloseMaster();
    FrameContext context;
    std::string reply;
    const auto start = Clock::now();
    const std::clock_t cpu_start = std::clock();
    ReceiveFrame(link_, context, reply, 3000, 100);
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_LT(static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC, 0.5);
    EXPECT_TRUE(reply.empty());
}

TEST_F(SerialLinkTest, RawReadFollowsTheReadTimeouts) {
    ASSERT_EQ(link_.serial().SetTimeouts({0, 0, 150}), 1);
    EXPECT_EQ(link_.serial().timeouts().read_constant, 150u);
    std::string got;
    auto start = Clock::now();
    EXPECT_EQ(link_.ReadRaw(got, 1), 0u);
    EXPECT_GE(MillisecondsSince(start), 150);
    ASSERT_TRUE(pty_.Send("Q"));
    start = Clock::now();
    EXPECT_EQ(link_.ReadRaw(got, 1), 1u);
    EXPECT_LT(MillisecondsSince(start), 1000);

    ASSERT_EQ(link_.serial().SetTimeouts({kReadIntervalNoWait, 0, 0}), 1);
    start = Clock::now();
    EXPECT_EQ(link_.ReadRaw(got, 10), 0u);
    EXPECT_LT(MillisecondsSince(start), 100);
}

TEST_F(SerialLinkTest, ReadAvailableWakesOnFirstBytes) {
    std::thread sensor([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        pty_.Send("hello");
    });
    std::string got;
    const auto start = Clock::now();
    while (got.size() < 5 && MillisecondsSince(start) < 3000) {
        link_.ReadAvailable(got, 5 - got.size(), 3000);
    }
    EXPECT_EQ(got, "hello");
    EXPECT_LT(MillisecondsSince(start), 2000);
    sensor.join();
}

// A socketpair end as the port: its buffers hold the whole burst, so the purge cap can be counted.
TEST(SerialPurge, StopsAfter5000DiscardedBytes) {
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    ConnectionState state;
    SensorLink link(state);
    link.serial().Adopt(ends[0]);
    ASSERT_TRUE(test::WriteAll(ends[1], std::string(8000, 'p')));
    link.PurgeInput();
    std::string rest;
    while (link.ReadAvailable(rest, 10000, 200) > 0) {
    }
    EXPECT_EQ(rest.size(), 3000u);
    close(ends[1]);
}

TEST(SerialPurge, ReturnsAgainstAFloodingSensor) {
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    ConnectionState state;
    SensorLink link(state);
    link.serial().Adopt(ends[0]);
    std::atomic<bool> stop{false};
    std::thread sensor([&] {
        const std::string block(1000, 'f');
        for (int sent = 0; sent < 1000 && !stop;) {
            pollfd room{ends[1], POLLOUT, 0};
            if (poll(&room, 1, 20) > 0 &&
                send(ends[1], block.data(), block.size(), MSG_NOSIGNAL | MSG_DONTWAIT) > 0) {
                ++sent;
            }
        }
    });
    const auto start = Clock::now();
    link.PurgeInput();
    EXPECT_LT(MillisecondsSince(start), 3000);
    stop = true;
    link.serial().Close();
    sensor.join();
    close(ends[1]);
}

TEST(SerialAdopted, PeerCloseIsAnErrorNotASpin) {
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    ConnectionState state;
    SensorLink link(state);
    link.serial().Adopt(ends[0]);
    ASSERT_TRUE(test::WriteAll(ends[1], "AB"));
    close(ends[1]);
    std::string got;
    const auto start = Clock::now();
    EXPECT_EQ(link.ReadUntil(got, 270, 2000, '\r', '~'), 2u);
    EXPECT_NE(state.last_link_error, 0u);
    EXPECT_LT(MillisecondsSince(start), 1500);
    std::string text;
    EXPECT_FALSE(link.serial().Describe(text));  // no termios on a socket
}

}  // namespace
}  // namespace qvx
