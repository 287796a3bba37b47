#pragma once
// The "Data Collection" settings page without its window: interval and flash storage, the three
// length classes, the eight lanes (names, directions, loop sizes and spacings with their scale
// factors, extension time) and the hex tuning registers. Lengths are edited in the units of the
// extended record ('E': feet and inches, 'M': decimetres and centimetres).
//
// The window copies its controls into model() before it calls an operation and shows model()
// afterwards; every rule lives here.

#include <array>
#include <string>

#include "config/error_marks.h"

namespace qvx {

class SensorConfiguration;

inline constexpr int kPageLanes = 8;

// The page's controls, as the error marks name them.
namespace dc_control {
inline constexpr int kInterval = 0;
inline constexpr int kFlashInterval = 1;
inline constexpr int kFirstClassLength =
    2;  // small min, small max, medium min, medium max, large min, large max
inline constexpr int kDefaultSize = 8;
inline constexpr int kDefaultSpacing = 9;
inline constexpr int kFirstLoopSize = 10;
inline constexpr int kFirstLoopSpacing = 18;
inline constexpr int kCount = 26;
}  // namespace dc_control

enum ClassLength { kSmallMin, kSmallMax, kMediumMin, kMediumMax, kLargeMin, kLargeMax };

struct DataCollectionModel {
    char units = 'E';
    std::string interval;
    bool store_in_flash = false;
    std::string flash_interval;
    std::array<std::string, 6> class_lengths;
    std::array<std::string, kPageLanes> lane_names;
    std::array<int, kPageLanes> directions{};  // 0 Left, 1 Right
    bool directions_enabled = true;
    std::array<std::string, kPageLanes> loop_sizes;
    std::array<std::string, kPageLanes> loop_spacings;
    std::string default_size;
    std::string default_spacing;
    std::array<std::string, kPageLanes> occupancy_scales;
    std::array<std::string, kPageLanes> speed_scales;
    bool scale_view = true;  // scale factors shown instead of loop values
    std::array<bool, kPageLanes> extended{};
    std::string extension_ms;
    std::string dacr;
    std::string pga;
    std::string speed_avg;
    long long flash_limit = 300;
};

// The texts that follow the units.
struct DataCollectionLabels {
    std::string min_length;
    std::string max_length;
    std::string loop_units;
};
DataCollectionLabels LabelsForUnits(char units);

class DataCollectionPage {
  public:
    static constexpr std::size_t kMarkCapacity = 30;

    DataCollectionModel& model() { return model_; }
    const DataCollectionModel& model() const { return model_; }
    ErrorMarkList& marks() { return marks_; }
    const ErrorMarkList& marks() const { return marks_; }

    // Records to controls. reset forgets the units of the previous show (a new set of records);
    // otherwise a unit change since the previous show converts the values shown.
    void Show(SensorConfiguration& config, bool side_fire, bool reset);
    // Controls to records; with validate, marks the offending controls and returns their count.
    int Collect(SensorConfiguration& config, bool side_fire, bool validate);

    // --- what the window calls as the user works ---
    void IntervalChanged();                     // recomputes the flash interval limit
    void LeaveClassMaximum(ClassLength which);  // metric snap and class limits
    void ClassMaximumTyped(ClassLength which);  // keeps the next minimum at max + 1
    // A loop spin moved from old_value to the model's value; in 'M' snaps to a stable value.
    void LoopValueStepped(int control, long long old_value);
    // "Apply" next to the default size or spacing: clamps the default; true when the question
    // "apply to every lane?" is to be asked (the entry does not begin with '0').
    bool ClampDefault(bool spacing);
    void ApplyDefaultToLanes(bool spacing);
    void ExtensionTicked(SensorConfiguration& config, int lane);
    void LeaveHexRegisters();  // DACR, PGA, Speed Avg Val, lane names
    void RecomputeScaleFactors();
    void SetScaleView(bool scale_view);

    long long LoopSizeLimit() const;
    long long LoopSpacingLimit() const;
    bool UnitJustChanged() const { return unit_changed_; }

    // Typing filters.
    static std::string FilterIntervalTyping(std::string_view text);
    static std::string FilterFlashIntervalTyping(std::string_view text);
    static std::string FilterDacrTyping(std::string_view text);
    static std::string FilterPgaTyping(std::string_view text);

    static const char* kApplySizeQuestion;
    static const char* kApplySpacingQuestion;

  private:
    void ShowClassLengths(const SensorConfiguration& config, bool side_fire);
    void ConvertShownValues(char to_units);
    void CollectClassLengths(SensorConfiguration& config, bool side_fire, bool validate, int& errors);
    void CollectLoops(SensorConfiguration& config, bool validate, int& errors);
    void MarkPair(int first, int second, const std::string& reason, int& errors, bool validate);
    long long ClassMaximumCap(ClassLength which) const;

    DataCollectionModel model_;
    ErrorMarkList marks_{kMarkCapacity};
    char last_units_ = 'X';
    bool unit_changed_ = false;
};

// The label of a control for messages ("Lane 3 Loop Size").
std::string DataCollectionControlLabel(int control);

}  // namespace qvx
