// A 200 KB firmware image uploaded to the simulated sensor over a pseudo-terminal at 115200 bps.
// A relay between the program's pty and the sensor's pty lets bytes through at the line rate in
// both directions (10 bits per byte), as a serial line would. Reported: wall time of the upload
// divided by the ideal wire time of every byte that crossed the line (goal: at most 1.10). The
// pauses between handshake steps are skipped; the FPGA image is not followed by a restart.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "firmware/upload_job.h"
#include "link/sensor_link.h"
#include "protocol/transaction.h"
#include "sim_server.h"
#include "support/pty_open.h"
#include "support/scripted_prompts.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kBaud = 115200;
constexpr auto kByteTime = std::chrono::nanoseconds(1'000'000'000LL * 10 / kBaud);
constexpr std::size_t kImageDigits = 200 * 1024;

// Passes bytes between two descriptors in both directions, each byte taking its wire time.
class LineRelay {
  public:
    LineRelay(int program_side, int sensor_side)
        : a_(program_side),
          b_(sensor_side),
          up_([this] { Pump(a_, b_, up_bytes_); }),
          down_([this] { Pump(b_, a_, down_bytes_); }) {}
    ~LineRelay() {
        stop_ = true;
        up_.join();
        down_.join();
    }
    std::size_t bytes() const { return up_bytes_.load() + down_bytes_.load(); }

  private:
    void Pump(int from, int to, std::atomic<std::size_t>& count) {
        char buffer[4096];
        Clock::time_point line_free = Clock::now();
        while (!stop_) {
            pollfd entry{from, POLLIN, 0};
            if (poll(&entry, 1, 20) <= 0 || (entry.revents & POLLIN) == 0) {
                continue;
            }
            const ssize_t n = read(from, buffer, sizeof buffer);
            if (n <= 0) {
                continue;
            }
            line_free = std::max(line_free, Clock::now()) + kByteTime * n;
            std::this_thread::sleep_until(line_free);
            for (ssize_t done = 0; done < n;) {
                const ssize_t w = write(to, buffer + done, static_cast<std::size_t>(n - done));
                done += w > 0 ? w : 0;
            }
            count += static_cast<std::size_t>(n);
        }
    }

    int a_;
    int b_;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> up_bytes_{0};
    std::atomic<std::size_t> down_bytes_{0};
    std::thread up_;
    std::thread down_;
};

std::string FpgaImageText() {
    std::string data = "FFFFFFFFAA99";
    for (std::size_t i = 0; data.size() < kImageDigits; ++i) {
        data += "0123456789ABCDEF"[(i * 7 + 3) % 16];
    }
    std::string text;
    for (std::size_t i = 0; i < data.size(); i += 64) {
        text += data.substr(i, 64) + "\r\n";
    }
    return text;
}

int OpenSensorSide(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios line{};
    if (fd >= 0 && tcgetattr(fd, &line) == 0) {
        cfmakeraw(&line);
        cfsetispeed(&line, B115200);
        cfsetospeed(&line, B115200);
        tcsetattr(fd, TCSANOW, &line);
    }
    return fd;
}

void BM_FirmwareUploadPty115200(benchmark::State& state) {
    qvx::sim::SensorSettings sensor;
    sensor.baud = kBaud;
    sensor.firewall = false;
    qvx::sim::ServerSettings settings;
    settings.transport = qvx::sim::Transport::Pty;
    qvx::sim::SimServer server({sensor}, settings);
    std::string error;
    if (!server.Start(&error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::string program_path;
    const int program_master = qvx::test::OpenPtyMaster(program_path);
    const int sensor_side = OpenSensorSide(server.pty_path());

    qvx::ConnectionState connection;
    qvx::SensorLink link(connection);
    qvx::ScriptedPrompts prompts;
    prompts.ask_answers = {false};  // no restart after the FPGA image
    qvx::SensorProtocol protocol(link, prompts);
    connection.port_name = program_path;
    link.serial().Open(kBaud, {qvx::kReadIntervalNoWait, 0, 0});
    connection.link_kind = qvx::LinkKind::Serial;
    connection.current_baud = connection.pending_baud = kBaud;
    connection.base_response_wait_ms = 100;

    const qvx::HexImage image(qvx::ImageKind::Fpga, FpgaImageText());
    double ratio = 0;
    for (auto _ : state) {
        LineRelay relay(program_master, sensor_side);
        prompts.ask_answers = {false};
        qvx::UploadJob job(protocol, qvx::UploadImage::FromFile(image, "bench.hex"));
        job.SetSleep([](int) {});
        const auto start = Clock::now();
        const qvx::UploadOutcome outcome = job.Run();
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double ideal = std::chrono::duration<double>(kByteTime * relay.bytes()).count();
        if (outcome != qvx::UploadOutcome::Succeeded) {
            state.SkipWithError("the upload did not succeed");
            break;
        }
        ratio = wall / ideal;
        state.counters["wall_s"] = wall;
        state.counters["ideal_s"] = ideal;
        state.counters["line_bytes"] = static_cast<double>(relay.bytes());
        state.counters["ratio"] = ratio;
        std::printf(
            "firmware upload 200 KB at 115200 bps over a pty: wall %.2f s, ideal %.2f s, ratio %.3f\n", wall,
            ideal, ratio);
    }
    link.serial().Close();
    close(sensor_side);
    close(program_master);
}

BENCHMARK(BM_FirmwareUploadPty115200)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
