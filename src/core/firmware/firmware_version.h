#pragma once
// Firmware versions: the sensor's, read from its "S5" reply, and the built-in bundle's, read from
// the bundle's name line. All fields are kept as text and compared as text.

#include <string>
#include <string_view>

namespace qvx {

struct FirmwareVersion {
    std::string primary;  // "v2"
    std::string fpga;     // "30"
    std::string yy;       // year of the DSP firmware
    std::string amm;      // algorithm letter ('S' side-fire, 'F' forward-fire) and month: "S03"
    std::string dd;       // day of the DSP firmware

    bool operator==(const FirmwareVersion&) const = default;
};

inline constexpr char kSideFireKind = 'S';
inline constexpr char kForwardFireKind = 'F';

struct SensorVersion {
    FirmwareVersion version;
    char kind = kSideFireKind;
    bool parsed = false;  // false: the reply lacked "DSP: " or "FPGA: "; every field is empty
};

// The bundle carries one amm per DSP image kind.
struct BundleVersion {
    std::string primary;
    std::string fpga;
    std::string yy;
    std::string side_fire_amm;     // the 'S' field, empty when the field does not begin with 'S'
    std::string forward_fire_amm;  // the 'F' field, empty when the field does not begin with 'F'
    std::string dd;

    // The bundle's version as compared against a sensor of the given kind.
    FirmwareVersion ForKind(char sensor_kind) const;

    bool operator==(const BundleVersion&) const = default;
};

// A version text as the sensor sends it: 36 characters, "DSP: " + 20 characters of DSP version +
// " FPGA: " + 4 digits of FPGA version. Its DSP version carries, after the first '_', the primary
// version, a field not compared, the year, the kind letter with the month, and after "R" the day.
// It parses to primary "v2", fpga "30", yy "10", amm "S03", dd "05", kind 'S': the version of the
// built-in bundle, whose name line is kBundleName.
inline constexpr std::string_view kExampleSensorVersion = "DSP: QVX_v2.30.10.S03.R05 FPGA: 0030";
inline constexpr std::string_view kExampleForwardFireSensorVersion = "DSP: QVX_v2.30.10.F03.R05 FPGA: 0030";
inline constexpr std::string_view kBundleName = "QVXFW_v2.30.10.S03.F03.05";

// Every character upper-cased except the letter 'v', which marks the primary version.
std::string UpperExceptV(std::string_view text);

// Parses an "S5" reply. Only a reply containing both "DSP: " and "FPGA: " is parsed; any other
// leaves every field empty so that all of them compare as different. Never reads past the text.
SensorVersion ParseSensorVersion(std::string_view reply);

// Parses the bundle's name line: after the first '_', dot-separated primary, fpga, yy, the 'S' amm,
// the 'F' amm and dd.
BundleVersion ParseBundleVersion(std::string_view name_line);

// The operating-mode reading of a version reply: split at '.', the fourth field decides; it is
// forward-fire when it holds an 'f' or 'F' and no 's' or 'S'.
bool VersionReplyIsForwardFire(std::string_view reply);

}  // namespace qvx
