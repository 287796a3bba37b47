#include "stored/download_session.h"

#include "base/busy_flag.h"
#include "context/app_context.h"
#include "protocol/sensor_operations.h"
#include "protocol/transaction_result.h"
#include "stored/buffer_status.h"

namespace qvx {

DownloadPreparation PrepareDownload(AppContext& app, SensorOperations& operations, DownloadMode mode) {
    DownloadPreparation preparation;
    if (mode == DownloadMode::ErrorRecovery) {
        if (!app.records.ReadConfigInfo().ok()) {
            return preparation;
        }
        const std::string field = app.configuration.GetConfigField(config_field::kFlags);
        const unsigned flags = field.size() == 1 ? static_cast<unsigned char>(field[0]) : 0;
        if (flags == 0) {
            return preparation;
        }
        preparation.saved_flags = flags;
        const auto held =
            WriteStorageFlags(app, (flags | storage_flag::kErrorRecovery) & ~storage_flag::kFlashStorage);
        if (!held || (*held & storage_flag::kErrorRecovery) == 0) {
            // Whatever reached the sensor is put back.
            RestoreBufferFlags(app, flags);
            return preparation;
        }
    }
    busy_flag::Set();
    operations.BeginSensorOperation();
    preparation.ok = true;
    return preparation;
}

void FinishDownload(AppContext& app, SensorOperations& operations, DownloadMode mode,
                    const DownloadPreparation& preparation) {
    if (mode == DownloadMode::ErrorRecovery) {
        RestoreBufferFlags(app, preparation.saved_flags);
    }
    operations.EndSensorOperation();
    busy_flag::Clear();
}

int RunDownloadSession(AppContext& app, SensorOperations& operations, DownloadJob& job,
                       const std::string& download_path,
                       const std::function<void(DownloadJob&)>& run_progress) {
    if (download_path.empty()) {
        job.failure_text = kNoDownloadFileText;
        job.status.store(download_status::kFailed);
        return download_status::kFailed;
    }
    const DownloadPreparation preparation = PrepareDownload(app, operations, job.mode);
    if (!preparation.ok) {
        job.failure_text = "The sensor could not be switched to its error recovery buffer.";
        job.status.store(download_status::kFailed);
        return download_status::kFailed;
    }
    run_progress(job);
    FinishDownload(app, operations, job.mode, preparation);
    return job.status.load();
}

}  // namespace qvx
