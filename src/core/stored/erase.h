#pragma once
// "Erase Data Buffers": finds out whether the sensor holds data no incremental download has
// fetched, asks, optionally downloads first, then flushes the SRAM and the flash buffer.

#include <functional>
#include <string>

#include "stored/download_job.h"

namespace qvx {

class AppContext;
class SensorOperations;

enum class EraseChoice { Erase, DownloadAndErase, Cancel };

inline constexpr const char* kEraseSensorErrorText = "Unable to erase data due to sensor error!";
inline constexpr const char* kNothingToEraseText = "No data found to erase!";
inline constexpr const char* kNewDataEraseText =
    "New data found on sensor since last incremental download!\n\nTo prevent loss of new data, press  "
    "<Download and Erase>, \nor press  <Erase>  to delete all data.";
inline constexpr const char* kEraseWarningText =
    "You are about permanently erase the sensor's Interval Data Buffers!\n Press <Erase> to continue...";
inline constexpr const char* kEraseFailedText =
    "An error occured erasing stored data...\r\nThe data may not be completely deleted...";
inline constexpr const char* kDownloadBeforeEraseFailedText =
    "The download before the erase did not save its data.\nNothing was erased.";

struct EraseHooks {
    // The "Warning..." window with "Erase", "Download and Erase" and "Cancel".
    std::function<EraseChoice(const std::string& text, bool new_data)> choose;
    // Runs an incremental download as the "Download" button does.
    std::function<DownloadSummary()> download_first;
};

enum class EraseOutcome { Erased, NothingToErase, Cancelled, SensorError, DownloadFailed, EraseFailed };

// The whole procedure on one thread: inspect, ask, download first when chosen, erase.
EraseOutcome EraseDataBuffers(AppContext& app, SensorOperations& operations, const EraseHooks& hooks);

// Its parts, for a window that asks on its own thread between them.
struct EraseInspection {
    EraseOutcome outcome = EraseOutcome::SensorError;  // Erased here means: go on and ask
    bool new_data = false;                             // records no incremental download fetched
    std::string question;                              // the "Warning..." window's text
};
// Reads the configuration and the newest record; reports "Unable to erase..." and "No data
// found to erase!" itself.
EraseInspection InspectBeforeErase(AppContext& app);
// After a "Download and Erase": whether the erase may go on (reports when not).
bool DownloadAllowsErase(AppContext& app, const DownloadSummary& summary);
// The flush with the clock saved around it; reports a failure.
EraseOutcome EraseNow(AppContext& app, SensorOperations& operations);

// Flushes "XE" then "XF" (each reported, 1 retry, link recovery). True when both succeeded.
bool FlushIntervalBuffers(AppContext& app);

}  // namespace qvx
