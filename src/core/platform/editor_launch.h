#pragma once
// Opens a text file in the desktop's editor without waiting for it: xdg-open when installed,
// else $VISUAL, else $EDITOR. The editor runs detached from this process (its own session, no
// zombie left behind) and keeps running after the program ends.

#include <string>

namespace qvx {

// True when an editor was started on the file; false when the file does not exist, no opener
// is available or the opener could not be started.
bool LaunchTextEditor(const std::string& file_path);

}  // namespace qvx
