#pragma once
// The small pictures the vehicle event views share on their buttons.

#include <QIcon>

namespace qvx::gui {

QIcon loggingStateIcon(bool on);  // a red dot while logging, a grey ring otherwise
QIcon counterIcon();              // a tally
QIcon pauseCounterIcon();
QIcon resumeCounterIcon();

}  // namespace qvx::gui
