#include "link/sensor_link.h"

#include "platform/instance.h"

namespace qvx {

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
    state_.last_link_error = link_error::kNone;
    static constexpr char kNul[1] = {'\0'};
    return Active().Write(text.empty() ? std::string_view(kNul, 1) : text);
}

std::size_t SensorLink::ReadUntil(std::string& out, std::size_t max_len, int timeout_ms, char terminator,
                                  char escape) {
    return Active().ReadUntil(out, max_len, timeout_ms, terminator, escape);
}

std::size_t SensorLink::ReadRaw(std::string& out, std::size_t count) {
    return Active().ReadRaw(out, count);
}

std::size_t SensorLink::ReadAvailable(std::string& out, std::size_t max_len, int wait_ms) {
    if (max_len == 0) {
        return 0;
    }
    return Active().ReadAvailable(out, max_len, wait_ms);
}

void SensorLink::PurgeInput() {
    Active().Purge();
}

bool SensorLink::IsOpen() {
    return Active().IsOpen();
}

void SensorLink::Close() {
    tcp_.Close();
    serial_.Close();
    state_.link_kind = LinkKind::None;
}

std::string SensorLink::Description() {
    return Active().Description();
}

}  // namespace qvx
