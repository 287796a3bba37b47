#pragma once
// The file dialogs of the log files: the chooser the live views and the download hand to the
// core's log-file logic, and the Data Logs menu's New/Open for each kind of log.

#include "live/log_files.h"

class QWidget;

namespace qvx {
class AppContext;
}

namespace qvx::gui {

// An open-file dialog that also takes new names (the folder must exist), with the kind's filter
// and the default extension "log".
LogFileChooser logFileChooser(QWidget* parent);

// The Data Logs menu's New/Open: choose the file of kind and remember it. On failure (other than
// Cancel) reports "The file specified could not be created due to a registry error.". 1 on
// success, else 0.
int chooseLogFile(AppContext& context, LogKind kind, QWidget* parent);

}  // namespace qvx::gui
