// Feeds arbitrary argument lists (NUL-separated) to qvx's option parser and checks what it lets
// through: a send payload never carries a control character, numbers stay in their ranges.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli_options.h"

namespace {

std::vector<std::string> SplitArguments(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\0') {
            args.emplace_back();
        } else {
            args.back() += static_cast<char>(data[i]);
        }
    }
    return args;
}

// The image options read the named file while parsing; a fuzzer must not name files.
bool NamesAFile(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg.starts_with("--dsp") || arg.starts_with("--fpga")) {
            return true;
        }
    }
    return false;
}

void CheckAccepted(const qvx::cli::CliOptions& options) {
    for (char c : options.payload) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            __builtin_trap();
        }
    }
    if (options.wait_ms < 0 || options.wait_ms > static_cast<int>(qvx::cli::kMaxWaitMs) ||
        options.timeout_seconds < 0 || options.count < 0) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> args = SplitArguments(data, size);
    if (args.size() > 64 || NamesAFile(args)) {
        return 0;
    }
    qvx::cli::CliOptions options;
    const qvx::cli::ParseOutcome outcome = qvx::cli::ParseCliOptions(args, options);
    if (outcome.ok) {
        CheckAccepted(options);
        if (options.help) {
            qvx::cli::UsageText(options.help_topic);
        }
    } else if (outcome.error.empty()) {
        __builtin_trap();  // a refusal always says why
    }
    return 0;
}
