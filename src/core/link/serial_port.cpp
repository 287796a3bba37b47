// The serial side of SensorLink: a termios port in raw 8N1, opened exclusively and non-blocking.
// All waiting happens in poll() with deadlines on the monotonic clock.

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <limits>

#include "base/comm_log.h"
#include "link/link_wait.h"
#include "link/sensor_link.h"
#include "link/serial_port.h"
#include "link/socket_error.h"

namespace qvx {

using link_detail::Clock;
using link_detail::Deadline;
using link_detail::LineScanner;
using link_detail::WaitFor;

namespace {

struct SpeedMapping {
    std::uint32_t bps;
    speed_t speed;
};

constexpr SpeedMapping kSpeeds[] = {
    {50, B50},           {75, B75},         {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},       {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},     {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200}, {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600}, {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000},
};

bool SpeedForRate(std::uint32_t bps, speed_t& speed) {
    for (const auto& mapping : kSpeeds) {
        if (mapping.bps == bps) {
            speed = mapping.speed;
            return true;
        }
    }
    return false;
}

std::uint32_t RateForSpeed(speed_t speed) {
    for (const auto& mapping : kSpeeds) {
        if (mapping.speed == speed) {
            return mapping.bps;
        }
    }
    return 0;
}

enum class ReadStatus { Data, Empty, Closed, Error };

struct ReadOutcome {
    ReadStatus status;
    std::size_t count = 0;
    int error = 0;
};

// One non-blocking read. A raw tty with VMIN 0 reports "nothing yet" as 0 bytes; a socket standing
// in for the port reports its peer's close that way.
ReadOutcome ReadSome(int fd, bool is_socket, char* buffer, std::size_t len) {
    for (;;) {
        const ssize_t n = is_socket ? recv(fd, buffer, len, MSG_DONTWAIT) : read(fd, buffer, len);
        if (n > 0) {
            return {ReadStatus::Data, static_cast<std::size_t>(n)};
        }
        if (n == 0) {
            return {is_socket ? ReadStatus::Closed : ReadStatus::Empty};
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return {ReadStatus::Empty};
        }
        return {ReadStatus::Error, 0, errno};
    }
}

int ErrorOf(const ReadOutcome& outcome) {
    return outcome.status == ReadStatus::Closed ? EIO : outcome.error;
}

constexpr std::size_t kChunkSize = 4096;

// Serial device families in the order "Auto-find" tries them.
constexpr const char* kPortFamilies[] = {"ttyS", "ttyUSB", "ttyACM", "ttyAMA", "ttymxc", "rfcomm"};

// The 8250 driver registers placeholder ttyS ports that have no UART behind them (type 0).
bool PlaceholderUart(const std::string& name) {
    std::ifstream type_file("/sys/class/tty/" + name + "/type");
    int type = -1;
    return (type_file >> type) && type == 0;
}

bool ParsePortName(const std::string& name, std::size_t& family, unsigned long& number) {
    for (std::size_t i = 0; i < std::size(kPortFamilies); ++i) {
        const std::string prefix = kPortFamilies[i];
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
            const std::string digits = name.substr(prefix.size());
            if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) {
                return false;
            }
            family = i;
            number = std::stoul(digits);
            return true;
        }
    }
    return false;
}

std::vector<std::string> SplitColonList(const std::string& list) {
    std::vector<std::string> ports;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        if (end > start) {
            ports.push_back(list.substr(start, end - start));
        }
        start = end + 1;
    }
    return ports;
}

}  // namespace

const std::vector<BaudRate>& SupportedBaudRates() {
    static const std::vector<BaudRate> rates = {
        {1200, "1200 bps"},     {9600, "9600 bps"},     {19200, "19200 bps"},
        {38400, "38400 bps"},   {57600, "57600 bps"},   {115200, "115200 bps"},
        {230400, "230400 bps"}, {460800, "460800 bps"}, {921600, "921600 bps"},
    };
    return rates;
}

const char* BaudRateText(std::uint32_t bps) {
    for (const auto& rate : SupportedBaudRates()) {
        if (rate.bps == bps) {
            return rate.text;
        }
    }
    return nullptr;
}

std::vector<std::string> EnumerateSerialPorts() {
    if (const char* list = std::getenv("QVX_SERIAL_PORTS")) {
        return SplitColonList(list);
    }
    struct Found {
        std::size_t family;
        unsigned long number;
        std::string name;
    };
    std::vector<Found> found;
    if (DIR* dev = opendir("/dev")) {
        while (const dirent* entry = readdir(dev)) {
            Found port{0, 0, entry->d_name};
            if (ParsePortName(port.name, port.family, port.number) && !PlaceholderUart(port.name)) {
                found.push_back(port);
            }
        }
        closedir(dev);
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.family != b.family ? a.family < b.family : a.number < b.number;
    });
    std::vector<std::string> ports;
    for (const auto& port : found) {
        ports.push_back("/dev/" + port.name);
    }
    return ports;
}

bool SerialPort::Open(std::uint32_t baud, const SerialTimeouts& timeouts) {
    state_.last_link_error = link_error::kNone;
    Close();
    const int fd = open(state_.port_name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        state_.last_link_error = static_cast<std::uint32_t>(errno);
        ProgramLog().Message(LogLevel::Warning, "serial port " + state_.port_name + " does not open" +
                                                    LinkErrorSuffix(state_.last_link_error));
        return 0;
    }
    fd_ = fd;
    is_socket_ = false;
    if (ioctl(fd, TIOCEXCL) != 0) {
        state_.last_link_error = static_cast<std::uint32_t>(errno);
    }
    ApplyLineSettings(baud);
    timeouts_ = timeouts;
    const bool opened = state_.last_link_error == link_error::kNone;
    ProgramLog().Message(opened ? LogLevel::Info : LogLevel::Warning,
                         "serial port " + state_.port_name + (opened ? " opened at " : " failed at ") +
                             std::to_string(baud) + " bps" + LinkErrorSuffix(state_.last_link_error));
    return opened;
}

bool SerialPort::ApplyLineSettings(std::uint32_t baud) {
    termios settings{};
    if (tcgetattr(fd_, &settings) != 0) {
        state_.last_link_error = static_cast<std::uint32_t>(errno);
        return false;
    }
    settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                               IXON | IXOFF | IXANY | INPCK);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    speed_t speed = B9600;
    if (!SpeedForRate(baud, speed)) {
        state_.last_link_error = EINVAL;
    } else if (cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0) {
        state_.last_link_error = static_cast<std::uint32_t>(errno);
    }
    if (tcsetattr(fd_, TCSANOW, &settings) != 0) {
        state_.last_link_error = static_cast<std::uint32_t>(errno);
        return false;
    }
    return state_.last_link_error == link_error::kNone;
}

bool SerialPort::SetTimeouts(const SerialTimeouts& timeouts) {
    state_.last_link_error = link_error::kNone;
    timeouts_ = timeouts;
    if (fd_ < 0) {
        state_.last_link_error = EBADF;
        return false;
    }
    return true;
}

bool SerialPort::SetBaud(std::uint32_t baud) {
    state_.last_link_error = link_error::kNone;
    state_.current_baud = baud;
    state_.pending_baud = baud;
    if (fd_ < 0) {
        state_.last_link_error = EBADF;
        return false;
    }
    termios settings{};
    speed_t speed = B9600;
    if (tcgetattr(fd_, &settings) != 0) {
        state_.last_link_error = static_cast<std::uint32_t>(errno);
        return false;
    }
    if (!SpeedForRate(baud, speed)) {
        state_.last_link_error = EINVAL;
        return false;
    }
    if (cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0 ||
        tcsetattr(fd_, TCSANOW, &settings) != 0) {
        state_.last_link_error = static_cast<std::uint32_t>(errno);
        return false;
    }
    return true;
}

std::uint32_t SerialPort::Baud() {
    state_.last_link_error = link_error::kNone;
    if (fd_ < 0) {
        state_.last_link_error = EBADF;
        return 0;
    }
    termios settings{};
    if (tcgetattr(fd_, &settings) != 0) {
        state_.last_link_error = static_cast<std::uint32_t>(errno);
        return 0;
    }
    const std::uint32_t rate = RateForSpeed(cfgetospeed(&settings));
    if (rate == 0) {
        state_.last_link_error = EINVAL;
    }
    return rate;
}

bool SerialPort::Describe(std::string& out) {
    const std::uint32_t rate = Baud();
    if (rate != 0) {
        state_.current_baud = rate;
        state_.pending_baud = rate;
    }
    out = state_.port_name + " @ ";
    const char* text = BaudRateText(rate);
    if (text == nullptr) {
        return false;
    }
    out += text;
    return true;
}

std::string SerialPort::Description() {
    std::string text;
    Describe(text);
    return text;
}

void SerialPort::Close() {
    if (fd_ >= 0) {
        close(fd_);
    }
    fd_ = -1;
    is_socket_ = false;
}

void SerialPort::Adopt(int fd) {
    Close();
    fd_ = fd;
    struct stat info {};
    is_socket_ = fstat(fd, &info) == 0 && S_ISSOCK(info.st_mode);
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) {
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }
}

std::size_t SerialPort::Write(std::string_view bytes) {
    if (fd_ < 0) {
        state_.last_link_error = EBADF;
        return 0;
    }
    // Flow control is off, so the port drains at the line rate; allow that time plus a margin
    // before calling the port stuck.
    const std::uint32_t rate = std::max<std::uint32_t>(state_.current_baud, 300);
    const Deadline deadline(2000 + static_cast<int>(bytes.size() * 10000 / rate));
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const char* data = bytes.data() + sent;
        const std::size_t left = bytes.size() - sent;
        const ssize_t n =
            is_socket_ ? send(fd_, data, left, MSG_NOSIGNAL | MSG_DONTWAIT) : write(fd_, data, left);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            state_.last_link_error = static_cast<std::uint32_t>(errno);
            return 0;
        }
        const auto wait = WaitFor(fd_, deadline.Remaining(), true);
        if (!wait.ready) {
            state_.last_link_error = wait.hangup ? EIO : ETIMEDOUT;
            return 0;
        }
    }
    return sent;
}

std::size_t SerialPort::ReadUntil(std::string& out, std::size_t max_len, int timeout_ms, char terminator,
                                  char escape) {
    state_.last_link_error = link_error::kNone;
    if (fd_ < 0) {
        state_.last_link_error = EBADF;
        return 0;
    }
    const bool bulk = max_len == 0;
    const int deadline_ms = timeout_ms != 0 ? std::max(0, timeout_ms + state_.response_wait_ms.load()) : 0;
    const Deadline deadline(deadline_ms);
    LineScanner scanner(max_len, terminator, escape);
    const std::size_t start_size = out.size();
    char buffer[kChunkSize];
    bool hung_up = false;  // a hung-up tty polls readable forever but reads nothing
    for (;;) {
        // Read while bytes come; a terminator is looked for byte by byte so that nothing after it
        // is taken from the port.
        bool over = false;
        for (;;) {
            const std::size_t want =
                bulk ? kBulkReadSize : (scanner.has_terminator() ? 1 : std::min(scanner.room(), kChunkSize));
            const ReadOutcome got = ReadSome(fd_, is_socket_, buffer, want);
            if (got.status == ReadStatus::Data) {
                out.append(buffer, bulk ? got.count : scanner.Take(buffer, got.count));
                over = bulk || scanner.finished();
            } else if (got.status != ReadStatus::Empty || hung_up) {
                state_.last_link_error = static_cast<std::uint32_t>(hung_up ? EIO : ErrorOf(got));
                over = true;
            }
            if (over || got.status == ReadStatus::Empty) {
                break;
            }
        }
        if (over || deadline.Expired()) {
            break;
        }
        hung_up = WaitFor(fd_, deadline.Remaining()).hangup;
    }
    return out.size() - start_size;
}

std::size_t SerialPort::ReadAvailable(std::string& out, std::size_t max_len, int wait_ms) {
    state_.last_link_error = link_error::kNone;
    if (fd_ < 0) {
        state_.last_link_error = EBADF;
        return 0;
    }
    const auto wait = WaitFor(fd_, std::chrono::milliseconds(std::max(0, wait_ms)));
    char buffer[kChunkSize];
    std::size_t taken = 0;
    while (taken < max_len) {
        const ReadOutcome got = ReadSome(fd_, is_socket_, buffer, std::min(max_len - taken, kChunkSize));
        if (got.status == ReadStatus::Data) {
            out.append(buffer, got.count);
            taken += got.count;
            continue;
        }
        if (got.status != ReadStatus::Empty) {
            state_.last_link_error = static_cast<std::uint32_t>(ErrorOf(got));
        } else if (taken == 0 && wait.hangup) {
            state_.last_link_error = EIO;
        }
        break;
    }
    return taken;
}

std::size_t SerialPort::ReadRaw(std::string& out, std::size_t count) {
    state_.last_link_error = link_error::kNone;
    if (fd_ < 0) {
        state_.last_link_error = EBADF;
        return 0;
    }
    constexpr std::uint32_t kAll = kReadIntervalNoWait;
    const SerialTimeouts t = timeouts_;
    const bool immediate = t.read_interval == kAll && t.read_multiplier == 0 && t.read_constant == 0;
    // All-ones interval and multiplier with a constant: return with the first bytes, or after the
    // constant when none come.
    const bool first_bytes = t.read_interval == kAll && t.read_multiplier == kAll && t.read_constant != 0 &&
                             t.read_constant != kAll;
    const bool has_total = first_bytes || t.read_multiplier != 0 || t.read_constant != 0;
    const std::uint64_t total_ms =
        first_bytes ? t.read_constant : std::uint64_t{t.read_multiplier} * count + t.read_constant;
    const int total_limit =
        static_cast<int>(std::min<std::uint64_t>(total_ms, std::numeric_limits<int>::max()));
    const bool has_interval = !first_bytes && t.read_interval != 0 && t.read_interval != kAll;
    const Deadline total(total_limit);
    Clock::time_point last_byte{};
    bool hung_up = false;
    std::size_t taken = 0;
    char buffer[kChunkSize];
    while (taken < count) {
        const ReadOutcome got = ReadSome(fd_, is_socket_, buffer, std::min(count - taken, kChunkSize));
        if (got.status == ReadStatus::Data) {
            out.append(buffer, got.count);
            taken += got.count;
            last_byte = Clock::now();
            continue;
        }
        if (got.status != ReadStatus::Empty || hung_up) {
            state_.last_link_error = static_cast<std::uint32_t>(hung_up ? EIO : ErrorOf(got));
            break;
        }
        if (immediate || (first_bytes && taken > 0)) {
            break;
        }
        auto wait = has_total ? total.Remaining()
                              : std::chrono::duration_cast<Clock::duration>(std::chrono::hours(24));
        if (has_interval && taken > 0) {
            const auto gap_end = last_byte + std::chrono::milliseconds(t.read_interval);
            wait = std::min(wait, std::max(Clock::duration::zero(), gap_end - Clock::now()));
        }
        if (wait <= Clock::duration::zero()) {
            break;
        }
        hung_up = WaitFor(fd_, wait).hangup;
    }
    return taken;
}

void SerialPort::Purge(std::string* discarded_bytes) {
    state_.last_link_error = link_error::kNone;
    if (fd_ < 0) {
        return;
    }
    constexpr std::size_t kPurgeReadSize = 100;
    char buffer[kPurgeReadSize];
    std::size_t count = 0;
    while (count < kPurgeLimit) {
        const ReadOutcome got = ReadSome(fd_, is_socket_, buffer, kPurgeReadSize);
        if (got.status != ReadStatus::Data) {
            break;
        }
        if (discarded_bytes) {
            discarded_bytes->append(buffer, got.count);
        }
        count += got.count;
    }
}

}  // namespace qvx
