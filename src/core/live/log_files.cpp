#include "live/log_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>

#include "context/app_context.h"
#include "live/interval_log.h"

namespace qvx {

namespace {

constexpr const char* kIntervalFilter = "Bin data log file (*.log*)|*.log*||";

const std::array<LogKindInfo, kLogKinds> kLogInfo = {{
    {"Bin Data Log File", kIntervalFilter, "You must open/create an interval data log file.",
     "Could not open interval data log!  It may be opened, renamed, moved or deleted.\n"
     "Click \"OK\" to open or create a log file."},
    {"Event Data Log File", "Event data log file (*.log*)|*.log*||",
     "You must open\\create an event data log file.",
     "Could not open event data log!  It may be opened, renamed, moved or deleted.\n"
     "Click \"OK\" to open or create a log file."},
    // The download file has the interval log's layout, and the same questions.
    {"DownloadDataLogPath", kIntervalFilter, "You must open/create an interval data log file.",
     "Could not open interval data log!  It may be opened, renamed, moved or deleted.\n"
     "Click \"OK\" to open or create a log file."},
}};

// The remembered file exists and takes appended lines; nothing is created.
bool OpensForAppending(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

// Opens (creating when absent) and closes again; the bytes stay as they were.
bool CreatesForAppending(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

enum class RememberedLog { Usable, Missing, Unopenable };

RememberedLog CheckRemembered(AppContext& context, LogKind kind, std::string& path) {
    const auto value = context.registry.GetString(kKeyLogs, LogInfo(kind).registry_value);
    if (!value || !IsLogFileValue(*value)) {
        return RememberedLog::Missing;
    }
    path = *value;
    context.live.log_paths.Set(kind, path);
    return OpensForAppending(path) ? RememberedLog::Usable : RememberedLog::Unopenable;
}

// Asks the question for reason; on OK runs the chooser. The chosen path, or nothing.
std::optional<std::string> AskAndChoose(AppContext& context, LogKind kind, RememberedLog reason,
                                        const LogFileChooser& chooser) {
    const LogKindInfo& info = LogInfo(kind);
    const char* text = reason == RememberedLog::Missing ? info.missing_text : info.unopenable_text;
    if (!context.prompts().Ask(kLogQuestionCaption, text, "OK", "Cancel")) {
        return std::nullopt;
    }
    if (ChooseLogFile(context, kind, chooser) != 1) {
        return std::nullopt;
    }
    return context.live.log_paths.Get(kind);
}

}  // namespace

const LogKindInfo& LogInfo(LogKind kind) {
    return kLogInfo[static_cast<std::size_t>(kind)];
}

bool IsLogFileValue(std::string_view value) {
    if (value.size() <= 6) {
        return false;
    }
    std::string lower(value);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find(".log") != std::string::npos;
}

int ChooseLogFile(AppContext& context, LogKind kind, const LogFileChooser& chooser) {
    const std::optional<std::string> chosen = chooser ? chooser(kind) : std::nullopt;
    if (!chosen || chosen->empty() || !CreatesForAppending(*chosen)) {
        return 0;
    }
    context.live.log_paths.Set(kind, *chosen);
    return context.registry.SetString(kKeyLogs, LogInfo(kind).registry_value, *chosen) ? 1 : 0;
}

int ChooseLogFileFromMenu(AppContext& context, LogKind kind, const LogFileChooser& chooser) {
    bool cancelled = false;
    const LogFileChooser noting_cancel = [&](LogKind chosen_kind) {
        auto path = chooser(chosen_kind);
        cancelled = !path.has_value();
        return path;
    };
    const int result = ChooseLogFile(context, kind, noting_cancel);
    if (result != 1 && !cancelled) {
        MessageRequest request;
        request.text = kLogRegistryErrorText;
        request.caption = kLogRegistryErrorCaption;
        request.icon = IconKind::Error;
        context.prompts().Message(request);
    }
    return result;
}

std::optional<std::string> ResolveLogFile(AppContext& context, LogKind kind, const LogFileChooser& chooser) {
    std::string path;
    const RememberedLog remembered = CheckRemembered(context, kind, path);
    if (remembered == RememberedLog::Usable) {
        return path;
    }
    return AskAndChoose(context, kind, remembered, chooser);
}

bool TurnLoggingOn(AppContext& context, LogKind kind, const std::string& banner,
                   const LogFileChooser& chooser) {
    std::optional<std::string> path = ResolveLogFile(context, kind, chooser);
    // A file that passed the test may still refuse the banner (a full disk); the user then gets
    // the question again rather than a log that silently stays empty.
    while (path) {
        if (AppendLogText(*path, banner) == LogWrite::Written) {
            return true;
        }
        path = AskAndChoose(context, kind, RememberedLog::Unopenable, chooser);
    }
    return false;
}

bool ViewLogFile(AppContext& context, LogKind kind, const LogFileChooser& chooser,
                 const EditorLauncher& launch_editor) {
    std::optional<std::string> path = context.live.log_paths.Get(kind);
    if (path->empty()) {
        path = ResolveLogFile(context, kind, chooser);
    }
    if (!path) {
        return false;
    }
    if (launch_editor(*path)) {
        return true;
    }
    MessageRequest request;
    request.text = "No text editor could be started on " + *path;
    request.caption = "Error...";
    request.icon = IconKind::Error;
    context.prompts().Message(request);
    return false;
}

}  // namespace qvx
