#pragma once
// The journal beside a download file: every record's lines are appended as they arrive, so a
// download cut short by a crash, a killed process or a flat battery loses nothing. The download
// file itself still gets its lines in one write at the end; a clean end removes the journal, and
// the next download into the same file offers what a journal holds.
//
// Layout (text, "\n" line ends): a header line, then per record its data lines followed by a
// line "#record <stamp>". Lines after the last "#record" line were cut off mid-record and are
// not recovered.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx {

inline constexpr const char* kJournalHeader = "#qvx download journal 1";
inline constexpr int kJournalSyncEvery = 8;  // records between two flushes to the disk

class DownloadJournal {
  public:
    DownloadJournal() = default;
    ~DownloadJournal();
    DownloadJournal(const DownloadJournal&) = delete;
    DownloadJournal& operator=(const DownloadJournal&) = delete;

    // "<download file>.journal".
    static std::string PathFor(const std::string& download_path);

    // Starts an empty journal (replacing an old one). False when it cannot be created; the
    // download then runs without one.
    bool Open(const std::string& download_path);
    bool is_open() const { return fd_ >= 0; }
    // Appends one record's lines. False when the write failed (the journal is then closed).
    bool Append(std::string_view lines, std::uint32_t stamp);
    // Closes and deletes it: the lines are safely in the download file.
    void Remove();
    // Closes it and leaves it on the disk for the next download to offer.
    void Keep();

  private:
    int fd_ = -1;
    std::string path_;
    int unsynced_ = 0;
};

struct JournalContents {
    std::string lines;  // the data lines of the complete records, "\n" line ends
    int records = 0;
    std::uint32_t newest_stamp = 0;  // the first record's stamp (records arrive newest first)
    std::uint32_t oldest_stamp = 0;
};

// The complete records of a journal's text; nothing when it does not start with the header.
std::optional<JournalContents> ParseDownloadJournal(std::string_view text);
// The complete records of the journal beside download_path; nullopt when there is none.
std::optional<JournalContents> ReadDownloadJournal(const std::string& download_path);

// The question that offers a journal's records, e.g. "... holds 500 records ...".
std::string JournalQuestionText(const std::string& download_path, const JournalContents& contents,
                                bool sensor_clock_is_utc);
inline constexpr const char* kJournalQuestionCaption = "Unsaved download found...";

}  // namespace qvx
