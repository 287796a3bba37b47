// The stable adapter names offered beside the numbered serial devices.

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "connect/serial_port_names.h"

namespace qvx {
namespace {

TEST(SerialPortNames, AdapterWordsFromTheLinkName) {
    EXPECT_EQ(DescribeByIdName("usb-FTDI_FT232R_USB_UART_A9X3KQ1B-if00-port0"), "FTDI FT232R USB UART");
    EXPECT_EQ(DescribeByIdName("usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0"),
              "Prolific Technology Inc. USB-Serial");
    EXPECT_EQ(DescribeByIdName("pci-Moxa_UPort"), "Moxa");
    EXPECT_EQ(DescribeByIdName("usb-single"), "single");
}

TEST(SerialPortNames, LinksInTheFolderWithTheirDevices) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("qvx-by-id-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "ttyUSB7").put('x');
    fs::create_symlink(folder / "ttyUSB7", folder / "usb-FTDI_FT232R_USB_UART_A9-if00-port0");
    const auto ports = NamedSerialPorts(folder.string());
    ASSERT_EQ(ports.size(), 2u);
    const NamedSerialPort& link = ports[1];
    EXPECT_EQ(link.path, (folder / "usb-FTDI_FT232R_USB_UART_A9-if00-port0").string());
    EXPECT_EQ(link.device, fs::canonical(folder / "ttyUSB7").string());
    EXPECT_EQ(link.description, "FTDI FT232R USB UART");
    fs::remove_all(folder);
    EXPECT_TRUE(NamedSerialPorts(folder.string()).empty());
}

}  // namespace
}  // namespace qvx
