#pragma once
// The text form of the registry file, kept readable for a technician who opens it:
//
//   [Software\Korvane\DLX2.0\Logs]
//   "Log Folder"=str:"/home/tech/logs"
//   "Name"=str(32):"fixed width text"      (stored padded with NULs to 32 bytes)
//   "Baud Rate"=hex:80,25,00,00
//
// Bytes outside printable ASCII, and '%', '"', '[' and ']', are written as %HH, so any byte
// string round-trips. Reading never fails: a line that does not parse (a comment, a damaged value,
// a damaged key line and everything under it) is kept as it was and written back in its place,
// so a technician's note or a value a later version understands is never lost. Lookups go
// through name indexes, so reading a file costs time in proportion to its size.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qvx::registry_format {

enum class ValueType { String, Binary };

struct Value {
    std::string name;
    ValueType type = ValueType::String;
    std::string bytes;  // exactly as stored, NUL padding included
    // Set for a line that is not a value the program understands: it is written back unchanged
    // and never found by name.
    std::string verbatim;
    bool kept_verbatim = false;
};

// Values are added and removed through PutValue and EraseValue, which keep the name index.
struct Key {
    std::string name;
    std::vector<Value> values;  // values and kept lines, in file order
    // A damaged key line: the key is written back as this line and found by no name.
    std::string verbatim_header;
    bool damaged = false;

    std::unordered_map<std::string, std::size_t> index;  // folded value name -> position
};

struct Document {
    std::vector<Key> keys;              // in the order they were created
    std::vector<std::string> preamble;  // kept lines before the first key
    std::size_t skipped_lines = 0;      // lines kept verbatim because they did not parse
    std::size_t parsed_lines = 0;       // key and value lines understood

    // Lookups ignore ASCII case, as registry names always have.
    Key* FindKey(std::string_view name);
    const Key* FindKey(std::string_view name) const;
    Key& GetOrCreateKey(std::string_view name);
    bool HasKeyOrSubkey(std::string_view name) const;

    // True when the text held lines and none of them was a key or a value: not a registry file
    // at all (a binary file, another program's file), which should be moved aside, not edited.
    bool Unusable() const { return parsed_lines == 0 && skipped_lines > 0; }

  private:
    std::unordered_map<std::string, std::size_t> index_;  // folded key name -> position
};

Value* FindValue(Key& key, std::string_view name);
const Value* FindValue(const Key& key, std::string_view name);
// Replaces the value of that name, or appends it.
void PutValue(Key& key, Value value);
// True when the value existed and is now gone.
bool EraseValue(Key& key, std::string_view name);

std::string Escape(std::string_view raw);
// False when a '%' is not followed by two hex digits.
bool Unescape(std::string_view text, std::string& out);

Document Parse(std::string_view text);
std::string Format(const Document& document);

}  // namespace qvx::registry_format
