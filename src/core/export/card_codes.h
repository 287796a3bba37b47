#pragma once
// The code lists of the 3-card export, each in the order the export wizard lists them: states and
// regions, functional classifications, directions of travel and restrictions. The list index is
// what the settings keep; the code is what the record carries.

#include <optional>
#include <span>
#include <string_view>

namespace qvx {

struct CardCode {
    const char* name;
    const char* code;
};

std::span<const CardCode> StateCodes();            // 66: two-digit codes
std::span<const CardCode> FunctionalClassCodes();  // 12: two-digit codes
std::span<const CardCode> DirectionCodes();        // 10: one-digit codes
std::span<const CardCode> RestrictionCodes();      // 3: the index as one digit

// The index of the entry whose name (any letter case) or code is text; nullopt when none is.
std::optional<int> FindCardCode(std::span<const CardCode> list, std::string_view text);

}  // namespace qvx
