#pragma once
// "Select the sensor ID...": the multi-drop IDs found on the line, one of which the user picks
// (or types, at most 4 characters). The detection runs on a worker thread before the window
// shows; with nothing found the window never shows and the caller sees Continue with 0 IDs.

#include <QDialog>
#include <QTimer>
#include <functional>

#include "background_task.h"
#include "connect/multidrop.h"
#include "link/connection_state.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace qvx {
class AppContext;
}

namespace qvx::gui {

class SelectSensorIdDialog : public QDialog {
    Q_OBJECT
  public:
    // Fills the detection; redetect tells a "Redetect" from the first detection.
    using Detector = std::function<void(MultiDropDetection& detection, bool redetect)>;

    SelectSensorIdDialog(ConnectionState& state, Detector detector, QWidget* parent = nullptr);

    // The detection (keeping the user-interface thread running), then the window when an ID was
    // found. Returns Continue or Cancel and the count.
    SensorSelection run();

    // The detector over the link of a running program.
    static Detector LinkDetector(AppContext& app);

    const MultiDropDetection& detection() const { return detection_; }

  private:
    void detect(bool redetect);
    void checkDetection();
    void showDetection();
    void takeChoice();
    void updateWidgets();

    ConnectionState& state_;
    Detector detector_;
    MultiDropDetection detection_;
    BackgroundTask task_;
    QTimer poll_;
    bool continued_ = false;

    QLabel* prompt_ = nullptr;
    QComboBox* id_list_ = nullptr;
    QPushButton* continue_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* redetect_ = nullptr;
};

// A SensorSelector for connection workers: the window is shown on the user-interface thread
// (context's thread) while the worker waits for the answer.
SensorSelector MakeSensorSelector(QObject* context, QWidget* parent);

}  // namespace qvx::gui
