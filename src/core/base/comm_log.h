#pragma once
// The communication log: what went over the wire and what the program did about it. Every
// frame sent and received is logged at Debug with its direction and bytes; connection steps at
// Info; failed exchanges and links at Warning. Entries go to the sinks that want their level: a
// stream (qvx --debug writes to stderr, QVX_LOG to a file) or a bounded ring that a window reads.
// With no sink installed, Enabled() is one relaxed atomic load, so logging costs an exchange
// nothing while it is off.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace qvx {

enum class LogLevel : int { Debug = 0, Info = 1, Warning = 2, Error = 3, Off = 4 };
enum class LogDirection { None, Sent, Received };

struct LogEntry {
    std::chrono::steady_clock::duration time{};  // since the log started
    LogLevel level = LogLevel::Info;
    LogDirection direction = LogDirection::None;
    std::string text;  // the bytes as they went over the wire, or a message
};

// "debug", "info", "warning", "error", "off" (any case); nullopt for anything else.
std::optional<LogLevel> ParseLogLevel(std::string_view text);
const char* LogLevelName(LogLevel level);

// Printable ASCII as it is, every other byte (and '<', which opens an escape) as <HH>:
// "XD0001<0D>".
std::string PrintableBytes(std::string_view bytes);
// "    12.345678 TX XD0001<0D>", "    12.400000 INFO serial port /dev/ttyS0 opened at 9600 bps".
std::string FormatLogEntry(const LogEntry& entry);

// QVX_LOG's value: a level, optionally followed by ':' and a file ("debug:/tmp/qvx.log").
struct LogSetting {
    LogLevel level = LogLevel::Off;
    std::string path;  // empty: the default file
};
std::optional<LogSetting> ParseLogSetting(std::string_view text);

class LogSink {
  public:
    explicit LogSink(LogLevel level) : level_(level) {}
    virtual ~LogSink() = default;
    LogLevel level() const { return level_; }
    // Called under the log's lock, one entry at a time.
    virtual void Write(const LogEntry& entry) = 0;

  private:
    LogLevel level_;
};

// Writes each entry as one formatted line and flushes it, so a crash loses nothing logged.
class StreamLogSink : public LogSink {
  public:
    StreamLogSink(LogLevel level, std::ostream& out) : LogSink(level), out_(out) {}
    void Write(const LogEntry& entry) override;

  private:
    std::ostream& out_;
};

// Appends to a file (QVX_LOG). The first line says when the log started on the wall clock, so
// the monotonic times of the entries can be placed. A failed write is reported once on stderr.
class FileLogSink : public LogSink {
  public:
    // nullptr, with the reason in `error`, when the file cannot be opened for appending.
    static std::shared_ptr<FileLogSink> Open(LogLevel level, const std::string& path, std::string& error);
    FileLogSink(LogLevel level, std::unique_ptr<std::ostream> out, std::string path);
    void Write(const LogEntry& entry) override;
    const std::string& path() const { return path_; }

  private:
    std::unique_ptr<std::ostream> out_;
    std::string path_;
    bool failure_reported_ = false;
};

// Keeps the newest `capacity` entries. Readers ask for what came after the last sequence number
// they saw, so a window only appends what is new.
class LogRing : public LogSink {
  public:
    static constexpr std::size_t kDefaultCapacity = 5000;
    explicit LogRing(LogLevel level = LogLevel::Debug, std::size_t capacity = kDefaultCapacity);
    void Write(const LogEntry& entry) override;

    // The entries numbered after `after` that are still kept (entries are numbered from 1), and
    // the number of the newest one.
    std::vector<LogEntry> Since(std::uint64_t after, std::uint64_t& newest) const;
    std::vector<LogEntry> All() const;
    std::uint64_t newest() const;
    void Clear();

  private:
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::deque<LogEntry> entries_;
    std::uint64_t next_number_ = 1;  // the number the next entry gets
};

class CommLog {
  public:
    CommLog();

    bool Enabled(LogLevel level) const {
        return static_cast<int>(level) >= threshold_.load(std::memory_order_relaxed);
    }
    // Sent bytes make one entry per call. Received bytes are gathered into frames: an entry ends
    // at a CR (not one escaped by '~', which continues the frame), at kMaxReceivedEntry bytes, or
    // when something else is logged or FlushReceived is called (the link went quiet).
    void Bytes(LogDirection direction, std::string_view bytes);
    void FlushReceived();
    void Message(LogLevel level, std::string text);
    static constexpr std::size_t kMaxReceivedEntry = 1024;

    void AddSink(std::shared_ptr<LogSink> sink);
    void RemoveSink(const std::shared_ptr<LogSink>& sink);

    // The wall-clock time of the last exchange that the sensor answered correctly, for a status
    // line; kept whether logging is on or not.
    void NoteGoodExchange();
    std::optional<std::chrono::system_clock::time_point> LastGoodExchange() const;

  private:
    void Publish(LogEntry entry);  // under mutex_
    void AppendReceived(std::string_view bytes);
    void PublishReceived();

    std::string received_;  // a frame still arriving

    const std::chrono::steady_clock::time_point start_;
    std::atomic<int> threshold_{static_cast<int>(LogLevel::Off)};
    std::atomic<std::int64_t> last_good_exchange_ms_{0};  // 0: none yet
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<LogSink>> sinks_;
};

// The program's one communication log. Tests that need their own build a CommLog.
CommLog& ProgramLog();

// Adds a sink on construction and removes it on destruction (qvx --debug for one run).
class ScopedLogSink {
  public:
    ScopedLogSink(CommLog& log, std::shared_ptr<LogSink> sink);
    ~ScopedLogSink();
    ScopedLogSink(const ScopedLogSink&) = delete;
    ScopedLogSink& operator=(const ScopedLogSink&) = delete;

  private:
    CommLog& log_;
    std::shared_ptr<LogSink> sink_;
};

}  // namespace qvx
