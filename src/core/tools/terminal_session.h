#pragma once
// The terminal: raw text or raw bytes typed to the sensor over the open link, bypassing the command
// protocol, and whatever comes back. The typing rules and the transcript are plain logic; a reader
// thread sends what the user entered and reads the replies.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace qvx {

class NamedObjects;
class SensorLink;

enum class TerminalMode : int { Character = 0, Line = 1, Binary = 2 };

inline constexpr const char* kInvalidBinaryText = "ERROR: Invalid binary input!\r\n";
inline constexpr const char* kOddBinaryText = "ERROR: Binary input needs pairs of hexadecimal digits!\r\n";

// What the command line does after an edit.
struct TypingOutcome {
    std::string command_line;  // the text the command line keeps
    bool reverted = false;     // the edit was undone (a non-hex character typed in binary mode)
};

// Turns line ends of the sensor's text into CR LF, across reads: a CR at the end of one read and
// an LF at the start of the next stay one line end.
class LineEndNormalizer {
  public:
    std::string Normalize(std::string_view text);

  private:
    bool after_lone_cr_ = false;  // the last read ended with a CR whose LF was inserted
};

// The bytes of a reply as the output pane shows them.
std::string FormatReceived(std::string_view bytes, TerminalMode mode, LineEndNormalizer& normalizer);
// A binary line's bytes ("0a1B" -> 0x0A 0x1B).
std::string BinaryLineBytes(std::string_view hex_digits);

class TerminalSession {
  public:
    TerminalSession(SensorLink& link, NamedObjects& objects);
    ~TerminalSession();
    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    // --- typing (user-interface thread) ---
    TerminalMode mode() const { return mode_.load(); }
    // The two text modes change only while the command line is empty; false when refused.
    bool SetTextMode(TerminalMode mode, bool command_line_empty);
    void SetBinary(bool on);
    TerminalMode text_mode() const { return text_mode_; }
    // An edit of the command line from previous to current (without Enter).
    TypingOutcome Edit(const std::string& previous, const std::string& current);
    // Enter: the line (without the line end) is taken.
    void Enter(const std::string& line);
    // Echo the user's lines into the transcript (the window does; a console that echoes itself
    // does not).
    void set_echo(bool on) { echo_ = on; }

    // --- transcript ---
    // Everything added since the last call.
    std::string TakeNewText();
    std::string transcript() const;

    // --- reader thread ---
    void Start();
    // Sets the exit flag and waits for the thread, which ends within one read slice.
    void Stop();
    bool running() const { return thread_.joinable(); }
    // Nothing waits to be sent and the reader has read after the last transmission.
    bool Idle() const;
    std::chrono::steady_clock::time_point last_received() const;
    std::uint64_t bytes_received() const { return bytes_received_.load(); }
    std::uint64_t writes() const { return writes_.load(); }

  private:
    struct Transmission {
        std::string text;
        TerminalMode mode;
    };
    void Queue(std::string text);
    void Append(const std::string& text);
    void Run();
    bool SendPending(bool& awaiting_reply);
    std::string ReadReply(bool awaiting_reply, TerminalMode mode);
    std::string ReadWholeReply();

    SensorLink& link_;
    NamedObjects& objects_;
    std::atomic<TerminalMode> mode_{TerminalMode::Line};
    TerminalMode text_mode_ = TerminalMode::Line;
    bool echo_ = true;

    mutable std::mutex mutex_;
    std::deque<Transmission> outgoing_;
    std::string transcript_;
    std::size_t taken_ = 0;
    bool read_after_send_ = true;
    std::chrono::steady_clock::time_point last_received_;

    std::thread thread_;
    std::atomic<bool> exit_{false};
    std::atomic<std::uint64_t> bytes_received_{0};
    std::atomic<std::uint64_t> writes_{0};
    LineEndNormalizer normalizer_;
};

}  // namespace qvx
