#include "app/compatibility_upload.h"

#include "context/app_context.h"
#include "protocol/sensor_operations.h"

namespace qvx {

std::vector<UploadImage> PlannedBundleImages(int plan) {
    const auto& bundle = BuiltInBundle();
    return bundle ? PlannedImages(*bundle, plan) : std::vector<UploadImage>{};
}

bool RunCompatibilityUpload(AppContext& context, SensorOperations& operations, int plan,
                            const UploadRunner& run) {
    std::vector<UploadImage> images = PlannedBundleImages(plan);
    if (images.empty()) {
        return false;
    }
    operations.BeginSensorOperation();
    UploadJob job(context.protocol, std::move(images));
    const UploadOutcome outcome = run ? run(job) : job.Run();
    operations.EndSensorOperation();
    return outcome == UploadOutcome::Succeeded;
}

void ResetLineAfterFailedUpload(AppContext& context) {
    context.link.PurgeInput();
    context.link.Write("QZ\r");
}

}  // namespace qvx
