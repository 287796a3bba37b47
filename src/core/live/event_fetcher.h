#pragma once
// The vehicle event views' dealings with the sensor, without a window: fetching one event ("XA")
// into the counter, the drawing and the event log, the lane occupancy ("X1", "XG"), flushing the
// events the sensor kept while nobody asked, and the direction of travel the events show.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "live/interval_log.h"
#include "live/vehicle_track.h"
#include "protocol/record_io.h"
#include "protocol/sensor_configuration.h"
#include "protocol/traffic_records.h"

namespace qvx {

class AppContext;

enum class Mounting { SideFire, ForwardFire };

// The direction of travel a speed's sign gives.
enum class Direction : int { Unknown = 0, Approach = 1, Depart = 2 };
Direction DirectionOfSpeed(std::int16_t speed);

// Side-fire takes lanes 1..8; a forward-fire sensor watches one lane, so anything but lane 1 is
// not a vehicle it reports.
bool IsValidEventLane(const EventRecord& event, Mounting mounting);

// Events are not fetched at all once the additional response wait reaches this.
inline constexpr int kSkeldaEventWaitLimitMs = 500;
inline constexpr int kForwardFireEventWaitLimitMs = 2000;
bool EventsBlockedByResponseWait(int response_wait_ms, Mounting mounting);

inline constexpr const char* kEventsNotShownText =
    "Events will not be shown!\r\n(Additional Response Wait Time >= 500ms)";
inline constexpr const char* kEventsNotShownCaption = "Information";
inline constexpr const char* kClearingExpiredEventsText =
    "Clearing expired events from sensor's buffer...please wait...";
inline constexpr const char* kSkeldaNotConnectedText = "Skelda - not connected to sensor...";
inline constexpr const char* kSkeldaQueryingSettingsText = "Skelda - querying sensor settings...";
inline constexpr const char* kSkeldaQueryingLanesText = "Skelda - querying lane configuration...";
inline constexpr const char* kSkeldaEventModeText =
    "Skelda - Event Mode (detection reported after vehicles leave radar beam).";
inline constexpr const char* kSkeldaActuationModeText =
    "Skelda - Actuation Mode (detection reported as vehicles are in radar beam).";

class EventFetcher {
  public:
    EventFetcher(AppContext& context, Mounting mounting);

    // "XA". 1 when an event of a valid lane was decoded (counted, handed to the drawing and,
    // with log_to_file, logged), else 0. The caller holds "SyncDataMutex".
    int FetchEvent(bool log_to_file);
    // "X1": the lanes occupied now, one bit per lane. The transaction's result.
    TransactionResult FetchActuation();
    // "XG": the forward-fire occupancy value. The transaction's result.
    TransactionResult FetchFfActuation();
    // "XEE": drops the events the sensor kept, so the view starts with the traffic of now. Holds
    // "SyncDataMutex" when it can be had within the response wait + 1000 ms (a flush that did not
    // get it still goes out: it only clears a buffer). 0 only when the user cancelled after a
    // failed exchange.
    int FlushStoredEvents();

    // "S0" into the fetcher's own copy, for the event log's banner. The transaction's result.
    int ReadBannerConfig();
    // What a view needs before it draws: "S0" (the banner), "S01" (lane names and units) and, on a
    // side-fire sensor, "S3" (the lane layout), under "SyncDataMutex" (response wait + 1000 ms).
    // 1 when all were read, 0 otherwise (kept: what was read).
    int ReadSensorSettings();
    // The lane layout of the last "S3" read; lane_count 0 when none was read.
    const LaneMap& lane_map() const { return config_.lane_map(); }
    std::string EventBanner() const;

    Mounting mounting() const { return mounting_; }
    bool event_logging() const { return event_logging_.load(); }
    void set_event_logging(bool on) { event_logging_.store(on); }

    // Set from the first event while unknown, or by the user's answer.
    Direction detected_direction() const { return static_cast<Direction>(detected_direction_.load()); }
    void set_detected_direction(Direction direction) {
        detected_direction_.store(static_cast<int>(direction));
    }
    // The direction of the latest event.
    Direction current_direction() const { return static_cast<Direction>(current_direction_.load()); }

    std::uint8_t actuation() const { return actuation_.load(); }
    std::uint32_t ff_actuation() const { return ff_actuation_.load(); }
    VehicleTrack& track() { return track_; }
    const VehicleTrack& track() const { return track_; }
    const LogLineWriter& log_writer() const { return log_writer_; }
    // The result of the latest "XA" exchange (TransactionResult::Ok also for an "Empty" reply).
    TransactionResult last_event_result() const { return last_event_result_.load(); }
    // "XA" exchanges that did not complete. The sensor may have handed out an event whose reply
    // never arrived whole: it is gone from the sensor, so these are the only events that can go
    // missing, and they are counted rather than lost silently.
    std::uint64_t failed_event_polls() const { return failed_event_polls_.load(); }
    // Events decoded and taken; events whose lane was not valid.
    std::uint64_t events_taken() const { return events_taken_.load(); }
    std::uint64_t events_ignored() const { return events_ignored_.load(); }

    // Called on the polling thread with every event taken (the command line prints them).
    std::function<void(const EventRecord&)> on_event;

  private:
    void TakeEvent(const EventRecord& event, bool log_to_file);

    AppContext& context_;
    Mounting mounting_;
    SensorConfiguration config_;
    RecordIo records_;
    VehicleTrack track_;
    LogLineWriter log_writer_;
    std::atomic<bool> event_logging_{false};
    std::atomic<int> detected_direction_{0};
    std::atomic<int> current_direction_{0};
    std::atomic<std::uint8_t> actuation_{0};
    std::atomic<std::uint32_t> ff_actuation_{0};
    std::atomic<TransactionResult> last_event_result_{TransactionResult::Ok};
    std::atomic<std::uint64_t> failed_event_polls_{0};
    std::atomic<std::uint64_t> events_taken_{0};
    std::atomic<std::uint64_t> events_ignored_{0};
};

}  // namespace qvx
