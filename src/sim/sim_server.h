#pragma once
// Serves one or more simulated sensors (a multi-drop bus) over a pseudo-terminal or loopback TCP,
// on a thread of its own, with scripted faults. Tests start it in-process; the qvx-sim program
// wraps it.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "frame_splitter.h"
#include "sim_modem.h"
#include "simulated_sensor.h"

namespace qvx::sim {

struct FaultSettings {
    int drop_every = 0;             // drop every Nth reply
    double drop_probability = 0.0;  // or drop each reply with this probability
    std::uint32_t fault_seed = 1;   // for the probability and the noise bytes
    int corrupt_every = 0;          // change one byte in every Nth reply
    bool noise = false;             // garbage bytes on the line before each reply
    int slow_ms = 0;                // delay before each reply
    int close_after = 0;            // TCP: close the connection after N exchanges on it
    int mute_after = 0;             // answer nothing after N exchanges
    bool collisions = false;        // discovery replies in the same position overlap and garble
};

enum class Transport { Pty, Tcp };

struct ServerSettings {
    Transport transport = Transport::Tcp;
    std::uint16_t tcp_port = 0;  // 0: an ephemeral port
    bool pacing = true;          // pty: replies take the time the line rate needs
    bool modem = false;          // a Hayes modem in front: AT commands until dialled, "+++" escapes
    ModemSettings modem_front;   // how that modem behaves
    FaultSettings faults;
    std::string log_path;  // one line per request frame; empty: no file
};

class SimServer {
  public:
    SimServer(std::vector<SensorSettings> sensors, ServerSettings settings);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Opens the pty or binds the port and starts serving. False (with a reason) when it could not.
    bool Start(std::string* error = nullptr);
    void Stop();

    const std::string& pty_path() const { return pty_path_; }
    std::uint16_t tcp_port() const { return tcp_port_; }
    // The readiness line the program prints first: the pty path, or "tcp 127.0.0.1:<port>".
    std::string ReadinessLine() const;

    std::size_t sensor_count() const { return sensors_.size(); }
    SimulatedSensor& sensor(std::size_t index) { return *sensors_.at(index); }
    std::vector<std::string> RequestLog() const;
    std::size_t exchanges() const { return exchanges_.load(); }
    std::size_t connections() const { return connections_.load(); }
    // Frames the sensors sent on their own (push mode) and that reached the line.
    std::size_t pushed_frames() const { return pushed_frames_.load(); }
    // Discovery replies that overlapped another sensor's and reached the line garbled.
    std::size_t collisions() const { return collisions_.load(); }
    // Bytes read from and written to the line, for line-rate measurements.
    std::size_t bytes_received() const { return bytes_received_.load(); }
    std::size_t bytes_sent() const { return bytes_sent_.load(); }
    // Bytes of raw stream ("X8") sent so far.
    std::uint64_t raw_bytes_streamed() const { return raw_bytes_streamed_.load(); }

  private:
    bool OpenPty(std::string* error);
    bool OpenTcp(std::string* error);
    void Serve();
    bool ServeOnce();
    void AcceptClient();
    void ReadRequests();
    void CloseClient();
    void HandleFrame(const std::string& frame);
    bool HandleModemText(const std::string& frame);
    bool InputWithin(int ms);
    void SendReply(std::string text, std::uint32_t line_rate);
    void PushStreams();
    void SendDiscoveryReplies(std::vector<SensorReply> replies);
    bool AnySensorPushing() const;
    void SendRawStream(std::uint32_t seed, std::uint64_t length);
    void DiscardInput();
    bool DropThisReply();
    void WriteAll(const std::string& bytes, std::uint32_t line_rate, bool may_stall = true);
    bool WriteChunk(const char* data, std::size_t size, bool may_stall);
    static std::chrono::nanoseconds LineTime(std::size_t bytes, std::uint32_t line_rate);
    std::uint32_t PtyLineRate() const;
    void LogRequest(const std::string& frame);

    std::vector<std::unique_ptr<SimulatedSensor>> sensors_;
    ServerSettings settings_;

    int master_fd_ = -1;      // pty master
    int slave_keep_fd_ = -1;  // keeps the slave open between clients, so the master never sees EIO
    int listen_fd_ = -1;
    int client_fd_ = -1;
    int wake_pipe_[2] = {-1, -1};
    std::string pty_path_;
    std::uint16_t tcp_port_ = 0;

    std::thread thread_;
    std::atomic<bool> running_{false};
    FrameSplitter splitter_;
    std::atomic<std::size_t> exchanges_{0};
    std::atomic<std::size_t> connections_{0};
    std::atomic<std::size_t> pushed_frames_{0};
    std::atomic<std::size_t> collisions_{0};
    std::atomic<std::size_t> bytes_received_{0};
    std::atomic<std::size_t> bytes_sent_{0};
    std::atomic<std::uint64_t> raw_bytes_streamed_{0};
    std::size_t exchanges_on_connection_ = 0;
    std::size_t replies_ = 0;
    std::unique_ptr<HayesModem> modem_;  // with settings_.modem
    bool bytes_follow_ = false;          // more input came with the frame being handled
    std::mt19937 fault_random_;

    mutable std::mutex log_mutex_;
    std::vector<std::string> request_log_;
    std::ofstream log_file_;
};

}  // namespace qvx::sim
