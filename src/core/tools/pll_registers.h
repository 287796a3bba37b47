#pragma once
// The radar's frequency synthesizer: three 24-bit registers whose two lowest bits select the latch
// (function latch 10, N counter 01, R counter 00). The fields of each register are packed into the
// value and unpacked from a value read back; the sensor reads and writes them with "P0".."P5".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/transaction_result.h"

namespace qvx {

class SensorProtocol;

enum class PllRegister { FunctionLatch, RCounter, NCounter };

struct FunctionLatch {
    bool counter_reset = false;
    bool power_down = false;
    int fold_output = 0;  // "Fo/LD Output State" choice 0..7
    bool phase_detector_polarity = false;
    bool cp_tristate = false;
    int fastlock_mode = 0;     // "FastLock Modes" choice 0..4
    int fastlock_timeout = 0;  // "FastLock Timeout Counter" choice 0..15
    bool power_down_mode = false;
    bool operator==(const FunctionLatch&) const = default;
};

struct Divider {
    std::uint32_t ratio = 0;
    bool flag = false;  // N: the Go bit; R: the lock-detect precision bit
    bool operator==(const Divider&) const = default;
};

inline constexpr std::uint32_t kNRatioMin = 992;
inline constexpr std::uint32_t kNRatioMax = 262143;
inline constexpr std::uint32_t kRRatioMin = 3;
inline constexpr std::uint32_t kRRatioMax = 16383;
inline constexpr int kPllValueBits = 24;

std::uint32_t EncodeFunctionLatch(const FunctionLatch& latch);
FunctionLatch DecodeFunctionLatch(std::uint32_t value);
std::uint32_t EncodeNCounter(const Divider& n);
Divider DecodeNCounter(std::uint32_t value);
std::uint32_t EncodeRCounter(const Divider& r);
Divider DecodeRCounter(std::uint32_t value);

// A divide-ratio entry: the leading digits as a decimal number (at most max_digits of them),
// clamped into low..high. corrected is set when the field must be rewritten.
struct RatioEntry {
    std::uint32_t value = 0;
    bool corrected = false;
};
RatioEntry ParseDivideRatio(std::string_view text, std::uint32_t low, std::uint32_t high, int max_digits = 9);

// 24 characters '0'/'1', most significant bit first.
std::string PllBinaryText(std::uint32_t value);
// 6 upper-case hexadecimal digits.
std::string PllHexText(std::uint32_t value);

// The request codes of a register.
const char* PllWriteCode(PllRegister reg);
const char* PllReadCode(PllRegister reg);
const char* PllRegisterName(PllRegister reg);  // "Latches", "R Counter", "N Counter"

struct PllRead {
    TransactionResult result = TransactionResult::NoResponse;
    std::optional<std::uint32_t> value;  // set when the reply carried the register
};

// Sends "00" + 6 hex digits; the communication-error dialog is shown, no automatic retry.
TransactionResult WritePllRegister(SensorProtocol& protocol, PllRegister reg, std::uint32_t value);
// Reads the register back. A reply that does not carry 6 hexadecimal digits after its first two
// characters leaves value empty (the fields keep what they showed).
PllRead ReadPllRegister(SensorProtocol& protocol, PllRegister reg);
// The register's value from the data of a read reply ("00" + 6 hex digits).
std::optional<std::uint32_t> ParsePllReply(std::string_view data);

}  // namespace qvx
