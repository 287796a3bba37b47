#include "platform/hosts_file.h"

#include <cstdlib>
#include <optional>

#include "platform/file_read.h"
#include "platform/text_file.h"

namespace qvx {

namespace {

// An alias is looked for only past the address column; short addresses ("::1") therefore never
// match, which at worst appends a second line for the alias.
constexpr std::size_t kFirstAliasPosition = 8;
constexpr const char* kPreloadToken = "#PRE";

bool IsBlankOrTab(char c) {
    return c == ' ' || c == '\t';
}

std::string WithoutLeadingBlanks(const std::string& line) {
    std::size_t first = line.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : line.substr(first);
}

// The position of the alias in the trimmed line, when the line names it.
std::optional<std::size_t> AliasPosition(const std::string& trimmed, const std::string& alias) {
    if (alias.empty() || trimmed.empty() || trimmed[0] == '#') {
        return std::nullopt;
    }
    for (std::size_t pos = trimmed.find(alias, kFirstAliasPosition); pos != std::string::npos;
         pos = trimmed.find(alias, pos + 1)) {
        std::size_t after = pos + alias.size();
        bool preceded = IsBlankOrTab(trimmed[pos - 1]);
        // A CR is the end of a line written with CR LF line ends.
        bool followed = after == trimmed.size() || IsBlankOrTab(trimmed[after]) || trimmed[after] == '\n' ||
                        trimmed[after] == '\r';
        if (preceded && followed) {
            return pos;
        }
    }
    return std::nullopt;
}

void EraseFirst(std::string& text, const std::string& token) {
    std::size_t pos = text.find(token);
    if (!token.empty() && pos != std::string::npos) {
        text.erase(pos, token.size());
    }
}

bool MapsAliasToAddress(const std::string& trimmed, std::size_t alias_pos, const std::string& address,
                        const std::string& alias) {
    if (address.empty() || trimmed.find(address) == std::string::npos) {
        return false;
    }
    std::string rest = trimmed;
    rest.erase(alias_pos, alias.size());
    EraseFirst(rest, address);
    EraseFirst(rest, kPreloadToken);
    return rest.find_first_not_of(" \t\r\n") == std::string::npos;
}

std::string JoinLines(const std::vector<std::string>& lines, bool final_line_end) {
    std::string content;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        content += lines[i];
        if (i + 1 < lines.size() || final_line_end) {
            content += '\n';
        }
    }
    return content;
}

}  // namespace

std::string HostsFilePath() {
    const char* overridden = std::getenv(kHostsFileVariable);
    return (overridden != nullptr && *overridden != '\0') ? overridden : kSystemHostsFile;
}

bool HostsLineNamesAlias(const std::string& line, const std::string& alias) {
    return AliasPosition(WithoutLeadingBlanks(line), alias).has_value();
}

bool IsHostsUpdateSuccess(HostsUpdate result) {
    return result == HostsUpdate::AlreadyMapped || result == HostsUpdate::Replaced ||
           result == HostsUpdate::Appended;
}

std::string MapHostAlias(const std::string& content, const std::string& address, const std::string& alias,
                         HostsUpdate& result) {
    // Lines are kept byte for byte (including a CR before the LF), so only the one we replace changes.
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        lines.push_back(content.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? content.size() : end + 1;
    }
    for (std::string& line : lines) {
        std::string trimmed = WithoutLeadingBlanks(line);
        std::optional<std::size_t> pos = AliasPosition(trimmed, alias);
        if (!pos) {
            continue;
        }
        if (MapsAliasToAddress(trimmed, *pos, address, alias)) {
            result = HostsUpdate::AlreadyMapped;
            return content;
        }
        // The replaced line keeps the table's line end (CR LF in a table edited elsewhere).
        const bool crlf = !line.empty() && line.back() == '\r';
        line = address + "\t" + alias + (crlf ? "\r" : "");
        result = HostsUpdate::Replaced;
        return JoinLines(lines, !content.empty() && content.back() == '\n');
    }
    // The new line starts on a line of its own and ends with a line end, so the next program
    // that appends to the table does not run its entry into ours.
    result = HostsUpdate::Appended;
    const bool crlf = content.size() >= 2 && content.compare(content.size() - 2, 2, "\r\n") == 0;
    const char* line_end = crlf ? "\r\n" : "\n";
    const bool ends_line = content.empty() || content.back() == '\n';
    return content + (ends_line ? "" : line_end) + address + "\t" + alias + line_end;
}

HostsUpdate RegisterHostAlias(const std::string& hosts_path, const std::string& address,
                              const std::string& alias) {
    std::optional<std::string> content = ReadTextFile(hosts_path, kHostsFileMaxBytes);
    if (!content) {
        return HostsUpdate::NotOpened;
    }
    HostsUpdate result = HostsUpdate::AlreadyMapped;
    std::string updated = MapHostAlias(*content, address, alias, result);
    bool written = true;
    if (result == HostsUpdate::Appended) {
        // Appending in place also works where the table cannot be replaced by a rename (a
        // bind-mounted /etc/hosts), and never truncates what is there.
        written = AppendToTextFile(hosts_path, updated.substr(content->size()));
    } else if (result == HostsUpdate::Replaced) {
        written = WriteTextFileAtomically(hosts_path, updated);
    }
    return written ? result : HostsUpdate::WriteFailed;
}

}  // namespace qvx
