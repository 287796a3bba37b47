#pragma once
// Keeps the wait cursor in step with the program-wide busy flag: whichever thread sets or clears
// the flag, the cursor follows within a tenth of a second (or at once through sync()).

#include <QObject>
#include <QTimer>

namespace qvx::gui {

class BusyCursor : public QObject {
    Q_OBJECT
  public:
    explicit BusyCursor(QObject* parent = nullptr);

    // Shows or removes the wait cursor to match the flag. User-interface thread only.
    static void sync();
    static bool shown();

  private:
    QTimer poll_timer_;
};

}  // namespace qvx::gui
