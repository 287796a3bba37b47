// Arbitrary bytes as a sensor version reply, a bundle name, a whole bundle and hex image data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "firmware/compatibility.h"
#include "firmware/firmware_bundle.h"
#include "firmware/hex_image.h"

namespace {

void CutAndCheck(std::string_view data, qvx::PacketCutter::Source source) {
    qvx::PacketCutter cutter(data, source);
    while (cutter.HasNext()) {
        const std::string packet = cutter.Next();
        // sequence digit + data + 4 check digits + CR
        if (packet.size() < 6 || packet.size() > 6 + qvx::kPacketDataDigits || packet.back() != '\r') {
            std::abort();
        }
    }
    const qvx::FileCheckValue check =
        qvx::ComputeFileCheckValue(data, source == qvx::PacketCutter::Source::BundleSegment);
    if (cutter.digits_cut() != check.digit_count) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    const qvx::SensorVersion sensor = qvx::ParseSensorVersion(text);
    const qvx::BundleVersion bundle = qvx::ParseBundleVersion(text);
    qvx::ComparePlan(sensor, bundle, std::nullopt);
    qvx::ComparisonTable(sensor, bundle);
    qvx::VersionReplyIsForwardFire(text);
    qvx::RecognizeHexFile(text, qvx::ImageKind::Dsp);
    qvx::RecognizeHexFile(text, qvx::ImageKind::Fpga);
    CutAndCheck(qvx::ImageData(text, qvx::ImageKind::Dsp), qvx::PacketCutter::Source::File);
    if (const auto parsed = qvx::ParseFirmwareBundle(text)) {
        for (const auto& segment : parsed->segments) {
            CutAndCheck(segment.data, qvx::PacketCutter::Source::BundleSegment);
        }
    }
    return 0;
}
