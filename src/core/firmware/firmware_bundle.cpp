#include "firmware/firmware_bundle.h"

#include <algorithm>

namespace qvx {

namespace {

// The text of a line starting at position, ended by one of the terminators, of at most
// kBundleLineLimit characters. position moves to the terminator.
std::string ReadLine(std::string_view text, std::size_t& position, std::string_view terminators) {
    const std::string_view window = text.substr(position, kBundleLineLimit);
    const std::size_t end = window.find_first_of(terminators);
    const std::size_t length = end == std::string_view::npos ? window.size() : end;
    position += length;
    return std::string(window.substr(0, length));
}

void SkipChar(std::string_view text, std::size_t& position, char c) {
    if (position < text.size() && text[position] == c) {
        ++position;
    }
}

std::optional<BundleSegment> FindSegment(std::string_view text, std::size_t& position, ImageKind kind) {
    const std::size_t dollar = text.find('$', position);
    if (dollar == std::string_view::npos) {
        return std::nullopt;
    }
    position = dollar + 1;
    const std::size_t start = dollar + kSegmentDataOffset;
    const std::size_t end = text.find(kSegmentEnd, std::min(start, text.size()));
    // A segment that runs into the next one was never closed.
    if (end == std::string_view::npos ||
        text.substr(start, end - start).find('$') != std::string_view::npos) {
        return std::nullopt;
    }
    BundleSegment segment;
    segment.data = text.substr(start, end + 1 - start);
    segment.check = ComputeFileCheckValue(segment.data, true);
    segment.kind = kind;
    return segment;
}

}  // namespace

std::optional<FirmwareBundle> ParseFirmwareBundle(std::string_view text) {
    FirmwareBundle bundle;
    std::size_t position = 0;
    bundle.check_line = ReadLine(text, position, "\r");
    SkipChar(text, position, '\r');
    SkipChar(text, position, '\n');
    bundle.name = ReadLine(text, position, "\r\n");
    bundle.version = ParseBundleVersion(bundle.name);
    constexpr ImageKind kinds[kBundleSegmentCount] = {ImageKind::Dsp, ImageKind::Dsp, ImageKind::Fpga};
    for (std::size_t i = 0; i < kBundleSegmentCount; ++i) {
        auto segment = FindSegment(text, position, kinds[i]);
        if (!segment) {
            return std::nullopt;
        }
        bundle.segments[i] = *segment;
    }
    return bundle;
}

const std::optional<FirmwareBundle>& BuiltInBundle() {
    static const std::optional<FirmwareBundle> bundle = ParseFirmwareBundle(BuiltInFirmwareBundle());
    return bundle;
}

}  // namespace qvx
