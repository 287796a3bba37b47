#pragma once
// What the main window's status bar says about the connection: the link, the sensor, the
// response wait, the last good exchange and logging, and whether the connection needs the
// technician's eye (no good exchange for two intervals, or the link dropped).

#include <cstdint>
#include <optional>
#include <string>

namespace qvx {

struct LinkStatusInputs {
    bool connected = false;  // the window ran a connect sequence and has not closed it
    bool link_open = false;  // link_kind is not 0
    std::string link;        // "/dev/ttyUSB0 @ 38400" or "10.0.0.5:10001"
    std::string sensor_id;   // "" or "FFFF": unknown
    std::string sensor_description;
    int response_wait_ms = 0;
    std::int64_t now_ms = 0;  // Unix milliseconds
    std::int64_t last_good_ms = 0;
    std::int64_t last_failed_ms = 0;
    std::uint32_t interval_seconds = 20;
    std::optional<bool> logging;  // nullopt: the open view does not log
};

enum class LinkHealth { NotConnected, Ok, Silent, Dropped };

struct LinkStatus {
    LinkHealth health = LinkHealth::NotConnected;
    std::string link;
    std::string sensor;
    std::string response_wait;
    std::string last_exchange;  // "Last answer 14:02:11", local time
    std::string logging;        // empty when the view does not log
    std::string warning;        // empty unless health is Silent or Dropped
};

// Silent: an exchange has failed since the last good one, and the last good one is more than two
// intervals old. A link that is merely idle (nothing sent) never counts as silent.
LinkHealth JudgeLinkHealth(const LinkStatusInputs& in);

LinkStatus DescribeLinkStatus(const LinkStatusInputs& in);

// The window title: the program's title, and the sensor when one is connected.
std::string WindowTitle(const std::string& program_title, const LinkStatusInputs& in);

}  // namespace qvx
