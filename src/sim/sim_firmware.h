#pragma once
// The sensor's firmware loader: the handshake the program runs to load a DSP or FPGA image
// (announce the check value, ready, numbered packets, result, restart), checked as strictly as a
// sensor checks it. Written from the sensor's side with its own digit and checksum code, so a
// misreading in the program's packet cutter shows up here.
//
// Images may carry their version as text: the data digits, read two at a time as character
// codes, hold "$VER:" + the version + "$" (the 20-character DSP version or the 4-digit FPGA
// version). After a restart the sensor reports the versions of the images it loaded.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx::sim {

struct FirmwareFaults {
    int refuse_packet = 0;     // refuse the Nth packet of an upload (1-based; 0: none) ...
    int refuse_times = 1;      // ... this many times before taking it
    bool fail_result = false;  // the result is "Failure" whatever arrived
    int wrong_echo = 0;        // answer the first N announces with a value that is not the one sent
};

enum class FirmwarePart { Dsp, Fpga };

struct FirmwareAnswer {
    bool status = false;  // a status word rather than data
    std::string text;
};

// What one part received, for tests and the log.
struct ReceivedImage {
    std::string digits;  // every accepted data digit in order
    std::uint32_t announced = 0;
    std::uint32_t sum = 0;
    int packets = 0;
    bool complete = false;  // the result was "Success"
};

class FirmwareLoader {
  public:
    using Clock = std::chrono::steady_clock;

    explicit FirmwareLoader(FirmwareFaults faults = {},
                            std::chrono::milliseconds restart_time = std::chrono::seconds(8))
        : faults_(faults), restart_time_(restart_time) {}

    FirmwareAnswer Announce(FirmwarePart part, std::string_view payload);
    FirmwareAnswer Ready(FirmwarePart part);
    FirmwareAnswer Packet(FirmwarePart part, std::string_view payload);
    FirmwareAnswer Result(FirmwarePart part);
    // "D0": loads what is complete, and the sensor is silent for the restart time. version_text is
    // the sensor's "S5" text, updated from the images' version marks.
    void Restart(Clock::time_point now, std::string& version_text);
    bool Restarting(Clock::time_point now) const { return silent_until_ && now < *silent_until_; }

    const ReceivedImage& Received(FirmwarePart part) const {
        return part == FirmwarePart::Dsp ? dsp_ : fpga_;
    }
    // Images loaded by a restart, in all.
    int images_loaded() const { return images_loaded_; }
    int restarts() const { return restarts_; }
    int packets_refused() const { return packets_refused_; }

    // The version text an image carries, if any.
    static std::optional<std::string> VersionMark(std::string_view digits);
    // The sum of the character codes, 16 bits as the packet check counts it.
    static std::uint32_t DigitSum(std::string_view digits);

  private:
    enum class Phase { Idle, Announced, Receiving };
    struct PartState {
        Phase phase = Phase::Idle;
        char expected_sequence = '1';
        std::string last_packet;  // the last accepted packet, for a resend whose reply was lost
        int refusals = 0;
    };

    ReceivedImage& Image(FirmwarePart part) { return part == FirmwarePart::Dsp ? dsp_ : fpga_; }
    PartState& State(FirmwarePart part) { return part == FirmwarePart::Dsp ? dsp_state_ : fpga_state_; }
    bool SignatureOk(FirmwarePart part, const std::string& digits) const;
    FirmwareAnswer Refuse(PartState& state);

    FirmwareFaults faults_;
    std::chrono::milliseconds restart_time_;
    ReceivedImage dsp_;
    ReceivedImage fpga_;
    PartState dsp_state_;
    PartState fpga_state_;
    bool dsp_pending_ = false;  // complete, loaded at the next restart
    bool fpga_pending_ = false;
    int announces_ = 0;
    int images_loaded_ = 0;
    int restarts_ = 0;
    int packets_refused_ = 0;
    std::optional<Clock::time_point> silent_until_;
};

}  // namespace qvx::sim
