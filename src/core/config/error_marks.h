#pragma once
// The controls of one settings page whose contents failed validation. A marked control is drawn
// in red until it gets focus; each mark carries the reason, which the command line prints.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qvx {

struct ErrorMark {
    int control = -1;
    std::string reason;
};

class ErrorMarkList {
  public:
    explicit ErrorMarkList(std::size_t capacity) : slots_(capacity) {}

    // Takes the first free slot; a mark beyond the capacity is dropped. A control already marked
    // keeps its first reason.
    void Mark(int control, std::string reason);
    // The control got focus.
    void Unmark(int control);
    void Clear();

    bool IsMarked(int control) const;
    // The marks in slot order.
    std::vector<ErrorMark> Marks() const;
    std::size_t capacity() const { return slots_.size(); }

  private:
    std::vector<std::optional<ErrorMark>> slots_;
};

}  // namespace qvx
