#include "protocol/frame.h"

#include <cstdint>

namespace qvx {

namespace {

std::uint32_t ByteSum(std::string_view text) {
    std::uint32_t sum = 0;
    for (char c : text) {
        sum += static_cast<unsigned char>(c);
    }
    return sum;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace

const char* TransactionResultText(int result) {
    switch (result) {
        case kNoResponse:
            return "No Response";
        case kPartialHeader:
            return "Partial Header";
        case kUnexpectedHeader:
            return "Unexpected Header";
        case kChecksumError:
            return "Checksum Error";
        case kPartialPayload:
            return "Partial Payload";
        case kPayloadError:
            return "Payload Error";
        case kReconnectFailure:
            return "Reconnect Failure";
        case kLatencyDetectionFailure:
            return "Latency Detection Failure";
        case kUploadPacketFailure:
            return "Upload Packet Failure";
        default:
            return "";
    }
}

std::string ComputeFrameChecksum(std::string_view text) {
    static const char kDigits[] = "0123456789ABCDEF";
    // Records are short 7-bit text, so the sum fits in four digits; longer input keeps the low 16 bits
    // so the field always has its fixed width (such a field can never verify, see below).
    const std::uint32_t sum = ByteSum(text) & 0xFFFF;
    std::string field(4, '0');
    for (int i = 0; i < 4; ++i) {
        field[3 - i] = kDigits[(sum >> (4 * i)) & 0xF];
    }
    return field;
}

bool VerifyFrameChecksum(std::string_view data, std::string_view field) {
    if (field.size() != 4) {
        return false;
    }
    std::uint32_t value = 0;
    for (char c : field) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return false;
        }
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    // The whole sum is compared: a sum past 0xFFFF never matches a four-digit field.
    return value == ByteSum(data);
}

}  // namespace qvx
