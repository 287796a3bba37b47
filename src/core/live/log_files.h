#pragma once
// Which file each log goes to: the path remembered in the registry, the questions asked when it
// is missing or cannot be opened, the choice of a new file, turning logging on (a new banner)
// and opening a log in the desktop's text editor. The file dialog itself is the caller's: a
// chooser callback.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "context/live_state.h"

namespace qvx {

class AppContext;

struct LogKindInfo {
    const char* registry_value;   // under kKeyLogs
    const char* filter;           // the file dialog's filter, as the program has always given it
    const char* missing_text;     // asked when no usable path is remembered
    const char* unopenable_text;  // asked when the remembered file cannot be opened
};
const LogKindInfo& LogInfo(LogKind kind);

inline constexpr const char* kLogQuestionCaption = "Open\\create log...";
inline constexpr const char* kLogDefaultExtension = "log";
inline constexpr const char* kLogRegistryErrorText =
    "The file specified could not be created due to a registry error.";
inline constexpr const char* kLogRegistryErrorCaption = "Registry error...";

// A remembered value names a log file when it is longer than 6 characters and holds ".log" in
// any letter case.
bool IsLogFileValue(std::string_view value);

// The open-file dialog: the chosen path, or nothing when the user cancelled.
using LogFileChooser = std::function<std::optional<std::string>(LogKind kind)>;
// Starts the text editor on a file without waiting; true when it started.
using EditorLauncher = std::function<bool(const std::string& path)>;

// Runs the chooser. The chosen file must open for appending (it is created when absent); then
// it becomes the current path and is remembered in the registry. 1 only when all of that
// succeeded, else 0 (the current path is left as it was).
int ChooseLogFile(AppContext& context, LogKind kind, const LogFileChooser& chooser);
// The menu's New/Open: as ChooseLogFile, and a failure other than Cancel is reported as a
// registry error, as the menu has always done.
int ChooseLogFileFromMenu(AppContext& context, LogKind kind, const LogFileChooser& chooser);

// A log file that can be written now: the remembered one when it opens for appending, else the
// one the user chooses after the question. Nothing when the user cancels or the choice fails.
std::optional<std::string> ResolveLogFile(AppContext& context, LogKind kind, const LogFileChooser& chooser);

// Resolves the file and appends the banner. False (logging stays off) when the user cancelled
// or no banner could be written anywhere.
bool TurnLoggingOn(AppContext& context, LogKind kind, const std::string& banner,
                   const LogFileChooser& chooser);

// Opens the current log (or the remembered one, resolved as for logging) in the text editor.
// True when the editor started.
bool ViewLogFile(AppContext& context, LogKind kind, const LogFileChooser& chooser,
                 const EditorLauncher& launch_editor);

}  // namespace qvx
