// qvx terminal: the raw console. Each line read from standard input is sent as the terminal
// window sends it (line mode: the text and CR; binary mode: pairs of hex digits, one byte per
// write); what the sensor sends is printed as it arrives.

#include <poll.h>
#include <unistd.h>

#include <chrono>

#include "cli_tools.h"
#include "context/app_context.h"
#include "tools/terminal_session.h"

namespace qvx::cli {

namespace {

constexpr int kInputPollMs = 50;
constexpr auto kQuietAfterInput = std::chrono::milliseconds(500);
constexpr auto kLastReplyLimit = std::chrono::milliseconds(5000);

class InputLines {
  public:
    // Reads what standard input has; false at its end.
    bool Read(TerminalSession& session) {
        char buffer[512];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            return false;
        }
        for (ssize_t k = 0; k < count; ++k) {
            if (buffer[k] == '\n') {
                if (!pending_.empty() && pending_.back() == '\r') {
                    pending_.pop_back();
                }
                session.Enter(pending_);
                pending_.clear();
            } else {
                pending_ += buffer[k];
            }
        }
        return true;
    }
    // A last line without its line end still counts.
    void Finish(TerminalSession& session) {
        if (!pending_.empty()) {
            session.Enter(pending_);
            pending_.clear();
        }
    }

  private:
    std::string pending_;
};

void Flush(TerminalSession& session, std::ostream& out) {
    if (const std::string text = session.TakeNewText(); !text.empty()) {
        out << text;
        out.flush();
    }
}

// After the input ended: until everything was sent and the sensor has been quiet for a while.
void WaitForLastReplies(TerminalSession& session, AppContext& app, CommandStreams io) {
    const auto quiet = kQuietAfterInput + std::chrono::milliseconds(app.state.response_wait_ms.load());
    const auto give_up = std::chrono::steady_clock::now() + kLastReplyLimit + quiet;
    auto idle_since = std::chrono::steady_clock::now();
    while (!io.stop.load() && std::chrono::steady_clock::now() < give_up) {
        Flush(session, io.out);
        const auto now = std::chrono::steady_clock::now();
        if (!session.Idle()) {
            idle_since = now;
        } else if (now - std::max(idle_since, session.last_received()) > quiet) {
            return;
        }
        ::poll(nullptr, 0, kInputPollMs);
    }
}

}  // namespace

int RunTerminal(AppContext& app, const CliOptions& options, CommandStreams io) {
    TerminalSession session(app.link, app.objects);
    session.set_echo(false);  // the console shows what was typed already
    session.SetBinary(options.tools.binary);
    if (::isatty(STDIN_FILENO)) {
        io.err << (options.tools.binary ? "Binary mode: type pairs of hexadecimal digits, Enter sends them."
                                        : "Line mode: Enter sends the line with a carriage return.")
               << " Ctrl+D or Ctrl+C ends.\n";
    }
    session.Start();
    InputLines input;
    bool input_open = true;
    while (input_open && !io.stop.load()) {
        Flush(session, io.out);
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (::poll(&in, 1, kInputPollMs) > 0 && (in.revents & (POLLIN | POLLHUP)) != 0) {
            input_open = input.Read(session);
        }
    }
    input.Finish(session);
    WaitForLastReplies(session, app, io);
    session.Stop();
    Flush(session, io.out);
    return kExitSuccess;
}

}  // namespace qvx::cli
