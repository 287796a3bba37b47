#pragma once
// The arguments of the engineering tools' subcommands: terminal, acquire, pll, memory.

#include <cstdint>
#include <string>
#include <vector>

namespace qvx::cli {

struct ToolOptions {
    bool binary = false;             // terminal --binary
    int seconds = 0;                 // acquire --seconds N
    std::string format;              // --format: memory hex|dec|char, pll text|tsv|json
    int watch_ms = 0;                // memory --watch MS
    std::string store_path;          // memory --store FILE
    bool event_list = false;         // memory --event-list
    std::vector<std::string> words;  // the subcommand's own words after its name
};

struct CliOptions;

// Checks a tool subcommand's words and options; returns an error line, or empty when they are fine.
std::string ParseToolCommand(const std::vector<std::string>& words, CliOptions& options);
// The tool options given to a command they do not belong to; an error line or empty.
std::string ToolOptionMisuse(const CliOptions& options);
// Whether the command is one of the tools.
bool IsToolCommand(const std::string& name);

}  // namespace qvx::cli
