#pragma once
// The text form of the registry file, kept readable for a technician who opens it:
//
//   [Software\Korvane\DLX2.0\Logs]
//   "Log Folder"=str:"/home/tech/logs"
//   "Name"=str(32):"fixed width text"      (stored padded with NULs to 32 bytes)
//   "Baud Rate"=hex:80,25,00,00
//
// Bytes outside printable ASCII, and '%', '"', '[' and ']', are written as %HH, so any byte
// string round-trips. Reading never fails: a line that does not parse is skipped and the rest
// of the file is kept.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::registry_format {

enum class ValueType { String, Binary };

struct Value {
    std::string name;
    ValueType type = ValueType::String;
    std::string bytes;  // exactly as stored, NUL padding included
};

struct Key {
    std::string name;
    std::vector<Value> values;
};

struct Document {
    std::vector<Key> keys;  // in the order they were created
    std::size_t skipped_lines = 0;

    // Lookups ignore ASCII case, as registry names always have.
    Key* FindKey(std::string_view name);
    const Key* FindKey(std::string_view name) const;
    Key& GetOrCreateKey(std::string_view name);
    bool HasKeyOrSubkey(std::string_view name) const;
};

Value* FindValue(Key& key, std::string_view name);
const Value* FindValue(const Key& key, std::string_view name);
// Replaces the value of that name, or appends it.
void PutValue(Key& key, Value value);

std::string Escape(std::string_view raw);
// False when a '%' is not followed by two hex digits.
bool Unescape(std::string_view text, std::string& out);

Document Parse(std::string_view text);
std::string Format(const Document& document);

}  // namespace qvx::registry_format
