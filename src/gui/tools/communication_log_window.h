#pragma once
// "Communication Log": the last few thousand entries of the communication log (frames both ways,
// connection steps, warnings), growing while the program talks to the sensor, with Copy, Save
// and Clear. It reads the ring on a timer and never waits on the link.

#include <QTimer>
#include <QWidget>
#include <cstdint>

#include "base/comm_log.h"

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace qvx::gui {

class CommunicationLogWindow : public QWidget {
    Q_OBJECT
  public:
    explicit CommunicationLogWindow(LogRing& ring, QWidget* parent = nullptr);

    // Appends what the ring gained since the last call (the timer calls it every 200 ms).
    void refresh();
    // Writes the shown entries to `path`; false, after telling the user, when that fails.
    bool saveTo(const QString& path);

  private:
    void copyAll();
    void save();
    void clear();

    LogRing& ring_;
    std::uint64_t shown_up_to_ = 0;
    QTimer timer_;
    QPlainTextEdit* text_ = nullptr;
    QCheckBox* follow_ = nullptr;
};

// The program's ring of recent entries, added to the communication log on first use.
LogRing& GuiLogRing();
// At start-up: the ring for the window, and the file QVX_LOG asks for ("level" or "level:path";
// without a path the log goes beside the registry file as "communication.log").
void StartGuiLogging();
// Tools > Communication Log: one window, raised when it is already open.
void ShowCommunicationLog(QWidget* parent);

}  // namespace qvx::gui
