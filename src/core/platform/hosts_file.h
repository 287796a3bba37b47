#pragma once
// The system's host table: an address book alias is registered there so that other programs
// (and the resolver used by the TCP link) find the sensor by name. Losing this mapping is not
// fatal: the address book entry itself is always saved first.

#include <string>

namespace qvx {

enum class HostsUpdate {
    AlreadyMapped,  // a line maps the alias to the address already: nothing written
    Replaced,       // the line naming the alias now maps it to the address
    Appended,       // no line named the alias: one was added
    NotOpened,      // the table could not be read: nothing changed
    WriteFailed,    // the table could not be written: nothing changed, the mapping is lost
};

inline constexpr const char* kHostsFileVariable = "QVX_HOSTS_FILE";
inline constexpr const char* kSystemHostsFile = "/etc/hosts";

// $QVX_HOSTS_FILE when set, else /etc/hosts.
std::string HostsFilePath();

// Makes the table map alias to address (see HostsUpdate for the outcomes).
HostsUpdate RegisterHostAlias(const std::string& hosts_path, const std::string& address,
                              const std::string& alias);

// The new table text for the given one; result says what changed (never NotOpened/WriteFailed).
std::string MapHostAlias(const std::string& content, const std::string& address, const std::string& alias,
                         HostsUpdate& result);

// Whether a line (as read from the table) names the alias: after leading blanks and tabs, the
// alias occurs at character position 8 or later, preceded by a blank or tab and followed by a
// blank, tab, line feed or the end of the line. Comment and empty lines never do.
bool HostsLineNamesAlias(const std::string& line, const std::string& alias);

bool IsHostsUpdateSuccess(HostsUpdate result);

}  // namespace qvx
