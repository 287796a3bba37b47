#include "sim_firmware.h"

namespace qvx::sim {

namespace {

constexpr std::size_t kCheckValueDigits = 8;
constexpr std::size_t kPacketCheckDigits = 4;
constexpr std::size_t kMaxPacketDigits = 240;
constexpr std::size_t kDspVersionLength = 20;
constexpr std::size_t kFpgaVersionLength = 4;
constexpr std::size_t kDspVersionAt = 5;  // in "DSP: " + 20 + " FPGA: " + 4
constexpr std::size_t kFpgaVersionAt = 32;

const char* const kSuccess = "Success";
const char* const kFailure = "Failure";
const char* const kReady = "Ready";
const char* const kNull = "Null";

// The sensor takes upper-case digits only: the program upper-cases every digit it sends.
bool IsUpperHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool AllUpperHex(std::string_view text) {
    for (char c : text) {
        if (!IsUpperHex(c)) {
            return false;
        }
    }
    return true;
}

std::uint32_t HexValue(std::string_view text) {
    std::uint32_t value = 0;
    for (char c : text) {
        value = value * 16 + static_cast<std::uint32_t>(c <= '9' ? c - '0' : c - 'A' + 10);
    }
    return value;
}

std::string HexText(std::uint32_t value, std::size_t digits) {
    static const char* const kDigits = "0123456789ABCDEF";
    std::string text(digits, '0');
    for (std::size_t i = digits; i-- > 0; value >>= 4) {
        text[i] = kDigits[value & 0xF];
    }
    return text;
}

FirmwareAnswer StatusWord(const char* word) {
    return {true, word};
}

char NextSequence(char digit) {
    return digit == '9' ? '0' : static_cast<char>(digit + 1);
}

}  // namespace

std::uint32_t FirmwareLoader::DigitSum(std::string_view digits) {
    std::uint32_t sum = 0;
    for (char c : digits) {
        sum += static_cast<unsigned char>(c);
    }
    return sum;
}

FirmwareAnswer FirmwareLoader::Announce(FirmwarePart part, std::string_view payload) {
    if (payload.size() != kCheckValueDigits || !AllUpperHex(payload)) {
        return StatusWord(kFailure);
    }
    PartState& state = State(part);
    state = PartState{};
    state.phase = Phase::Announced;
    Image(part) = ReceivedImage{};
    Image(part).announced = HexValue(payload);
    if (++announces_ <= faults_.wrong_echo) {
        return {false, HexText(Image(part).announced ^ 0x5A5A, kCheckValueDigits)};
    }
    return {false, std::string(payload)};
}

FirmwareAnswer FirmwareLoader::Ready(FirmwarePart part) {
    PartState& state = State(part);
    if (state.phase != Phase::Announced) {
        return StatusWord(kFailure);
    }
    state.phase = Phase::Receiving;
    return StatusWord(kReady);
}

FirmwareAnswer FirmwareLoader::Refuse(PartState& state) {
    ++state.refusals;
    ++packets_refused_;
    return StatusWord(kFailure);
}

// One packet: sequence digit, up to 240 data digits, the packet check.
FirmwareAnswer FirmwareLoader::Packet(FirmwarePart part, std::string_view payload) {
    PartState& state = State(part);
    if (state.phase != Phase::Receiving || payload.size() < 1 + kPacketCheckDigits) {
        ++packets_refused_;
        return StatusWord(kFailure);
    }
    const char sequence = payload.front();
    const std::string_view data = payload.substr(1, payload.size() - 1 - kPacketCheckDigits);
    const std::string_view check = payload.substr(payload.size() - kPacketCheckDigits);
    if (sequence < '0' || sequence > '9' || data.size() > kMaxPacketDigits || !AllUpperHex(data) ||
        !AllUpperHex(check) || HexValue(check) != (DigitSum(data) & 0xFFFF)) {
        return Refuse(state);
    }
    if (sequence != state.expected_sequence) {
        // The program resends a packet whose reply it lost: taken again, stored once.
        if (payload == state.last_packet) {
            return StatusWord(kSuccess);
        }
        return Refuse(state);
    }
    ReceivedImage& image = Image(part);
    if (faults_.refuse_packet == image.packets + 1 && state.refusals < faults_.refuse_times) {
        return Refuse(state);
    }
    image.digits.append(data);
    image.sum += DigitSum(data);
    ++image.packets;
    state.refusals = 0;
    state.last_packet = std::string(payload);
    state.expected_sequence = NextSequence(sequence);
    return StatusWord(kSuccess);
}

bool FirmwareLoader::SignatureOk(FirmwarePart part, const std::string& digits) const {
    if (part == FirmwarePart::Dsp) {
        return digits.starts_with("10AA");
    }
    return digits.size() >= 12 && digits.substr(8, 4) == "AA99";
}

// "D6" also ends an FPGA upload in progress: the program sends it to leave the upload state.
FirmwareAnswer FirmwareLoader::Result(FirmwarePart part) {
    if (part == FirmwarePart::Dsp && fpga_state_.phase != Phase::Idle) {
        fpga_state_ = PartState{};
        return StatusWord(kFailure);
    }
    PartState& state = State(part);
    if (state.phase == Phase::Idle) {
        return StatusWord(kNull);
    }
    const bool received = state.phase == Phase::Receiving;
    state = PartState{};
    ReceivedImage& image = Image(part);
    const bool ok =
        received && !faults_.fail_result && image.sum == image.announced && SignatureOk(part, image.digits);
    image.complete = ok;
    (part == FirmwarePart::Dsp ? dsp_pending_ : fpga_pending_) = ok;
    return StatusWord(ok ? kSuccess : kFailure);
}

void FirmwareLoader::Restart(Clock::time_point now, std::string& version_text) {
    ++restarts_;
    silent_until_ = now + restart_time_;
    dsp_state_ = PartState{};
    fpga_state_ = PartState{};
    const auto load = [&](bool& pending, const ReceivedImage& image, std::size_t at, std::size_t length) {
        if (!pending) {
            return;
        }
        pending = false;
        ++images_loaded_;
        const auto mark = VersionMark(image.digits);
        if (mark && mark->size() == length && version_text.size() >= at + length) {
            version_text.replace(at, length, *mark);
        }
    };
    load(dsp_pending_, dsp_, kDspVersionAt, kDspVersionLength);
    load(fpga_pending_, fpga_, kFpgaVersionAt, kFpgaVersionLength);
}

std::optional<std::string> FirmwareLoader::VersionMark(std::string_view digits) {
    std::string text;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        text += static_cast<char>(HexValue(digits.substr(i, 2)));
    }
    const std::size_t start = text.find("$VER:");
    if (start == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t end = text.find('$', start + 5);
    if (end == std::string::npos) {
        return std::nullopt;
    }
    return text.substr(start + 5, end - start - 5);
}

}  // namespace qvx::sim
