#include "connect/address_book.h"

#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>
#include <algorithm>
#include <cctype>

#include "platform/file_read.h"
#include "platform/registry_store.h"
#include "platform/text_file.h"

namespace qvx {

namespace {

constexpr char kSeparator = '?';
constexpr std::size_t kInternetFieldCount = 5;
constexpr std::size_t kModemFieldCount = 3;
constexpr int kHighestPort = 65535;
constexpr int kHighestOctet = 255;

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = line.find(kSeparator, start);
        if (end == std::string::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
}

// A field must not carry the separator or a line end, or the line would not read back.
std::string CleanField(const std::string& text) {
    std::string clean;
    for (char c : text) {
        if (c != kSeparator && c != '\n' && c != '\r') {
            clean.push_back(c);
        }
    }
    return clean;
}

std::string DigitsOnly(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digits.push_back(c);
        }
    }
    return digits;
}

std::string ClampDigits(const std::string& text, std::size_t max_digits, int highest) {
    std::string digits = DigitsOnly(text).substr(0, max_digits);
    if (!digits.empty() && std::stoi(digits) > highest) {
        return std::to_string(highest);
    }
    return digits;
}

bool IsAliasCharacter(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '-' || c == '.' || c == '/' || c == ':' || c == '[' || c == '_';
}

// A stored address that reads as four octets but is all zeros is the control's "no address".
std::string NormalisedAddress(const std::string& address) {
    IpOctetTexts octets = SplitIpAddress(address);
    if (AllOctetsFilled(octets) && FormatIpAddress(octets).empty()) {
        return {};
    }
    return address;
}

}  // namespace

const char* AddressBookKindName(AddressBookKind kind) {
    return kind == AddressBookKind::Internet ? kBookKindInternet : kBookKindModem;
}

const std::vector<std::string>& AddressBookColumns(AddressBookKind kind) {
    static const std::vector<std::string> internet{"IP Alias", "IP Address", "TCP Port", "Sensor ID",
                                                   "Description"};
    static const std::vector<std::string> modem{"Phone Number", "Sensor ID", "Description"};
    return kind == AddressBookKind::Internet ? internet : modem;
}

std::vector<std::string> AddressBookRow(AddressBookKind kind, const AddressBookEntry& entry) {
    if (kind == AddressBookKind::Modem) {
        return {entry.phone_number, entry.sensor_id, entry.description};
    }
    return {entry.alias.empty() ? kUnknownAlias : entry.alias, entry.ip_address, entry.tcp_port,
            entry.sensor_id, entry.description};
}

std::optional<AddressBookEntry> ParseAddressBookLine(AddressBookKind kind, const std::string& line) {
    std::vector<std::string> fields = SplitFields(line);
    if (fields.size() < 2 || fields[0] != AddressBookKindName(kind)) {
        return std::nullopt;
    }
    std::size_t wanted = 1 + (kind == AddressBookKind::Internet ? kInternetFieldCount : kModemFieldCount);
    fields.resize(std::max(fields.size(), wanted));
    AddressBookEntry entry;
    if (kind == AddressBookKind::Internet) {
        entry.alias = fields[1];
        entry.ip_address = NormalisedAddress(fields[2]);
        entry.tcp_port = fields[3];
        entry.sensor_id = fields[4];
        entry.description = fields[5];
    } else {
        entry.phone_number = fields[1];
        entry.sensor_id = fields[2];
        entry.description = fields[3];
    }
    return entry;
}

std::string FormatAddressBookLine(AddressBookKind kind, const AddressBookEntry& entry) {
    std::vector<std::string> columns;
    if (kind == AddressBookKind::Internet) {
        columns = {entry.alias == kUnknownAlias ? std::string() : entry.alias,
                   NormalisedAddress(entry.ip_address), entry.tcp_port, entry.sensor_id, entry.description};
    } else {
        columns = {entry.phone_number, entry.sensor_id, entry.description};
    }
    std::string line = AddressBookKindName(kind);
    for (const std::string& column : columns) {
        line += kSeparator;
        line += CleanField(column);
    }
    line += kSeparator;
    line += '\n';
    return line;
}

std::vector<AddressBookEntry> ParseAddressBook(AddressBookKind kind, const std::string& content) {
    std::vector<AddressBookEntry> entries;
    for (const std::string& line : SplitTextLines(content)) {
        if (auto entry = ParseAddressBookLine(kind, line)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

std::string ComposeAddressBook(AddressBookKind kind, const std::string& old_content,
                               const std::vector<AddressBookEntry>& entries) {
    std::string content;
    for (const std::string& line : SplitTextLines(old_content)) {
        if (!line.empty() && !ParseAddressBookLine(kind, line)) {
            content += line;
            content += '\n';
        }
    }
    for (const AddressBookEntry& entry : entries) {
        content += FormatAddressBookLine(kind, entry);
    }
    return content;
}

AddressBookFile::AddressBookFile(std::string path, AddressBookKind kind)
    : path_(std::move(path)), kind_(kind) {}

bool AddressBookFile::Load() {
    FileRead read = ReadRegularFile(path_, kAddressBookMaxBytes);
    load_problem_ = FileReadProblem(path_, read, kAddressBookMaxBytes, "address book");
    if (!read.ok()) {
        return false;
    }
    entries_ = ParseAddressBook(kind_, read.content);
    return true;
}

bool AddressBookFile::Save() const {
    std::string old_content;
    if (::access(path_.c_str(), F_OK) == 0) {
        // An existing file we cannot read would lose the other book's lines: write nothing.
        std::optional<std::string> content = ReadTextFile(path_, kAddressBookMaxBytes);
        if (!content) {
            return false;
        }
        old_content = std::move(*content);
    }
    return WriteTextFileAtomically(path_, ComposeAddressBook(kind_, old_content, entries_));
}

bool AddressBookFile::Add(const AddressBookEntry& entry) {
    entries_.push_back(entry);
    return Save();
}

bool AddressBookFile::Replace(std::size_t index, const AddressBookEntry& entry) {
    if (index >= entries_.size()) {
        return false;
    }
    entries_[index] = entry;
    return Save();
}

bool AddressBookFile::Remove(std::size_t index) {
    if (index >= entries_.size()) {
        return false;
    }
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
    return Save();
}

AddressBookLocation LocateAddressBook(RegistryStore& registry) {
    AddressBookLocation location;
    if (registry.CreateKey(kKeyAddressBook)) {
        location.message = kMustChooseBookText;
        return location;
    }
    location.path = registry.GetString(kKeyAddressBook, kAddressBookPathValue).value_or("");
    const int probe = location.path.empty() ? -1 : OpenRegularFileForReading(location.path);
    if (probe < 0) {
        location.message = kCouldNotOpenBookText;
        return location;
    }
    ::close(probe);
    location.ready = true;
    return location;
}

std::optional<std::string> AdoptAddressBookFile(RegistryStore& registry, const std::string& path) {
    // 0666: the user's umask decides who may read a new book, as for any file the user creates.
    // O_NONBLOCK: a FIFO chosen by mistake must not hang the program.
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        return std::string(kBookNotOpenedText);
    }
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    if (!regular) {
        return std::string(kBookNotOpenedText);
    }
    registry.CreateKey(kKeyAddressBook);
    if (!registry.SetString(kKeyAddressBook, kAddressBookPathValue, path)) {
        return std::string(kBookNotOpenedText);
    }
    return std::nullopt;
}

bool IsThreeDigitDottedAddress(const std::string& address) {
    return address.size() > 11 && address[3] == '.' && address[7] == '.' && address[11] == '.';
}

std::optional<std::string> LookupAlias(const std::string& book_path, const std::string& address,
                                       std::string* problem) {
    if (IsThreeDigitDottedAddress(address)) {
        return std::nullopt;
    }
    const FileRead read = ReadRegularFile(book_path, kAddressBookMaxBytes);
    if (!read.ok()) {
        if (problem && read.status != FileReadStatus::Missing) {
            *problem = FileReadProblem(book_path, read, kAddressBookMaxBytes, "address book");
        }
        return std::nullopt;
    }
    for (const AddressBookEntry& entry : ParseAddressBook(AddressBookKind::Internet, read.content)) {
        if (entry.alias == address && !entry.ip_address.empty()) {
            return entry.ip_address;
        }
    }
    return std::nullopt;
}

std::string FilterAliasText(const std::string& text) {
    std::string filtered;
    std::copy_if(text.begin(), text.end(), std::back_inserter(filtered), IsAliasCharacter);
    return filtered;
}

std::string FilterPortText(const std::string& text) {
    return ClampDigits(text, 5, kHighestPort);
}

std::string FilterEntrySensorIdText(const std::string& text) {
    return text.substr(0, 4);
}

std::string FilterOctetText(const std::string& text) {
    return ClampDigits(text, 3, kHighestOctet);
}

std::string FormatIpAddress(const IpOctetTexts& octets) {
    std::string address;
    bool all_zero = true;
    for (std::size_t i = 0; i < octets.size(); ++i) {
        std::string digits = FilterOctetText(octets[i]);
        int value = digits.empty() ? 0 : std::stoi(digits);
        all_zero = all_zero && value == 0;
        address += (i == 0 ? "" : ".") + std::to_string(value);
    }
    return all_zero ? std::string() : address;
}

IpOctetTexts SplitIpAddress(const std::string& address) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = address.find('.', start);
        parts.push_back(address.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    IpOctetTexts octets;
    if (parts.size() != octets.size()) {
        return octets;
    }
    for (std::size_t i = 0; i < octets.size(); ++i) {
        const std::string& part = parts[i];
        if (part.empty() || part.size() > 3 || DigitsOnly(part) != part || std::stoi(part) > kHighestOctet) {
            return IpOctetTexts{};
        }
        octets[i] = part;
    }
    return octets;
}

bool AllOctetsFilled(const IpOctetTexts& octets) {
    return std::all_of(octets.begin(), octets.end(), [](const std::string& o) { return !o.empty(); });
}

bool EntryAcceptable(AddressBookKind kind, const std::string& alias, const IpOctetTexts& octets,
                     const std::string& port) {
    bool has_target = !alias.empty() || AllOctetsFilled(octets);
    return has_target && (!port.empty() || kind == AddressBookKind::Modem);
}

std::string AddressForSelectedEntry(const AddressBookEntry& entry) {
    if (!entry.alias.empty() && entry.alias != kUnknownAlias) {
        return entry.alias;
    }
    return entry.ip_address;
}

}  // namespace qvx
