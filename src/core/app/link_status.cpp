#include "app/link_status.h"

#include <ctime>

namespace qvx {

namespace {

bool KnownId(const std::string& id) {
    return !id.empty() && id != "FFFF" && id != "Unknown";
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string SensorText(const LinkStatusInputs& in) {
    const std::string description = Trimmed(in.sensor_description);
    std::string text = KnownId(in.sensor_id) ? "Sensor " + in.sensor_id : "Sensor";
    if (!description.empty() && description != "Unknown")
        text += " \u2014 " + description;
    return text;
}

std::string LocalClock(std::int64_t unix_ms) {
    const std::time_t seconds = static_cast<std::time_t>(unix_ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

std::string Elapsed(std::int64_t ms) {
    const std::int64_t seconds = ms / 1000;
    if (seconds < 120)
        return std::to_string(seconds) + " s";
    return std::to_string(seconds / 60) + " min";
}

}  // namespace

LinkHealth JudgeLinkHealth(const LinkStatusInputs& in) {
    if (!in.connected)
        return LinkHealth::NotConnected;
    if (!in.link_open)
        return LinkHealth::Dropped;
    const std::int64_t limit_ms = 2 * static_cast<std::int64_t>(in.interval_seconds) * 1000;
    const bool failed_since = in.last_failed_ms > in.last_good_ms;
    if (failed_since && in.now_ms - in.last_good_ms > limit_ms)
        return LinkHealth::Silent;
    return LinkHealth::Ok;
}

LinkStatus DescribeLinkStatus(const LinkStatusInputs& in) {
    LinkStatus status;
    status.health = JudgeLinkHealth(in);
    if (status.health == LinkHealth::NotConnected) {
        status.link = "Not connected";
        return status;
    }
    status.link = in.link;
    status.sensor = SensorText(in);
    status.response_wait = "Response wait " + std::to_string(in.response_wait_ms) + " ms";
    status.last_exchange =
        in.last_good_ms > 0 ? "Last answer " + LocalClock(in.last_good_ms) : std::string("No answer yet");
    if (in.logging)
        status.logging = *in.logging ? "Logging on" : "Logging off";
    if (status.health == LinkHealth::Dropped)
        status.warning = "The link to the sensor dropped";
    else if (status.health == LinkHealth::Silent && in.last_good_ms == 0)
        status.warning = "No answer from the sensor";
    else if (status.health == LinkHealth::Silent)
        status.warning = "No answer from the sensor for " + Elapsed(in.now_ms - in.last_good_ms);
    return status;
}

std::string WindowTitle(const std::string& program_title, const LinkStatusInputs& in) {
    if (!in.connected)
        return program_title;
    return SensorText(in) + " (" + in.link + ") \u2014 " + program_title;
}

}  // namespace qvx
