#pragma once
// The "Lane Calibration" page of each mounting: the side-fire noise thresholds and lane boundary
// arrays (validated), and the forward-fire zone ranges and thresholds (written as entered).

#include <array>
#include <string>

#include "config/error_marks.h"

namespace qvx {

class SensorConfiguration;

struct SideFireCalibrationModel {
    std::array<std::string, 8> main_noise;   // fields 247-254
    std::array<std::string, 8> aux_noise;    // fields 255-262
    std::array<std::string, 20> boundaries;  // fields 223-242
    std::array<std::string, 4> last_lanes;   // fields 243-246
};

class SideFireCalibrationPage {
  public:
    static constexpr std::size_t kMarkCapacity = 50;

    SideFireCalibrationModel& model() { return model_; }
    const SideFireCalibrationModel& model() const { return model_; }
    ErrorMarkList& marks() { return marks_; }
    const ErrorMarkList& marks() const { return marks_; }

    void Show(const SensorConfiguration& config);
    // Controls to records (each entry left-padded with '0' to 4). With validate, a boundary above
    // AE becomes "0000" and the boundary array is checked; returns the number of marked pairs.
    // The marks name the boundary entries 0..19.
    int Collect(SensorConfiguration& config, bool validate);

  private:
    SideFireCalibrationModel model_;
    ErrorMarkList marks_{kMarkCapacity};
};

struct ForwardFireCalibrationModel {
    std::array<std::string, 8> start_bins;       // fields 32-39
    std::array<std::string, 8> stop_bins;        // fields 40-47
    std::array<std::string, 32> bin_thresholds;  // fields 48-79
    std::string peak_presence;                   // field 80, shown only
    std::array<std::string, 80> peak_noise;      // fields 81-160
    std::array<std::string, 2> future_use;       // fields 161-162, shown only
};

ForwardFireCalibrationModel ShowForwardFireCalibration(const SensorConfiguration& config);
void CollectForwardFireCalibration(const ForwardFireCalibrationModel& page, SensorConfiguration& config);

// Hex entry filter: upper case, hex digits only, at most 4.
std::string FilterHex4Typing(std::string_view text);

}  // namespace qvx
