#include "protocol/busy_cursor.h"

#include <QCursor>
#include <QGuiApplication>

#include "base/busy_flag.h"

namespace qvx::gui {
namespace {

// The override-cursor stack is shared with other users (a closing message box pushes its own),
// so this class pushes at most one entry and pops only its own.
bool wait_cursor_shown = false;

}  // namespace

BusyCursor::BusyCursor(QObject* parent) : QObject(parent) {
    connect(&poll_timer_, &QTimer::timeout, this, &BusyCursor::sync);
    poll_timer_.start(100);
}

void BusyCursor::sync() {
    const bool busy = busy_flag::IsSet();
    if (busy && !wait_cursor_shown) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        wait_cursor_shown = true;
    } else if (!busy && wait_cursor_shown) {
        QGuiApplication::restoreOverrideCursor();
        wait_cursor_shown = false;
    }
}

bool BusyCursor::shown() {
    return wait_cursor_shown;
}

}  // namespace qvx::gui
