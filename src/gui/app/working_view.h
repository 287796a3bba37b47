#pragma once
// A working view: the one child page the main window shows at a time (connection-type chooser,
// interval data, lane configuration, ...). Opening a view closes the current one first.

#include <QWidget>
#include <cstdint>
#include <optional>

#include "app/view_code.h"

namespace qvx::gui {

using ViewCode = qvx::ViewCode;

class WorkingView : public QWidget {
    Q_OBJECT
  public:
    explicit WorkingView(QWidget* parent = nullptr) : QWidget(parent) {}
    virtual ViewCode viewCode() const = 0;
    // Called before the view is destroyed: stop timers and data threads (a data thread is asked
    // to end through "KillDataThreadEvent"; the view waits up to 10,000 ms for
    // "DataThreadKilledEvent"). Returns false when the view asks to stay open (unsaved changes).
    virtual bool shutdown() { return true; }

    // What the main window's status bar shows of the view: whether it logs, and the interval
    // after which a silent sensor deserves a warning.
    struct StatusFacts {
        std::optional<bool> logging;
        std::optional<std::uint32_t> interval_seconds;
    };
    virtual StatusFacts statusFacts() const { return {}; }
    // A view that fills the window (tables, charts) rather than sitting centred at its own size.
    virtual bool fillsWindow() const { return false; }

  signals:
    // The view asks the main window to switch to another view (e.g. "Event Data").
    void viewRequested(qvx::gui::ViewCode code);
};

}  // namespace qvx::gui
