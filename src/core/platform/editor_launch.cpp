#include "platform/editor_launch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <vector>

namespace qvx {
namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> FindProgram(const std::string& program) {
    if (program.find('/') != std::string::npos) {
        return IsExecutableFile(program) ? std::optional<std::string>(program) : std::nullopt;
    }
    const char* path_variable = std::getenv("PATH");
    std::istringstream folders(path_variable ? path_variable : "/usr/local/bin:/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (IsExecutableFile(candidate))
            return candidate;
    }
    return std::nullopt;
}

// $VISUAL and $EDITOR may carry options ("code --wait"); the shell splits them, and the file
// name goes in as "$1" so that no character of it is ever interpreted by the shell.
std::optional<std::vector<std::string>> EditorFromVariable(const char* variable, const std::string& file) {
    const char* value = std::getenv(variable);
    if (!value)
        return std::nullopt;
    std::istringstream words(value);
    std::string program;
    if (!(words >> program) || !FindProgram(program))
        return std::nullopt;
    return std::vector<std::string>{"/bin/sh", "-c", std::string(value) + " \"$1\"", "sh", file};
}

std::optional<std::vector<std::string>> OpenerCommand(const std::string& file) {
    if (const auto opener = FindProgram("xdg-open"))
        return std::vector<std::string>{*opener, file};
    if (auto visual = EditorFromVariable("VISUAL", file))
        return visual;
    return EditorFromVariable("EDITOR", file);
}

void WriteErrno(int fd) {
    const int error = errno;
    [[maybe_unused]] const ssize_t ignored = write(fd, &error, sizeof error);
}

// Runs in the child of a possibly multi-threaded process: only async-signal-safe calls.
[[noreturn]] void RunDetached(char* const argv[], int report_fd) {
    const pid_t grandchild = fork();
    if (grandchild != 0) {
        if (grandchild < 0)
            WriteErrno(report_fd);
        _exit(0);  // the grandchild is re-parented to init, which reaps it
    }
    setsid();
    const int null_fd = open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
        dup2(null_fd, STDIN_FILENO);
        dup2(null_fd, STDOUT_FILENO);
        dup2(null_fd, STDERR_FILENO);
    }
    execv(argv[0], argv);
    WriteErrno(report_fd);
    _exit(127);
}

// The report pipe closes on a successful exec (close-on-exec); a failed fork or exec writes
// its errno into it first.
bool SpawnDetached(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const auto& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return false;
    const pid_t child = fork();
    if (child == 0) {
        close(report[0]);
        RunDetached(argv.data(), report[1]);
    }
    close(report[1]);
    if (child < 0) {
        close(report[0]);
        return false;
    }
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    int child_errno = 0;
    ssize_t got;
    do {
        got = read(report[0], &child_errno, sizeof child_errno);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    return got == 0;
}

}  // namespace

bool LaunchTextEditor(const std::string& file_path) {
    struct stat info {};
    if (file_path.empty() || stat(file_path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    // A name starting with '-' would be read as an option by the opener.
    const std::string argument = file_path.front() == '-' ? "./" + file_path : file_path;
    const auto command = OpenerCommand(argument);
    return command && SpawnDetached(*command);
}

}  // namespace qvx
