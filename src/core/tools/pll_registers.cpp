#include "tools/pll_registers.h"

#include <array>

#include "base/hex_text.h"
#include "protocol/transaction.h"
#include "protocol/transaction_result.h"

namespace qvx {

namespace {

constexpr std::uint32_t kLatchControl = 0b10;
constexpr std::uint32_t kNControl = 0b01;
constexpr std::uint32_t kFlagBit = 0x40000;  // above the ratio; bit 20 once shifted
constexpr std::uint32_t kValueMask = 0xFFFFFF;
constexpr std::size_t kReplyPrefix = 2;  // the "00" before the register's 6 digits

// "FastLock Modes" choices as bits 11..9.
constexpr std::array<std::uint32_t, 5> kFastLockPatterns = {0b000, 0b001, 0b101, 0b011, 0b111};

std::uint32_t Bit(bool on, int position) {
    return on ? 1u << position : 0u;
}

bool IsSet(std::uint32_t value, int position) {
    return ((value >> position) & 1u) != 0;
}

// The three bits of a choice in the opposite order: index 1 is written 100 (bit 6 first).
std::uint32_t ReverseThreeBits(std::uint32_t bits) {
    return ((bits & 1u) << 2) | (bits & 2u) | ((bits >> 2) & 1u);
}

}  // namespace

std::uint32_t EncodeFunctionLatch(const FunctionLatch& latch) {
    const auto fold = ReverseThreeBits(static_cast<std::uint32_t>(latch.fold_output) & 7u);
    const int mode = latch.fastlock_mode >= 0 && latch.fastlock_mode < 5 ? latch.fastlock_mode : 0;
    return kLatchControl | Bit(latch.counter_reset, 2) | Bit(latch.power_down, 3) | (fold << 4) |
           Bit(latch.phase_detector_polarity, 7) | Bit(latch.cp_tristate, 8) |
           (kFastLockPatterns[static_cast<std::size_t>(mode)] << 9) |
           ((static_cast<std::uint32_t>(latch.fastlock_timeout) & 0xFu) << 12) |
           Bit(latch.power_down_mode, 19);
}

FunctionLatch DecodeFunctionLatch(std::uint32_t value) {
    FunctionLatch latch;
    latch.counter_reset = IsSet(value, 2);
    latch.power_down = IsSet(value, 3);
    latch.fold_output = static_cast<int>(ReverseThreeBits((value >> 4) & 7u));
    latch.phase_detector_polarity = IsSet(value, 7);
    latch.cp_tristate = IsSet(value, 8);
    const std::uint32_t pattern = (value >> 9) & 7u;
    for (std::size_t choice = 0; choice < kFastLockPatterns.size(); ++choice) {
        if (kFastLockPatterns[choice] == pattern) {
            latch.fastlock_mode = static_cast<int>(choice);
        }
    }
    latch.fastlock_timeout = static_cast<int>((value >> 12) & 0xFu);
    latch.power_down_mode = IsSet(value, 19);
    return latch;
}

std::uint32_t EncodeNCounter(const Divider& n) {
    return (((n.flag ? kFlagBit : 0u) + (n.ratio & 0x3FFFFu)) * 4 + kNControl) & kValueMask;
}

Divider DecodeNCounter(std::uint32_t value) {
    return Divider{(value >> 2) & 0x3FFFFu, IsSet(value, 20)};
}

std::uint32_t EncodeRCounter(const Divider& r) {
    return (((r.flag ? kFlagBit : 0u) + (r.ratio & 0x3FFFu)) * 4) & kValueMask;
}

Divider DecodeRCounter(std::uint32_t value) {
    return Divider{(value >> 2) & 0x3FFFu, IsSet(value, 20)};
}

RatioEntry ParseDivideRatio(std::string_view text, std::uint32_t low, std::uint32_t high, int max_digits) {
    std::uint64_t number = 0;
    int digits = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || digits == max_digits) {
            break;
        }
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
        ++digits;
    }
    RatioEntry entry;
    entry.value = static_cast<std::uint32_t>(number < low ? low : (number > high ? high : number));
    entry.corrected = digits == 0 || entry.value != number || static_cast<std::size_t>(digits) != text.size();
    return entry;
}

std::string PllBinaryText(std::uint32_t value) {
    std::string text;
    for (int bit = kPllValueBits - 1; bit >= 0; --bit) {
        text += IsSet(value, bit) ? '1' : '0';
    }
    return text;
}

std::string PllHexText(std::uint32_t value) {
    return hex::Format(value & kValueMask, 6);
}

const char* PllWriteCode(PllRegister reg) {
    switch (reg) {
        case PllRegister::FunctionLatch:
            return "P0";
        case PllRegister::NCounter:
            return "P2";
        case PllRegister::RCounter:
        default:
            return "P4";
    }
}

const char* PllReadCode(PllRegister reg) {
    switch (reg) {
        case PllRegister::FunctionLatch:
            return "P1";
        case PllRegister::NCounter:
            return "P3";
        case PllRegister::RCounter:
        default:
            return "P5";
    }
}

const char* PllRegisterName(PllRegister reg) {
    switch (reg) {
        case PllRegister::FunctionLatch:
            return "Latches";
        case PllRegister::NCounter:
            return "N Counter";
        case PllRegister::RCounter:
        default:
            return "R Counter";
    }
}

TransactionResult WritePllRegister(SensorProtocol& protocol, PllRegister reg, std::uint32_t value) {
    std::string reply;
    return protocol.SendSensorCommand({.code = PllWriteCode(reg),
                                       .payload = "00" + PllHexText(value) + "\r",
                                       .on_error = ErrorPolicy::Report,
                                       .link_recovery = true},
                                      reply);
}

std::optional<std::uint32_t> ParsePllReply(std::string_view data) {
    if (data.size() != kReplyPrefix + 6) {
        return std::nullopt;
    }
    return hex::Parse(data.substr(kReplyPrefix));
}

PllRead ReadPllRegister(SensorProtocol& protocol, PllRegister reg) {
    std::string reply;
    PllRead read;
    read.result = protocol.SendSensorCommand(
        {.code = PllReadCode(reg), .payload = "\r", .on_error = ErrorPolicy::Report, .link_recovery = true},
        reply);
    if (read.result == TransactionResult::Ok) {
        read.value = ParsePllReply(reply);
    }
    return read;
}

}  // namespace qvx
