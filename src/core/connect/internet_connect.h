#pragma once
// The Internet connection: a TCP link to a sensor's network port (or a serial-to-network device),
// proven by a probe, then (multi-drop selection and) the response-wait calibration. The socket
// is connected and probed on a worker thread; the window reads its flags from another thread.

#include <atomic>
#include <string>

#include "connect/connection_defaults.h"
#include "connect/multidrop.h"
#include "connect/progress_text.h"
#include "connect/serial_connect.h"

namespace qvx {

class AppContext;

inline constexpr std::size_t kInternetAddressMaxChars = 15;
inline constexpr std::size_t kInternetPortMaxChars = 5;
inline constexpr const char* kLastIpValue = "Last IP";
inline constexpr const char* kLastPortValue = "Last Port";
inline constexpr std::size_t kLastFieldReadBytes = 500;

inline constexpr const char* kInternetPrompt =
    "Enter the sensor's connection information or \r\nopen the IP Address Book...";
inline constexpr const char* kRemoteFailedText = "Remote connection failed!";
inline constexpr const char* kRemoteCanceledText = "Remote connection canceled!";
inline constexpr const char* kRemoteEstablishedText = "Remote connection established!";
inline constexpr const char* kRemoteTerminatedText = "Remote connection terminated!";
inline constexpr const char* kCancellingText = "Cancelling connection attempt...please wait...";
inline constexpr const char* kConnectingPrefix = "Connecting to ";
inline constexpr const char* kInformationUnavailable = "Information unavailable";
inline constexpr const char* kRetryCaption = "Comm Warning: Do you want to retry?";
inline constexpr const char* kRetryText =
    "DLX was unable to determine if the\ncommunication network has been acquired.";

inline constexpr int kProbeSettleMs = 150;
inline constexpr int kInternetUnprotectExtraMs = 5000;

struct InternetFields {
    std::string address;
    std::string port;
    std::string error;  // a message to show, when the parameters file could not be used
};

// Opening: the Internet defaults into the connection state, the flags cleared, and the fields
// from the parameters file when one is named, else from "Last IP" / "Last Port". A file that
// cannot be read or does not hold "address port [4-character ID]" is not used.
InternetFields OpenInternetConnection(AppContext& app, const std::string& params_file,
                                      ConnectionDefaults& defaults);

// "Connect": stores the fields and the multi-drop choice for next time, resolves an alias from
// the address book, and sets host_address and tcp_port. Returns the address connected to.
std::string PrepareInternetConnect(AppContext& app, const std::string& address, const std::string& port);
// An alias found in the address book gives its IP address; anything else is used as typed.
std::string ResolveInternetAddress(AppContext& app, const std::string& address);

// "address/port"; "Information unavailable" without an address or a port.
std::string InternetConnectionDescription(const std::string& address, const std::string& port);

class InternetConnectWorker {
  public:
    enum class Outcome { Answered, NoAnswer, Cancelled };

    explicit InternetConnectWorker(AppContext& app);

    // Connect, probe (asking whether to retry while nothing answers), unprotect. Without an
    // answer the socket is closed again.
    Outcome Run();

    void RequestCancel();
    // The probe loop is running.
    bool connecting() const { return connecting_.load(); }
    int probes_made() const { return probes_.load(); }

  private:
    bool CancelSeen();
    bool Probe();
    bool Unprotect();

    AppContext& app_;
    std::atomic<bool> connecting_{false};
    std::atomic<int> probes_{0};
};

// The step after the worker: with automatic ID detection the selector picks the sensor, which
// must accept "Unprotect Sensor"; then the calibration. Failed and Cancelled close the socket.
ConnectFinish AfterInternetConnect(AppContext& app, const SensorSelector& select, ProgressText& status);

}  // namespace qvx
