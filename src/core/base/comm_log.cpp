#include "base/comm_log.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>

namespace qvx {

namespace {

constexpr std::array<const char*, 5> kLevelNames = {"debug", "info", "warning", "error", "off"};

const char* EntryTag(const LogEntry& entry) {
    switch (entry.direction) {
        case LogDirection::Sent:
            return "TX";
        case LogDirection::Received:
            return "RX";
        case LogDirection::None:
            break;
    }
    switch (entry.level) {
        case LogLevel::Debug:
            return "DEBUG";
        case LogLevel::Info:
            return "INFO";
        case LogLevel::Warning:
            return "WARN";
        default:
            return "ERROR";
    }
}

}  // namespace

std::optional<LogLevel> ParseLogLevel(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (std::size_t i = 0; i < kLevelNames.size(); ++i) {
        if (lower == kLevelNames[i]) {
            return static_cast<LogLevel>(i);
        }
    }
    return std::nullopt;
}

const char* LogLevelName(LogLevel level) {
    return kLevelNames[static_cast<std::size_t>(level)];
}

std::string PrintableBytes(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '<') {
            out.push_back(c);
        } else {
            out += {'<', kHex[byte >> 4], kHex[byte & 0x0F], '>'};
        }
    }
    return out;
}

std::string FormatLogEntry(const LogEntry& entry) {
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(entry.time).count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%6lld.%06lld ", static_cast<long long>(micros / 1000000),
                  static_cast<long long>(micros % 1000000));
    std::string line = stamp;
    line += EntryTag(entry);
    line += ' ';
    line += entry.direction == LogDirection::None ? entry.text : PrintableBytes(entry.text);
    return line;
}

std::optional<LogSetting> ParseLogSetting(std::string_view text) {
    const std::size_t colon = text.find(':');
    const auto level = ParseLogLevel(text.substr(0, colon));
    if (!level) {
        return std::nullopt;
    }
    LogSetting setting{*level, {}};
    if (colon != std::string_view::npos) {
        setting.path = std::string(text.substr(colon + 1));
    }
    return setting;
}

void StreamLogSink::Write(const LogEntry& entry) {
    out_ << FormatLogEntry(entry) << '\n';
    out_.flush();
}

std::shared_ptr<FileLogSink> FileLogSink::Open(LogLevel level, const std::string& path, std::string& error) {
    auto out = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::app);
    if (!*out) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    const std::time_t now = std::time(nullptr);
    char when[64] = "";
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S %z", std::localtime(&now));
    *out << "# communication log started " << when << " (level " << LogLevelName(level)
         << "; times in seconds since the program started)\n";
    out->flush();
    return std::make_shared<FileLogSink>(level, std::move(out), path);
}

FileLogSink::FileLogSink(LogLevel level, std::unique_ptr<std::ostream> out, std::string path)
    : LogSink(level), out_(std::move(out)), path_(std::move(path)) {}

void FileLogSink::Write(const LogEntry& entry) {
    *out_ << FormatLogEntry(entry) << '\n';
    out_->flush();
    if (!*out_ && !failure_reported_) {
        failure_reported_ = true;
        std::cerr << "quorvix: the communication log " << path_ << " could not be written\n";
    }
}

LogRing::LogRing(LogLevel level, std::size_t capacity)
    : LogSink(level), capacity_(std::max<std::size_t>(capacity, 1)) {}

void LogRing::Write(const LogEntry& entry) {
    std::lock_guard lock(mutex_);
    if (entries_.size() == capacity_) {
        entries_.pop_front();
    }
    entries_.push_back(entry);
    ++next_number_;
}

std::vector<LogEntry> LogRing::Since(std::uint64_t after, std::uint64_t& newest) const {
    std::lock_guard lock(mutex_);
    newest = next_number_ - 1;
    const std::uint64_t oldest = next_number_ - entries_.size();
    const std::uint64_t first = std::max(after + 1, oldest);
    if (first > newest) {
        return {};
    }
    return {entries_.begin() + static_cast<std::ptrdiff_t>(first - oldest), entries_.end()};
}

std::vector<LogEntry> LogRing::All() const {
    std::uint64_t newest = 0;
    return Since(0, newest);
}

std::uint64_t LogRing::newest() const {
    std::lock_guard lock(mutex_);
    return next_number_ - 1;
}

void LogRing::Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

CommLog::CommLog() : start_(std::chrono::steady_clock::now()) {}

void CommLog::Bytes(LogDirection direction, std::string_view bytes) {
    if (!Enabled(LogLevel::Debug)) {
        return;
    }
    std::lock_guard lock(mutex_);
    if (direction == LogDirection::Received) {
        AppendReceived(bytes);
        return;
    }
    PublishReceived();
    Publish(LogEntry{{}, LogLevel::Debug, direction, std::string(bytes)});
}

void CommLog::AppendReceived(std::string_view bytes) {
    for (const char byte : bytes) {
        const bool escaped = !received_.empty() && received_.back() == '~';
        received_.push_back(byte);
        if ((byte == '\r' && !escaped) || received_.size() >= kMaxReceivedEntry) {
            PublishReceived();
        }
    }
}

void CommLog::PublishReceived() {
    if (received_.empty()) {
        return;
    }
    Publish(LogEntry{{}, LogLevel::Debug, LogDirection::Received, std::move(received_)});
    received_.clear();
}

void CommLog::FlushReceived() {
    if (!Enabled(LogLevel::Debug)) {
        return;
    }
    std::lock_guard lock(mutex_);
    PublishReceived();
}

void CommLog::Message(LogLevel level, std::string text) {
    if (!Enabled(level)) {
        return;
    }
    std::lock_guard lock(mutex_);
    PublishReceived();
    Publish(LogEntry{{}, level, LogDirection::None, std::move(text)});
}

void CommLog::Publish(LogEntry entry) {
    // Stamped under the lock, so every sink sees the entries in time order.
    entry.time = std::chrono::steady_clock::now() - start_;
    for (const auto& sink : sinks_) {
        if (entry.level >= sink->level()) {
            sink->Write(entry);
        }
    }
}

void CommLog::AddSink(std::shared_ptr<LogSink> sink) {
    std::lock_guard lock(mutex_);
    sinks_.push_back(std::move(sink));
    threshold_.store(std::min(threshold_.load(), static_cast<int>(sinks_.back()->level())));
}

void CommLog::RemoveSink(const std::shared_ptr<LogSink>& sink) {
    std::lock_guard lock(mutex_);
    std::erase(sinks_, sink);
    int threshold = static_cast<int>(LogLevel::Off);
    for (const auto& kept : sinks_) {
        threshold = std::min(threshold, static_cast<int>(kept->level()));
    }
    threshold_.store(threshold);
}

void CommLog::NoteGoodExchange() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    last_good_exchange_ms_.store(std::chrono::duration_cast<std::chrono::milliseconds>(now).count(),
                                 std::memory_order_relaxed);
}

std::optional<std::chrono::system_clock::time_point> CommLog::LastGoodExchange() const {
    const std::int64_t ms = last_good_exchange_ms_.load(std::memory_order_relaxed);
    if (ms == 0) {
        return std::nullopt;
    }
    return std::chrono::system_clock::time_point(std::chrono::milliseconds(ms));
}

CommLog& ProgramLog() {
    static CommLog log;
    return log;
}

ScopedLogSink::ScopedLogSink(CommLog& log, std::shared_ptr<LogSink> sink)
    : log_(log), sink_(std::move(sink)) {
    log_.AddSink(sink_);
}

ScopedLogSink::~ScopedLogSink() {
    log_.RemoveSink(sink_);
}

}  // namespace qvx
