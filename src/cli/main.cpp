// The command-line program; see cli_app.h.
#include <signal.h>

#include <atomic>
#include <iostream>
#include <string>
#include <vector>

#include "cli_app.h"
#include "cli_options.h"

namespace {

std::atomic<bool> g_stop{false};
std::atomic<int> g_stop_signal{SIGINT};

void RequestStop(int signal_number) {
    g_stop_signal.store(signal_number);
    g_stop.store(true);
}

// Ctrl+C and SIGTERM end a running command at its next step, so the closing sequence still runs.
void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);  // a file past its size limit fails the write instead of ending qvx
}

}  // namespace

int main(int argc, char** argv) {
    InstallStopHandlers();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int code = qvx::cli::RunCli(args, std::cout, std::cerr, g_stop);
    // A run cut short by a signal ends as the shells report such a run.
    return code == qvx::cli::kExitInterrupted ? 128 + g_stop_signal.load() : code;
}
