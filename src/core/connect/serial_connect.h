#pragma once
// The serial connection: find the sensor on one of the serial ports at its baud rate, prove that
// it answers, then (multi-drop selection and) the response-wait calibration. The search runs on a
// worker thread; its status line and flags are read by the window from another thread.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "connect/multidrop.h"
#include "connect/progress_text.h"

namespace qvx {

class AppContext;
struct ConnectionState;

inline constexpr int kSerialAttemptsPerPort = 8;
inline constexpr std::uint32_t kSerialSearchStartBaud = 9600;
inline constexpr int kSerialCommandExtraWaitMs = 200;

inline constexpr const char* kSerialIdlePrompt =
    "Click <CONNECT> to continue using current settings,\nor click <Advanced>  to adjust the settings...";
inline constexpr const char* kSerialBusyPrompt = "Initializing serial communications...";
inline constexpr const char* kSerialFailedPrompt = "Unable to establish a serial connection!...";
inline constexpr const char* kDetectingIdsText = "Automatically detecting multi-drop ID's...";
inline constexpr const char* kCalculatingWaitText = "Calculating automatic response wait time...";

// The rate an unanswered attempt a (1..7) moves the port to; 0 after the eighth (the rate stays).
std::uint32_t SerialRateAfterAttempt(int attempt);

// The ports the search walks: only the chosen port when one is named and automatic detection is
// off, else every serial port of the machine (or QVX_SERIAL_PORTS) in order.
std::vector<std::string> SerialPortsToSearch(const ConnectionState& state);

// A port the search could not open, with the operating system's error.
struct UnopenedPort {
    std::string port;
    int error = 0;
};

// A port the search opened, with the rates it tried there in the order tried.
struct TriedPort {
    std::string port;
    std::vector<std::uint32_t> rates;
};

// What a search did: the ports it tried and those it could not open, in the order met.
struct SerialSearchLog {
    std::vector<TriedPort> tried;
    std::vector<UnopenedPort> unopened;
};

// "Tried /dev/ttyUSB0, /dev/ttyS0 at 9600, 19200 bps." (ports with the same rates share one list),
// then "Could not open /dev/ttyS3 (No such file or directory)." and the permission advice; says
// so when there was no port to search. The window and the qvx command both show it.
std::string FailedSerialSearchText(const SerialSearchLog& log);

// "... could not be opened: permission denied. Add your user to the group "dialout" ..." for the
// ports refused for lack of permission; empty when there were none.
std::string PermissionAdvice(const std::vector<UnopenedPort>& unopened);

class SerialConnectWorker {
  public:
    enum class Outcome { Connected, NotFound, Cancelled };

    explicit SerialConnectWorker(AppContext& app);

    // The search, on the calling thread. NotFound and Connected are where the window's finishing
    // step runs; Cancelled ends without it.
    Outcome Run();

    // Safe from any thread.
    void RequestCancel();
    bool connected() const { return connected_.load(); }
    std::string status() const { return status_.Get(); }
    std::vector<std::string> status_history() const { return status_.History(); }
    ProgressText& progress() { return status_; }
    // After a failed search: the ports that would not open (for the failed state's advice).
    std::vector<UnopenedPort> unopened_ports() const;
    // What the last search tried, for the failure text.
    SerialSearchLog search_log() const;
    int attempts_made() const { return attempts_.load(); }

  private:
    bool CancelSeen();
    bool SearchPort(const std::string& port);
    bool InitialResponse();
    enum class UnprotectResult { Connected, Echo, Failed };
    UnprotectResult Unprotect();
    std::string RateText() const;

    AppContext& app_;
    std::atomic<bool> connected_{false};
    std::atomic<int> attempts_{0};
    ProgressText status_;
    void NoteRateTried();

    mutable std::mutex log_mutex_;
    SerialSearchLog log_;
};

enum class ConnectFinish { Success, Failed, Cancelled };

// The link is proven: the connection becomes the program's serial link and is described as
// port + " @ " + rate text.
void FinishSerialConnection(AppContext& app);

// The step after the search. Not connected: Failed. With automatic ID detection the selector
// picks the sensor, which must then accept "Unprotect Sensor"; a cancelled selection or a refused
// unprotect cancels, no ID found fails. Then the calibration and FinishSerialConnection.
ConnectFinish AfterSerialConnect(AppContext& app, bool connected, const SensorSelector& select,
                                 ProgressText& status);

}  // namespace qvx
