#include "platform/registry_format.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "base/hex_text.h"

namespace qvx::registry_format {
namespace {

// Far above any value the program stores; a larger padding count is a damaged line, not a
// request to allocate gigabytes.
constexpr std::size_t kMaxFixedBytes = 1 << 20;

constexpr std::string_view kHeaderComment =
    "; Quorvix Manager registry. Bytes outside printable ASCII are written as %HH.";

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Folded(std::string_view name) {
    std::string folded(name);
    for (char& c : folded)
        c = FoldCase(c);
    return folded;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

bool NeedsEscape(unsigned char c) {
    return c < 0x20 || c >= 0x7F || c == '%' || c == '"' || c == '[' || c == ']';
}

std::string_view Trim(std::string_view text) {
    const auto is_blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool ConsumePrefix(std::string_view& text, std::string_view prefix) {
    if (text.substr(0, prefix.size()) != prefix)
        return false;
    text.remove_prefix(prefix.size());
    return true;
}

// Reads "escaped text" from the front of text; the closing quote is the first raw '"' because
// quotes inside are always escaped.
bool ConsumeQuoted(std::string_view& text, std::string& out) {
    if (text.empty() || text.front() != '"')
        return false;
    const auto close = text.find('"', 1);
    if (close == std::string_view::npos)
        return false;
    if (!Unescape(text.substr(1, close - 1), out))
        return false;
    text.remove_prefix(close + 1);
    return true;
}

bool ParseHexBytes(std::string_view text, std::string& out) {
    out.clear();
    if (text.empty())
        return true;
    while (true) {
        if (text.size() < 2)
            return false;
        const int high = hex::DigitValue(text[0]);
        const int low = hex::DigitValue(text[1]);
        if (high < 0 || low < 0)
            return false;
        out.push_back(static_cast<char>(high * 16 + low));
        text.remove_prefix(2);
        if (text.empty())
            return true;
        if (!ConsumePrefix(text, ","))
            return false;
    }
}

// "str:", or "str(N):" for a string stored padded with NULs to N bytes.
bool ParseStringData(std::string_view text, std::string& out) {
    std::size_t fixed_bytes = 0;
    if (ConsumePrefix(text, "str(")) {
        const auto close = text.find("):");
        if (close == std::string_view::npos)
            return false;
        const auto [end, error] = std::from_chars(text.data(), text.data() + close, fixed_bytes);
        if (error != std::errc() || end != text.data() + close || fixed_bytes > kMaxFixedBytes)
            return false;
        text.remove_prefix(close + 2);
    } else if (!ConsumePrefix(text, "str:")) {
        return false;
    }
    if (!ConsumeQuoted(text, out) || !text.empty())
        return false;
    if (out.size() > fixed_bytes && fixed_bytes != 0)
        return false;
    out.resize(std::max(out.size(), fixed_bytes), '\0');
    return true;
}

bool ParseValueLine(std::string_view line, Value& value) {
    if (!ConsumeQuoted(line, value.name) || !ConsumePrefix(line, "="))
        return false;
    if (ConsumePrefix(line, "hex:")) {
        value.type = ValueType::Binary;
        return ParseHexBytes(line, value.bytes);
    }
    value.type = ValueType::String;
    return ParseStringData(line, value.bytes);
}

bool ParseKeyLine(std::string_view line, std::string& name) {
    if (line.size() < 3 || line.front() != '[' || line.back() != ']')
        return false;
    return Unescape(line.substr(1, line.size() - 2), name) && !name.empty();
}

void FormatValue(const Value& value, std::string& out) {
    out += '"' + Escape(value.name) + "\"=";
    if (value.type == ValueType::Binary) {
        static constexpr char kDigits[] = "0123456789abcdef";
        out += "hex:";
        for (std::size_t i = 0; i < value.bytes.size(); ++i) {
            const auto byte = static_cast<unsigned char>(value.bytes[i]);
            if (i > 0)
                out += ',';
            out += kDigits[byte >> 4];
            out += kDigits[byte & 0x0F];
        }
    } else {
        const auto text_end = value.bytes.find_last_not_of('\0');
        const std::size_t text_size = text_end == std::string::npos ? 0 : text_end + 1;
        if (text_size == value.bytes.size()) {
            out += "str:";
        } else {
            out += "str(" + std::to_string(value.bytes.size()) + "):";
        }
        out += '"' + Escape(std::string_view(value.bytes).substr(0, text_size)) + '"';
    }
    out += '\n';
}

}  // namespace

Key* Document::FindKey(std::string_view name) {
    const auto found = index_.find(Folded(name));
    return found == index_.end() ? nullptr : &keys[found->second];
}

const Key* Document::FindKey(std::string_view name) const {
    return const_cast<Document*>(this)->FindKey(name);
}

Key& Document::GetOrCreateKey(std::string_view name) {
    if (Key* key = FindKey(name))
        return *key;
    index_.emplace(Folded(name), keys.size());
    keys.push_back(Key{std::string(name), {}, {}, false, {}});
    return keys.back();
}

bool Document::HasKeyOrSubkey(std::string_view name) const {
    return std::any_of(keys.begin(), keys.end(), [&](const Key& key) {
        const std::string_view candidate = key.name;
        return !key.damaged && (SameName(candidate, name) ||
                                (candidate.size() > name.size() && candidate[name.size()] == '\\' &&
                                 SameName(candidate.substr(0, name.size()), name)));
    });
}

Value* FindValue(Key& key, std::string_view name) {
    const auto found = key.index.find(Folded(name));
    return found == key.index.end() ? nullptr : &key.values[found->second];
}

const Value* FindValue(const Key& key, std::string_view name) {
    return FindValue(const_cast<Key&>(key), name);
}

void PutValue(Key& key, Value value) {
    if (value.kept_verbatim) {
        key.values.push_back(std::move(value));
        return;
    }
    if (Value* existing = FindValue(key, value.name)) {
        existing->type = value.type;
        existing->bytes = std::move(value.bytes);
        return;
    }
    key.index.emplace(Folded(value.name), key.values.size());
    key.values.push_back(std::move(value));
}

bool EraseValue(Key& key, std::string_view name) {
    const auto found = key.index.find(Folded(name));
    if (found == key.index.end())
        return false;
    const std::size_t position = found->second;
    key.values.erase(key.values.begin() + static_cast<std::ptrdiff_t>(position));
    key.index.erase(found);
    for (auto& entry : key.index) {
        if (entry.second > position)
            --entry.second;
    }
    return true;
}

std::string Escape(std::string_view raw) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(raw.size());
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (NeedsEscape(byte)) {
            out += '%';
            out += kDigits[byte >> 4];
            out += kDigits[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

bool Unescape(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int high = hex::DigitValue(text[i + 1]);
        const int low = hex::DigitValue(text[i + 2]);
        if (high < 0 || low < 0)
            return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

Document Parse(std::string_view text) {
    Document document;
    // An index, not a pointer: creating keys may move the vector.
    std::optional<std::size_t> current_key;
    const auto keep_line = [&](std::string_view raw) {
        ++document.skipped_lines;
        if (current_key) {
            Value kept;
            kept.verbatim = std::string(raw);
            kept.kept_verbatim = true;
            PutValue(document.keys[*current_key], std::move(kept));
        } else {
            document.preamble.emplace_back(raw);
        }
    };
    bool first_line = true;
    while (!text.empty()) {
        const auto line_end = text.find('\n');
        const std::string_view raw = text.substr(0, line_end);
        text.remove_prefix(line_end == std::string_view::npos ? text.size() : line_end + 1);
        const std::string_view line = Trim(raw);
        const bool own_header = first_line && line == kHeaderComment;
        first_line = false;
        if (line.empty() || own_header)
            continue;

        std::string key_name;
        Value value;
        if (ParseKeyLine(line, key_name)) {
            ++document.parsed_lines;
            document.GetOrCreateKey(key_name);
            current_key = document.FindKey(key_name) - document.keys.data();
        } else if (line.front() == '[') {
            // Values below a damaged key line belong to no known key: keep them with that line
            // instead of filing them under another key.
            ++document.skipped_lines;
            document.keys.push_back(Key{{}, {}, std::string(raw), true, {}});
            current_key = document.keys.size() - 1;
        } else if (current_key && !document.keys[*current_key].damaged && ParseValueLine(line, value)) {
            ++document.parsed_lines;
            PutValue(document.keys[*current_key], std::move(value));
        } else {
            keep_line(raw);
        }
    }
    return document;
}

std::string Format(const Document& document) {
    std::string out = std::string(kHeaderComment) + "\n";
    for (const auto& line : document.preamble)
        out += line + '\n';
    for (const auto& key : document.keys) {
        out += "\n" + (key.damaged ? key.verbatim_header : "[" + Escape(key.name) + "]") + "\n";
        for (const auto& value : key.values) {
            if (value.kept_verbatim)
                out += value.verbatim + '\n';
            else
                FormatValue(value, out);
        }
    }
    return out;
}

}  // namespace qvx::registry_format
