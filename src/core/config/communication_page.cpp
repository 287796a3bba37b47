#include "config/communication_page.h"

#include <algorithm>
#include <cctype>

#include "config/page_text.h"
#include "base/hex_text.h"
#include "protocol/sensor_configuration.h"
#include "protocol/user_prompts.h"

namespace qvx {

namespace {

namespace field {
constexpr int kModemIp = 1;
constexpr int kCollectorIp = 2;
constexpr int kDataScript = 3;
constexpr int kConfigScript = 4;
constexpr int kMultiDropId = 6;
constexpr int kVariableName = 7;
constexpr int kBaudCodes = 13;
constexpr int kFirstDelay = 216;  // RS-485, RS-232, Exp. A, Exp. B
constexpr int kFirstPushSetup = 28;
}  // namespace field

constexpr long long kMaxOctet = 255;
constexpr long long kMaxDelay = 65534;
constexpr char kPushTypeCodes[4][3] = {"XD", "XA", "X1", "I0"};
constexpr char kPushPortCodes[4] = {'F', 'S', 'A', 'B'};

// The collection field of each port's response delay, by comm_port index.
int DelayField(int port) {
    static constexpr int kOffsets[4] = {2, 1, 3, 0};  // Exp A, RS-232, Exp B, RS-485
    return field::kFirstDelay + kOffsets[port];
}

std::array<std::string, 4> ShowAddress(const std::string& text) {
    std::array<std::string, 4> octets;
    bool valid = text.size() >= 15;
    for (std::size_t k = 0; valid && k < 4; ++k) {
        const auto value = page_text::ParseDecimal(std::string_view(text).substr(k * 4, 3));
        valid = value && *value <= kMaxOctet;
        if (valid) {
            octets[k] = std::to_string(*value);
        }
    }
    if (!valid) {
        octets = {"0", "0", "0", "0"};
    }
    return octets;
}

std::string CollectAddress(const std::array<std::string, 4>& octets) {
    std::string text;
    for (std::size_t k = 0; k < 4; ++k) {
        const long long value = std::min(page_text::ParseDecimal(octets[k]).value_or(0), kMaxOctet);
        text += (k ? "." : "") + page_text::PadLeft(std::to_string(value), 3, '0');
    }
    return text;
}

PushSetup ShowPush(const std::string& code) {
    PushSetup push;
    if (code.size() < 4) {
        return push;
    }
    for (int k = 0; k < 4; ++k) {
        if (code.compare(0, 2, kPushTypeCodes[k]) == 0) {
            push.data_type = k;
        }
        if (code[2] == kPushPortCodes[k]) {
            push.port = k;
        }
    }
    push.enabled = code[3] == 'Y';
    return push;
}

std::string CollectPush(const PushSetup& push, const std::string& stored) {
    std::string code = page_text::PadRight(stored, 5, ' ');
    if (push.data_type >= 0 && push.data_type < 4) {
        code.replace(0, 2, kPushTypeCodes[push.data_type]);
    }
    if (push.port >= 0 && push.port < 4) {
        code[2] = kPushPortCodes[push.port];
    }
    code[3] = push.enabled ? 'Y' : 'N';
    code[4] = 'N';
    return code;
}

}  // namespace

CommunicationPageModel ShowCommunicationPage(const SensorConfiguration& config) {
    CommunicationPageModel page;
    page.modem_ip = ShowAddress(config.GetConfigField(field::kModemIp));
    page.collector_ip = ShowAddress(config.GetConfigField(field::kCollectorIp));
    const std::string codes = config.GetConfigField(field::kBaudCodes);
    for (int port = 0; port < 4; ++port) {
        const int limit = port == comm_port::kRs232 || port == comm_port::kRs485 ? kMainPortBaudItems : 8;
        const int item = static_cast<std::size_t>(port) < codes.size() ? codes[port] - '0' : -1;
        page.baud[port] = item >= 0 && item < limit ? item : -1;
        page.delays[port] = page_text::HexAsDecimal(config.GetCollectionField(DelayField(port)));
    }
    page.config_script = config.GetConfigField(field::kConfigScript);
    page.data_script = config.GetConfigField(field::kDataScript);
    page.variable_name = config.GetConfigField(field::kVariableName);
    const std::string reg = config.GetCollectionField(kCommunicationRegisterField);
    page.simple_protocol = !(reg.size() == 4 && reg[3] == '3');
    page.rts_cts = reg.size() == 4 && reg[2] == '1';
    for (int row = 0; row < 4; ++row) {
        page.push[row] = ShowPush(config.GetExtendedField(field::kFirstPushSetup + row));
    }
    return page;
}

std::string CommunicationRegister(bool simple_protocol, bool rts_cts) {
    std::string reg = "0001";
    if (rts_cts) {
        reg[2] = '1';
    }
    if (!simple_protocol) {
        reg[3] = '3';
    }
    return reg;
}

std::string SimpleProtocolQuestion(const SensorConfiguration& config) {
    return "You are about to disable Simple Protocol.\nTo continue communication, Quorvix Manager will use "
           "the multidrop ID [" +
           config.GetConfigField(field::kMultiDropId) + "].";
}

int CollectCommunicationPage(const CommunicationPageModel& page, SensorConfiguration& config,
                             UserPrompts& prompts, bool multidrop_in_use) {
    config.SetConfigField(field::kModemIp, CollectAddress(page.modem_ip));
    config.SetConfigField(field::kCollectorIp, CollectAddress(page.collector_ip));
    std::string codes = config.GetConfigField(field::kBaudCodes);
    for (int port = 0; port < 4 && static_cast<std::size_t>(port) < codes.size(); ++port) {
        if (page.baud[port] >= 0 && page.baud[port] < 8) {
            codes[port] = static_cast<char>('0' + page.baud[port]);
        }
        const long long delay = std::min(page_text::ParseDecimal(page.delays[port]).value_or(0), kMaxDelay);
        config.SetCollectionField(DelayField(port), page_text::Hex4(delay));
    }
    config.SetConfigField(field::kBaudCodes, codes);
    config.SetConfigField(field::kConfigScript, page_text::PadRight(page.config_script, 6, ' '));
    config.SetConfigField(field::kDataScript, page_text::PadRight(page.data_script, 10, ' '));
    config.SetConfigField(field::kVariableName, page_text::PadRight(page.variable_name, 6, ' '));
    for (int row = 0; row < 4; ++row) {
        const int id = field::kFirstPushSetup + row;
        config.SetExtendedField(id, CollectPush(page.push[row], config.GetExtendedField(id)));
    }

    const std::string stored = config.GetCollectionField(kCommunicationRegisterField);
    const bool switching_off = !page.simple_protocol && !(stored.size() == 4 && stored[3] != '1');
    // Asked only when this collect takes the sensor off the simple protocol: a register that
    // already says multi-drop was agreed to before (or came that way from the sensor or a file).
    if (switching_off && !multidrop_in_use &&
        !prompts.Ask("Warning...", SimpleProtocolQuestion(config), "Continue", "Cancel")) {
        return 0;
    }
    config.SetCollectionField(kCommunicationRegisterField,
                              CommunicationRegister(page.simple_protocol, page.rts_cts));
    return 1;
}

void LeaveScriptName(std::string& text, std::size_t width) {
    if (text.empty()) {
        text = std::string(width, '-');
    }
}

void LeaveAddressOctets(std::array<std::string, 4>& octets) {
    for (std::string& octet : octets) {
        if (octet.empty()) {
            octet = "0";
        }
    }
}

void LeaveRs485Delay(std::string& text) {
    if (text.empty() || text == "0" || text == "1") {
        text = "2";
    }
}

std::string FilterDelayTyping(std::string_view text) {
    std::string digits = page_text::Filter(
        text, [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; },
        [](char c) { return c; });
    const auto value = page_text::ParseDecimal(digits);
    if (digits.size() > 5 || (value && *value > kMaxDelay)) {
        return std::to_string(kMaxDelay);
    }
    return digits;
}

}  // namespace qvx
