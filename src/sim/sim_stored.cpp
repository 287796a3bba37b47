// The sensor's interval buffers: where each completed interval goes, the records stored before
// the simulation starts (optionally across a clock reset), and the test controls that set them.

#include "simulated_sensor.h"

namespace qvx::sim {

namespace {

unsigned FlagsOf(const std::string& config) {
    return static_cast<unsigned char>(config[config_pos::kFlags]);
}

}  // namespace

// Every completed interval goes to SRAM, which always keeps the newest 246. With flash storage
// on it also goes to flash; a full flash buffer drops its oldest record only while overwrite is
// on, and otherwise keeps what it has and stores nothing more.
void SimulatedSensor::StoreIntervalLocked(const std::string& record) {
    sram_.push_back(record);
    if (sram_.size() > kSramCapacity) {
        sram_.pop_front();
    }
    const unsigned flags = FlagsOf(config_);
    if ((flags & flag_bit::kFlashStorage) == 0) {
        return;
    }
    if (flash_.size() >= kFlashCapacity) {
        if ((flags & flag_bit::kOverwrite) == 0) {
            return;
        }
        flash_.pop_front();
    }
    flash_.push_back(record);
}

// After the history records (filled in by the constructor), optionally a clock reset: the last
// reset_records come after it, stamped from the restarted clock, which then runs on from there.
void SimulatedSensor::StoreHistoryLocked() {
    if (settings_.overwrite) {
        config_[config_pos::kFlags] = static_cast<char>(FlagsOf(config_) | flag_bit::kOverwrite);
    }
    if (settings_.reset_records <= 0) {
        return;
    }
    std::uint64_t end = settings_.reset_clock_start - settings_.reset_clock_start % interval_seconds_;
    for (int i = 0; i < settings_.reset_records; ++i) {
        end += interval_seconds_;
        CompleteIntervalLocked(end);
    }
    SetSensorSecondsLocked(static_cast<std::uint32_t>(end));
}

void SimulatedSensor::SetStoredIntervals(IntervalBuffer buffer,
                                         const std::vector<std::string>& newest_first) {
    std::lock_guard lock(mutex_);
    std::deque<std::string>& records = buffer == IntervalBuffer::Flash ? flash_ : sram_;
    records.assign(newest_first.rbegin(), newest_first.rend());
}

void SimulatedSensor::SetSensorSeconds(std::uint32_t seconds) {
    std::lock_guard lock(mutex_);
    SetSensorSecondsLocked(seconds);
}

}  // namespace qvx::sim
