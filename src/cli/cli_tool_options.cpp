#include "cli_tool_options.h"

#include <map>

#include "cli_options.h"
#include "cli_tools.h"

namespace qvx::cli {

namespace {

struct ToolSyntax {
    Command command;
    std::size_t min_words;
    std::size_t max_words;
    const char* usage;
};

const std::map<std::string, ToolSyntax>& Tools() {
    static const std::map<std::string, ToolSyntax> tools = {
        {"terminal", {Command::Terminal, 1, 1, "usage: qvx terminal [--binary]"}},
        {"acquire", {Command::Acquire, 2, 2, "usage: qvx acquire [--seconds N] FILE"}},
        {"pll", {Command::Pll, 2, 12, "usage: qvx pll get [latch|r|n] | pll set latch|r|n ..."}},
        {"memory",
         {Command::Memory, 3, 3,
          "usage: qvx memory LOWER UPPER [--format hex|dec|char] [--watch MS [--store FILE [--event-list]] "
          "[--count N]]"}},
    };
    return tools;
}

// memory takes hex, dec or char; pll takes text, tsv or json (the common --format).
std::string CheckFormat(const CliOptions& o) {
    if (!o.tools.format.empty() && o.command != Command::Memory) {
        return "--format " + o.tools.format + " belongs to 'memory'";
    }
    if (o.format && o.command == Command::Memory) {
        return "--format for memory is hex, dec or char";
    }
    return {};
}

}  // namespace

bool IsToolCommand(const std::string& name) {
    return Tools().contains(name);
}

std::string ParseToolCommand(const std::vector<std::string>& words, CliOptions& o) {
    const ToolSyntax& syntax = Tools().at(words.front());
    if (words.size() < syntax.min_words || words.size() > syntax.max_words) {
        return syntax.usage;
    }
    o.command = syntax.command;
    o.tools.words.assign(words.begin() + 1, words.end());
    if (o.command == Command::Pll) {
        return CheckPllWords(o.tools.words);
    }
    if (o.command == Command::Memory) {
        return CheckMemoryWords(o.tools.words);
    }
    return {};
}

std::string ToolOptionMisuse(const CliOptions& o) {
    const ToolOptions& t = o.tools;
    if (t.binary && o.command != Command::Terminal) {
        return "--binary belongs to 'terminal'";
    }
    if (t.seconds != 0 && o.command != Command::Acquire) {
        return "--seconds belongs to 'acquire'";
    }
    if (o.command == Command::Acquire && !o.serial) {
        return "acquire records at 921600 bps over a serial line only: use --serial";
    }
    if ((t.watch_ms != 0 || !t.store_path.empty() || t.event_list) && o.command != Command::Memory) {
        return "--watch, --store and --event-list belong to 'memory'";
    }
    if (o.command == Command::Memory && (!t.store_path.empty() || o.count != 0) && t.watch_ms == 0) {
        return "--store and --count need --watch MS";
    }
    if (t.event_list && t.store_path.empty()) {
        return "--event-list is a storage format: use it with --store FILE";
    }
    return CheckFormat(o);
}

}  // namespace qvx::cli
