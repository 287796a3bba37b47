#pragma once
// Start-up of the desktop program: the registry key the logs need and the command line.

#include <optional>
#include <string>
#include <vector>

namespace qvx {

class RegistryStore;

inline constexpr const char* kLogsKey = "Software\\Korvane\\DLX2.0\\Logs";

// Creates the logs key when it is missing; false when the registry could not be written.
bool EnsureLogsKey(RegistryStore& registry);

// The input parameters file named on the command line (args without the program name): the first
// argument that is not an option. Qt's own options ("-platform x") have been taken out before.
std::optional<std::string> PendingAddressFromArgs(const std::vector<std::string>& args);

// "--connect": with an input parameters file, open the Internet connection at start-up, connect
// and continue into the program without a click (for demonstrations and kiosks). Without it the
// file only fills in the Internet dialog the user opens.
inline constexpr const char* kConnectOption = "--connect";
bool AutoConnectFromArgs(const std::vector<std::string>& args);

// The engineering menus' password, compared exactly; the dialog takes at most this many characters.
inline constexpr const char* kEngineeringPassword = "mord63tb";
inline constexpr int kPasswordMaxLength = 15;
bool IsEngineeringPassword(const std::string& text);

}  // namespace qvx
