#include "sim_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace qvx::sim {

namespace {

constexpr int kBitsPerByte = 10;  // start, 8 data, stop
constexpr int kPacingStepMs = 10;
constexpr int kWriteStallMs = 500;  // a line nobody reads: give up on the reply after this
constexpr int kPushTickMs = 20;     // how often a pushing sensor gets the line

struct RateEntry {
    speed_t speed;
    std::uint32_t bps;
};

constexpr RateEntry kRates[] = {{B1200, 1200},     {B2400, 2400},     {B4800, 4800},    {B9600, 9600},
                                {B19200, 19200},   {B38400, 38400},   {B57600, 57600},  {B115200, 115200},
                                {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};

speed_t SpeedOfRate(std::uint32_t bps) {
    for (const RateEntry& entry : kRates) {
        if (entry.bps == bps) {
            return entry.speed;
        }
    }
    return B9600;
}

std::uint32_t RateOfSpeed(speed_t speed) {
    for (const RateEntry& entry : kRates) {
        if (entry.speed == speed) {
            return entry.bps;
        }
    }
    return 0;
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

std::string ErrnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// Bytes that cannot start a reply header: no letters or digits, no CR and no escape character.
constexpr char kNoiseBytes[] = "!#$%&()*,-/:;<=>?@[]^`{|}\x01\x7F";

}  // namespace

SimServer::SimServer(std::vector<SensorSettings> sensors, ServerSettings settings)
    : settings_(std::move(settings)), fault_random_(settings_.faults.fault_seed) {
    for (SensorSettings& sensor : sensors) {
        sensors_.push_back(std::make_unique<SimulatedSensor>(std::move(sensor)));
    }
    if (settings_.modem) {
        const std::uint32_t rate = sensors_.empty() ? 9600 : sensors_.front()->LineRate();
        modem_ = std::make_unique<HayesModem>(settings_.modem_front, rate);
    }
}

SimServer::~SimServer() {
    Stop();
}

bool SimServer::Start(std::string* error) {
    std::string reason;
    if (!settings_.log_path.empty()) {
        log_file_.open(settings_.log_path, std::ios::out | std::ios::app);
        if (!log_file_) {
            reason = "cannot open the request log " + settings_.log_path;
        }
    }
    if (reason.empty() && ::pipe2(wake_pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        reason = ErrnoText("pipe");
    }
    if (reason.empty()) {
        const bool opened = settings_.transport == Transport::Pty ? OpenPty(&reason) : OpenTcp(&reason);
        if (opened) {
            running_ = true;
            thread_ = std::thread([this] { Serve(); });
            return true;
        }
    }
    if (error != nullptr) {
        *error = reason;
    }
    Stop();
    return false;
}

void SimServer::Stop() {
    if (running_.exchange(false) && wake_pipe_[1] >= 0) {
        const char byte = 'x';
        [[maybe_unused]] ssize_t written = ::write(wake_pipe_[1], &byte, 1);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    CloseFd(client_fd_);
    CloseFd(listen_fd_);
    CloseFd(slave_keep_fd_);
    CloseFd(master_fd_);
    CloseFd(wake_pipe_[0]);
    CloseFd(wake_pipe_[1]);
}

std::string SimServer::ReadinessLine() const {
    if (settings_.transport == Transport::Pty) {
        return pty_path_;
    }
    return "tcp 127.0.0.1:" + std::to_string(tcp_port_);
}

std::vector<std::string> SimServer::RequestLog() const {
    std::lock_guard lock(log_mutex_);
    return request_log_;
}

// ---------------------------------------------------------------------------------------------
// Transports

bool SimServer::OpenPty(std::string* error) {
    master_fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_fd_ < 0 || ::grantpt(master_fd_) != 0 || ::unlockpt(master_fd_) != 0) {
        *error = ErrnoText("posix_openpt");
        return false;
    }
    char name[256];
    if (::ptsname_r(master_fd_, name, sizeof name) != 0) {
        *error = ErrnoText("ptsname");
        return false;
    }
    pty_path_ = name;
    slave_keep_fd_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_keep_fd_ < 0) {
        *error = ErrnoText("open pty slave");
        return false;
    }
    // Raw from the start: an echoing line discipline would hand the sensor its own replies.
    termios line{};
    ::tcgetattr(slave_keep_fd_, &line);
    ::cfmakeraw(&line);
    const std::uint32_t rate = sensors_.empty() ? 9600 : sensors_.front()->LineRate();
    ::cfsetispeed(&line, SpeedOfRate(rate));
    ::cfsetospeed(&line, SpeedOfRate(rate));
    ::tcsetattr(slave_keep_fd_, TCSANOW, &line);
    ::fcntl(master_fd_, F_SETFL, ::fcntl(master_fd_, F_GETFL) | O_NONBLOCK);
    return true;
}

bool SimServer::OpenTcp(std::string* error) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_fd_ < 0) {
        *error = ErrnoText("socket");
        return false;
    }
    const int yes = 1;
    ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(settings_.tcp_port);
    if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listen_fd_, 4) != 0) {
        *error = ErrnoText("bind 127.0.0.1");
        return false;
    }
    socklen_t length = sizeof address;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
    tcp_port_ = ntohs(address.sin_port);
    return true;
}

void SimServer::Serve() {
    while (running_ && ServeOnce()) {
    }
}

// One wait for input: a new TCP client, request bytes, or the stop signal. False ends serving.
bool SimServer::ServeOnce() {
    pollfd fds[2] = {{wake_pipe_[0], POLLIN, 0}, {-1, POLLIN, 0}};
    const bool tcp = settings_.transport == Transport::Tcp;
    fds[1].fd = tcp ? (client_fd_ >= 0 ? client_fd_ : listen_fd_) : master_fd_;
    if (::poll(fds, 2, AnySensorPushing() ? kPushTickMs : -1) < 0) {
        return errno == EINTR;
    }
    if (fds[0].revents != 0) {
        return false;
    }
    // What the sensors pushed up to now is on the line before any reply to what just arrived.
    PushStreams();
    if (fds[1].revents == 0) {
        return true;
    }
    if (tcp && client_fd_ < 0) {
        AcceptClient();
    } else {
        ReadRequests();
    }
    return true;
}

void SimServer::AcceptClient() {
    client_fd_ = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client_fd_ >= 0) {
        ++connections_;
        exchanges_on_connection_ = 0;
        splitter_.Reset();
    }
}

void SimServer::CloseClient() {
    CloseFd(client_fd_);
    splitter_.Reset();
}

void SimServer::ReadRequests() {
    const int fd = settings_.transport == Transport::Tcp ? client_fd_ : master_fd_;
    char buffer[1024];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count <= 0) {
        if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
            if (settings_.transport == Transport::Tcp) {
                CloseClient();
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(kPacingStepMs));
            }
        }
        return;
    }
    bytes_received_ += static_cast<std::size_t>(count);
    const std::vector<std::string> frames =
        splitter_.Feed(std::string_view(buffer, static_cast<std::size_t>(count)));
    for (std::size_t i = 0; i < frames.size(); ++i) {
        bytes_follow_ = i + 1 < frames.size() || !splitter_.pending().empty();
        HandleFrame(frames[i]);
        if (client_fd_ < 0 && settings_.transport == Transport::Tcp) {
            return;  // the connection was closed on purpose; the rest of its bytes go with it
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Exchanges and faults

// The modem answers AT commands while it is offline; dialling connects it to the sensors and the
// escape takes it back to command mode. True when the text was the modem's.
bool SimServer::HandleModemText(const std::string& frame) {
    const HayesModem::Reaction reaction = modem_->Handle(frame, [this](int ms) { return InputWithin(ms); });
    if (!reaction.reply.empty()) {
        WriteAll(reaction.reply, 0);
    }
    return !reaction.to_sensors;
}

// Whether the PC sends anything within ms; the bytes stay for the next read.
bool SimServer::InputWithin(int ms) {
    if (bytes_follow_) {
        return true;  // already read with the frame being handled
    }
    const int fd = settings_.transport == Transport::Tcp ? client_fd_ : master_fd_;
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake_pipe_[0], POLLIN, 0}};
    return ::poll(fds, 2, ms) > 0 && fds[0].revents != 0;
}

void SimServer::HandleFrame(const std::string& frame) {
    if (modem_ && HandleModemText(frame)) {
        LogRequest(frame);
        return;
    }
    if (frame == kModemEscape) {
        return;  // without a modem the escape is line noise
    }
    LogRequest(frame);
    const std::size_t exchange = ++exchanges_;
    ++exchanges_on_connection_;
    const FaultSettings& faults = settings_.faults;
    if (faults.mute_after <= 0 || exchange <= static_cast<std::size_t>(faults.mute_after)) {
        const std::uint32_t line_rate = settings_.transport == Transport::Pty ? PtyLineRate() : 0;
        if (line_rate != 0 && settings_.pacing) {
            // The pty hands over a request at once; on a line it takes its time to arrive.
            std::this_thread::sleep_for(LineTime(frame.size() + 1, line_rate));
        }
        // Every sensor on the line sees the frame; they answer one after another, never interleaved,
        // except that discovery replies share one window.
        std::vector<SensorReply> discovery;
        for (auto& sensor : sensors_) {
            if (line_rate != 0 && sensor->LineRate() != line_rate) {
                continue;  // at another rate the sensor hears only garbage
            }
            SensorReply reply = sensor->HandleFrame(frame);
            if (reply.stream_bytes > 0) {
                SendRawStream(reply.stream_seed, reply.stream_bytes);  // "X8": no reply, the stream
            }
            if (reply.silent) {
                continue;
            }
            if (reply.discovery_position >= 0) {
                discovery.push_back(std::move(reply));
            } else {
                SendReply(std::move(reply.text), reply.line_rate);
            }
        }
        SendDiscoveryReplies(std::move(discovery));
    }
    if (settings_.transport == Transport::Tcp && faults.close_after > 0 &&
        exchanges_on_connection_ >= static_cast<std::size_t>(faults.close_after)) {
        CloseClient();
    }
}

// Discovery replies go out in the order of their positions in the poll's window. With collisions
// on, replies in the same position overlap on the line: each byte is what both drove at once.
void SimServer::SendDiscoveryReplies(std::vector<SensorReply> replies) {
    std::stable_sort(replies.begin(), replies.end(), [](const SensorReply& a, const SensorReply& b) {
        return a.discovery_position < b.discovery_position;
    });
    for (std::size_t i = 0; i < replies.size(); ++i) {
        std::string text = replies[i].text;
        std::size_t overlapping = 1;
        while (settings_.faults.collisions && i + 1 < replies.size() &&
               replies[i + 1].discovery_position == replies[i].discovery_position) {
            const std::string& other = replies[++i].text;
            text.resize(std::max(text.size(), other.size()), '\0');
            for (std::size_t at = 0; at < other.size(); ++at) {
                text[at] = static_cast<char>(text[at] | other[at]);
            }
            ++overlapping;
        }
        if (overlapping > 1) {
            collisions_ += overlapping;
        }
        SendReply(std::move(text), replies[i].line_rate);
    }
}

bool SimServer::AnySensorPushing() const {
    for (const auto& sensor : sensors_) {
        if (sensor->Pushing()) {
            return true;
        }
    }
    return false;
}

// Pushed data goes out only when someone is on the line; a sensor at another rate than the line
// reaches it as garbage. Nobody waits for pushed data, so a full line drops it.
void SimServer::PushStreams() {
    const bool tcp = settings_.transport == Transport::Tcp;
    const bool line_open = (tcp ? client_fd_ >= 0 : true) && (!modem_ || modem_->online());
    const std::uint32_t line_rate = tcp ? 0 : PtyLineRate();
    for (auto& sensor : sensors_) {
        for (std::string frame : sensor->TakePushFrames()) {
            if (!line_open) {
                continue;
            }
            const std::uint32_t sensor_rate = sensor->LineRate();
            if (line_rate != 0 && sensor_rate != line_rate) {
                for (char& byte : frame) {
                    byte = static_cast<char>(static_cast<unsigned char>(byte) | 0x80);
                }
            }
            WriteAll(frame, sensor_rate, false);
            ++pushed_frames_;
        }
    }
}

bool SimServer::DropThisReply() {
    const FaultSettings& faults = settings_.faults;
    if (faults.drop_every > 0) {
        return replies_ % static_cast<std::size_t>(faults.drop_every) == 0;
    }
    if (faults.drop_probability > 0.0) {
        return std::uniform_real_distribution<double>(0.0, 1.0)(fault_random_) < faults.drop_probability;
    }
    return false;
}

void SimServer::SendReply(std::string text, std::uint32_t line_rate) {
    ++replies_;
    const FaultSettings& faults = settings_.faults;
    if (DropThisReply()) {
        return;
    }
    if (faults.corrupt_every > 0 && replies_ % static_cast<std::size_t>(faults.corrupt_every) == 0 &&
        text.size() > 1) {
        // One byte in the middle of the data changes, never the terminating CR.
        char& victim = text[text.size() / 2];
        victim = victim == '#' ? '$' : '#';
    }
    if (faults.noise) {
        std::string noise;
        const int length = 1 + static_cast<int>(fault_random_() % 8);
        for (int i = 0; i < length; ++i) {
            noise += kNoiseBytes[fault_random_() % (sizeof kNoiseBytes - 1)];
        }
        text.insert(0, noise);
    }
    if (faults.slow_ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(faults.slow_ms));
    }
    WriteAll(text, line_rate);
}

// Paced, each chunk goes out when its last byte would have crossed the line, measured from the
// start of the reply: the reply takes exactly its line time, however long each sleep overshoots.
void SimServer::WriteAll(const std::string& bytes, std::uint32_t line_rate, bool may_stall) {
    const bool paced = settings_.transport == Transport::Pty && settings_.pacing && line_rate > 0;
    const std::size_t step =
        paced ? std::max<std::size_t>(1, line_rate / kBitsPerByte * kPacingStepMs / 1000) : bytes.size();
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t offset = 0; offset < bytes.size(); offset += step) {
        const std::size_t size = std::min(step, bytes.size() - offset);
        if (paced) {
            std::this_thread::sleep_until(start + LineTime(offset + size, line_rate));
        }
        if (!WriteChunk(bytes.data() + offset, size, may_stall)) {
            return;
        }
    }
}

std::chrono::nanoseconds SimServer::LineTime(std::size_t bytes, std::uint32_t line_rate) {
    return std::chrono::nanoseconds(static_cast<std::int64_t>(bytes) * kBitsPerByte * 1000000000ll /
                                    line_rate);
}

bool SimServer::WriteChunk(const char* data, std::size_t size, bool may_stall) {
    const int fd = settings_.transport == Transport::Tcp ? client_fd_ : master_fd_;
    while (size > 0 && fd >= 0) {
        const ssize_t written = settings_.transport == Transport::Tcp ? ::send(fd, data, size, MSG_NOSIGNAL)
                                                                      : ::write(fd, data, size);
        if (written > 0) {
            bytes_sent_ += static_cast<std::size_t>(written);
            data += written;
            size -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && may_stall && (errno == EAGAIN || errno == EINTR)) {
            pollfd out{fd, POLLOUT, 0};
            if (::poll(&out, 1, kWriteStallMs) > 0) {
                continue;
            }
        }
        return false;
    }
    return true;
}

std::uint32_t SimServer::PtyLineRate() const {
    termios line{};
    if (::tcgetattr(slave_keep_fd_, &line) != 0) {
        return 0;
    }
    return RateOfSpeed(::cfgetospeed(&line));
}

void SimServer::LogRequest(const std::string& frame) {
    std::lock_guard lock(log_mutex_);
    request_log_.push_back(frame);
    if (log_file_.is_open()) {
        log_file_ << frame << '\n';
        log_file_.flush();
    }
}

}  // namespace qvx::sim
