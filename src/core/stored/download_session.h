#pragma once
// The "Download" button around the download itself: the error-recovery download's switch of the
// flags character (and its restore afterwards) and the preservation of the sensor clock.

#include <functional>
#include <string>

#include "stored/download_job.h"

namespace qvx {

class AppContext;
class SensorOperations;

inline constexpr const char* kNoDownloadFileText = "Choose a download file first.";

struct DownloadPreparation {
    bool ok = false;
    unsigned saved_flags = 0;  // error recovery: the flags character before the switch
};

// Error recovery: reads the flags, sets bit 2 and clears bit 0 (no flash save) and requires bit 2
// afterwards. Other modes need nothing. Then the sensor operation begins (clock saved).
DownloadPreparation PrepareDownload(AppContext& app, SensorOperations& operations, DownloadMode mode);
// Error recovery: puts the flags back (asking while that fails). Then the clock is restored.
void FinishDownload(AppContext& app, SensorOperations& operations, DownloadMode mode,
                    const DownloadPreparation& preparation);

// The whole button on one thread: prepare, run the progress part (StartDownload), finish. The
// outcome code; 8 when it did not start.
int RunDownloadSession(AppContext& app, SensorOperations& operations, DownloadJob& job,
                       const std::string& download_path,
                       const std::function<void(DownloadJob&)>& run_progress);

}  // namespace qvx
