#pragma once
// Firmware hex images: the text the sensor loads, as DSP or FPGA image, from a file the user picks
// or from a segment of the built-in bundle. The digits travel as text, two per firmware byte; the
// program never converts them to binary.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace qvx {

enum class ImageKind { Dsp, Fpga };

// A DSP file starts with its own 8-character check value and CR LF, which the program skips
// unread. An FPGA file is data from its first byte.
inline constexpr std::size_t kDspHeaderBytes = 10;
// Recognition of an FPGA file looks past its leading "FFFFFFFF".
inline constexpr std::size_t kFpgaRecognitionSkip = 8;
inline constexpr std::size_t kPacketDataDigits = 240;
inline constexpr char kSegmentEnd = '#';

inline constexpr const char* kDspSignature = "10AA";
inline constexpr const char* kFpgaSignature = "AA99";
inline constexpr const char* kInvalidFileCaption = "Invalid File";
inline constexpr const char* kNotDspFileText = "The selected file is not a DSP hex file.";
inline constexpr const char* kNotFpgaFileText = "The selected file is not a FPGA hex file.";

// The data digit a character stands for once upper-cased, or 0 when it is not a hex digit.
inline char HexDataDigit(char c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) {
        return c;
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<char>(c - 'a' + 'A');
    }
    return 0;
}

// The image check value announced before an upload, and the number of data digits (the 100 % mark
// of the progress display), counted in one pass.
struct FileCheckValue {
    std::uint32_t sum = 0;  // 32-bit sum of the character codes of the data digits
    std::size_t digit_count = 0;
    std::string Text() const;  // 8 upper-case hex digits
};

// Over every data digit of text; for a bundle segment (stop_at_segment_end) up to its '#'.
FileCheckValue ComputeFileCheckValue(std::string_view text, bool stop_at_segment_end = false);

// The image data of a whole file: past the DSP header, or everything for FPGA. A DSP file shorter
// than its header has no data.
std::string_view ImageData(std::string_view file_bytes, ImageKind kind);

struct Recognition {
    bool ok = false;
    std::string caption;  // for the message shown when not ok
    std::string text;
};

// Whether the file content is an image of the kind the user selected: the first four data digits
// after the skipped bytes must be "10AA" (DSP) or "AA99" (FPGA).
Recognition RecognizeHexFile(std::string_view file_bytes, ImageKind kind);

// Reads a whole file in binary mode; nullopt when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& path);

// A hex file loaded for upload: the file's bytes and the image kind.
class HexImage {
  public:
    HexImage(ImageKind kind, std::string file_bytes) : kind_(kind), bytes_(std::move(file_bytes)) {}
    static std::optional<HexImage> Load(ImageKind kind, const std::string& path);

    ImageKind kind() const { return kind_; }
    std::string_view data() const { return ImageData(bytes_, kind_); }
    Recognition Recognize() const { return RecognizeHexFile(bytes_, kind_); }
    FileCheckValue CheckValue() const { return ComputeFileCheckValue(data()); }

  private:
    ImageKind kind_;
    std::string bytes_;
};

// Four upper-case hex digits: the low 16 bits of the sum of the packet's data digits.
std::string PacketCheck(std::string_view data_digits);

// Cuts image data into upload packets: sequence digit ('1', '2', ... '9', '0', '1', ...), up to 240
// data digits, the packet check and CR. The request code ("D1" / "F0") is not part of the packet.
//
// A packet is cut whenever unread characters remain, so characters after the last digit that
// completed a full packet (a file's final CR LF) give one more packet without data: the sequence
// digit, "0000" and CR. The sensor counts on that closing packet. A bundle segment's packet also
// ends at its '#', and that packet is the last.
class PacketCutter {
  public:
    enum class Source { File, BundleSegment };
    PacketCutter(std::string_view data, Source source) : data_(data), source_(source) {}

    bool HasNext() const { return !finished_ && position_ < data_.size(); }
    // The next packet; call only while HasNext().
    std::string Next();

    // Data digits of the packet returned last, and of all packets so far (for the progress display).
    std::size_t last_digit_count() const { return last_digits_; }
    std::size_t digits_cut() const { return digits_cut_; }
    int packets_cut() const { return packets_cut_; }
    // The sequence digit the next packet will carry.
    char next_sequence_digit() const;

  private:
    std::string_view data_;
    Source source_;
    std::size_t position_ = 0;
    bool finished_ = false;
    std::size_t last_digits_ = 0;
    std::size_t digits_cut_ = 0;
    int packets_cut_ = 0;
};

}  // namespace qvx
