// A normal download of the sensor's stored records from qvx-sim over a pseudo-terminal whose
// replies are paced at the line rate: the whole flash buffer (2975 eight-lane records) at
// 115200 bps, and 200 records at 9600 bps. Reports records per second and the ratio of the wall
// time to the ideal time: every byte that crossed the line, both ways, at 10 bits per byte
// (goal: at most 1.05; the simulator adds no reply delay of its own).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "context/app_context.h"
#include "link/link_wait.h"
#include "sim_server.h"
#include "stored/download.h"
#include "support/scratch_folder.h"
#include "support/scripted_prompts.h"

namespace {

constexpr int kBitsPerByte = 10;

void DownloadOverPty(benchmark::State& state, std::uint32_t baud, int records) {
    qvx::sim::SensorSettings sensor;
    sensor.baud = baud;
    sensor.lanes = 8;
    sensor.history_records = records;
    sensor.interval_seconds = 3600;  // nothing new while the download runs
    sensor.firewall = false;
    qvx::sim::ServerSettings settings;
    settings.transport = qvx::sim::Transport::Pty;
    qvx::sim::SimServer server({sensor}, settings);
    if (!server.Start()) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    qvx::test::ScratchFolder folder;
    qvx::ScriptedPrompts prompts;
    qvx::AppContext app(prompts, qvx::RegistryStore(folder / "registry"));
    app.state.link_kind = qvx::LinkKind::Serial;
    app.state.port_name = server.pty_path();
    app.state.current_baud = app.state.pending_baud = baud;
    app.state.base_response_wait_ms = static_cast<int>(2560000 / baud + 15);
    if (!app.link.serial().Open(baud, {qvx::kReadIntervalNoWait, 0, 0})) {
        state.SkipWithError("the pty did not open");
        return;
    }
    for (auto _ : state) {
        qvx::DownloadJob job;
        job.mode = qvx::DownloadMode::Normal;
        const std::size_t bytes_before = server.bytes_received() + server.bytes_sent();
        const auto start = std::chrono::steady_clock::now();
        qvx::StartDownload(app, job, folder / "download.log", qvx::StartDownloadHooks{{}, [](int) {}});
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const std::size_t bytes = server.bytes_received() + server.bytes_sent() - bytes_before;
        const double ideal = static_cast<double>(bytes) * kBitsPerByte / baud;
        state.SetIterationTime(wall);
        state.counters["records"] = job.packets_downloaded.load();
        state.counters["records_per_s"] = job.packets_downloaded.load() / wall;
        state.counters["wall_s"] = wall;
        state.counters["ideal_s"] = ideal;
        state.counters["ratio"] = wall / ideal;
        state.counters["bytes"] = static_cast<double>(bytes);
        if (job.packets_downloaded.load() < records) {
            state.SkipWithError("the download did not fetch every record");
        }
    }
    app.link.serial().Close();
}

void BM_DownloadFullFlashAt115200(benchmark::State& state) {
    DownloadOverPty(state, 115200, 2975);
}
void BM_Download200RecordsAt9600(benchmark::State& state) {
    DownloadOverPty(state, 9600, 200);
}

BENCHMARK(BM_DownloadFullFlashAt115200)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Download200RecordsAt9600)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
