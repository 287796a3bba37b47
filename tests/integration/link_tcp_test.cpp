// The TCP side of the link against a loopback server on which the test plays the sensor's
// network front. Nothing here talks to anything but 127/8.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/sensor_link.h"
#include "support/loopback_server.h"

namespace qvx {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kConnectionReset = 10054;

long MillisecondsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class TcpLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server_.ok());
        state_.host_address = "127.0.0.1";
        state_.tcp_port = server_.port();
        ASSERT_TRUE(link_.tcp().Connect()) << state_.last_link_error;
        ASSERT_TRUE(server_.Accept());
        const int on = 1;
        setsockopt(server_.client(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }

    test::LoopbackServer server_;
    ConnectionState state_;
    SensorLink link_{state_};
};

TEST_F(TcpLinkTest, ConnectSetsTheLinkAndASecondConnectIsRefused) {
    EXPECT_TRUE(state_.socket_open);
    EXPECT_EQ(state_.link_kind, LinkKind::Internet);
    EXPECT_EQ(state_.connection_type, LinkKind::Internet);
    EXPECT_FALSE(link_.tcp().Connect());
    EXPECT_EQ(state_.last_link_error, link_error::kAlreadyOpen);
    EXPECT_TRUE(state_.socket_open);
    link_.tcp().Close();
    EXPECT_FALSE(state_.socket_open);
    EXPECT_EQ(state_.link_kind, LinkKind::None);
    EXPECT_EQ(state_.connection_type, LinkKind::Internet);
}

TEST_F(TcpLinkTest, WritesGoToTheSocketAndEmptyTextIsOneNul) {
    EXPECT_EQ(link_.Write("S0\r"), 3u);
    EXPECT_EQ(link_.Write(""), 1u);
    EXPECT_EQ(server_.Receive(4), std::string("S0\r") + '\0');
}

TEST_F(TcpLinkTest, SendIsCutAfterTheFirstUnescapedTerminator) {
    EXPECT_EQ(link_.tcp().Send("AB~\rCD\rEF", 3000, '\r', '~'), 7u);
    EXPECT_EQ(server_.Receive(9, 300), "AB~\rCD\r");
}

TEST_F(TcpLinkTest, SendIntoAStalledPeerTimesOut) {
    const std::string block(1 << 20, 's');
    std::size_t sent = 1;
    const auto start = Clock::now();
    for (int i = 0; i < 64 && sent != 0; ++i) {
        sent = link_.tcp().Send(block, 200, 0, 0);
    }
    EXPECT_EQ(sent, 0u);
    EXPECT_EQ(state_.last_link_error, link_error::kSendTimeout);
    EXPECT_LT(MillisecondsSince(start), 10000);
}

TEST_F(TcpLinkTest, ReplySplitAcrossSegmentsIsJoinedAndEscapeSpansSegments) {
    std::thread sensor([&] {
        for (const char* piece : {"A", "B~", "\r", "C", "D", "\r", "EF"}) {
            server_.Send(piece);
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    });
    std::string line;
    EXPECT_EQ(link_.ReadUntil(line, 270, 3000, '\r', '~'), 7u);
    EXPECT_EQ(line, "AB~\rCD\r");
    EXPECT_EQ(state_.last_link_error, 0u);
    sensor.join();
    // What followed the terminator stays for the next read.
    std::string rest;
    EXPECT_EQ(link_.ReadAvailable(rest, 10, 1000), 2u);
    EXPECT_EQ(rest, "EF");
}

TEST_F(TcpLinkTest, ManyTinySegmentsMakeOneReply) {
    const std::string reply = "X0" + std::string(200, '5') + "\r";
    std::thread sensor([&] {
        for (const char byte : reply) {
            server_.Send(std::string(1, byte));
        }
    });
    std::string got;
    EXPECT_EQ(link_.tcp().Receive(got, 270, 3000, '\r', '~'), reply.size());
    EXPECT_EQ(got, reply);
    sensor.join();
}

TEST_F(TcpLinkTest, NothingPendingWithTimeoutZeroIsOnePass) {
    std::string got;
    const auto start = Clock::now();
    EXPECT_EQ(link_.tcp().Receive(got, 1, 0, 0, 0), 0u);
    EXPECT_EQ(state_.last_link_error, link_error::kReceiveTimeout);
    EXPECT_GE(MillisecondsSince(start), 9);
    EXPECT_LT(MillisecondsSince(start), 500);
}

TEST_F(TcpLinkTest, BulkReceiveKeepsWhatArrivedBeforeTheTimeout) {
    ASSERT_TRUE(server_.Send(std::string(50, 'k')));
    std::string got;
    const auto start = Clock::now();
    EXPECT_EQ(link_.tcp().Receive(got, 0, 200, 0, 0), 50u);
    EXPECT_EQ(got, std::string(50, 'k'));
    EXPECT_EQ(state_.last_link_error, link_error::kReceiveTimeout);
    EXPECT_GE(MillisecondsSince(start), 190);
    EXPECT_LT(MillisecondsSince(start), 800);
}

TEST_F(TcpLinkTest, SizedReceiveThatTimesOutGivesNothing) {
    ASSERT_TRUE(server_.Send("partial"));
    std::string got = "before";
    EXPECT_EQ(link_.tcp().Receive(got, 22, 100, 0, 0), 0u);
    EXPECT_EQ(got, "before");
    EXPECT_EQ(state_.last_link_error, link_error::kReceiveTimeout);
}

TEST_F(TcpLinkTest, DeadlineIsTimeoutPlusResponseWait) {
    state_.response_wait_ms = 50;
    std::string got;
    const auto start = Clock::now();
    EXPECT_EQ(link_.ReadUntil(got, 22, 100, 0, 0), 0u);
    EXPECT_GE(MillisecondsSince(start), 150);
    EXPECT_LT(MillisecondsSince(start), 150 + 500);
}

TEST_F(TcpLinkTest, EndlessStreamWithoutTerminatorStopsAtMaxLen) {
    std::atomic<bool> stop{false};
    std::thread sensor([&] {
        const std::string garbage = "\x02zz~\x7f no end ";
        while (!stop) {
            pollfd room{server_.client(), POLLOUT, 0};
            if (poll(&room, 1, 20) > 0) {
                send(server_.client(), garbage.data(), garbage.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            }
        }
    });
    std::string got;
    EXPECT_EQ(link_.tcp().Receive(got, 270, 2000, '\r', '~'), 270u);
    EXPECT_EQ(got.size(), 270u);
    got.clear();
    EXPECT_LE(link_.tcp().Receive(got, 0, 100, 0, 0), kBulkReadSize);
    EXPECT_LE(got.size(), kBulkReadSize);
    stop = true;
    sensor.join();
}

TEST_F(TcpLinkTest, PeerClosingMidFrameDropsTheLinkForRecovery) {
    ASSERT_TRUE(server_.Send("X0 half a fra"));
    server_.CloseClient();
    std::string got;
    EXPECT_EQ(link_.ReadUntil(got, 270, 3000, '\r', '~'), 0u);
    EXPECT_EQ(state_.last_link_error, kConnectionReset);
    EXPECT_TRUE(link_error::IsSocketError(state_.last_link_error));
    EXPECT_FALSE(state_.socket_open);
    EXPECT_EQ(state_.link_kind, LinkKind::None);
    EXPECT_EQ(state_.connection_type, LinkKind::Internet);
    // The transaction's recovery reconnects.
    state_.link_kind = LinkKind::Internet;
    EXPECT_TRUE(link_.tcp().Connect());
    EXPECT_TRUE(server_.Accept());
}

TEST_F(TcpLinkTest, ReadAvailableSeesThePeerClose) {
    ASSERT_TRUE(server_.Send("abc"));
    server_.CloseClient();
    std::string got;
    const auto start = Clock::now();
    while (state_.socket_open && MillisecondsSince(start) < 2000) {
        link_.ReadAvailable(got, 100, 500);
    }
    EXPECT_EQ(got, "abc");
    EXPECT_EQ(state_.last_link_error, kConnectionReset);
    EXPECT_FALSE(state_.socket_open);
}

TEST_F(TcpLinkTest, PurgeDiscardsAtMost5000Bytes) {
    ASSERT_TRUE(server_.Send(std::string(8000, 'p')));
    std::string first;
    ASSERT_EQ(link_.ReadAvailable(first, 1, 1000), 1u);  // the burst is arriving
    // The first byte can come before the rest of the burst on a busy machine; a purge discards only
    // what has come, so give the rest time to land.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    link_.PurgeInput();
    std::string rest;
    while (link_.ReadAvailable(rest, 10000, 200) > 0) {
    }
    EXPECT_EQ(rest.size(), 8000u - 1 - kPurgeLimit);
}

TEST(TcpConnect, DottedGroupsAreDecimalEvenWithLeadingZeros) {
    // Read as octal, 010 would be 8 and miss this listener.
    test::LoopbackServer server(4, "127.0.0.10");
    ASSERT_TRUE(server.ok());
    ConnectionState state;
    SensorLink link(state);
    state.host_address = "127.000.000.010";
    state.tcp_port = server.port();
    EXPECT_TRUE(link.tcp().Connect()) << state.last_link_error;
    EXPECT_TRUE(server.Accept());
}

TEST(TcpConnect, HostNamesAreResolved) {
    test::LoopbackServer server;
    ConnectionState state;
    SensorLink link(state);
    state.host_address = "localhost";
    state.tcp_port = server.port();
    EXPECT_TRUE(link.tcp().Connect()) << state.last_link_error;
}

TEST(TcpConnect, RefusedConnectLeavesNoLink) {
    std::uint16_t closed_port = 0;
    {
        test::LoopbackServer gone;
        closed_port = gone.port();
    }
    ConnectionState state;
    SensorLink link(state);
    state.host_address = "127.0.0.1";
    state.tcp_port = closed_port;
    EXPECT_FALSE(link.tcp().Connect());
    EXPECT_EQ(state.last_link_error, 10061u);
    EXPECT_FALSE(state.socket_open);
    EXPECT_EQ(state.link_kind, LinkKind::None);
    std::string got;
    state.link_kind = LinkKind::Internet;
    EXPECT_EQ(link.ReadUntil(got, 10, 10, 0, 0), 0u);
    EXPECT_EQ(state.last_link_error, 10057u);  // not connected
}

// A listener whose accept queue is full drops further connection requests without an answer.
TEST(TcpConnect, UnansweredConnectTimesOutAfter7Seconds) {
    test::LoopbackServer server(0);
    ASSERT_TRUE(server.ok());
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(server.port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<int> fillers;
    for (int i = 0; i < 8; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        fillers.push_back(fd);
        connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        pollfd done{fd, POLLOUT, 0};
        if (poll(&done, 1, 300) == 0) {
            break;  // this one got no answer: the queue is full
        }
    }
    ConnectionState state;
    SensorLink link(state);
    state.host_address = "127.0.0.1";
    state.tcp_port = server.port();
    const auto start = Clock::now();
    EXPECT_FALSE(link.tcp().Connect());
    EXPECT_EQ(state.last_link_error, link_error::kConnectTimeout);
    EXPECT_GE(MillisecondsSince(start), 6900);
    EXPECT_LT(MillisecondsSince(start), 9000);
    EXPECT_FALSE(state.socket_open);
    for (const int fd : fillers) {
        close(fd);
    }
}

}  // namespace
}  // namespace qvx
