#pragma once
// Names a technician recognises for the serial ports: the stable /dev/serial/by-id links with
// the adapter's maker and model read from the link's name ("usb-FTDI_FT232R_USB_UART_A9X-if00-
// port0" -> "FTDI FT232R USB UART"), each with the device it points at.

#include <string>
#include <vector>

namespace qvx {

struct NamedSerialPort {
    std::string path;         // what is opened: "/dev/serial/by-id/usb-..."
    std::string device;       // where it points: "/dev/ttyUSB0"
    std::string description;  // "FTDI FT232R USB UART"
};

// The adapter's words from a by-id link name: the bus prefix, the serial number and the
// interface/port suffixes dropped, underscores as blanks.
std::string DescribeByIdName(const std::string& name);

// The links in folder (default /dev/serial/by-id), sorted by name; none when it does not exist.
std::vector<NamedSerialPort> NamedSerialPorts(const std::string& folder = "/dev/serial/by-id");

}  // namespace qvx
