#pragma once
// Whole-file text access for the small files the program owns (address books, the hosts table).
// Writes go to a temporary file beside the target that is renamed over it, so a failed write
// leaves the old file intact.

#include <optional>
#include <string>
#include <vector>

namespace qvx {

// The file's bytes, or nothing when it cannot be opened or read.
std::optional<std::string> ReadTextFile(const std::string& path);

// Replaces the file's content atomically; keeps the old file's permission bits. Returns false
// (and leaves the old file untouched) when any step fails.
bool WriteTextFileAtomically(const std::string& path, const std::string& content);

// Appends without ever truncating: a failed append cannot lose what the file held.
bool AppendToTextFile(const std::string& path, const std::string& text);

// Splits at '\n'. A final line without '\n' is kept; the empty piece after a final '\n' is not.
// Carriage returns at the end of a line are removed (files edited on other systems), so a line
// written back with '\n' reads the same again.
std::vector<std::string> SplitTextLines(const std::string& content);

}  // namespace qvx
