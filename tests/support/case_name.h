#pragma once
// Readable names for the cases of a parameterised suite, so that ctest lists (and -R selects)
// "Rows/FindCommandTest.MatchesRequestCodeExactly/S8B00FF_19" instead of the bytes of the
// parameter. Letters and digits are kept, every run of other characters becomes one '_'.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace qvx::test {

inline std::string CaseName(std::initializer_list<std::string_view> parts) {
    std::string name;
    for (std::string_view part : parts) {
        for (const char c : part) {
            const bool kept = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
            if (kept) {
                name += c;
            } else if (!name.empty() && name.back() != '_') {
                name += '_';
            }
        }
        if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    while (!name.empty() && name.back() == '_') {
        name.pop_back();
    }
    return name.empty() ? "empty" : name;
}

// The same, made unique by the case's position (cases may differ only in bytes a name drops).
inline std::string NumberedCaseName(std::size_t index, std::initializer_list<std::string_view> parts) {
    return std::to_string(index) + "_" + CaseName(parts);
}

}  // namespace qvx::test
