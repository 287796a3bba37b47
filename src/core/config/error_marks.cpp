#include "config/error_marks.h"

#include <algorithm>

namespace qvx {

void ErrorMarkList::Mark(int control, std::string reason) {
    if (IsMarked(control)) {
        return;
    }
    const auto free = std::find_if(slots_.begin(), slots_.end(), [](const auto& slot) { return !slot; });
    if (free != slots_.end()) {
        *free = ErrorMark{control, std::move(reason)};
    }
}

void ErrorMarkList::Unmark(int control) {
    for (auto& slot : slots_) {
        if (slot && slot->control == control) {
            slot.reset();
        }
    }
}

void ErrorMarkList::Clear() {
    std::fill(slots_.begin(), slots_.end(), std::nullopt);
}

bool ErrorMarkList::IsMarked(int control) const {
    return std::any_of(slots_.begin(), slots_.end(),
                       [control](const auto& slot) { return slot && slot->control == control; });
}

std::vector<ErrorMark> ErrorMarkList::Marks() const {
    std::vector<ErrorMark> marks;
    for (const auto& slot : slots_) {
        if (slot) {
            marks.push_back(*slot);
        }
    }
    return marks;
}

}  // namespace qvx
