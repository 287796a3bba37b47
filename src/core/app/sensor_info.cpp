// Stand-in until the sensor information reader lands.
#include "app/sensor_info.h"

namespace qvx {

int ReadSensorInformation(SensorProtocol&, SensorInformation&) {
    return 0;
}

std::string DoubleAmpersands(const std::string& text) {
    return text;
}

}  // namespace qvx
