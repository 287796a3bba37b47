#include "firmware/firmware_version.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace qvx {

namespace {

// A forward-only reader over a text that hands out empty fields once the text is exhausted.
class FieldReader {
  public:
    explicit FieldReader(std::string_view text) : text_(text) {}

    bool AtEnd() const { return position_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[position_]; }
    void Skip() {
        if (!AtEnd()) {
            ++position_;
        }
    }
    // Moves past the first occurrence of c; to the end when there is none.
    void SkipThrough(char c) {
        const std::size_t found = text_.find(c, position_);
        position_ = found == std::string_view::npos ? text_.size() : found + 1;
    }
    // The text up to the first of the delimiters (or the end); stays on the delimiter.
    std::string TakeUntilAny(std::string_view delimiters) {
        const std::size_t start = std::min(position_, text_.size());
        const std::size_t found = text_.find_first_of(delimiters, start);
        position_ = found == std::string_view::npos ? text_.size() : found;
        return std::string(text_.substr(start, position_ - start));
    }
    // The text up to the delimiter, which is consumed.
    std::string TakeField(char delimiter) {
        std::string field = TakeUntilAny(std::string_view(&delimiter, 1));
        Skip();
        return field;
    }

  private:
    std::string_view text_;
    std::size_t position_ = 0;
};

std::string DropLeadingZeros(std::string digits) {
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        return digits.empty() ? digits : "0";
    }
    return digits.substr(first);
}

constexpr std::string_view kDspMarker = "DSP: ";
constexpr std::string_view kFpgaMarker = "FPGA: ";
constexpr std::string_view kFpgaField = " FPGA: ";
constexpr std::size_t kFpgaDigits = 4;

std::string ReadFpgaField(std::string_view upper) {
    const std::size_t found = upper.find(kFpgaField);
    if (found == std::string_view::npos) {
        return {};
    }
    return DropLeadingZeros(std::string(upper.substr(found + kFpgaField.size(), kFpgaDigits)));
}

}  // namespace

std::string UpperExceptV(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z' && c != 'v') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

SensorVersion ParseSensorVersion(std::string_view reply) {
    SensorVersion result;
    if (reply.find(kDspMarker) == std::string_view::npos ||
        reply.find(kFpgaMarker) == std::string_view::npos) {
        return result;
    }
    result.parsed = true;
    const std::string upper = UpperExceptV(reply.substr(std::min(reply.size(), kDspMarker.size())));
    FieldReader reader(upper);
    FirmwareVersion& v = result.version;
    reader.SkipThrough('_');
    v.primary = reader.TakeField('.');
    reader.TakeField('.');  // not compared
    v.yy = reader.TakeField('.');
    result.kind = reader.Peek() == 'F' ? kForwardFireKind : kSideFireKind;
    v.amm = reader.TakeUntilAny("._");
    reader.Skip();
    if (reader.Peek() == 'R') {
        reader.Skip();
    }
    v.dd = reader.TakeUntilAny(" ");
    v.fpga = ReadFpgaField(upper);
    return result;
}

BundleVersion ParseBundleVersion(std::string_view name_line) {
    BundleVersion result;
    const std::string upper = UpperExceptV(name_line);
    FieldReader reader(upper);
    reader.SkipThrough('_');
    result.primary = reader.TakeField('.');
    result.fpga = reader.TakeField('.');
    result.yy = reader.TakeField('.');
    std::string side = reader.TakeField('.');
    std::string forward = reader.TakeField('.');
    result.side_fire_amm = side.starts_with(kSideFireKind) ? side : std::string();
    result.forward_fire_amm = forward.starts_with(kForwardFireKind) ? forward : std::string();
    result.dd = reader.TakeField('.');
    return result;
}

FirmwareVersion BundleVersion::ForKind(char sensor_kind) const {
    return {primary, fpga, yy, sensor_kind == kForwardFireKind ? forward_fire_amm : side_fire_amm, dd};
}

bool VersionReplyIsForwardFire(std::string_view reply) {
    std::size_t start = 0;
    for (int field = 0; field < 3; ++field) {
        const std::size_t dot = reply.find('.', start);
        if (dot == std::string_view::npos) {
            return false;
        }
        start = dot + 1;
    }
    const std::string_view fourth = reply.substr(start, reply.find('.', start) - start);
    const bool has_f = fourth.find_first_of("fF") != std::string_view::npos;
    const bool has_s = fourth.find_first_of("sS") != std::string_view::npos;
    return has_f && !has_s;
}

}  // namespace qvx
