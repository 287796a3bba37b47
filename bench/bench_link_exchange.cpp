// One request/reply exchange over the link against a peer that answers at once: the time the link
// itself adds to every transaction (goal: well under 1 ms).

#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/sensor_link.h"
#include "support/loopback_server.h"
#include "support/pty_pair.h"

namespace {

const std::string kRequest = "XD0001\r";
const std::string kReply = "XD" + std::string(120, '7') + "~\r1A2B\r";

// Answers every request line with kReply until stopped.
class EchoPeer {
  public:
    explicit EchoPeer(int fd) : fd_(fd), thread_([this] { Run(); }) {}
    ~EchoPeer() {
        stop_ = true;
        thread_.join();
    }

  private:
    void Run() {
        char buffer[512];
        while (!stop_) {
            pollfd entry{fd_, POLLIN, 0};
            if (poll(&entry, 1, 50) <= 0) {
                continue;
            }
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n <= 0) {
                continue;
            }
            if (std::find(buffer, buffer + n, '\r') != buffer + n) {
                qvx::test::WriteAll(fd_, kReply);
            }
        }
    }

    int fd_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void RunExchanges(benchmark::State& state, qvx::SensorLink& link) {
    std::vector<double> microseconds;
    std::string reply;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        reply.clear();
        link.Write(kRequest);
        link.ReadUntil(reply, 270, 3000, '\r', '~');
        microseconds.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        if (reply != kReply) {
            state.SkipWithError("wrong reply");
            break;
        }
    }
    if (!microseconds.empty()) {
        std::nth_element(microseconds.begin(), microseconds.begin() + microseconds.size() / 2,
                         microseconds.end());
        state.counters["median_us"] = microseconds[microseconds.size() / 2];
    }
}

void BM_ExchangeOverPty(benchmark::State& state) {
    qvx::test::PtyPair pty;
    qvx::ConnectionState connection;
    qvx::SensorLink link(connection);
    connection.port_name = pty.slave_path();
    connection.link_kind = qvx::LinkKind::Serial;
    if (!pty.ok() || !link.serial().Open(115200, {qvx::kReadIntervalNoWait, 0, 0})) {
        state.SkipWithError("no pty");
        return;
    }
    EchoPeer peer(pty.master());
    RunExchanges(state, link);
}
BENCHMARK(BM_ExchangeOverPty)->Unit(benchmark::kMicrosecond);

void BM_ExchangeOverLoopbackTcp(benchmark::State& state) {
    qvx::test::LoopbackServer server;
    qvx::ConnectionState connection;
    qvx::SensorLink link(connection);
    connection.host_address = "127.0.0.1";
    connection.tcp_port = server.port();
    if (!server.ok() || !link.tcp().Connect() || !server.Accept()) {
        state.SkipWithError("no loopback server");
        return;
    }
    const int on = 1;
    setsockopt(server.client(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    EchoPeer peer(server.client());
    RunExchanges(state, link);
}
BENCHMARK(BM_ExchangeOverLoopbackTcp)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
