#include "app/sensor_info_access.h"

#include "context/app_context.h"

namespace qvx {

namespace {
bool TakeSyncMutex(NamedMutex& mutex) {
    if (mutex.TryLockFor(kSensorInfoFirstWaitMs))
        return true;
    for (int retry = 0; retry < kSensorInfoRetries; ++retry) {
        if (mutex.TryLockFor(kSensorInfoRetryWaitMs))
            return true;
    }
    return false;
}
}  // namespace

bool ReadSensorInformationExclusive(AppContext& app, SensorInformation& info) {
    ManualResetEvent& opening = app.objects.Event(sync_name::kOpeningSensorInfo);
    opening.Set();
    NamedMutex& mutex = app.objects.SyncData();
    const bool held = TakeSyncMutex(mutex);
    if (held) {
        ReadSensorInformation(app.protocol, info);
        mutex.Unlock();
    }
    opening.Reset();
    return held;
}

}  // namespace qvx
