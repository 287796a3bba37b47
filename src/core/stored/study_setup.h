#pragma once
// Preparing a sensor for an unattended study: the interval arithmetic (how often the sensor moves
// data into flash and how long the flash lasts) and the four configuration steps of "Start".

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "live/interval_fetcher.h"  // kPortUnknownText, kMinimumIntervalText: the interval view says the same

namespace qvx {

class AppContext;
class SensorOperations;

inline constexpr std::uint32_t kMaxStudyInterval = 999999999;
inline constexpr std::uint32_t kMinStudyInterval = 5;
inline constexpr int kCollectionFlashUpdateField = 212;

struct StudyArithmetic {
    std::uint32_t interval = 60;
    bool clamped = false;  // the typed number was above 999,999,999
    std::uint32_t flash_update_seconds = 0;
    std::uint64_t storage_seconds = 0;
    std::string storage_text;  // "%i days" or "%i day(s) and %0.1f hour(s)"
};

// The arithmetic for the interval field's text; nothing for a text that is not evaluated (empty,
// starting with "0", longer than 9 characters, or not a number).
std::optional<StudyArithmetic> ComputeStudyArithmetic(const std::string& interval_text, bool overwrite);
std::uint32_t FlashUpdateSeconds(std::uint32_t interval);
std::string StorageTimeText(std::uint64_t seconds);

inline constexpr const char* kStudyIntroText =
    "To prepare the sensor for a study, complete the step-by-step process below:";
inline constexpr const char* kStudyReadyText = "When you have completed Step 1... Press <Start>";
inline constexpr const char* kNotConnectedText = "Not connected to sensor...";
inline constexpr const char* kStudyEraseWarningText =
    "If you continue, all data stored\r\nonboard the sensor will be erased!";

// What the window shows as the study set-up goes.
struct StudyProgress {
    std::function<void(const std::string& status)> status;          // "Step 2a in process..."
    std::function<void(std::uint32_t seconds)> flash_update_shown;  // "(Update Every: %i seconds)"
};

enum class StudyOutcome { Started, NotStarted, Cancelled };

struct StudySetup {
    std::uint32_t interval = 60;
    unsigned storage_flags = 0;
    std::uint32_t flash_update_seconds = 0;
};

// The window's opening read: the configuration records, the interval and the flags.
bool ReadStudySetup(AppContext& app, StudySetup& setup);

// "Start": checks, asks, then the steps 2a-2d in order; stops at the first failure with its text.
// The final status text ("Step 2 completed! Study has started...") goes through progress.status.
StudyOutcome StartStudy(AppContext& app, SensorOperations& operations, const StudySetup& setup,
                        const StudyProgress& progress);

}  // namespace qvx
