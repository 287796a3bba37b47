#include "stored/download_journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "platform/file_read.h"
#include "protocol/sensor_clock.h"

namespace qvx {

namespace {

constexpr std::string_view kRecordMark = "#record ";

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

std::optional<std::uint32_t> ParseStamp(std::string_view text) {
    std::uint32_t value = 0;
    if (text.empty()) {
        return std::nullopt;
    }
    if (text.size() > 10) {
        return std::nullopt;
    }
    std::uint64_t wide = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        wide = wide * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (wide > 0xFFFFFFFFull) {
        return std::nullopt;
    }
    value = static_cast<std::uint32_t>(wide);
    return value;
}

}  // namespace

DownloadJournal::~DownloadJournal() {
    Keep();
}

std::string DownloadJournal::PathFor(const std::string& download_path) {
    return download_path + ".journal";
}

bool DownloadJournal::Open(const std::string& download_path) {
    Keep();
    path_ = PathFor(download_path);
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        return false;
    }
    unsynced_ = 0;
    if (!WriteAll(fd_, std::string(kJournalHeader) + "\n") || ::fsync(fd_) != 0) {
        Keep();
        return false;
    }
    return true;
}

bool DownloadJournal::Append(std::string_view lines, std::uint32_t stamp) {
    if (fd_ < 0) {
        return false;
    }
    std::string block(lines);
    block += std::string(kRecordMark) + std::to_string(stamp) + "\n";
    // One write per record reaches the kernel at once, so a killed process loses nothing; the
    // disk is brought up to date every few records against a power cut.
    bool written = WriteAll(fd_, block);
    if (written && ++unsynced_ >= kJournalSyncEvery) {
        written = ::fdatasync(fd_) == 0;
        unsynced_ = 0;
    }
    if (!written) {
        Keep();
    }
    return written;
}

void DownloadJournal::Remove() {
    Keep();
    if (!path_.empty()) {
        ::unlink(path_.c_str());
    }
}

void DownloadJournal::Keep() {
    if (fd_ >= 0) {
        ::fdatasync(fd_);
        ::close(fd_);
        fd_ = -1;
    }
}

std::optional<JournalContents> ParseDownloadJournal(std::string_view text) {
    const std::string header = std::string(kJournalHeader) + "\n";
    if (!text.starts_with(header)) {
        return std::nullopt;
    }
    text.remove_prefix(header.size());
    JournalContents contents;
    std::string pending;
    // A last line without its line end was cut off by the crash and is left out.
    for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (!line.starts_with(kRecordMark)) {
            pending.append(line).append("\n");
            continue;
        }
        const std::optional<std::uint32_t> stamp = ParseStamp(line.substr(kRecordMark.size()));
        if (!stamp) {
            break;  // damaged: keep what came before
        }
        contents.lines += pending;
        pending.clear();
        if (contents.records == 0) {
            contents.newest_stamp = *stamp;
        }
        contents.oldest_stamp = *stamp;
        ++contents.records;
    }
    return contents;
}

std::optional<JournalContents> ReadDownloadJournal(const std::string& download_path) {
    const FileRead read = ReadRegularFile(DownloadJournal::PathFor(download_path), kDownloadJournalMaxBytes);
    if (!read.ok()) {
        return std::nullopt;
    }
    return ParseDownloadJournal(read.content);
}

std::string JournalQuestionText(const std::string& download_path, const JournalContents& contents,
                                bool sensor_clock_is_utc) {
    std::ostringstream text;
    text << "A download into\n" << download_path << "\nended before its data was saved.\n\n";
    text << "Its journal holds " << contents.records << " record" << (contents.records == 1 ? "" : "s");
    if (contents.records > 0) {
        text << ", from " << FormatSensorSeconds(contents.oldest_stamp, sensor_clock_is_utc) << " to "
             << FormatSensorSeconds(contents.newest_stamp, sensor_clock_is_utc);
    }
    text << ".\n\nSave them to the file before the new download?\n(No discards them.)";
    return text.str();
}

}  // namespace qvx
