#pragma once
// A small strict JSON reader for tests of qvx's --format json output: it accepts exactly the
// JSON grammar (RFC 8259, no trailing commas, no comments) and gives a tree to look into.

#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::test {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    bool boolean = false;
    std::string text;  // a number as written, or a string's decoded bytes (\u00XX as one byte)
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    bool Has(const std::string& name) const { return members.contains(name); }
    const JsonValue& operator[](const std::string& name) const { return members.at(name); }
    const JsonValue& operator[](std::size_t index) const { return items.at(index); }
};

class JsonReader {
  public:
    // The value the whole text holds (white space around it allowed); nullopt for anything else.
    static std::optional<JsonValue> Parse(std::string_view text) {
        JsonReader reader(text);
        JsonValue value;
        if (!reader.Value(value)) {
            return std::nullopt;
        }
        reader.Space();
        return reader.pos_ == text.size() ? std::optional<JsonValue>(std::move(value)) : std::nullopt;
    }

  private:
    explicit JsonReader(std::string_view text) : text_(text) {}

    void Space() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r')) {
            ++pos_;
        }
    }
    bool Take(char c) {
        Space();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) {
            return false;
        }
        pos_ += word.size();
        return true;
    }

    bool Value(JsonValue& value) {
        Space();
        if (pos_ >= text_.size()) {
            return false;
        }
        const char c = text_[pos_];
        if (c == '{') {
            return Object(value);
        }
        if (c == '[') {
            return Array(value);
        }
        if (c == '"') {
            value.kind = JsonValue::Kind::String;
            return String(value.text);
        }
        if (Word("null")) {
            return true;
        }
        if (Word("true") || Word("false")) {
            value.kind = JsonValue::Kind::Bool;
            value.boolean = text_[pos_ - 1] == 'e' && text_[pos_ - 2] == 'u';
            return true;
        }
        return Number(value);
    }

    bool Object(JsonValue& value) {
        value.kind = JsonValue::Kind::Object;
        ++pos_;
        if (Take('}')) {
            return true;
        }
        do {
            std::string name;
            JsonValue member;
            Space();
            if (pos_ >= text_.size() || text_[pos_] != '"' || !String(name) || !Take(':') || !Value(member) ||
                value.members.contains(name)) {
                return false;
            }
            value.members.emplace(std::move(name), std::move(member));
        } while (Take(','));
        return Take('}');
    }

    bool Array(JsonValue& value) {
        value.kind = JsonValue::Kind::Array;
        ++pos_;
        if (Take(']')) {
            return true;
        }
        do {
            JsonValue item;
            if (!Value(item)) {
                return false;
            }
            value.items.push_back(std::move(item));
        } while (Take(','));
        return Take(']');
    }

    bool String(std::string& out) {
        ++pos_;  // the opening quote
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') {
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return false;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) {
                return false;
            }
            const char e = text_[pos_++];
            static const std::string_view simple = "\"\\/bfnrt";
            static const std::string_view meaning = "\"\\/\b\f\n\r\t";
            if (const std::size_t k = simple.find(e); k != std::string_view::npos) {
                out += meaning[k];
            } else if (e == 'u' && pos_ + 4 <= text_.size()) {
                const std::string hex(text_.substr(pos_, 4));
                char* end = nullptr;
                const long code = std::strtol(hex.c_str(), &end, 16);
                if (end != hex.c_str() + 4) {
                    return false;
                }
                out += static_cast<char>(code & 0xFF);  // the tests only meet \u0000..\u00FF
                pos_ += 4;
            } else {
                return false;
            }
        }
        return false;
    }

    bool Number(JsonValue& value) {
        const std::size_t start = pos_;
        auto digits = [&] {
            const std::size_t from = pos_;
            while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
                ++pos_;
            }
            return pos_ - from;
        };
        Word("-");
        const std::size_t first = pos_;
        const std::size_t whole = digits();
        if (whole == 0 || (whole > 1 && text_[first] == '0')) {
            return false;
        }
        if (Word(".") && digits() == 0) {
            return false;
        }
        if (Word("e") || Word("E")) {
            if (!Word("+")) {
                Word("-");
            }
            if (digits() == 0) {
                return false;
            }
        }
        value.kind = JsonValue::Kind::Number;
        value.text = std::string(text_.substr(start, pos_ - start));
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace qvx::test
