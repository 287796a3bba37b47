#include "link/sensor_link.h"

#include "base/comm_log.h"
#include "platform/instance.h"

namespace qvx {

namespace {

// Every byte that crosses the link passes here, so the log sees frames, modem text and terminal
// traffic alike. The check comes first: with logging off nothing is copied.
void LogBytes(LogDirection direction, std::string_view bytes) {
    CommLog& log = ProgramLog();
    if (!bytes.empty() && log.Enabled(LogLevel::Debug)) {
        log.Bytes(direction, bytes);
    }
}

// A read that brought nothing means the line went quiet: what arrived so far is a whole entry.
void LogReceivedTail(const std::string& out, std::size_t before) {
    if (out.size() > before) {
        LogBytes(LogDirection::Received, std::string_view(out).substr(before));
    } else {
        ProgramLog().FlushReceived();
    }
}

}  // namespace

SensorLink::SensorLink(ConnectionState& state) : state_(state), serial_(state), tcp_(state) {}

void SensorLink::Init() {
    state_.last_link_error = link_error::kNone;
    state_.port_name = kDefaultPortName;
    state_.link_kind = LinkKind::None;
    state_.instance_number = AcquireInstanceNumber();
}

LinkMedium& SensorLink::Active() {
    if (UsesTcp()) {
        return tcp_;
    }
    return serial_;
}

std::size_t SensorLink::Write(std::string_view text) {
    return WriteTo(Active(), text);
}

std::size_t SensorLink::WriteSerial(std::string_view text) {
    return WriteTo(serial_, text);
}

std::size_t SensorLink::WriteTo(LinkMedium& medium, std::string_view text) {
    state_.last_link_error = link_error::kNone;
    static constexpr char kNul[1] = {'\0'};
    const std::string_view bytes = text.empty() ? std::string_view(kNul, 1) : text;
    const std::size_t written = medium.Write(bytes);
    LogBytes(LogDirection::Sent, bytes.substr(0, written));
    if (written < bytes.size()) {
        ProgramLog().Message(LogLevel::Warning, "write failed after " + std::to_string(written) + " of " +
                                                    std::to_string(bytes.size()) + " bytes (error " +
                                                    std::to_string(state_.last_link_error) + ")");
    }
    return written;
}

std::size_t SensorLink::ReadUntil(std::string& out, std::size_t max_len, int timeout_ms, char terminator,
                                  char escape) {
    const std::size_t before = out.size();
    const std::size_t got = Active().ReadUntil(out, max_len, timeout_ms, terminator, escape);
    LogReceivedTail(out, before);
    return got;
}

std::size_t SensorLink::ReadRaw(std::string& out, std::size_t count) {
    const std::size_t before = out.size();
    const std::size_t got = Active().ReadRaw(out, count);
    LogReceivedTail(out, before);
    return got;
}

std::size_t SensorLink::ReadAvailable(std::string& out, std::size_t max_len, int wait_ms) {
    if (max_len == 0) {
        return 0;
    }
    const std::size_t before = out.size();
    const std::size_t got = Active().ReadAvailable(out, max_len, wait_ms);
    LogReceivedTail(out, before);
    return got;
}

void SensorLink::PurgeInput() {
    PurgeFrom(Active());
}

void SensorLink::PurgeSerialInput() {
    PurgeFrom(serial_);
}

// Bytes thrown away are part of what the sensor said: a late reply or line noise is often the
// clue to a misbehaving link.
void SensorLink::PurgeFrom(LinkMedium& medium) {
    CommLog& log = ProgramLog();
    if (!log.Enabled(LogLevel::Debug)) {
        medium.Purge(nullptr);
        return;
    }
    std::string discarded;
    medium.Purge(&discarded);
    if (!discarded.empty()) {
        log.Message(LogLevel::Debug, std::string(kDiscardedLogPrefix) + std::to_string(discarded.size()) +
                                         " bytes: " + PrintableBytes(discarded));
    }
}

bool SensorLink::IsOpen() {
    return Active().IsOpen();
}

void SensorLink::Close() {
    if (tcp_.IsOpen() || serial_.IsOpen()) {
        ProgramLog().Message(LogLevel::Info, "closing " + Active().Description());
    }
    tcp_.Close();
    serial_.Close();
    state_.link_kind = LinkKind::None;
}

std::string SensorLink::Description() {
    return Active().Description();
}

}  // namespace qvx
