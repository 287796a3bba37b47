#pragma once
// The address book file (.abf): the sensors a technician reaches by modem or over the Internet.
// One text file holds both kinds of entry, one per line, fields separated by '?':
//   Internet?alias?address?port?sensor id?description?\n
//   Modem?phone number?sensor id?description?\n
// The program shows it as two books; each book edits its own lines and carries every other line
// along unchanged (they move ahead of the book's own lines when the book is written).

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace qvx {

class RegistryStore;

enum class AddressBookKind { Internet, Modem };

inline constexpr const char* kBookKindInternet = "Internet";
inline constexpr const char* kBookKindModem = "Modem";
// Shown in the first column of an Internet entry without an alias; never written to the file.
inline constexpr const char* kUnknownAlias = "[Unknown]";
inline constexpr const char* kAddressBookPathValue = "AddressBookPath";

struct AddressBookEntry {
    std::string alias;         // Internet: IP alias (may be empty)
    std::string ip_address;    // Internet: dotted decimal, empty when unset
    std::string tcp_port;      // Internet
    std::string phone_number;  // Modem
    std::string sensor_id;
    std::string description;

    bool operator==(const AddressBookEntry&) const = default;
};

// The book's column headings, in display order.
const std::vector<std::string>& AddressBookColumns(AddressBookKind kind);
// One row as the book shows it (an empty Internet alias reads "[Unknown]").
std::vector<std::string> AddressBookRow(AddressBookKind kind, const AddressBookEntry& entry);
const char* AddressBookKindName(AddressBookKind kind);

// The entry a line describes when the line is of the book's kind.
std::optional<AddressBookEntry> ParseAddressBookLine(AddressBookKind kind, const std::string& line);
// The line written for an entry, "?\n" included.
std::string FormatAddressBookLine(AddressBookKind kind, const AddressBookEntry& entry);

// The book's entries from a whole file's text; empty lines and lines of other kinds are skipped.
std::vector<AddressBookEntry> ParseAddressBook(AddressBookKind kind, const std::string& content);
// The file's new text: every non-empty line of another kind as it was, then the book's entries.
std::string ComposeAddressBook(AddressBookKind kind, const std::string& old_content,
                               const std::vector<AddressBookEntry>& entries);

class AddressBookFile {
  public:
    AddressBookFile(std::string path, AddressBookKind kind);

    const std::string& path() const { return path_; }
    AddressBookKind kind() const { return kind_; }
    const std::vector<AddressBookEntry>& entries() const { return entries_; }

    // Reads the book's entries; false when the file cannot be read, is not a regular file or is
    // far too large for a book (load_problem() then says which, naming the file).
    bool Load();
    const std::string& load_problem() const { return load_problem_; }
    // Rewrites the file with the other kind's lines first, then this book's entries. A failed
    // write leaves the old file as it was.
    bool Save() const;

    // Each change writes the book back at once; false when the write failed (the entry list
    // keeps the change so the caller can retry).
    bool Add(const AddressBookEntry& entry);
    bool Replace(std::size_t index, const AddressBookEntry& entry);
    bool Remove(std::size_t index);

  private:
    std::string path_;
    AddressBookKind kind_;
    std::vector<AddressBookEntry> entries_;
    std::string load_problem_;
};

// --- locating the book file (registry value "AddressBookPath") ---

inline constexpr const char* kMustChooseBookText =
    "You must open/create a Quorvix address book file (*.abf)...";
inline constexpr const char* kCouldNotOpenBookText =
    "Could not open address book!\nClick <OK> to open or create an [*abf] file.";
inline constexpr const char* kChooseBookTitle = "Open/create Quorvix address book...";
inline constexpr const char* kBookNotOpenedText = "ERROR: Quorvix address book could not be opened!";
inline constexpr const char* kBookErrorTitle = "Error...";
inline constexpr const char* kBookFileFilter = "Address book files (*.abf*)";
inline constexpr const char* kBookDefaultSuffix = "abf";

struct AddressBookLocation {
    bool ready = false;   // path names a readable book
    std::string path;     // the stored path (may be empty)
    std::string message;  // why a file must be chosen, when not ready
};

// Opens or creates the registry key; a new key or an unreadable file asks for a file choice.
AddressBookLocation LocateAddressBook(RegistryStore& registry);
// Opens the chosen file for appending (creating it when missing) and stores its path. Returns
// the error text on failure, nothing on success.
std::optional<std::string> AdoptAddressBookFile(RegistryStore& registry, const std::string& path);

// --- the Internet connection's alias lookup ---

// True for addresses written with three digits in each group ("192.168.001.020").
bool IsThreeDigitDottedAddress(const std::string& address);
// The IP address of the first Internet line whose alias equals the address exactly and whose IP
// address is not empty; nothing for three-digit dotted addresses or when no line matches.
// problem (when given) says why a book that exists could not be read.
std::optional<std::string> LookupAlias(const std::string& book_path, const std::string& address,
                                       std::string* problem = nullptr);

// --- the entry dialog's field rules ---

// Drops every character other than '-', '.', '/', digits, ':', ASCII letters, '[' and '_'.
std::string FilterAliasText(const std::string& text);
// Digits only, at most 5; a value above 65535 becomes "65535".
std::string FilterPortText(const std::string& text);
// At most 4 characters.
std::string FilterEntrySensorIdText(const std::string& text);
// One octet field of the address: digits only, at most 3, above 255 becomes "255".
std::string FilterOctetText(const std::string& text);

using IpOctetTexts = std::array<std::string, 4>;
// Dotted decimal of the four octets (blank counts as 0); empty when all four are 0.
std::string FormatIpAddress(const IpOctetTexts& octets);
// The four octet texts of a stored address; all blank when it is not a dotted quad.
IpOctetTexts SplitIpAddress(const std::string& address);
bool AllOctetsFilled(const IpOctetTexts& octets);
// OK needs (an alias or a full address) and (a port, or the modem book).
bool EntryAcceptable(AddressBookKind kind, const std::string& alias, const IpOctetTexts& octets,
                     const std::string& port);

// --- choosing an entry in a connection dialog ---

// The Internet dialog's address for a chosen entry: the alias unless it is empty or "[Unknown]",
// else the IP address.
std::string AddressForSelectedEntry(const AddressBookEntry& entry);

}  // namespace qvx
