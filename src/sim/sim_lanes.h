#pragma once
// The sensor's side of the lane configuration: which side-fire lane fields it accepts in a write,
// the "SD" configuration-mode requests (with the range blinders of a restarted automatic
// configuration), and the lane picture the automatic configuration settles on.

#include <optional>
#include <string>
#include <string_view>

#include "sensor_records.h"

namespace qvx::sim {

inline constexpr int kRangeBinCount = 84;

struct ConfigModeRequest {
    char mode = '0';
    // Given with a restart: the bins the search keeps between (none: 0 and 83), and whether the
    // sensor is to use them.
    bool blinders_given = false;
    int blinder_low = 0;
    int blinder_high = kRangeBinCount - 1;
    bool blinders_enabled = false;
};

// "0", "1", "2", or "0" + hex4 low + hex4 high + '0'/'1' (the blinders at least 3 bins apart,
// inside 0..83). nullopt for anything else.
std::optional<ConfigModeRequest> ParseConfigModeRequest(std::string_view payload);

// A side-fire record (104 characters) whose lane fields the sensor can use: markers in rising
// bin order, as many as its lane groups need, with "0000" after them; groups that count upward
// and leave the unused ones at "00FF"; one lane letter of R, L, r or l per slot.
bool SfLaneFieldsUsable(std::string_view record);

// The record with an empty lane picture: what the sensor holds while it configures itself.
std::string WithoutLanes(const std::string& record);

// The record with the picture the automatic configuration settles on: seed.lanes lanes (fewer
// when they do not fit), placed above the lower blinder and below the upper one when enabled.
std::string SettledLanePicture(const std::string& record, const RecordSeed& seed,
                               const ConfigModeRequest& request);

}  // namespace qvx::sim
