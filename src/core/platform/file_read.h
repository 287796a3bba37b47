#pragma once
// Reading a file the user or another program named. Only a regular file is read (a FIFO would
// block the reader for ever, a device such as /dev/zero never ends), and never more than a
// size that fits the file's format, so a wrong or hostile path costs a clear message instead of
// a frozen window or an exhausted memory. Opening never blocks.

#include <cstddef>
#include <optional>
#include <string>

namespace qvx {

enum class FileReadStatus {
    Ok,
    Missing,     // no such file
    NotRegular,  // a folder, FIFO, device or socket
    TooLarge,    // larger than the format allows (only with OverSize::Refuse)
    Unreadable,  // permission or I/O error
};

enum class OverSize {
    Refuse,    // a larger file is refused as TooLarge
    Truncate,  // only the first max_bytes are read (formats that read a prefix)
};

struct FileRead {
    FileReadStatus status = FileReadStatus::Ok;
    std::string content;
    int os_error = 0;

    bool ok() const { return status == FileReadStatus::Ok; }
};

FileRead ReadRegularFile(const std::string& path, std::size_t max_bytes, OverSize over = OverSize::Refuse);

// One sentence for the user naming the file and what is wrong with it; what_it_is names the
// file's kind ("address book", "settings file").
std::string FileReadProblem(const std::string& path, const FileRead& read, std::size_t max_bytes,
                            const std::string& what_it_is);

// Opens a file that must be a regular file, without blocking on a FIFO; -1 (errno set, EINVAL
// for a file of another type) otherwise. The descriptor is blocking again on return.
int OpenRegularFileForReading(const std::string& path);

// Size caps of the formats the program reads.
inline constexpr std::size_t kRegistryFileMaxBytes = 64u << 20;
inline constexpr std::size_t kAddressBookMaxBytes = 16u << 20;
inline constexpr std::size_t kHostsFileMaxBytes = 16u << 20;
inline constexpr std::size_t kHexImageMaxBytes = 64u << 20;
inline constexpr std::size_t kDownloadJournalMaxBytes = 256u << 20;

}  // namespace qvx
