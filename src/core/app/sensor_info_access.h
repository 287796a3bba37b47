#pragma once
// The Sensor Information window's use of the link: it pauses the polling threads
// ("OpeningSensorInfoEvent") and takes "SyncDataMutex", trying a while when a poll holds it.

#include <functional>

#include "app/sensor_info.h"

namespace qvx {

class AppContext;

inline constexpr int kSensorInfoFirstWaitMs = 100;
inline constexpr int kSensorInfoRetryWaitMs = 50;
inline constexpr int kSensorInfoRetries = 11;

// Fills info when the mutex could be had; false when it stayed busy. The event is reset and the
// mutex released afterwards in every case.
bool ReadSensorInformationExclusive(AppContext& app, SensorInformation& info);

}  // namespace qvx
