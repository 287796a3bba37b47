#pragma once
// The sensor side of the command protocol: the sensor's state and the request -> reply logic, no
// I/O. A transport feeds it request frames (without their CR) and writes back what it answers.
// All public members are thread-safe, so a test may inspect a sensor that a server thread drives.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sensor_records.h"
#include "sim_firmware.h"
#include "sim_lanes.h"
#include "traffic_model.h"

namespace qvx::sim {

inline constexpr std::size_t kFlashCapacity = 2975;
inline constexpr std::size_t kSramCapacity = 246;
inline constexpr std::size_t kEventQueueCapacity = 256;

enum class RecordKind { Config, Extended, Collection, SfAlgorithm, SfNoise, SfOccupancy, Ff0, Ff1, Ff2, Ff3 };

struct SensorSettings {
    std::string id = "0001";          // multi-drop ID, 4 characters
    bool multi_drop_network = false;  // answers only frames addressed to its ID
    std::uint32_t seed = 1;
    int lanes = 4;
    char units = 'E';
    std::uint32_t interval_seconds = 20;
    bool forward_fire = false;
    std::string version_text;  // the whole "S5" text; empty: built from version
    VersionParts version;
    char config_mode = '2';
    std::int64_t clock_offset_seconds = 0;      // sensor clock minus the PC's UTC clock
    std::optional<std::uint32_t> clock_start;   // sensor seconds at start; overrides PC time + offset
    int history_records = 60;                   // completed intervals already stored at start
    std::optional<int> flash_records;           // ... in flash, when not history_records
    std::optional<int> sram_records;            // ... in SRAM, when not history_records
    std::map<RecordKind, std::string> records;  // records to start with instead of the built ones
    int clock_reset_after_seconds = 0;          // the clock falls back to 0 once, this long after start
    bool firewall = true;                       // writes refused while protected
    SensorPort port = SensorPort::Rs232;        // the port the program is connected through
    std::uint32_t baud = 9600;                  // that port's rate
    int auto_config_seconds = 10;               // automatic lane configuration: mode '0' -> '1'
    std::vector<std::string> push_types;        // "XD", "XA", "X1" set up to be pushed on the port
    RoughTraffic rough;
    bool bare_firewall_reply = false;  // unprotect and protect answered "S8" alone, not the echo
    int vehicles_per_hour = 0;         // per lane, 1..3600; 0: each lane its own 300..1200
    bool overwrite = false;  // flags bit 1 at start: a full flash buffer drops its oldest
    // A clock reset during the history: after the history records the clock restarts at
    // reset_clock_start (an unset clock) and reset_records more are stored from there.
    int reset_records = 0;
    std::uint32_t reset_clock_start = 61440;
    FirmwareFaults firmware_faults;  // the firmware loader's scripted refusals
    int restart_ms = 8000;           // silent this long after "D0"
};

// What the sensor sends for one request.
struct SensorReply {
    bool silent = true;
    std::string text;                // the whole reply frame including its CR
    std::uint32_t line_rate = 0;     // the rate the reply goes out at (the rate before the request)
    int discovery_position = -1;     // discovery replies: when in the poll's window the sensor answers
    std::uint64_t stream_bytes = 0;  // "X8": the raw stream the transport paces out instead
    std::uint32_t stream_seed = 0;
};

inline constexpr int kDiscoveryPositions = 4;

enum class IntervalBuffer { Flash, Sram };

class SimulatedSensor {
  public:
    using Clock = std::chrono::steady_clock;

    explicit SimulatedSensor(SensorSettings settings);

    // One request frame without its CR, possibly "Z0" + ID prefixed.
    SensorReply HandleFrame(std::string_view frame);
    // In push mode: the frames (with their CR) the sensor has sent on its own since the last call,
    // as its extended record's push set-ups name them for the port it is connected through.
    std::vector<std::string> TakePushFrames();
    // True while the sensor is in push mode and something is set up to be pushed on its port.
    bool Pushing() const;

    // --- state, for transports and assertions ---
    std::string id() const;
    std::uint32_t LineRate() const;  // the connection port's rate from the configuration record
    bool muted() const;
    bool is_protected() const;
    bool push_mode() const;
    char config_mode() const;
    std::uint32_t SensorSeconds() const;
    std::string Record(RecordKind kind) const;
    std::size_t StoredIntervals(IntervalBuffer buffer) const;
    std::string StoredInterval(IntervalBuffer buffer, std::size_t index) const;  // 1 = newest
    int lanes() const;
    // Events answered to "XA" since start, per lane digit '1'..'8' (index 0 = lane 1), and events
    // the queue dropped because nobody fetched them in time.
    std::vector<std::uint64_t> EventsServed() const;
    std::uint64_t EventsDropped() const;
    std::string VersionText() const;  // the "S5" text
    FirmwareLoader Firmware() const;  // a copy of the firmware loader's state

    // --- test controls ---
    void AdvanceClock(std::chrono::milliseconds amount);  // moves sensor time without waiting
    void SetFirewall(bool enabled);
    void SetRecord(RecordKind kind, std::string record);
    // Replaces a buffer's records, newest first (index 1 first), and sets the sensor clock.
    void SetStoredIntervals(IntervalBuffer buffer, const std::vector<std::string>& newest_first);
    void SetSensorSeconds(std::uint32_t seconds);

  private:
    struct Answer {
        enum class Kind { Data, Status, Silent, Stream } kind = Kind::Silent;
        std::string text;
        std::uint64_t stream_bytes = 0;
    };
    static Answer Data(std::string text) { return {Answer::Kind::Data, std::move(text)}; }
    static Answer Status(std::string word) { return {Answer::Kind::Status, std::move(word)}; }
    static Answer Silent() { return {}; }

    using Handler = std::function<Answer(SimulatedSensor&, std::string_view)>;
    static const std::unordered_map<std::string, Handler>& Handlers();

    Answer Dispatch(const std::string& code, std::string_view payload);
    Answer WriteRecord(RecordKind kind, std::string_view payload);
    Answer FirewallAnswer(std::string_view access) const;
    Answer SetBaudCodes(std::string_view payload);
    Answer SetTime(std::string_view payload);
    Answer SetConfigMode(std::string_view payload);
    Answer IndexedInterval(std::string_view payload);
    Answer LatestInterval();
    Answer NextEvent();
    Answer ReadMemory(std::string_view payload);
    Answer RawDump(std::string_view payload);
    Answer WritePll(int reg, std::string_view payload);

    std::string& RecordRef(RecordKind kind);
    const std::string& RecordRef(RecordKind kind) const;
    void StoreRecordLocked(RecordKind kind, std::string record);
    void SaveRecords();
    void RestoreSavedRecords();
    void ApplyConfigInfo();
    void ResetToDefaults();
    bool AnswersBareFrames() const;
    int DiscoveryPosition(std::string_view slot) const;
    char CurrentConfigModeLocked();

    Clock::time_point SteadyNowLocked() const { return Clock::now() + skipped_; }
    std::uint64_t SensorMillisLocked() const;
    void SetSensorSecondsLocked(std::uint32_t seconds);
    void CatchUpLocked();
    void NoteVehicleLocked(const Vehicle& vehicle);
    void CompleteIntervalLocked(std::uint64_t end_time);
    void StoreIntervalLocked(const std::string& record);
    void StoreHistoryLocked();
    void ResetScheduleLocked();
    void FillStoredHistoryLocked();
    const std::deque<std::string>& SelectedBufferLocked() const;
    std::uint32_t ActuationMaskLocked() const;
    int EventLanesLocked() const;
    bool PushesLocked(std::string_view data_type) const;
    void PushLocked(std::string_view data_type, const std::string& data);
    std::uint32_t LineRateLocked() const;

    mutable std::mutex mutex_;
    SensorSettings settings_;
    RecordSeed seed_;
    TrafficModel traffic_;

    std::string config_;
    std::string extended_;
    std::string collection_;
    std::string sf_algorithm_;
    std::string sf_noise_;
    std::string sf_occupancy_;
    std::string ff_[4];
    std::vector<std::string> saved_records_;  // the copy "SE" stores and a reset restores
    std::string version_;
    std::string id_;
    std::uint32_t interval_seconds_;
    int lanes_;

    char config_mode_;
    std::optional<Clock::time_point> auto_config_since_;
    std::optional<ConfigModeRequest> restart_request_;  // the last restart of the lane search
    bool protected_ = true;
    bool push_mode_ = true;
    bool muted_ = false;
    std::uint32_t pll_[3] = {0x0000B082, 0x00002581, 0x00000028};  // latch, N, R

    // Sensor clock: base_seconds_ at base_time_, running on the steady clock.
    std::uint32_t base_seconds_ = 0;
    Clock::time_point base_time_;
    std::chrono::milliseconds advanced_{0};  // AdvanceClock since the clock was last set
    std::chrono::milliseconds skipped_{0};   // AdvanceClock in all; moves the sensor's own timers
    Clock::time_point started_;
    bool clock_was_reset_ = false;

    std::uint64_t next_interval_end_ = 0;  // 64-bit: a clock set near FFFFFFFF must not wrap here
    std::deque<std::string> flash_;
    std::deque<std::string> sram_;
    std::string latest_;                 // the last completed interval, what "X0" reports
    std::uint64_t events_until_ms_ = 0;  // vehicles that left the beam up to here are events
    std::vector<std::uint64_t> vehicle_number_;  // per lane: vehicles seen since the clock was set
    std::vector<Vehicle> last_vehicle_;          // per lane: the event list in memory shows it
    std::deque<std::string> events_;
    std::vector<std::uint64_t> events_served_ = std::vector<std::uint64_t>(kMaxLanes, 0);
    std::uint64_t events_dropped_ = 0;
    std::vector<std::string> push_frames_;  // sent on its own, waiting for the line
    std::uint32_t pushed_actuation_ = 0;
    FirmwareLoader firmware_;
};

}  // namespace qvx::sim
