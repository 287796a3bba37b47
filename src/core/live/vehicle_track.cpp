#include "live/vehicle_track.h"

namespace qvx {

void VehicleTrack::Add(TrackedVehicle vehicle) {
    std::lock_guard lock(mutex_);
    vehicle.serial = ++serial_;
    ring_[next_] = vehicle;
    next_ = (next_ + 1) % kCapacity;
    size_ = std::min(size_ + 1, kCapacity);
}

void VehicleTrack::Clear() {
    std::lock_guard lock(mutex_);
    next_ = 0;
    size_ = 0;
}

std::vector<TrackedVehicle> VehicleTrack::Snapshot() const {
    std::lock_guard lock(mutex_);
    std::vector<TrackedVehicle> vehicles;
    vehicles.reserve(size_);
    const std::size_t first = (next_ + kCapacity - size_) % kCapacity;
    for (std::size_t k = 0; k < size_; ++k) {
        vehicles.push_back(ring_[(first + k) % kCapacity]);
    }
    return vehicles;
}

std::uint64_t VehicleTrack::latest_serial() const {
    std::lock_guard lock(mutex_);
    return serial_;
}

std::int64_t VehicleTrack::SteadyNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace qvx
