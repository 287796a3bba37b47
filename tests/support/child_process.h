#pragma once
// Runs a program of the build as a child process with extra environment variables, collecting its
// stdout and stderr through pipes. Waits are poll()s with generous limits; a child that outlives
// its limit is killed so a hanging program fails the test instead of the whole run.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace qvx::test {

struct ChildResult {
    int exit_code = -1;  // -1: killed or never started
    std::string out;
    std::string err;
};

class ChildProcess {
  public:
    // stdin_path: a file to read standard input from; empty keeps the test's own.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env, const std::string& stdin_path = "") {
        int out_pipe[2];
        int err_pipe[2];
        if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
        if (!stdin_path.empty()) {
            posix_spawn_file_actions_addopen(&actions, 0, stdin_path.c_str(), O_RDONLY, 0);
        }

        std::vector<std::string> argv_text{program};
        argv_text.insert(argv_text.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : argv_text) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        std::vector<std::string> env_text;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text = *entry;
            if (!env.contains(text.substr(0, text.find('=')))) {
                env_text.push_back(text);
            }
        }
        for (const auto& [name, value] : env) {
            env_text.push_back(name + "=" + value);
        }
        std::vector<char*> envp;
        for (std::string& entry : env_text) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);

        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out_pipe[1]);
        ::close(err_pipe[1]);
        out_fd_ = out_pipe[0];
        err_fd_ = err_pipe[0];
    }
    ~ChildProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (int fd : {out_fd_, err_fd_}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Collects output until stdout holds `count` line breaks or limit_ms passes.
    bool WaitForLines(std::size_t count, int limit_ms) {
        const auto until = Clock::now() + std::chrono::milliseconds(limit_ms);
        while (CountLines() < count && Clock::now() < until && (out_fd_ >= 0 || err_fd_ >= 0)) {
            Pump(50);
        }
        return CountLines() >= count;
    }

    void Signal(int signal_number) {
        if (pid_ > 0) {
            ::kill(pid_, signal_number);
        }
    }

    // Reads until both pipes close, then reaps the child (killing it after limit_ms).
    ChildResult Finish(int limit_ms) {
        const auto until = Clock::now() + std::chrono::milliseconds(limit_ms);
        while ((out_fd_ >= 0 || err_fd_ >= 0) && Clock::now() < until) {
            Pump(100);
        }
        if (pid_ > 0) {
            int status = 0;
            if (out_fd_ >= 0 || err_fd_ >= 0) {
                ::kill(pid_, SIGKILL);
            }
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
            result_.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return result_;
    }

  private:
    using Clock = std::chrono::steady_clock;

    std::size_t CountLines() const {
        std::size_t lines = 0;
        for (char c : result_.out) {
            lines += c == '\n' ? 1 : 0;
        }
        return lines;
    }

    void Pump(int wait_ms) {
        pollfd entries[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
        if (::poll(entries, 2, wait_ms) <= 0) {
            return;
        }
        Drain(entries[0], out_fd_, result_.out);
        Drain(entries[1], err_fd_, result_.err);
    }

    static void Drain(const pollfd& entry, int& fd, std::string& text) {
        if (fd < 0 || (entry.revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            return;
        }
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        } else {
            ::close(fd);
            fd = -1;
        }
    }

    pid_t pid_ = -1;
    int out_fd_ = -1;
    int err_fd_ = -1;
    ChildResult result_;
};

}  // namespace qvx::test
