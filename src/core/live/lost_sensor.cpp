#include "live/lost_sensor.h"

#include <algorithm>

#include "link/link_loss.h"
#include "link/sensor_link.h"

namespace qvx {

std::chrono::seconds LostSensorBound(std::uint32_t interval_seconds, int floor_seconds) {
    const std::int64_t two_intervals = 2 * static_cast<std::int64_t>(interval_seconds);
    return std::chrono::seconds(std::max<std::int64_t>(two_intervals, floor_seconds));
}

bool LinkIsGone(SensorLink& link) {
    return !link.IsOpen() || IsLinkLost(link.GetLastLinkError());
}

void LostSensorWatch::Exchange(bool answered, bool link_gone, Clock::time_point now) {
    if (answered) {
        last_answer_ = now;
        link_gone_ = false;
        return;
    }
    link_gone_ = link_gone_ || link_gone;
}

bool LostSensorWatch::Lost(Clock::time_point now) const {
    return link_gone_ || now - last_answer_ >= bound_;
}

std::string LostSensorWatch::Reason(Clock::time_point now) const {
    if (link_gone_) {
        return "the link to the sensor is gone";
    }
    const auto silent = std::chrono::duration_cast<std::chrono::seconds>(now - last_answer_).count();
    return "the sensor has not answered for " + std::to_string(silent) + " s";
}

}  // namespace qvx
