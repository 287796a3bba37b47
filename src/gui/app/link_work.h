#pragma once
// Runs a piece of link work (a procedure that waits on the sensor) on a thread of its own while
// the user-interface thread keeps serving events, and returns when the work is done. Questions
// the work asks reach the user through the prompts, which hand them to this thread.

#include <functional>

namespace qvx::gui {

// Sets the program-wide busy flag (wait cursor) for the duration. Nested calls are allowed.
void RunLinkWork(const std::function<void()>& work);

// True while a RunLinkWork call is in progress (menu commands wait their turn).
bool LinkWorkRunning();

}  // namespace qvx::gui
