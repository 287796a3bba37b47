#pragma once
// A program context connected to an in-process simulated sensor whose stored intervals a test
// sets record by record: two-lane records with known values, the sensor clock at a chosen time,
// the banner fields of the download goldens, the registry in a scratch folder.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/hex_text.h"
#include "scoped_time_zone.h"
#include "scratch_folder.h"
#include "scripted_prompts.h"
#include "sim_connection.h"

namespace qvx::test {

// 2011-03-07 14:30:00 UTC in sensor seconds.
inline constexpr std::uint32_t kStoredT = 352823400;
inline const std::string kStoredLaneOne = "10000002A00370080040000000002";
inline const std::string kStoredLaneTwo = "200012345FFCE0001020001000005";

inline std::string StoredRecord(std::uint32_t stamp) {
    return hex::Format(stamp, 8) + kStoredLaneOne + kStoredLaneTwo;
}

class StoredSimTest : public ::testing::Test {
  protected:
    void StartSim(sim::ServerSettings server = {}, int history = 0, std::uint32_t interval = 20) {
        sim::SensorSettings sensor;
        sensor.lanes = 2;
        sensor.interval_seconds = interval;
        sensor.history_records = history;
        sensor.firewall = false;
        server_ = std::make_unique<sim::SimServer>(std::vector<sim::SensorSettings>{sensor}, server);
        std::string why;
        ASSERT_TRUE(server_->Start(&why)) << why;
        ASSERT_TRUE(ConnectToSim(context_, *server_, &why)) << why;
        context_.protocol.sleep_ms = [](int) {};
        context_.records.sleep_ms = [](int) {};
        const std::string names[8] = {"NB 1    ", "SOUTHBND", "", "", "", "", "", ""};
        for (int i = 0; i < 8; ++i) {
            context_.state.lane_names[i] = names[i];
        }
    }
    void TearDown() override {
        context_.link.tcp().Close();
        if (server_) {
            server_->Stop();
        }
    }
    sim::SimulatedSensor& sensor() { return server_->sensor(0); }

    // The serial number, description and location of the goldens' banner.
    void UseGoldenIdentity() {
        std::string config = sensor().Record(sim::RecordKind::Config);
        config.replace(0, 16, "QX00000000012345");
        config.replace(78, 32, std::string("Mile 12.5").append(23, ' '));
        config.replace(110, 32, std::string("Main St northbound").append(14, ' '));
        sensor().SetRecord(sim::RecordKind::Config, config);
    }
    void StoreFlash(const std::vector<std::string>& newest_first, std::uint32_t clock = kStoredT) {
        sensor().SetSensorSeconds(clock);
        sensor().SetStoredIntervals(sim::IntervalBuffer::Flash, newest_first);
    }
    std::size_t RequestsOf(const std::string& frame) const {
        std::size_t count = 0;
        for (const std::string& line : server_->RequestLog()) {
            count += line == frame ? 1 : 0;
        }
        return count;
    }

    ScopedTimeZone utc_{"UTC"};
    ScratchFolder folder_;
    ScriptedPrompts prompts_;
    AppContext context_{prompts_, RegistryStore(folder_ / "registry")};
    std::unique_ptr<sim::SimServer> server_;
};

// The file with its banner date replaced by the goldens' date.
inline std::string WithGoldenDate(std::string text, const std::string& date = "December 31, 2030") {
    const std::string label = "DATE         : ";
    for (std::size_t at = text.find(label); at != std::string::npos; at = text.find(label, at + 1)) {
        std::string value = date;
        value.resize(66, ' ');
        text.replace(at + label.size(), 66, value);
    }
    return text;
}

}  // namespace qvx::test
