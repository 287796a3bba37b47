#include "sim_modem.h"

#include <cctype>
#include <map>

#include "frame_splitter.h"

namespace qvx::sim {

namespace {

// Result codes in numbers (after "V0").
constexpr int kOkCode = 0;
constexpr int kConnectCode = 1;
constexpr int kNoCarrierCode = 3;
constexpr int kErrorCode = 4;
constexpr int kNoDialToneCode = 6;
constexpr int kBusyCode = 7;

int ConnectCodeOfRate(std::uint32_t rate) {
    static const std::map<std::uint32_t, int> codes = {{1200, 5},   {2400, 10},  {4800, 11},  {9600, 12},
                                                       {19200, 14}, {38400, 28}, {57600, 18}, {115200, 87}};
    const auto it = codes.find(rate);
    return it == codes.end() ? kConnectCode : it->second;
}

// Letters that take an optional number and change nothing the simulation needs.
bool Accepted(char letter) {
    return std::string("LMTPWXIA").find(letter) != std::string::npos;
}

bool Accepted(char ampersand_letter, bool) {
    return std::string("KQWFCD").find(ampersand_letter) != std::string::npos;
}

int TakeNumber(const std::string& line, std::size_t& i) {
    int value = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) {
        value = value * 10 + (line[i] - '0');
        ++i;
    }
    return value;
}

// "S48=0" or "S7?": the register number, then "=value" or "?".
bool TakeRegister(const std::string& line, std::size_t& i) {
    if (i >= line.size() || !std::isdigit(static_cast<unsigned char>(line[i]))) {
        return false;
    }
    TakeNumber(line, i);
    if (i < line.size() && line[i] == '?') {
        ++i;
        return true;
    }
    if (i >= line.size() || line[i] != '=') {
        return false;
    }
    ++i;
    TakeNumber(line, i);
    return true;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

bool ParseDialOutcome(const std::string& text, DialOutcome& outcome) {
    static const std::map<std::string, DialOutcome> names = {{"connect", DialOutcome::Connect},
                                                             {"no-carrier", DialOutcome::NoCarrier},
                                                             {"no-dialtone", DialOutcome::NoDialTone},
                                                             {"busy", DialOutcome::Busy}};
    const auto it = names.find(text);
    if (it == names.end()) {
        return false;
    }
    outcome = it->second;
    return true;
}

HayesModem::HayesModem(ModemSettings settings, std::uint32_t sensor_rate)
    : start_(settings), settings_(settings), sensor_rate_(sensor_rate) {}

HayesModem::Reaction HayesModem::Handle(const std::string& frame, const InputWait& input_within) {
    const Clock::time_point now = Clock::now();
    const auto silent_ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - last_input_).count();
    last_input_ = now;
    Reaction reaction;
    if (state_ == State::Online) {
        if (frame == kModemEscape && silent_ms >= settings_.guard_ms) {
            return Escape(input_within);
        }
        reaction.to_sensors = true;  // without the guard time "+++" is data like any other
        return reaction;
    }
    if (settings_.echo) {
        reaction.reply = frame + "\r";
    }
    const std::string upper = Upper(frame);
    if (upper.rfind("AT", 0) != 0) {
        return reaction;  // not a command: the modem ignores the line
    }
    reaction.reply += Command(upper.substr(2), input_within);
    last_input_ = Clock::now();
    return reaction;
}

// The escape counts only when the PC stays silent for the guard time after it as well.
HayesModem::Reaction HayesModem::Escape(const InputWait& input_within) {
    Reaction reaction;
    if (input_within(settings_.post_guard_ms)) {
        reaction.to_sensors = true;
        return reaction;
    }
    state_ = State::OnlineCommand;
    reaction.reply = Result(kOkCode, "OK");
    return reaction;
}

std::string HayesModem::Command(const std::string& line, const InputWait& input_within) {
    for (std::size_t i = 0; i < line.size();) {
        const char letter = line[i++];
        if (letter == ' ') {
            continue;
        }
        if (letter == 'D') {
            return Dial(line.substr(i), input_within);
        }
        if (letter == '&') {
            if (i >= line.size() || !Accepted(line[i++], true)) {
                return Result(kErrorCode, "ERROR");
            }
            TakeNumber(line, i);
            continue;
        }
        if (letter == 'S') {
            if (!TakeRegister(line, i)) {
                return Result(kErrorCode, "ERROR");
            }
            continue;
        }
        const int value = TakeNumber(line, i);
        switch (letter) {
            case 'E':
                settings_.echo = value != 0;
                break;
            case 'V':
                settings_.numeric = value == 0;
                break;
            case 'Q':
                quiet_ = value != 0;
                break;
            case 'H':
                state_ = State::Command;
                break;
            case 'Z':
                settings_ = start_;
                quiet_ = false;
                break;
            case 'O':
                if (!carrier()) {
                    return Result(kNoCarrierCode, "NO CARRIER");
                }
                state_ = State::Online;
                return ConnectResult();
            default:
                if (!Accepted(letter)) {
                    return Result(kErrorCode, "ERROR");
                }
        }
    }
    return Result(kOkCode, "OK");
}

// "DT5551234", "DP...", or "DT" alone when the technician dials on the telephone.
std::string HayesModem::Dial(const std::string& dial_string, const InputWait& input_within) {
    if (carrier()) {
        return Result(kErrorCode, "ERROR");
    }
    (void)dial_string;
    if (settings_.dial_ms > 0 && input_within(settings_.dial_ms)) {
        return Result(kNoCarrierCode, "NO CARRIER");  // a key from the PC stops the dialling
    }
    switch (settings_.outcome) {
        case DialOutcome::Connect:
            state_ = State::Online;
            return ConnectResult();
        case DialOutcome::NoCarrier:
            return Result(kNoCarrierCode, "NO CARRIER");
        case DialOutcome::NoDialTone:
            return Result(kNoDialToneCode, "NO DIALTONE");
        case DialOutcome::Busy:
            return Result(kBusyCode, "BUSY");
    }
    return Result(kErrorCode, "ERROR");
}

std::string HayesModem::ConnectResult() const {
    const std::uint32_t rate = settings_.connect_rate != 0 ? settings_.connect_rate : sensor_rate_;
    return Result(ConnectCodeOfRate(rate), "CONNECT " + std::to_string(rate));
}

std::string HayesModem::Result(int code, const std::string& words) const {
    if (quiet_) {
        return {};
    }
    return settings_.numeric ? std::to_string(code) + "\r" : "\r\n" + words + "\r\n";
}

}  // namespace qvx::sim
