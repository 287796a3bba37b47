// Measures, with the Skelda view open and busy traffic flowing, how long after an event becomes
// available at the simulated sensor (its vehicle leaves the beam) the view first paints it, and
// what the program costs meanwhile (CPU share of one core, resident memory). A measurement, not
// a test: it runs only with QVX_MEASURE=1 and QVX_SIM_BINARY set (scripts/measure-event-latency)
// and prints its figures.

#include <sys/resource.h>

#include <QProcess>
#include <QtTest>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "context/app_context.h"
#include "live/skelda_road.h"
#include "live/skelda_view.h"
#include "sim_server.h"
#include "support/find_child.h"

using namespace qvx;
using namespace qvx::gui;

namespace {

constexpr int kEvents = 1000;
constexpr int kCpuSeconds = 60;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long StatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(field.size()));
    }
    return -1;
}

std::int64_t UnixMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// When the vehicle left the beam, as Unix ms: its count is in 2.5 ms ticks of the sensor's UTC
// day, and the simulated sensor's clock runs with the PC's UTC clock.
std::int64_t AvailableUnixMs(const TrackedVehicle& vehicle, std::int64_t now_ms) {
    const std::int64_t day_ms = 86400000;
    std::int64_t midnight = now_ms - now_ms % day_ms;
    std::int64_t at = midnight + static_cast<std::int64_t>(vehicle.end_ticks) * 5 / 2;
    if (at > now_ms + day_ms / 2)
        at -= day_ms;  // left the beam just before midnight
    return at;
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * (values.size() - 1))];
}

}  // namespace

class TstSkeldaLatency : public QObject {
    Q_OBJECT

  private slots:
    // The sensor in this process, so its clock start is known to the millisecond.
    void latency() {
        if (qEnvironmentVariable("QVX_MEASURE") != "1")
            QSKIP("a measurement: run scripts/measure-event-latency");
        WaitJustPastAWholeSecond();
        sim::SensorSettings busy;
        busy.lanes = 8;
        busy.vehicles_per_hour = 3600;
        busy.firewall = false;
        sim::SimServer server({busy}, sim::ServerSettings{});
        QVERIFY(server.Start());
        qvx::test::ScratchFolder folder;
        ScriptedPrompts prompts;
        AppContext context(prompts, RegistryStore(folder / "registry"));
        QVERIFY(Connect(context, server.tcp_port()));
        std::vector<double> latencies;
        SkeldaView view(context);
        qvx::test::Child<SkeldaRoad>(&view, "skeldaRoad")->onFirstPainted =
            [&](const TrackedVehicle& vehicle) {
                const std::int64_t drawn = UnixMs();
                latencies.push_back(static_cast<double>(drawn - AvailableUnixMs(vehicle, drawn)));
            };
        view.resize(900, 480);
        view.show();
        QTRY_VERIFY_WITH_TIMEOUT(view.ready(), 5000);
        QTest::qWait(2000);
        latencies.clear();
        QTRY_VERIFY_WITH_TIMEOUT(latencies.size() >= static_cast<std::size_t>(kEvents), 400000);
        std::printf(
            "latency over %zu events, available at the sensor -> painted: median %.1f ms, p99 %.1f ms, "
            "max %.1f ms; %u event polls\n",
            latencies.size(), Percentile(latencies, 0.5), Percentile(latencies, 0.99),
            Percentile(latencies, 1.0), view.pollingThread().event_polls());
        view.shutdown();
        context.link.tcp().Close();
        server.Stop();
    }

    // The sensor in a process of its own, so this process's CPU time is the program's alone.
    void cpuAndMemory() {
        const QString sim = qEnvironmentVariable("QVX_SIM_BINARY");
        if (qEnvironmentVariable("QVX_MEASURE") != "1" || sim.isEmpty())
            QSKIP("a measurement: run scripts/measure-event-latency");
        QProcess process;
        process.start(sim, {"--tcp", "0", "--lanes", "8", "--traffic", "3600", "--no-firewall"});
        QVERIFY(process.waitForReadyRead(5000));
        const QString ready = QString::fromLatin1(process.readLine()).trimmed();
        QVERIFY2(ready.startsWith("tcp 127.0.0.1:"), qPrintable(ready));
        qvx::test::ScratchFolder folder;
        ScriptedPrompts prompts;
        AppContext context(prompts, RegistryStore(folder / "registry"));
        QVERIFY(Connect(context, static_cast<std::uint16_t>(ready.section(':', 1).toUInt())));
        {
            SkeldaView view(context);
            view.resize(900, 480);
            view.show();
            QTRY_VERIFY_WITH_TIMEOUT(view.ready(), 5000);
            QTest::qWait(2000);
            const double cpu_start = CpuSeconds();
            const auto wall_start = std::chrono::steady_clock::now();
            QTest::qWait(kCpuSeconds * 1000);
            const double wall =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
            const double cpu = CpuSeconds() - cpu_start;
            std::printf(
                "CPU over %.0f s with the view open and traffic flowing: %.2f %% of one core; resident "
                "memory %ld kB (peak %ld kB); %llu vehicles drawn\n",
                wall, 100.0 * cpu / wall, StatusKb("VmRSS:"), StatusKb("VmHWM:"),
                static_cast<unsigned long long>(view.fetcher().events_taken()));
            view.shutdown();
        }
        context.link.tcp().Close();
        process.terminate();
        process.waitForFinished(3000);
    }

  private:
    // The simulated clock starts at the PC's whole second; started just after one it runs within
    // a few milliseconds of the PC's clock.
    static void WaitJustPastAWholeSecond() {
        const std::int64_t now = UnixMs();
        std::this_thread::sleep_for(std::chrono::milliseconds(1000 - now % 1000 + 2));
    }

    static bool Connect(AppContext& context, std::uint16_t port) {
        context.state.host_address = "127.0.0.1";
        context.state.tcp_port = port;
        context.state.base_response_wait_ms = 60;
        return context.link.tcp().Connect();
    }
};

QTEST_MAIN(TstSkeldaLatency)
#include "tst_skelda_latency.moc"
