// The raw radar stream a "Raw dump" request starts: paced at the stream's own rate, whatever the
// line could carry. While it runs the sensor listens to nothing; what the line brought meanwhile
// is dropped when it ends.

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "sim_server.h"
#include "sim_tools.h"

namespace qvx::sim {

namespace {
constexpr auto kStreamStep = std::chrono::milliseconds(5);
}

void SimServer::SendRawStream(std::uint32_t seed, std::uint64_t length) {
    const auto start = std::chrono::steady_clock::now();
    std::uint64_t sent = 0;
    while (sent < length && running_.load()) {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
                .count();
        const std::uint64_t due =
            std::min<std::uint64_t>(length, static_cast<std::uint64_t>(elapsed) * kRawStreamRate / 1000000);
        if (due > sent) {
            const std::string bytes = RawStreamBytes(seed, sent, static_cast<std::size_t>(due - sent));
            if (!WriteChunk(bytes.data(), bytes.size(), true)) {
                break;
            }
            sent = due;
            raw_bytes_streamed_.store(raw_bytes_streamed_.load() + bytes.size());
        }
        std::this_thread::sleep_for(kStreamStep);
    }
    DiscardInput();
}

void SimServer::DiscardInput() {
    const int fd = settings_.transport == Transport::Tcp ? client_fd_ : master_fd_;
    char buffer[1024];
    pollfd in{fd, POLLIN, 0};
    while (fd >= 0 && ::poll(&in, 1, 0) > 0 && (in.revents & POLLIN) != 0) {
        if (::read(fd, buffer, sizeof buffer) <= 0) {
            break;
        }
    }
    splitter_.Reset();
}

}  // namespace qvx::sim
