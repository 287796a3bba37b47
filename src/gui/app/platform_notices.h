#pragma once
// Messages from the platform layer (a registry file moved aside, an unsafe runtime folder
// refused) shown to the user as warnings once the window is up. Any thread may raise them.

class QWidget;

namespace qvx::gui {

// Routes registry notices to message boxes; call before the application context is built.
void InstallPlatformNotices();
// Shows the runtime-folder notice, if any, over parent.
void ShowStartupNotices(QWidget* parent);

}  // namespace qvx::gui
