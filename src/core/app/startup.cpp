#include "app/startup.h"

#include <algorithm>

#include "platform/registry_store.h"

namespace qvx {

bool EnsureLogsKey(RegistryStore& registry) {
    return registry.KeyExists(kLogsKey) || registry.CreateKey(kLogsKey);
}

std::optional<std::string> PendingAddressFromArgs(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (!arg.empty() && arg.front() != '-')
            return arg;
    }
    return std::nullopt;
}

bool AutoConnectFromArgs(const std::vector<std::string>& args) {
    return std::find(args.begin(), args.end(), kConnectOption) != args.end();
}

bool IsEngineeringPassword(const std::string& text) {
    return text == kEngineeringPassword;
}

}  // namespace qvx
