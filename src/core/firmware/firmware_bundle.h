#pragma once
// The firmware bundle built into the program: two DSP images (side-fire and forward-fire) and one
// FPGA image with their common version.
//
// Layout: line 1 a check value (8 hex digits) ended by CR LF; line 2 the bundle's name, which
// carries the version; then three segments, each introduced by a line "$" and ended by '#':
// the side-fire DSP image, the forward-fire DSP image, the FPGA image.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "firmware/firmware_version.h"
#include "firmware/hex_image.h"

namespace qvx {

// The bundle text compiled into the program (generated at build time from the bundle file).
std::string_view BuiltInFirmwareBundle();

enum class BundleSegmentId : std::size_t { SideFireDsp = 0, ForwardFireDsp = 1, Fpga = 2 };
inline constexpr std::size_t kBundleSegmentCount = 3;
// Only this much of each of the first two lines is looked at.
inline constexpr std::size_t kBundleLineLimit = 100;
// A segment's data starts this far after its '$' ("$" CR LF).
inline constexpr std::size_t kSegmentDataOffset = 3;

struct BundleSegment {
    // From the first data character up to and including the closing '#'.
    std::string_view data;
    FileCheckValue check;
    ImageKind kind = ImageKind::Dsp;

    PacketCutter Packets() const { return PacketCutter(data, PacketCutter::Source::BundleSegment); }
};

struct FirmwareBundle {
    std::string check_line;  // not interpreted
    std::string name;
    BundleVersion version;
    std::array<BundleSegment, kBundleSegmentCount> segments;

    const BundleSegment& segment(BundleSegmentId id) const { return segments[static_cast<std::size_t>(id)]; }
};

// Parses a bundle. nullopt when a segment is missing or not closed by '#': such a bundle has no
// image that could be uploaded whole. The segments view into text, which must outlive the result.
std::optional<FirmwareBundle> ParseFirmwareBundle(std::string_view text);

// The built-in bundle, parsed once.
const std::optional<FirmwareBundle>& BuiltInBundle();

}  // namespace qvx
