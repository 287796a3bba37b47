#pragma once
// A Hayes-compatible modem in front of the simulated sensors. In command mode it answers AT
// command lines (echoing them unless told "E0", in words or, after "V0", in numbers); a dial
// connects it to the far modem, after which every byte reaches the sensors until the escape
// "+++", framed by silent guard times, takes it back to command mode with the line still up.
// "ATH" hangs up.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace qvx::sim {

enum class DialOutcome { Connect, NoCarrier, NoDialTone, Busy };

struct ModemSettings {
    DialOutcome outcome = DialOutcome::Connect;
    std::uint32_t connect_rate = 0;  // the rate reported with CONNECT; 0: the sensors' line rate
    bool echo = true;                // factory settings: echo on, results in words
    bool numeric = false;
    int dial_ms = 0;          // how long dialling takes; any character from the PC stops it
    int guard_ms = 1000;      // silence required before "+++"
    int post_guard_ms = 100;  // and after it, before the modem answers OK
};

bool ParseDialOutcome(const std::string& text, DialOutcome& outcome);

class HayesModem {
  public:
    // Waits up to ms for input from the PC without taking it; true when some arrived.
    using InputWait = std::function<bool(int ms)>;
    using Clock = std::chrono::steady_clock;

    HayesModem(ModemSettings settings, std::uint32_t sensor_rate);

    struct Reaction {
        bool to_sensors = false;  // the line is online: the frame is the sensors'
        std::string reply;        // the modem's own answer to send back
    };
    Reaction Handle(const std::string& frame, const InputWait& input_within);

    bool online() const { return state_ == State::Online; }
    bool carrier() const { return state_ == State::Online || state_ == State::OnlineCommand; }

  private:
    enum class State { Command, Online, OnlineCommand };

    Reaction Escape(const InputWait& input_within);
    std::string Command(const std::string& line, const InputWait& input_within);
    std::string Dial(const std::string& dial_string, const InputWait& input_within);
    std::string Result(int code, const std::string& words) const;
    std::string ConnectResult() const;

    ModemSettings start_;
    ModemSettings settings_;
    std::uint32_t sensor_rate_;
    State state_ = State::Command;
    bool quiet_ = false;
    Clock::time_point last_input_{};
};

}  // namespace qvx::sim
