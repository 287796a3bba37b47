// qvx pll: the synthesizer registers read and written by field.

#include <charconv>
#include <optional>
#include <sstream>
#include <utility>

#include "cli_tools.h"
#include "context/app_context.h"
#include "protocol/transaction_result.h"
#include "tools/pll_registers.h"

namespace qvx::cli {

namespace {

using Fields = std::vector<std::pair<std::string, std::uint32_t>>;

struct PllRequest {
    bool set = false;
    std::vector<PllRegister> registers;
    Divider divider;     // set n / set r
    Fields latch_edits;  // set latch NAME=VALUE ...
};

struct LatchField {
    const char* name;
    std::uint32_t max;
};
constexpr LatchField kLatchFields[] = {{"counter-reset", 1},     {"power-down", 1},     {"fo-ld", 7},
                                       {"pd-polarity", 1},       {"cp-tristate", 1},    {"fastlock", 4},
                                       {"fastlock-timeout", 15}, {"power-down-mode", 1}};

std::optional<std::uint32_t> Number(const std::string& text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<PllRegister> RegisterNamed(const std::string& name) {
    if (name == "latch") {
        return PllRegister::FunctionLatch;
    }
    if (name == "r") {
        return PllRegister::RCounter;
    }
    if (name == "n") {
        return PllRegister::NCounter;
    }
    return std::nullopt;
}

const char* ShortName(PllRegister reg) {
    return reg == PllRegister::FunctionLatch ? "latch" : (reg == PllRegister::RCounter ? "r" : "n");
}

std::string ParseDivider(const std::vector<std::string>& words, PllRequest& request) {
    const bool n = request.registers.front() == PllRegister::NCounter;
    const std::uint32_t low = n ? kNRatioMin : kRRatioMin;
    const std::uint32_t high = n ? kNRatioMax : kRRatioMax;
    const char* flag = n ? "go" : "ld-precision";
    const auto ratio = words.size() >= 3 ? Number(words[2]) : std::nullopt;
    if (!ratio || *ratio < low || *ratio > high || words.size() > 4 ||
        (words.size() == 4 && words[3] != flag)) {
        return std::string("usage: qvx pll set ") + ShortName(request.registers.front()) + " RATIO [" + flag +
               "], RATIO from " + std::to_string(low) + " to " + std::to_string(high);
    }
    request.divider = Divider{*ratio, words.size() == 4};
    return {};
}

std::string ParseLatchEdits(const std::vector<std::string>& words, PllRequest& request) {
    for (std::size_t k = 2; k < words.size(); ++k) {
        const std::size_t eq = words[k].find('=');
        const std::string name = words[k].substr(0, eq);
        const auto value = eq == std::string::npos ? std::nullopt : Number(words[k].substr(eq + 1));
        const LatchField* field = nullptr;
        for (const LatchField& known : kLatchFields) {
            field = name == known.name ? &known : field;
        }
        if (field == nullptr || !value || *value > field->max) {
            return "pll set latch takes NAME=VALUE: counter-reset, power-down, pd-polarity, cp-tristate, "
                   "power-down-mode (0 or 1), fo-ld (0-7), fastlock (0-4), fastlock-timeout (0-15); not '" +
                   words[k] + "'";
        }
        request.latch_edits.emplace_back(name, *value);
    }
    return request.latch_edits.empty() ? "usage: qvx pll set latch NAME=VALUE ..." : std::string();
}

std::string ParsePll(const std::vector<std::string>& words, PllRequest& request) {
    const std::string& action = words.front();
    if (action == "get" && words.size() <= 2) {
        if (words.size() == 1) {
            request.registers = {PllRegister::FunctionLatch, PllRegister::RCounter, PllRegister::NCounter};
            return {};
        }
        const auto reg = RegisterNamed(words[1]);
        if (!reg) {
            return "usage: qvx pll get [latch|r|n]";
        }
        request.registers = {*reg};
        return {};
    }
    const auto reg = action == "set" && words.size() >= 3 ? RegisterNamed(words[1]) : std::nullopt;
    if (!reg) {
        return "usage: qvx pll get [latch|r|n] | pll set n RATIO [go] | pll set r RATIO [ld-precision] | "
               "pll set latch NAME=VALUE ...";
    }
    request.set = true;
    request.registers = {*reg};
    return *reg == PllRegister::FunctionLatch ? ParseLatchEdits(words, request)
                                              : ParseDivider(words, request);
}

void ApplyLatchEdit(FunctionLatch& latch, const std::string& name, std::uint32_t value) {
    const int v = static_cast<int>(value);
    const std::pair<const char*, bool*> flags[] = {{"counter-reset", &latch.counter_reset},
                                                   {"power-down", &latch.power_down},
                                                   {"pd-polarity", &latch.phase_detector_polarity},
                                                   {"cp-tristate", &latch.cp_tristate},
                                                   {"power-down-mode", &latch.power_down_mode}};
    for (const auto& [flag, target] : flags) {
        if (name == flag) {
            *target = v != 0;
        }
    }
    if (name == "fo-ld") {
        latch.fold_output = v;
    } else if (name == "fastlock") {
        latch.fastlock_mode = v;
    } else if (name == "fastlock-timeout") {
        latch.fastlock_timeout = v;
    }
}

Fields FieldsOf(PllRegister reg, std::uint32_t value) {
    if (reg == PllRegister::FunctionLatch) {
        const FunctionLatch l = DecodeFunctionLatch(value);
        return {{"counter-reset", l.counter_reset},
                {"power-down", l.power_down},
                {"fo-ld", static_cast<std::uint32_t>(l.fold_output)},
                {"pd-polarity", l.phase_detector_polarity},
                {"cp-tristate", l.cp_tristate},
                {"fastlock", static_cast<std::uint32_t>(l.fastlock_mode)},
                {"fastlock-timeout", static_cast<std::uint32_t>(l.fastlock_timeout)},
                {"power-down-mode", l.power_down_mode}};
    }
    const Divider d = reg == PllRegister::NCounter ? DecodeNCounter(value) : DecodeRCounter(value);
    return {{"ratio", d.ratio}, {reg == PllRegister::NCounter ? "go" : "ld-precision", d.flag}};
}

std::string FormatRegister(PllRegister reg, std::uint32_t value, const std::string& format) {
    std::ostringstream line;
    const Fields fields = FieldsOf(reg, value);
    if (format == "json") {
        line << "{\"register\":\"" << ShortName(reg) << "\",\"hex\":\"" << PllHexText(value)
             << "\",\"binary\":\"" << PllBinaryText(value) << "\",\"fields\":{";
        for (std::size_t k = 0; k < fields.size(); ++k) {
            line << (k ? "," : "") << "\"" << fields[k].first << "\":" << fields[k].second;
        }
        line << "}}";
        return line.str();
    }
    const char* gap = format == "tsv" ? "\t" : "  ";
    line << (format == "tsv" ? ShortName(reg) : PllRegisterName(reg)) << gap << PllHexText(value) << gap
         << PllBinaryText(value);
    for (const auto& [name, field] : fields) {
        line << (format == "tsv" ? "\t" : " ") << name << "=" << field;
    }
    return line.str();
}

void PrintRegisters(const std::vector<std::pair<PllRegister, std::uint32_t>>& values,
                    const std::string& format, std::ostream& out) {
    const bool json = format == "json";
    out << (json ? "[" : "");
    for (std::size_t k = 0; k < values.size(); ++k) {
        out << (json && k ? "," : "") << FormatRegister(values[k].first, values[k].second, format)
            << (json ? "" : "\n");
    }
    out << (json ? "]\n" : "");
}

int ReadFailed(CommandStreams io, PllRegister reg, TransactionResult result) {
    io.err << "qvx: reading the " << PllRegisterName(reg) << " register failed";
    const char* text = TransactionResultText(result);
    io.err << (text != nullptr && *text ? std::string(": ") + text
                                        : std::string(": the reply carried no value"))
           << "\n";
    return kExitSensorFailed;
}

std::uint32_t NewValue(const PllRequest& request, std::uint32_t current) {
    switch (request.registers.front()) {
        case PllRegister::NCounter:
            return EncodeNCounter(request.divider);
        case PllRegister::RCounter:
            return EncodeRCounter(request.divider);
        case PllRegister::FunctionLatch:
        default: {
            FunctionLatch latch = DecodeFunctionLatch(current);
            for (const auto& [name, value] : request.latch_edits) {
                ApplyLatchEdit(latch, name, value);
            }
            return EncodeFunctionLatch(latch);
        }
    }
}

}  // namespace

std::string CheckPllWords(const std::vector<std::string>& words) {
    PllRequest request;
    return ParsePll(words, request);
}

int RunPll(AppContext& app, const CliOptions& options, CommandStreams io) {
    PllRequest request;
    ParsePll(options.tools.words, request);
    const OutputFormat chosen = options.format.value_or(OutputFormat::Text);
    const std::string format =
        chosen == OutputFormat::Json ? "json" : (chosen == OutputFormat::Tsv ? "tsv" : "text");
    std::vector<std::pair<PllRegister, std::uint32_t>> values;
    for (PllRegister reg : request.registers) {
        const PllRead read = ReadPllRegister(app.protocol, reg);
        if (read.result != TransactionResult::Ok || !read.value) {
            return ReadFailed(io, reg, read.result);
        }
        values.emplace_back(reg, *read.value);
    }
    if (!request.set) {
        PrintRegisters(values, format, io.out);
        return kExitSuccess;
    }
    const PllRegister reg = request.registers.front();
    const std::uint32_t wanted = NewValue(request, values.front().second);
    const TransactionResult written = WritePllRegister(app.protocol, reg, wanted);
    if (written != TransactionResult::Ok) {
        io.err << "qvx: writing the " << PllRegisterName(reg) << " register failed\n";
        return kExitSensorFailed;
    }
    const PllRead back = ReadPllRegister(app.protocol, reg);
    if (back.result != TransactionResult::Ok || !back.value) {
        return ReadFailed(io, reg, back.result);
    }
    PrintRegisters({{reg, *back.value}}, format, io.out);
    if (*back.value != wanted) {
        io.err << "qvx: the sensor reads back " << PllHexText(*back.value) << ", not " << PllHexText(wanted)
               << "\n";
        return kExitSensorFailed;
    }
    return kExitSuccess;
}

}  // namespace qvx::cli
