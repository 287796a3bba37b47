#pragma once
// Runs the built qvx program against an in-process simulated sensor, over its pseudo-terminal or
// loopback TCP, with a private configuration folder and the UTC time zone.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "scratch_folder.h"
#include "sim_server.h"

namespace qvx::test {

inline std::string QvxProgram() {
    return std::string(QVX_BINARY_DIR) + "/src/cli/qvx";
}

inline std::vector<sim::SensorSettings> MultiDropLine(const std::vector<std::string>& ids) {
    std::vector<sim::SensorSettings> sensors;
    for (const std::string& id : ids) {
        sim::SensorSettings sensor;
        sensor.id = id;
        sensor.multi_drop_network = true;
        sensors.push_back(sensor);
    }
    return sensors;
}

inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

class CliRunner {
  public:
    void StartSim(sim::Transport transport, std::vector<sim::SensorSettings> sensors,
                  sim::FaultSettings faults = {}) {
        sim::ServerSettings settings;
        settings.transport = transport;
        settings.faults = faults;
        sim_ = std::make_unique<sim::SimServer>(std::move(sensors), settings);
        std::string error;
        ASSERT_TRUE(sim_->Start(&error)) << error;
        transport_ = transport;
    }

    // The sensors behind a Hayes modem on a pty; LinkArgs then name the modem's port.
    void StartModemSim(std::vector<sim::SensorSettings> sensors, sim::ModemSettings modem = {}) {
        sim::ServerSettings settings;
        settings.transport = sim::Transport::Pty;
        settings.modem = true;
        settings.modem_front = modem;
        sim_ = std::make_unique<sim::SimServer>(std::move(sensors), settings);
        std::string error;
        ASSERT_TRUE(sim_->Start(&error)) << error;
        transport_ = sim::Transport::Pty;
        modem_ = true;
    }

    sim::SimServer& sim() { return *sim_; }

    std::vector<std::string> LinkArgs() const {
        if (modem_) {
            return {"--modem", sim_->pty_path()};
        }
        if (transport_ == sim::Transport::Pty) {
            return {"--serial", sim_->pty_path()};
        }
        return {"--tcp", "127.0.0.1:" + std::to_string(sim_->tcp_port())};
    }

    std::map<std::string, std::string> Environment() const {
        std::map<std::string, std::string> env = extra_env_;
        env["QVX_CONFIG_HOME"] = dir_ / "config";
        env.try_emplace("TZ", "UTC");  // SetEnv("TZ", ...) runs qvx in another zone
        return env;
    }
    void SetEnv(const std::string& name, const std::string& value) { extra_env_[name] = value; }

    // qvx with the link options first, then args.
    ChildResult Run(const std::vector<std::string>& args, int limit_ms = 60000) {
        std::vector<std::string> all = LinkArgs();
        all.insert(all.end(), args.begin(), args.end());
        return RunBare(all, limit_ms);
    }
    ChildResult RunBare(const std::vector<std::string>& args, int limit_ms = 60000) {
        ChildProcess child(QvxProgram(), args, Environment());
        return child.Finish(limit_ms);
    }
    // qvx with the link options, reading standard input from a file that holds input.
    ChildResult RunWithInput(const std::vector<std::string>& args, const std::string& input,
                             int limit_ms = 60000) {
        std::vector<std::string> all = LinkArgs();
        all.insert(all.end(), args.begin(), args.end());
        ChildProcess child(QvxProgram(), all, Environment(), dir_.Write("stdin.txt", input));
        return child.Finish(limit_ms);
    }
    std::unique_ptr<ChildProcess> Spawn(const std::vector<std::string>& args) {
        std::vector<std::string> all = LinkArgs();
        all.insert(all.end(), args.begin(), args.end());
        return std::make_unique<ChildProcess>(QvxProgram(), all, Environment());
    }

    // The request frames the sensors heard after the last one that starts with `marker`.
    std::vector<std::string> RequestsAfterLast(const std::string& marker) const {
        const std::vector<std::string> log = sim_->RequestLog();
        auto it = std::find_if(log.rbegin(), log.rend(),
                               [&](const std::string& frame) { return frame.starts_with(marker); });
        return std::vector<std::string>(it.base(), log.end());
    }

    const ScratchFolder& dir() const { return dir_; }

  private:
    ScratchFolder dir_;
    std::unique_ptr<sim::SimServer> sim_;
    sim::Transport transport_ = sim::Transport::Tcp;
    bool modem_ = false;
    std::map<std::string, std::string> extra_env_;
};

}  // namespace qvx::test
