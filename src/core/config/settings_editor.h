#pragma once
// The settings window without its window: the working copy of the sensor's configuration records,
// the four pages over it, and the four commands (Open from Sensor, Save to Sensor, Open from
// File, Save to File). The desktop window and `qvx config` both drive it.

#include <string>
#include <vector>

#include "config/calibration_pages.h"
#include "config/communication_page.h"
#include "config/data_collection_page.h"
#include "config/general_page.h"
#include "config/settings_file.h"
#include "protocol/record_io.h"
#include "protocol/sensor_configuration.h"

namespace qvx {

class AppContext;
class SensorOperations;

enum class SaveToSensorResult {
    Saved,
    Cancelled,        // the Simple Protocol question was answered Cancel: nothing written
    InputErrors,      // validation marked fields: nothing written
    NotSaved,         // a write failed; records written before it stay written
    BaudRateUnknown,  // the new port rate could not be confirmed: the program must exit
};

// A marked field, for the command line: page, control label and reason.
struct MarkedField {
    std::string page;
    std::string label;
    std::string reason;
};

inline constexpr const char* kInputErrorsText =
    "Unable to save settings due to\ninput errors highlighed in red.";
inline constexpr const char* kInputErrorsCaption = "Input errors found...";
inline constexpr const char* kNotSavedText = "\r\nSensor configuration settings NOT saved!";
inline constexpr const char* kNoFileText = "No valid file was selected...";
inline constexpr const char* kNoFileCaption = "No file opened...";

class SettingsEditor {
  public:
    SettingsEditor(AppContext& app, bool side_fire);

    SensorConfiguration& working_copy() { return working_; }
    const SensorConfiguration& working_copy() const { return working_; }
    bool side_fire() const { return side_fire_; }
    bool connected() const;

    GeneralPageModel& general() { return general_; }
    CommunicationPageModel& communication() { return communication_; }
    DataCollectionPage& data_collection() { return data_collection_; }
    SideFireCalibrationPage& side_fire_calibration() { return side_fire_calibration_; }
    ForwardFireCalibrationModel& forward_fire_calibration() { return forward_fire_calibration_; }

    // Records to every page; the General page sets the program's units flag.
    void ShowAll(bool reset_data_collection = true);
    // Every page to the records without validation (a tab switch). The Simple Protocol question
    // may be asked; Cancel only leaves the register as it was.
    void CollectAll();
    // "Measurement Units" changed: the extended record takes the unit at once, and the Data
    // Collection page converts what it shows and is collected.
    void UnitsChanged();

    // The initial load and "Open from Sensor": "S0", "S01", "S02", the mounting's algorithm
    // records and "SH". For the initial load every read must succeed; otherwise the first three.
    // Shows the pages when it succeeded.
    bool ReadFromSensor(bool initial);
    // Save to Sensor: collect, validate, then the algorithm records, "S11", "S12" and "S1" with
    // the flash save, bracketed by the sensor operation.
    SaveToSensorResult SaveToSensor(SensorOperations& operations);

    // Save to File's collect and validation; the count of errors (the message already shown).
    int ValidateForFile();
    SettingsFileOutcome WriteFile(const std::string& path);
    // Reads and checks the file; on success replaces the working copy and shows every page.
    SettingsFileOutcome OpenFile(const std::string& path);

    std::vector<MarkedField> MarkedFields() const;

  private:
    int CollectAndValidate(bool stop_on_cancel, bool& cancelled);
    RecordResult WriteRecords();
    bool multidrop_in_use() const;

    AppContext& app_;
    bool side_fire_;
    SensorConfiguration working_;
    GeneralPageModel general_;
    CommunicationPageModel communication_;
    DataCollectionPage data_collection_;
    SideFireCalibrationPage side_fire_calibration_;
    ForwardFireCalibrationModel forward_fire_calibration_;
};

}  // namespace qvx
