#include "config/settings_editor.h"

#include "context/app_context.h"
#include "protocol/record_io.h"
#include "protocol/sensor_operations.h"
#include "protocol/transaction_result.h"

namespace qvx {

namespace {
constexpr int kMultiDropIdField = 6;

void ShowMessage(UserPrompts& prompts, const std::string& text, const std::string& caption, IconKind icon) {
    MessageRequest request;
    request.text = text;
    request.caption = caption;
    request.icon = icon;
    prompts.Message(request);
}
}  // namespace

SettingsEditor::SettingsEditor(AppContext& app, bool side_fire) : app_(app), side_fire_(side_fire) {}

bool SettingsEditor::connected() const {
    return app_.state.link_kind != LinkKind::None;
}

bool SettingsEditor::multidrop_in_use() const {
    return app_.state.multidrop_enabled || app_.state.multidrop_enable_next;
}

void SettingsEditor::ShowAll(bool reset_data_collection) {
    general_ = ShowGeneralPage(working_);
    app_.state.units = UnitsOfChoice(general_.units);
    working_.set_units(app_.state.units);
    communication_ = ShowCommunicationPage(working_);
    data_collection_.Show(working_, side_fire_, reset_data_collection);
    if (side_fire_) {
        side_fire_calibration_.Show(working_);
    } else {
        forward_fire_calibration_ = ShowForwardFireCalibration(working_);
    }
}

void SettingsEditor::CollectAll() {
    app_.state.units = CollectGeneralPage(general_, working_, app_.prompts());
    CollectCommunicationPage(communication_, working_, app_.prompts(), multidrop_in_use());
    data_collection_.Collect(working_, side_fire_, false);
    if (side_fire_) {
        side_fire_calibration_.Collect(working_, false);
    } else {
        CollectForwardFireCalibration(forward_fire_calibration_, working_);
    }
}

void SettingsEditor::UnitsChanged() {
    const char units = UnitsOfChoice(general_.units);
    working_.SetExtendedField(kExtendedUnitsField, std::string(1, units));
    working_.set_units(units);
    app_.state.units = units;
    data_collection_.Show(working_, side_fire_, false);
    data_collection_.Collect(working_, side_fire_, false);
}

bool SettingsEditor::ReadFromSensor(bool initial) {
    // Read into a copy: a failed read must not leave the working copy with empty records.
    SensorConfiguration fresh = working_;
    RecordIo io(app_.protocol, fresh);
    io.engineering_unlocked = app_.engineering_unlocked();
    const bool general =
        io.ReadConfigInfo().ok() && io.ReadExtendedConfigInfo().ok() && io.ReadCollectionConfigInfo().ok();
    if (initial && !(general && io.ReadConnectionPort().ok())) {
        return false;
    }
    // Opened from the sensor, a failed algorithm read does not stop the rest.
    const bool algorithm = (side_fire_ ? io.ReadSfAlgorithmInfo(true) : io.ReadFfAlgorithmInfo(true)).ok();
    if (!general || (initial && !algorithm)) {
        return false;
    }
    if (!algorithm) {
        const RecordSlot slot = side_fire_ ? RecordSlot::SideFire : RecordSlot::ForwardFire;
        fresh.SetRecord(slot, working_.record(slot));
    }
    working_ = fresh;
    ShowAll(true);
    return true;
}

int SettingsEditor::CollectAndValidate(bool stop_on_cancel, bool& cancelled) {
    data_collection_.marks().Clear();
    side_fire_calibration_.marks().Clear();
    app_.state.units = CollectGeneralPage(general_, working_, app_.prompts());
    cancelled = CollectCommunicationPage(communication_, working_, app_.prompts(), multidrop_in_use()) == 0;
    if (cancelled && stop_on_cancel) {
        return 0;
    }
    int errors = data_collection_.Collect(working_, side_fire_, true);
    if (side_fire_) {
        errors += side_fire_calibration_.Collect(working_, true);
    } else {
        CollectForwardFireCalibration(forward_fire_calibration_, working_);
    }
    if (errors > 0) {
        ShowMessage(app_.prompts(), kInputErrorsText, kInputErrorsCaption, IconKind::Error);
    }
    return errors;
}

RecordResult SettingsEditor::WriteRecords() {
    RecordIo io(app_.protocol, working_);
    io.engineering_unlocked = app_.engineering_unlocked();
    if (working_.connection_port().index == port_index::kUnknown) {
        io.ReadConnectionPort();  // the port whose rate the config write may change
    }
    RecordResult result =
        side_fire_ ? io.WriteSfAlgorithmInfo(false, false) : io.WriteFfAlgorithmInfo(false, false);
    if (result.ok()) {
        result = io.WriteExtendedConfigInfo(false, false);
    }
    if (result.ok()) {
        const std::string reg = working_.GetCollectionField(kCommunicationRegisterField);
        // Off the simple protocol the sensor answers only frames that carry its ID, from the
        // frame after the collection record on.
        if (reg.size() == 4 && reg[3] != '1' && !app_.state.multidrop_enabled) {
            app_.state.SetMultiDropId(working_.GetConfigField(kMultiDropIdField));
        }
        result = io.WriteCollectionConfigInfo(false, false);
    }
    if (result.ok()) {
        result = io.WriteConfigInfo(true, true);
    }
    return result;
}

SaveToSensorResult SettingsEditor::SaveToSensor(SensorOperations& operations) {
    bool cancelled = false;
    const int errors = CollectAndValidate(true, cancelled);
    if (cancelled) {
        return SaveToSensorResult::Cancelled;
    }
    if (errors > 0) {
        return SaveToSensorResult::InputErrors;
    }
    operations.BeginSensorOperation();
    const RecordResult result = WriteRecords();
    if (!result.ok()) {
        ShowMessage(app_.prompts(), kNotSavedText, "Failure", IconKind::Error);
    }
    operations.EndSensorOperation();
    if (result.outcome == RecordOutcome::RateUnknown) {
        return SaveToSensorResult::BaudRateUnknown;
    }
    return result.ok() ? SaveToSensorResult::Saved : SaveToSensorResult::NotSaved;
}

int SettingsEditor::ValidateForFile() {
    bool cancelled = false;
    return CollectAndValidate(false, cancelled);
}

SettingsFileOutcome SettingsEditor::WriteFile(const std::string& path) {
    return SaveSettingsFile(path, working_, side_fire_);
}

SettingsFileOutcome SettingsEditor::OpenFile(const std::string& path) {
    SettingsFileOutcome outcome = LoadSettingsFile(path, side_fire_, working_);
    if (outcome.ok()) {
        ShowAll(true);
    }
    return outcome;
}

std::vector<MarkedField> SettingsEditor::MarkedFields() const {
    std::vector<MarkedField> fields;
    for (const ErrorMark& mark : data_collection_.marks().Marks()) {
        fields.push_back({"Data Collection", DataCollectionControlLabel(mark.control), mark.reason});
    }
    for (const ErrorMark& mark : side_fire_calibration_.marks().Marks()) {
        fields.push_back({"Lane Calibration",
                          "Lane Boundary Index Array entry " + std::to_string(mark.control), mark.reason});
    }
    return fields;
}

}  // namespace qvx
