#pragma once
// Whole-file text access for the small files the program owns (address books, the hosts table).
// Writes go to a temporary file beside the target that is renamed over it, so a failed write
// leaves the old file intact.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qvx {

inline constexpr std::size_t kTextFileMaxBytes = 16u << 20;

// The file's bytes, or nothing when it cannot be opened or read, is not a regular file (a FIFO
// or device is never opened for reading in a way that blocks) or is larger than max_bytes.
std::optional<std::string> ReadTextFile(const std::string& path, std::size_t max_bytes = kTextFileMaxBytes);

// Replaces the file's content atomically; keeps the old file's permission bits, and a new file
// gets the permissions the user's umask allows. A symbolic link is followed: the file it names
// is replaced and the link stays. Returns false (and leaves the old file untouched) when any
// step fails.
bool WriteTextFileAtomically(const std::string& path, const std::string& content);

// Appends without ever truncating: a failed append cannot lose what the file held.
bool AppendToTextFile(const std::string& path, const std::string& text);

// Splits at '\n'. A final line without '\n' is kept; the empty piece after a final '\n' is not.
// Carriage returns at the end of a line are removed (files edited on other systems), so a line
// written back with '\n' reads the same again.
std::vector<std::string> SplitTextLines(const std::string& content);

}  // namespace qvx
