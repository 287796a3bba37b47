#pragma once
// "Sensor Settings": the modal window in which the user reads, edits and writes the sensor's
// configuration on four tabbed pages, and keeps it in .qcf settings files. The sensor commands
// run on a worker (the window keeps painting); the rules live in the core's SettingsEditor.

#include <QDialog>
#include <functional>
#include <memory>

#include "config/settings_editor.h"

class QLabel;
class QPushButton;
class QTabWidget;

namespace qvx {
class AppContext;
class SensorOperations;
}  // namespace qvx

namespace qvx::gui {

class GeneralPageWidget;
class CommunicationPageWidget;
class DataCollectionPageWidget;
class SideFireCalibrationWidget;
class ForwardFireCalibrationWidget;

class SettingsWindow : public QDialog {
    Q_OBJECT
  public:
    SettingsWindow(AppContext& app, SensorOperations& operations, QWidget* parent = nullptr);
    ~SettingsWindow() override;

    // The initial load: the sensor's records when a connection stands, otherwise a file the user
    // picks. False when nothing was loaded (the window is not to be shown).
    bool load();
    // A save could not confirm the sensor's new port rate: the program has to exit.
    bool exitRequested() const { return exit_requested_; }

    // The file dialogs; tests replace them. save: a name for Save to File. Empty: cancelled.
    std::function<QString(bool save)> choose_file;

    SettingsEditor& editor() { return *editor_; }
    QString statusText() const;

  public slots:
    bool openFromSensor();
    SaveToSensorResult saveToSensor();
    bool openFromFile();
    bool saveToFile();

  private:
    QString askForFile(bool save);
    void storeAll();
    void loadAll();
    void tabChanged(int index);
    void unitsChanged();
    void updateWidgets();
    void showStatus(const QString& text);

    AppContext& app_;
    SensorOperations& operations_;
    std::unique_ptr<SettingsEditor> editor_;
    bool exit_requested_ = false;
    int current_tab_ = 0;

    QTabWidget* tabs_ = nullptr;
    GeneralPageWidget* general_ = nullptr;
    CommunicationPageWidget* communication_ = nullptr;
    DataCollectionPageWidget* data_collection_ = nullptr;
    SideFireCalibrationWidget* side_fire_ = nullptr;
    ForwardFireCalibrationWidget* forward_fire_ = nullptr;
    QPushButton* open_sensor_ = nullptr;
    QPushButton* save_sensor_ = nullptr;
    QPushButton* open_file_ = nullptr;
    QPushButton* save_file_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace qvx::gui
