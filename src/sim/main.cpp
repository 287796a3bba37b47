// qvx-sim: serves simulated sensors until SIGINT or SIGTERM.

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "sim_options.h"
#include "sim_server.h"

int main(int argc, char** argv) {
    qvx::sim::SimOptions options;
    std::string error;
    if (!qvx::sim::ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "qvx-sim: %s\n%s", error.c_str(), qvx::sim::SimUsage().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(qvx::sim::SimUsage().c_str(), stdout);
        return 0;
    }

    // Blocked before the server thread starts, so only sigwait below sees them.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    qvx::sim::SimServer server(std::move(options.sensors), options.server);
    if (!server.Start(&error)) {
        std::fprintf(stderr, "qvx-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", server.ReadinessLine().c_str());
    std::fflush(stdout);

    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    server.Stop();
    return 0;
}
