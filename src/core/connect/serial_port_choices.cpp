// Kept apart from the defaults so that code using only the defaults does not pull in the link.
#include "connect/connection_defaults.h"
#include "link/sensor_link.h"

namespace qvx {

std::vector<std::string> SerialPortChoices() {
    return BuildPortChoices(EnumerateSerialPorts(), CanOpenSerialPort);
}

}  // namespace qvx
