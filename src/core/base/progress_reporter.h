#pragma once
// The small "please wait" window a procedure shows while it talks to the sensor ("Checking
// mode...", "Closing..."). The GUI shows a window, the CLI may print, tests record.

#include <string>

namespace qvx {

class ProgressReporter {
  public:
    virtual ~ProgressReporter() = default;
    // Shows (or retitles) the window. Any thread may call it.
    virtual void ShowProgress(const std::string& caption, const std::string& text) = 0;
    virtual void CloseProgress() = 0;
};

// Shows nothing.
class SilentProgress : public ProgressReporter {
  public:
    void ShowProgress(const std::string&, const std::string&) override {}
    void CloseProgress() override {}
};

}  // namespace qvx
