#include "connect/serial_port_names.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace qvx {

std::string DescribeByIdName(const std::string& name) {
    std::string text = name;
    // "usb-", "pci-", "platform-": the bus.
    if (const auto dash = text.find('-'); dash != std::string::npos && dash < 10)
        text = text.substr(dash + 1);
    // "-if00-port0", "-if00": the interface and the port on it.
    if (const auto interface = text.find("-if"); interface != std::string::npos)
        text = text.substr(0, interface);
    // The last "_word" is the adapter's serial number when the name has more than one word.
    if (const auto last = text.rfind('_'); last != std::string::npos && last > 0)
        text = text.substr(0, last);
    std::replace(text.begin(), text.end(), '_', ' ');
    return text;
}

std::vector<NamedSerialPort> NamedSerialPorts(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<NamedSerialPort> ports;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        NamedSerialPort port;
        port.path = entry.path().string();
        const fs::path target = fs::canonical(entry.path(), error);
        port.device = error ? std::string() : target.string();
        port.description = DescribeByIdName(entry.path().filename().string());
        ports.push_back(std::move(port));
    }
    std::sort(ports.begin(), ports.end(),
              [](const NamedSerialPort& a, const NamedSerialPort& b) { return a.path < b.path; });
    return ports;
}

}  // namespace qvx
