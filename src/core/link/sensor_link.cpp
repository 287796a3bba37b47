#include "link/sensor_link.h"

#include <cerrno>
#include <chrono>
#include <thread>

#include "link/socket_error.h"
#include "platform/instance.h"

namespace qvx {

SensorLink::SensorLink(ConnectionState& state) : state_(state) {}

SensorLink::~SensorLink() {
    TcpClose();
    CloseSerialPort();
}

void SensorLink::InitSerialLink() {
    state_.last_link_error = link_error::kNone;
    state_.port_name = kDefaultPortName;
    state_.link_kind = LinkKind::None;
    state_.instance_number = AcquireInstanceNumber();
}

std::size_t SensorLink::SerialWrite(std::string_view text, int sleep_after_ms, bool purge_first) {
    if (purge_first) {
        PurgeInput();
    }
    state_.last_link_error = link_error::kNone;
    // The sensor expects at least one byte per write; an empty text goes out as a single NUL.
    static constexpr char kNul[1] = {'\0'};
    const std::string_view bytes = text.empty() ? std::string_view(kNul, 1) : text;
    if (UsesTcp()) {
        return TcpSend(bytes, kTcpSendTimeoutMs, 0, 0);
    }
    const std::size_t written = SerialWriteBytes(bytes);
    if (written != 0 && sleep_after_ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(sleep_after_ms));
    }
    return written;
}

std::size_t SensorLink::ReadUntil(std::string& out, std::size_t max_len, int timeout_ms, char terminator,
                                  char escape) {
    if (UsesTcp()) {
        if (!state_.socket_open) {
            state_.last_link_error = SocketErrorCode(ENOTCONN);
            return 0;
        }
        return TcpReceive(out, max_len, timeout_ms, terminator, escape);
    }
    return SerialReadUntil(out, max_len, timeout_ms, terminator, escape);
}

std::size_t SensorLink::ReadRaw(std::string& out, std::size_t count) {
    if (UsesTcp()) {
        return ReadAvailable(out, count, 0);
    }
    return SerialReadRaw(out, count);
}

void SensorLink::PurgeInput() {
    if (!UsesTcp()) {
        PurgeSerial();
        return;
    }
    std::size_t discarded = 0;
    std::string scratch;
    while (discarded < kPurgeLimit && state_.socket_open) {
        scratch.clear();
        const std::size_t got = TcpReceive(scratch, 1, 10, 0, 0);
        if (got == 0) {
            break;
        }
        discarded += got;
    }
}

std::size_t SensorLink::ReadAvailable(std::string& out, std::size_t max_len, int wait_ms) {
    if (max_len == 0) {
        return 0;
    }
    if (UsesTcp()) {
        return TcpReadAvailable(out, max_len, wait_ms);
    }
    return SerialReadAvailable(out, max_len, wait_ms);
}

}  // namespace qvx
