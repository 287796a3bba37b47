#pragma once
// The compatibility upload as the connect sequence and a mode switch run it: the planned bundle
// images loaded by an UploadJob between BeginSensorOperation and EndSensorOperation, and after a
// failure the line reset ("QZ") that precedes a new connect sequence.

#include <functional>

#include "firmware/compatibility.h"
#include "firmware/upload_job.h"

namespace qvx {

class AppContext;
class SensorOperations;

// Runs a job to its end: the GUI shows it in the "Uploading Firmware..." window, the CLI prints
// it, tests run it on the calling thread.
using UploadRunner = std::function<UploadOutcome(UploadJob& job)>;

// The images of the plan from the built-in bundle, or none when the bundle is unusable.
std::vector<UploadImage> PlannedBundleImages(int plan);

// Loads the plan's images. True when every image was loaded and the sensor restarted.
bool RunCompatibilityUpload(AppContext& context, SensorOperations& operations, int plan,
                            const UploadRunner& run);

// After a failed compatibility upload: purge, then the raw text "QZ\r" on the line.
void ResetLineAfterFailedUpload(AppContext& context);

}  // namespace qvx
