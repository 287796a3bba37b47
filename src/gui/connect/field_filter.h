#pragma once
// Entry fields that correct typing in place: after every edit the text is passed through a rule
// of the core and replaced by what the rule keeps.

#include <functional>
#include <string>

class QLineEdit;

namespace qvx::gui {

using TextRule = std::function<std::string(const std::string&)>;

// Keeps the cursor at the same distance from the end of the text.
void installTextFilter(QLineEdit* field, TextRule rule);

}  // namespace qvx::gui
