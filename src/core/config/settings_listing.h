#pragma once
// Every field of the settings pages by its label, as the pages show it (lengths in the units of
// the extended record), for the command line's `config show`.

#include <string>
#include <vector>

namespace qvx {

class SettingsEditor;

struct SettingsLine {
    std::string page;
    std::string label;
    std::string value;
};

// The pages must have been shown (SettingsEditor::ShowAll).
std::vector<SettingsLine> DescribeSettings(SettingsEditor& editor);

}  // namespace qvx
