#include "protocol/frame.h"

#include "base/hex_text.h"
#include "protocol/status_words.h"

#include <cstdint>
#include <ostream>

namespace qvx {

namespace {

std::uint32_t ByteSum(std::string_view text) {
    std::uint32_t sum = 0;
    for (char c : text) {
        sum += static_cast<unsigned char>(c);
    }
    return sum;
}

}  // namespace

const char* TransactionResultText(TransactionResult result) {
    switch (result) {
        case TransactionResult::NoResponse:
            return "No Response";
        case TransactionResult::PartialHeader:
            return "Partial Header";
        case TransactionResult::UnexpectedHeader:
            return "Unexpected Header";
        case TransactionResult::ChecksumError:
            return "Checksum Error";
        case TransactionResult::PartialPayload:
            return "Partial Payload";
        case TransactionResult::PayloadError:
            return "Payload Error";
        case TransactionResult::ReconnectFailure:
            return "Reconnect Failure";
        case TransactionResult::LatencyDetectionFailure:
            return "Latency Detection Failure";
        case TransactionResult::UploadPacketFailure:
            return "Upload Packet Failure";
        default:
            return "";
    }
}

std::ostream& operator<<(std::ostream& out, TransactionResult result) {
    out << ResultCode(result);
    if (const char* text = TransactionResultText(result); *text != '\0') {
        out << ' ' << text;
    }
    return out;
}

std::string ComputeFrameChecksum(std::string_view text) {
    // Records are short 7-bit text, so the sum fits in four digits; longer input keeps the low 16 bits
    // so the field always has its fixed width (such a field can never verify, see below).
    const std::uint32_t sum = ByteSum(text) & 0xFFFF;
    return hex::Format(sum, 4);
}

bool VerifyFrameChecksum(std::string_view data, std::string_view field) {
    if (field.size() != 4) {
        return false;
    }
    const auto value = hex::Parse(field);
    // The whole sum is compared: a sum past 0xFFFF never matches a four-digit field.
    return value && *value == ByteSum(data);
}

namespace {

constexpr char kCr = '\r';
constexpr char kEscape = '~';
constexpr std::size_t kPrefixLength = 6;       // "Z0" + 4-character multi-drop ID
constexpr std::size_t kPrefixCheckLength = 8;  // prefix + the first two characters of the response code

}  // namespace

bool NeedsMultiDropPrefix(const ConnectionState& state, std::string_view request_text) {
    if (!state.multidrop_enabled || request_text.empty()) {
        return false;
    }
    // Modem commands ("AT...", "+++") and the discovery commands must reach every device bare.
    const char first = request_text.front();
    return first != 'A' && first != 'T' && first != '+' && first != 'B';
}

FrameRecognizer::FrameRecognizer(std::string expected_code, std::string multi_drop_id,
                                 bool collect_to_deadline, std::size_t capacity)
    : expected_code_(std::move(expected_code)),
      multi_drop_id_(std::move(multi_drop_id)),
      collect_to_deadline_(collect_to_deadline),
      capacity_(capacity) {
    if (!multi_drop_id_.empty()) {
        header_[0] = 'Z';
        header_[1] = '0';
    } else {
        header_[0] = expected_code_.size() > 0 ? expected_code_[0] : '\0';
        header_[1] = expected_code_.size() > 1 ? expected_code_[1] : '\0';
    }
}

// The '~' escape: a '~' is held back when it arrives. Followed by CR, the pair is a line
// continuation: neither is stored and the frame goes on. Followed by anything else, the '~' is
// stored as a literal and the byte is then handled as usual (so "~~" stores one '~' and holds the
// second). A '~' still held when the frame ends is dropped. Every reply without "~\r" therefore
// arrives byte for byte.
bool FrameRecognizer::Feed(char byte) {
    if (complete_) {
        return true;
    }
    if (!started_) {
        if (previous_ == header_[0] && byte == header_[1]) {
            started_ = true;
            Store(header_[0]);
            Store(header_[1]);
        }
        previous_ = byte;
        return complete_;
    }
    previous_ = byte;
    if (escape_pending_) {
        escape_pending_ = false;
        if (byte == kCr) {
            return complete_;
        }
        Store(kEscape);
        if (!started_) {
            return complete_;  // that '~' completed a foreign prefix: the byte belongs to the search
        }
    }
    if (byte == kEscape) {
        escape_pending_ = true;
    } else if (byte == kCr) {
        // Discovery replies from every sensor on the bus are gathered until the deadline.
        if (!collect_to_deadline_) {
            Store(kCr);
            complete_ = started_;
        }
    } else {
        Store(byte);
    }
    return complete_;
}

void FrameRecognizer::Store(char byte) {
    if (text_.size() >= capacity_) {
        return;
    }
    text_.push_back(byte);
    CheckPrefix();
}

// A multi-drop bus carries the replies of other sensors too: only a frame that names the ID in use
// and the expected response code is kept; anything else is dropped and the search starts again.
void FrameRecognizer::CheckPrefix() {
    if (multi_drop_id_.empty() || prefix_checked_ || text_.size() < kPrefixCheckLength) {
        return;
    }
    const bool own_id = text_.compare(2, 4, multi_drop_id_) == 0;
    const bool own_code = text_.compare(kPrefixLength, 2, expected_code_, 0, 2) == 0;
    if (own_id && own_code) {
        text_.erase(0, kPrefixLength);
        prefix_checked_ = true;
        return;
    }
    text_.clear();
    started_ = false;
    escape_pending_ = false;
}

namespace {

constexpr std::size_t kChecksumLength = 4;
constexpr std::size_t kEchoLength = 11;
constexpr std::size_t kDiscoveryItemLength = 8;    // 4-character ID + its checksum
constexpr std::size_t kDiscoveryReplyStride = 10;  // ... followed by the next reply's "B1"
constexpr std::size_t kIntervalHeaderLength = 8;
constexpr std::size_t kIntervalLaneLength = 29;

bool Contains(std::string_view text, std::string_view word) {
    return text.find(word) != std::string_view::npos;
}

bool HasAcceptedStatusWord(const CommandDescriptor& command, std::string_view data) {
    return AcceptedStatusWord(command.status_mask, data).has_value();
}

TransactionResult CheckLength(const CommandDescriptor& command, std::size_t length) {
    const auto size = static_cast<long long>(length);
    return size >= command.min_length && size <= command.max_length ? TransactionResult::Ok
                                                                    : TransactionResult::PartialPayload;
}

TransactionResult CheckUnchecksummed(const CommandDescriptor& command, std::string_view data) {
    if (command.min_length == kMultiDropLength) {
        return TransactionResult::Ok;
    }
    return CheckLength(command, data.size());
}

// Removes the checksum field from data; a field that is missing or does not verify is 102.
TransactionResult CheckChecksummed(const CommandDescriptor& command, std::string& data) {
    if (data.size() <= kChecksumLength) {
        return TransactionResult::ChecksumError;
    }
    const std::string field = data.substr(data.size() - kChecksumLength);
    data.resize(data.size() - kChecksumLength);
    if (!VerifyFrameChecksum(data, field)) {
        return TransactionResult::ChecksumError;
    }
    return CheckLength(command, data.size());
}

// A line that echoes the unprotect request back shows the access code where the data should be.
bool IsUnprotectEcho(std::string_view letters, std::string_view data) {
    return letters == "S8" && data.size() == kEchoLength &&
           data == std::string_view(kUnprotectCode).substr(0, kEchoLength);
}

// Some sensors acknowledge the firewall commands with the bare response code "S8", others echo
// the access code behind it; both mean the command was taken.
bool IsBareFirewallAcknowledgement(const CommandDescriptor& command, std::string_view data) {
    return data.empty() && (command.request_code == cmd::kUnprotect || command.request_code == cmd::kProtect);
}

// Every sensor on the bus answers "B1" + ID + checksum; the receiver joins the replies, so the
// items are 10 characters apart. Only IDs whose checksum verifies are kept.
TransactionResult CheckDiscovery(std::string& data) {
    if (data.size() < kDiscoveryItemLength) {
        return TransactionResult::PartialPayload;
    }
    std::string ids;
    for (std::size_t p = 0; p + kDiscoveryItemLength <= data.size(); p += kDiscoveryReplyStride) {
        const std::string_view item = std::string_view(data).substr(p, kDiscoveryItemLength);
        if (VerifyFrameChecksum(item.substr(0, 4), item.substr(4, 4))) {
            ids.append(item.substr(0, 4));
        }
    }
    if (ids.empty()) {
        return TransactionResult::ChecksumError;
    }
    data = std::move(ids);
    return TransactionResult::Ok;
}

bool IsConnectionPortText(std::string_view data) {
    for (const char* port : {"RS-232", "RS-485", "EXPA", "EXPB", "EXP-A", "EXP-B"}) {
        if (Contains(data, port)) {
            return true;
        }
    }
    return false;
}

bool IsConfigModeDigit(std::string_view data) {
    return data.size() == 1 && (data[0] == '0' || data[0] == '1' || data[0] == '2');
}

bool IsWholeLaneCount(std::size_t length) {
    return length >= kIntervalHeaderLength && (length - kIntervalHeaderLength) % kIntervalLaneLength == 0;
}

TransactionResult CheckContent(std::string_view letters, std::string& data) {
    if (letters == "B0") {
        return CheckDiscovery(data);
    }
    if (letters == "SH") {
        return IsConnectionPortText(data) ? TransactionResult::Ok : TransactionResult::PayloadError;
    }
    if (letters == "S6") {
        return IsConfigModeDigit(data) ? TransactionResult::Ok : TransactionResult::PayloadError;
    }
    if (letters == "X0" || letters == "XD") {
        return IsWholeLaneCount(data.size()) ? TransactionResult::Ok : TransactionResult::PayloadError;
    }
    return TransactionResult::Ok;
}

// A refused firmware packet is reported as "Failure"; "9Failure" is the sensor's way of saying the
// packet was taken after all.
TransactionResult CheckPacketStatus(std::string_view letters, std::string_view data) {
    if (letters != "D1" && letters != "F0") {
        return TransactionResult::Ok;
    }
    if (Contains(data, "9Failure")) {
        return TransactionResult::Ok;
    }
    return Contains(data, "Failure") ? TransactionResult::UploadPacketFailure : TransactionResult::Ok;
}

}  // namespace

TransactionResult ValidateResponse(const FrameContext& context, std::string& response_inout) {
    const CommandDescriptor& command = context.command;
    const std::string_view letters(context.command_letters);
    std::string text = response_inout;
    if (!text.empty() && text.back() == kCr) {
        text.pop_back();
    }
    if (text.empty()) {
        if (command.max_length >= 0) {
            return TransactionResult::NoResponse;
        }
        response_inout.clear();
        return TransactionResult::Ok;
    }
    if (text.size() < command.response_code.size()) {
        return TransactionResult::PartialHeader;
    }
    if (text.compare(0, command.response_code.size(), command.response_code) != 0) {
        return TransactionResult::UnexpectedHeader;
    }
    std::string data = text.substr(command.response_code.size());

    TransactionResult result;
    if (IsBareFirewallAcknowledgement(command, data)) {
        result = TransactionResult::Ok;
    } else if (HasAcceptedStatusWord(command, data)) {
        result = CheckPacketStatus(letters, data);
    } else {
        result = command.checksummed ? CheckChecksummed(command, data) : CheckUnchecksummed(command, data);
        if (result == TransactionResult::ChecksumError && IsUnprotectEcho(letters, data)) {
            result = TransactionResult::Ok;
            data = "Echo";
        } else if (result == TransactionResult::Ok ||
                   (result == TransactionResult::PartialPayload && letters == "S6")) {
            // The mode reply is a single digit: any other text is a content error, whatever its length.
            result = CheckContent(letters, data);
        }
    }
    if (result == TransactionResult::Ok) {
        response_inout = std::move(data);
    }
    return result;
}

}  // namespace qvx
