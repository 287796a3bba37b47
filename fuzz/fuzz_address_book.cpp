// Address book and hosts table text from disk: any bytes must parse without harm, a book written
// back must read back as the same entries, and no line of the other kind may be lost.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "connect/address_book.h"
#include "platform/hosts_file.h"

namespace {

void CheckRoundTrip(qvx::AddressBookKind kind, const std::string& text) {
    std::vector<qvx::AddressBookEntry> entries = qvx::ParseAddressBook(kind, text);
    std::string written = qvx::ComposeAddressBook(kind, text, entries);
    if (qvx::ParseAddressBook(kind, written).size() != entries.size()) {
        std::abort();
    }
    if (qvx::ComposeAddressBook(kind, written, entries) != written) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    CheckRoundTrip(qvx::AddressBookKind::Internet, text);
    CheckRoundTrip(qvx::AddressBookKind::Modem, text);
    qvx::LookupAlias("/nonexistent", text.substr(0, 20));
    qvx::HostsUpdate result = qvx::HostsUpdate::NotOpened;
    std::string mapped = qvx::MapHostAlias(text, "10.0.0.5", "north", result);
    if (mapped.find("north") == std::string::npos) {
        std::abort();
    }
    return 0;
}
