#include "firmware/hex_image.h"

#include <fstream>
#include <iterator>

#include "base/hex_text.h"
#include "platform/file_read.h"

namespace qvx {

namespace {

// The first `count` data digits of text, fewer when the text runs out.
std::string FirstDataDigits(std::string_view text, std::size_t count) {
    std::string digits;
    for (char c : text) {
        if (digits.size() == count) {
            break;
        }
        if (char digit = HexDataDigit(c)) {
            digits.push_back(digit);
        }
    }
    return digits;
}

}  // namespace

std::string FileCheckValue::Text() const {
    return hex::Format(sum, 8);
}

FileCheckValue ComputeFileCheckValue(std::string_view text, bool stop_at_segment_end) {
    FileCheckValue check;
    for (char c : text) {
        if (stop_at_segment_end && c == kSegmentEnd) {
            break;
        }
        if (char digit = HexDataDigit(c)) {
            check.sum += static_cast<unsigned char>(digit);
            ++check.digit_count;
        }
    }
    return check;
}

std::string_view ImageData(std::string_view file_bytes, ImageKind kind) {
    if (kind == ImageKind::Fpga) {
        return file_bytes;
    }
    return file_bytes.size() > kDspHeaderBytes ? file_bytes.substr(kDspHeaderBytes) : std::string_view{};
}

Recognition RecognizeHexFile(std::string_view file_bytes, ImageKind kind) {
    const bool dsp = kind == ImageKind::Dsp;
    const std::size_t skip = dsp ? kDspHeaderBytes : kFpgaRecognitionSkip;
    const std::string_view rest = file_bytes.size() > skip ? file_bytes.substr(skip) : std::string_view{};
    if (FirstDataDigits(rest, 4) == (dsp ? kDspSignature : kFpgaSignature)) {
        return {true, {}, {}};
    }
    return {false, kInvalidFileCaption, dsp ? kNotDspFileText : kNotFpgaFileText};
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
    // A pipe or device is not an image; an image is far smaller than the cap.
    FileRead read = ReadRegularFile(path, kHexImageMaxBytes);
    if (!read.ok()) {
        return std::nullopt;
    }
    return std::move(read.content);
}

std::optional<HexImage> HexImage::Load(ImageKind kind, const std::string& path) {
    auto bytes = ReadFileBytes(path);
    if (!bytes) {
        return std::nullopt;
    }
    return HexImage(kind, std::move(*bytes));
}

std::string PacketCheck(std::string_view data_digits) {
    std::uint32_t sum = 0;
    for (char c : data_digits) {
        sum += static_cast<unsigned char>(c);
    }
    return hex::Format(sum & 0xFFFF, 4);
}

char PacketCutter::next_sequence_digit() const {
    return static_cast<char>('0' + (packets_cut_ + 1) % 10);
}

std::string PacketCutter::Next() {
    std::string packet(1, next_sequence_digit());
    std::string digits;
    digits.reserve(kPacketDataDigits);
    while (digits.size() < kPacketDataDigits && position_ < data_.size()) {
        const char c = data_[position_++];
        if (source_ == Source::BundleSegment && c == kSegmentEnd) {
            finished_ = true;
            break;
        }
        if (char digit = HexDataDigit(c)) {
            digits.push_back(digit);
        }
    }
    packet += digits;
    packet += PacketCheck(digits);
    packet += '\r';
    last_digits_ = digits.size();
    digits_cut_ += digits.size();
    ++packets_cut_;
    return packet;
}

}  // namespace qvx
