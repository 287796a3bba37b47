#include "live/event_fetcher.h"

#include <ctime>

#include "base/hex_text.h"
#include "context/app_context.h"
#include "protocol/catalogue.h"
#include "protocol/transaction_result.h"

namespace qvx {

namespace {

// The catalogue's codes of the occupancy reads and the event flush.
constexpr const char* kGetActuation = "X1";
constexpr const char* kGetFfActuation = "XG";
constexpr const char* kFlushSramEvents = "XEE";
constexpr std::size_t kActuationDigits = 4;
constexpr std::size_t kFfActuationDigits = 8;
constexpr int kUserActionExtraWaitMs = 1000;
constexpr int kConfigSerialField = 0;
constexpr int kConfigLocationField = 9;
constexpr int kConfigDescriptionField = 10;

// A poll asks once and says nothing: the next poll follows within milliseconds.
TransactionResult Poll(AppContext& context, const char* code, std::string& reply) {
    return context.protocol.SendSensorCommand({.code = code, .payload = "\r"}, reply);
}

std::optional<std::uint32_t> HexReply(const std::string& reply, std::size_t digits) {
    if (reply.size() < digits) {
        return std::nullopt;
    }
    return hex::Parse(std::string_view(reply).substr(0, digits));
}

}  // namespace

Direction DirectionOfSpeed(std::int16_t speed) {
    return speed < 0 ? Direction::Depart : Direction::Approach;
}

bool IsValidEventLane(const EventRecord& event, Mounting mounting) {
    const int index = event.LaneIndex();
    return mounting == Mounting::ForwardFire ? index == 0 : index >= 0;
}

bool EventsBlockedByResponseWait(int response_wait_ms, Mounting mounting) {
    return response_wait_ms >=
           (mounting == Mounting::SideFire ? kSkeldaEventWaitLimitMs : kForwardFireEventWaitLimitMs);
}

EventFetcher::EventFetcher(AppContext& context, Mounting mounting)
    : context_(context), mounting_(mounting), records_(context.protocol, config_) {
    records_.sleep_ms = context.records.sleep_ms;
}

int EventFetcher::FetchEvent(bool log_to_file) {
    std::string reply;
    const TransactionResult result =
        context_.protocol.SendSensorCommand({.code = cmd::kGetEvent, .payload = "\r"}, reply);
    last_event_result_.store(result);
    if (result != TransactionResult::Ok) {
        failed_event_polls_.fetch_add(1);
    }
    if (result != TransactionResult::Ok || reply.find("Empty") != std::string::npos) {
        return 0;
    }
    const std::optional<EventRecord> event = DecodeEventRecord(reply);
    if (!event) {
        return 0;
    }
    const Direction direction = DirectionOfSpeed(event->speed);
    int unknown = static_cast<int>(Direction::Unknown);
    detected_direction_.compare_exchange_strong(unknown, static_cast<int>(direction));
    current_direction_.store(static_cast<int>(direction));
    if (!IsValidEventLane(*event, mounting_)) {
        events_ignored_.fetch_add(1);
        return 0;
    }
    TakeEvent(*event, log_to_file);
    return 1;
}

void EventFetcher::TakeEvent(const EventRecord& event, bool log_to_file) {
    const int lane = event.LaneIndex() + 1;
    context_.live.lane_statistics.CountEvent(
        CountedEvent{lane, event.vehicle_class, event.speed, event.duration, event.ticks});
    TrackedVehicle vehicle;
    vehicle.ticks = event.ticks;
    vehicle.end_ticks = event.ticks + event.duration;
    vehicle.lane = lane;
    vehicle.vehicle_class = event.vehicle_class;
    vehicle.speed = event.speed;
    vehicle.arrived_ms = VehicleTrack::SteadyNowMs();
    track_.Add(vehicle);
    events_taken_.fetch_add(1);
    if (log_to_file) {
        const std::string path = context_.live.log_paths.Get(LogKind::Event);
        if (!path.empty()) {
            log_writer_.Write(path, EventLogLine(event, context_.state.lane_names, std::time(nullptr)));
        }
    }
    if (on_event) {
        on_event(event);
    }
}

TransactionResult EventFetcher::FetchActuation() {
    std::string reply;
    const TransactionResult result = Poll(context_, kGetActuation, reply);
    if (result == TransactionResult::Ok) {
        if (const auto value = HexReply(reply, kActuationDigits)) {
            actuation_.store(static_cast<std::uint8_t>(*value & 0xFF));
        }
    }
    return result;
}

TransactionResult EventFetcher::FetchFfActuation() {
    std::string reply;
    const TransactionResult result = Poll(context_, kGetFfActuation, reply);
    if (result == TransactionResult::Ok) {
        if (const auto value = HexReply(reply, kFfActuationDigits)) {
            ff_actuation_.store(*value);
        }
    }
    return result;
}

int EventFetcher::FlushStoredEvents() {
    ScopedTryLock lock(context_.objects.SyncData(),
                       context_.state.response_wait_ms.load() + kUserActionExtraWaitMs);
    std::string reply;
    const TransactionResult result = context_.protocol.SendSensorCommand(
        {.code = kFlushSramEvents, .payload = "\r", .on_error = ErrorPolicy::Report, .link_recovery = true},
        reply);
    return result == TransactionResult::Cancel ? 0 : 1;
}

int EventFetcher::ReadBannerConfig() {
    return records_.ReadConfigInfo().ok() ? 1 : 0;
}

int EventFetcher::ReadSensorSettings() {
    ScopedTryLock lock(context_.objects.SyncData(),
                       context_.state.response_wait_ms.load() + kUserActionExtraWaitMs);
    if (!lock.held()) {
        return 0;
    }
    if (!records_.ReadConfigInfo().ok() || !records_.ReadExtendedConfigInfo().ok()) {
        return 0;
    }
    if (mounting_ == Mounting::SideFire && !records_.ReadSfAlgorithmInfo(false).ok()) {
        return 0;
    }
    return 1;
}

std::string EventFetcher::EventBanner() const {
    LogBannerInfo info;
    info.date = BannerDate(std::time(nullptr));
    info.serial = config_.GetConfigField(kConfigSerialField);
    info.description = config_.GetConfigField(kConfigDescriptionField);
    info.location = config_.GetConfigField(kConfigLocationField);
    info.units = context_.state.units;
    return EventLogBanner(info);
}

}  // namespace qvx
