#pragma once
// A working view: the one child page the main window shows at a time (connection-type chooser,
// interval data, lane configuration, ...). Opening a view closes the current one first.

#include <QWidget>

namespace qvx::gui {

// The codes the main window remembers as the last view closed.
enum class ViewCode : int {
    LaneConfiguration = 0,
    SideFireTraffic = 1,
    Download = 2,
    FirmwareUpload = 3,
    ForwardFireTraffic = 4,
    IntervalData = 5,
    DataAcquisition = 6,
    Terminal = 7,
    PllUtility = 8,
    MemoryView = 9,
    SensorSettings = 10,
    SensorDateTime = 11,
    ConnectionChooser = 12,
    Export = 13,
    StudySetup = 14,
};

class WorkingView : public QWidget {
    Q_OBJECT
public:
    explicit WorkingView(QWidget* parent = nullptr) : QWidget(parent) {}
    virtual ViewCode viewCode() const = 0;
    // Called before the view is destroyed: stop timers and data threads (a data thread is asked
    // to end through "KillDataThreadEvent"; the view waits up to 10,000 ms for
    // "DataThreadKilledEvent"). Returns false when the view asks to stay open (unsaved changes).
    virtual bool shutdown() { return true; }

signals:
    // The view asks the main window to switch to another view (e.g. "Event Data").
    void viewRequested(qvx::gui::ViewCode code);
};

}  // namespace qvx::gui
