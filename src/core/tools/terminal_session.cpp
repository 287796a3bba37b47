#include "tools/terminal_session.h"

#include <algorithm>
#include <cctype>

#include "base/hex_text.h"
#include "link/sensor_link.h"
#include "platform/named_sync.h"

namespace qvx {

namespace {

constexpr int kBinaryReadMs = 150;
constexpr int kIdleReadMs = 100;
constexpr int kReplyBudgetMs = 3000;
constexpr int kReplySliceMs = 100;
constexpr std::size_t kReplyLimit = 270;
constexpr auto kPause = std::chrono::milliseconds(50);

bool IsHexDigit(char c) {
    return hex::DigitValue(c) >= 0;
}

bool AllHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(), IsHexDigit);
}

// A reply ends at a carriage return that does not follow the escape character '~'.
bool HasReplyEnd(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i == 0 || text[i - 1] != '~')) {
            return true;
        }
    }
    return false;
}

std::string UpperCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

std::string LineEndNormalizer::Normalize(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    if (after_lone_cr_ && !text.empty() && text[0] == '\n') {
        i = 1;  // its CR came with the previous read, and the LF was added then
    }
    after_lone_cr_ = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            } else if (i + 1 == text.size()) {
                after_lone_cr_ = true;
            }
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string FormatReceived(std::string_view bytes, TerminalMode mode, LineEndNormalizer& normalizer) {
    std::string text;
    if (mode == TerminalMode::Binary) {
        for (char c : bytes) {
            text += hex::Format(static_cast<unsigned char>(c), 2);
        }
        return text;
    }
    // A zero byte would end the text on screen; it is shown, and what follows it is kept.
    for (char c : bytes) {
        text += c == '\0' ? std::string("<00>") : std::string(1, c);
    }
    return normalizer.Normalize(text);
}

std::string BinaryLineBytes(std::string_view hex_digits) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex_digits.size(); i += 2) {
        bytes += static_cast<char>(hex::DigitValue(hex_digits[i]) * 16 + hex::DigitValue(hex_digits[i + 1]));
    }
    return bytes;
}

TerminalSession::TerminalSession(SensorLink& link, NamedObjects& objects) : link_(link), objects_(objects) {}

TerminalSession::~TerminalSession() {
    Stop();
}

bool TerminalSession::SetTextMode(TerminalMode mode, bool command_line_empty) {
    if (mode == TerminalMode::Binary || (!command_line_empty && mode != text_mode_)) {
        return false;
    }
    text_mode_ = mode;
    if (mode_.load() != TerminalMode::Binary) {
        mode_.store(mode);
    }
    return true;
}

void TerminalSession::SetBinary(bool on) {
    mode_.store(on ? TerminalMode::Binary : text_mode_);
}

TypingOutcome TerminalSession::Edit(const std::string& previous, const std::string& current) {
    if (current.size() <= previous.size()) {
        return {current, false};  // what was sent cannot be taken back; a deletion sends nothing
    }
    const auto prefix =
        std::mismatch(previous.begin(), previous.end(), current.begin()).first - previous.begin();
    const std::string inserted =
        current.substr(static_cast<std::size_t>(prefix), current.size() - previous.size());
    const TerminalMode mode = mode_.load();
    if (mode == TerminalMode::Binary && inserted.size() == 1 && !IsHexDigit(inserted[0])) {
        return {previous, true};
    }
    if (mode == TerminalMode::Character) {
        Queue(inserted);
    }
    return {current, false};
}

void TerminalSession::Enter(const std::string& line) {
    const TerminalMode mode = mode_.load();
    if (mode != TerminalMode::Binary) {
        Queue(mode == TerminalMode::Line ? line + "\r" : std::string("\r"));
        if (echo_) {
            Append(line + "\r\n");
        }
        return;
    }
    const bool valid = AllHex(line);
    const std::string shown = valid ? UpperCase(line) : line;
    std::string text = echo_ ? shown + "\r\n" : std::string();
    if (!valid) {
        text += kInvalidBinaryText;
    } else if (line.size() % 2 != 0) {
        text += kOddBinaryText;
    } else if (!line.empty()) {
        Queue(shown);
    }
    Append(text);
}

void TerminalSession::Queue(std::string text) {
    std::lock_guard lock(mutex_);
    outgoing_.push_back(Transmission{std::move(text), mode_.load()});
}

void TerminalSession::Append(const std::string& text) {
    std::lock_guard lock(mutex_);
    transcript_ += text;
}

std::string TerminalSession::TakeNewText() {
    std::lock_guard lock(mutex_);
    std::string text = transcript_.substr(taken_);
    taken_ = transcript_.size();
    return text;
}

std::string TerminalSession::transcript() const {
    std::lock_guard lock(mutex_);
    return transcript_;
}

bool TerminalSession::Idle() const {
    std::lock_guard lock(mutex_);
    return outgoing_.empty() && read_after_send_;
}

std::chrono::steady_clock::time_point TerminalSession::last_received() const {
    std::lock_guard lock(mutex_);
    return last_received_;
}

void TerminalSession::Start() {
    if (thread_.joinable()) {
        return;
    }
    exit_.store(false);
    objects_.Event(sync_name::kKillTerminalThread).Reset();
    // What an earlier exchange left unread on the line belongs to no one: the console starts clean.
    link_.PurgeInput();
    thread_ = std::thread([this] { Run(); });
}

void TerminalSession::Stop() {
    exit_.store(true);
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TerminalSession::Run() {
    objects_.Event(sync_name::kOpeningSensorInfo).Reset();
    objects_.Event(sync_name::kGetProperties).Reset();
    while (!exit_.load()) {
        bool awaiting_reply = false;
        const bool sent = SendPending(awaiting_reply);
        const std::string bytes = ReadReply(awaiting_reply, mode_.load());
        std::this_thread::sleep_for(kPause);
        {
            std::lock_guard lock(mutex_);
            if (sent) {
                read_after_send_ = true;
            }
            if (!bytes.empty()) {
                last_received_ = std::chrono::steady_clock::now();
            }
        }
        if (!bytes.empty()) {
            bytes_received_ += bytes.size();
            Append(FormatReceived(bytes, mode_.load(), normalizer_));
        }
    }
    objects_.Event(sync_name::kKillTerminalThread).Set();
}

bool TerminalSession::SendPending(bool& awaiting_reply) {
    Transmission next;
    {
        std::lock_guard lock(mutex_);
        if (outgoing_.empty()) {
            return false;
        }
        next = std::move(outgoing_.front());
        outgoing_.pop_front();
        read_after_send_ = false;
    }
    if (next.mode != TerminalMode::Binary) {
        link_.Write(next.text);
        ++writes_;
        awaiting_reply = next.text.find('\r') != std::string::npos;
        return true;
    }
    // Each byte goes out by a write of its own.
    for (char byte : BinaryLineBytes(next.text)) {
        link_.Write(std::string_view(&byte, 1));
        ++writes_;
    }
    return true;
}

std::string TerminalSession::ReadReply(bool awaiting_reply, TerminalMode mode) {
    std::string bytes;
    if (mode == TerminalMode::Binary) {
        link_.ReadUntil(bytes, 0, kBinaryReadMs, '\0', '\0');
    } else if (awaiting_reply) {
        bytes = ReadWholeReply();
    } else if (!objects_.Event(sync_name::kOpeningSensorInfo).IsSet() &&
               !objects_.Event(sync_name::kGetProperties).IsSet()) {
        link_.ReadUntil(bytes, 0, kIdleReadMs, '\0', '\0');
    }
    return bytes;
}

// Up to 270 bytes within 3000 ms (plus the response wait), ending at an unescaped CR; read in short
// slices so that closing the window never waits for a silent sensor.
std::string TerminalSession::ReadWholeReply() {
    std::string reply;
    const auto budget = std::chrono::milliseconds(kReplyBudgetMs + link_.state().response_wait_ms.load());
    const auto until = std::chrono::steady_clock::now() + budget;
    while (!exit_.load() && reply.size() < kReplyLimit && !HasReplyEnd(reply) &&
           std::chrono::steady_clock::now() < until) {
        link_.ReadUntil(reply, kReplyLimit - reply.size(), kReplySliceMs, '\r', '~');
    }
    return reply;
}

}  // namespace qvx
