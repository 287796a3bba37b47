#pragma once
// The program's icon, drawn in code so that it needs no image plugin; the desktop entry's
// resources/desktop/quorvix-manager.svg shows the same picture.

#include <QIcon>

namespace qvx::gui {

QIcon ProgramIcon();

}  // namespace qvx::gui
