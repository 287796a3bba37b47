#pragma once
// Firmware upload: the command handshake that loads one DSP or FPGA image into the sensor
// (announce the check value, wait for "Ready", stream the packets, ask for the result, restart),
// for the two procedures that use it: the file upload of the upload window and the compatibility
// upload that loads the bundle images the compatibility check planned.
//
// An UploadJob runs on a worker thread of its caller (Run blocks until the procedure has ended);
// the packets go out from a packet worker thread of its own. The window (or the CLI) reads the
// progress with Snapshot() and asks for a cancel with RequestCancel(); questions reach the user
// through the UserPrompts of the transaction path.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "firmware/firmware_bundle.h"
#include "firmware/hex_image.h"
#include "protocol/user_prompts.h"

namespace qvx {

class SensorProtocol;

namespace upload_text {
// File upload
inline constexpr const char* kWindowTitle = "Uploading firmware...";
inline constexpr const char* kEstablishing = "Handshaking... establishing checksum...";
inline constexpr const char* kWaitingReady = "Handshaking... waiting for \"ready\" signal...";
inline constexpr const char* kChecksumFailed = "Failed to establish checksum!\r\n.";
inline constexpr const char* kReadyFailed = "Failed to ready sensor for upload!\r\n.";
inline constexpr const char* kCompleted = "Transmission completed...verifying final result...";
inline constexpr const char* kFailed = "Upload Failed!";
inline constexpr const char* kRebootCaption = "Reboot...?";
inline constexpr const char* kRebootQuestion =
    "If the FPGA and DSP firmware are compatible press <Reboot>... else press <Continue>";
inline constexpr const char* kSuccessful = "Upload Successful!";
inline constexpr const char* kRestartingFormat =
    "Upload successful!\r\nRestarting sensor...please wait...(%d seconds)";
inline constexpr const char* kRestartProgram = "Restart Quorvix Manager for full functionality.!";
inline constexpr const char* kCancelStopping = "Cancelling upload...stopping firmware transfer...";
inline constexpr const char* kCancelRestoring = "Cancelling upload...restoring DSP state...";
// Both procedures
inline constexpr const char* kFpgaCancelWarning =
    "On restart FPGA firmware will revert to backup!\r\nYou may need to restore previous firmware.";
inline constexpr const char* kCancelUndetermined =
    "\r\nUnable to cancel upload properly!\r\nDSP state undetermined.";
// Compatibility upload
inline constexpr const char* kCompatWindowTitle = "Uploading Firmware...";
inline constexpr const char* kCompatEstablishing = "Establishing checksum...";
inline constexpr const char* kCompatAwaitingReady = "Awaiting ready signal...";
inline constexpr const char* kCompatUploading = "Uploading firmware...";
inline constexpr const char* kCompatNotReady = "Ready upload not acknowledged...";
inline constexpr const char* kCompatUndetermined = "Upload result is undetermined!";
inline constexpr const char* kCompatRestartCancelled =
    "Sensor may not have restarted properly after successful upload!";
inline constexpr const char* kCompatRestartFailed =
    "Sensor did not restart properly after successful upload!";
inline constexpr const char* kCompatRestartingFormat = "Restarting sensor...please wait...(%d seconds)";
inline constexpr const char* kCompatRestartProgram =
    "Upload successful!  Restart Quorvix Manager for full functionatlity.";
inline constexpr const char* kCompatCancelStopping =
    "Cancelling compatibility upload...stopping firmware transfer...";
inline constexpr const char* kCompatCancelRestoring =
    "Cancelling compatibility upload...restoring DSP state...";
inline constexpr const char* kCheckingMode = "Checking sensor's configuration mode...";
inline constexpr const char* kCheckingFirmware = "Checking firmware compatibility...";
}  // namespace upload_text

inline constexpr int kRestartCountdownSeconds = 15;
// The compatibility upload re-announces after unprotecting; a sensor that never echoes the
// value ends the upload after this many announces instead of holding the window for ever.
inline constexpr int kCompatAnnounceLimit = 5;

// One image to load: its kind, the data (past a DSP file's header, or a bundle segment up to its
// '#'), the check value and the name the progress text shows.
struct UploadImage {
    ImageKind kind = ImageKind::Dsp;
    std::string name;
    std::string data;
    PacketCutter::Source source = PacketCutter::Source::File;
    FileCheckValue check;

    static UploadImage FromFile(const HexImage& image, const std::string& path);
    static UploadImage FromSegment(const BundleSegment& segment);
};

// The file name without its folder.
std::string FileNameOf(const std::string& path);
// "Are you sure you want to overwrite the DSP firmware with <name>?"
std::string UploadOverwriteQuestion(ImageKind kind, const std::string& path);
const char* ImageKindName(ImageKind kind);  // "DSP" / "FPGA"

// The images a plan of the compatibility check loads, FPGA first.
std::vector<UploadImage> PlannedImages(const FirmwareBundle& bundle, int plan);

enum class UploadMode { File, Compatibility };

enum class UploadStep { Waiting, Announce, Ready, Packets, Result, Restart, Countdown, Cancelling, Finished };

enum class UploadOutcome {
    Succeeded,  // loaded (and restarted when that was chosen)
    Failed,     // refused, failed or undetermined; the texts say which
    Cancelled,  // the user cancelled: the Cancel button, or Cancel in the communication-error dialog
};

// What the window shows, read from another thread.
struct UploadSnapshot {
    UploadStep step = UploadStep::Waiting;
    std::string text;  // the status line
    ImageKind kind = ImageKind::Dsp;
    std::string name;
    std::size_t digits_sent = 0;   // of the current image
    std::size_t total_digits = 0;  // of the current image: the 100 % mark
    double packet_seconds = 0;     // time since the current image's first packet
    int countdown = 0;             // seconds left while restarting
    bool cancel_possible = false;  // Cancel means something now (before the result is asked for)
    bool cancel_requested = false;
    bool finished = false;
    std::optional<UploadOutcome> outcome;
};

// Percent, bytes per second and time left for a progress display.
struct UploadFigures {
    int percent = 0;
    double bytes_per_second = 0;  // characters of image data on the line per second
    std::optional<int> seconds_left;
};
UploadFigures FiguresOf(const UploadSnapshot& snapshot);
// "Uploading <name>...(<p>%)" (file) or "Uploading firmware...(<p>%)" (compatibility); empty
// while the total is 0.
std::string PacketProgressText(UploadMode mode, const UploadSnapshot& snapshot);

class UploadJob {
  public:
    using SleepFunction = std::function<void(int ms)>;

    // A file upload of one image.
    UploadJob(SensorProtocol& protocol, UploadImage image);
    // A compatibility upload of the planned images (FPGA first).
    UploadJob(SensorProtocol& protocol, std::vector<UploadImage> images);
    ~UploadJob();
    UploadJob(const UploadJob&) = delete;
    UploadJob& operator=(const UploadJob&) = delete;

    // Pauses between steps and the countdown seconds; tests pass a fake clock.
    void SetSleep(SleepFunction sleep) { sleep_ = std::move(sleep); }
    // Answers the job's own questions (retry, reboot) and shows its warnings; by default the
    // transaction's prompts.
    void SetPrompts(UserPrompts& prompts) { prompts_ = &prompts; }
    // Called with every new status text, on the job's thread (the CLI prints them).
    void SetStatusListener(std::function<void(const std::string&)> listener) {
        listener_ = std::move(listener);
    }

    // Runs the whole procedure on the calling thread. Call once.
    UploadOutcome Run();

    // The window's Cancel (any thread). For an FPGA image the caller warns first (CancelWarning).
    // Ignored once the result has been asked for: the image is then complete.
    void RequestCancel();
    // The warning to show before cancelling, for an FPGA image.
    std::optional<MessageRequest> CancelWarning() const;

    UploadSnapshot Snapshot() const;
    UploadMode mode() const { return mode_; }
    std::vector<std::string> history() const;  // every status text so far

  private:
    enum class PacketEnd { Done, Cancelled, Abandoned, Failed };
    enum class StepEnd { Next, Failed, Abandoned, Cancelled };

    UploadOutcome RunFileUpload();
    UploadOutcome RunCompatibilityUpload();
    struct Handshake {
        const char* code;
        std::string payload;
        std::string expected;  // the reply must contain it
        const char* failure_text;
        int retries;
        int call_wait_ms;
    };
    StepEnd FileHandshake(const Handshake& step);
    void Describe();
    bool EndCancelOffer();
    StepEnd CompatAnnounce();
    PacketEnd SendPackets();
    std::optional<UploadOutcome> SendImage();
    void PacketWorker(PacketEnd& end);
    UploadOutcome FinishFileUpload();
    UploadOutcome FinishCompatibility();
    bool AfterRestart();
    void Countdown(const char* format);
    UploadOutcome CancelTail();
    UploadOutcome End(UploadOutcome outcome);

    TransactionResult Send(const char* code, const std::string& payload, std::string& reply, int retries,
                           int call_wait_ms);
    TransactionResult Unprotect(int retries, int call_wait_ms);
    void SetStep(UploadStep step, const std::string& text);
    void SetText(const std::string& text);
    void Sleep(int ms);
    bool CancelRequested() const { return cancel_requested_.load(); }
    const UploadImage& image() const { return images_.at(current_); }

    SensorProtocol& protocol_;
    UserPrompts* prompts_;
    UploadMode mode_;
    std::vector<UploadImage> images_;
    std::size_t current_ = 0;
    SleepFunction sleep_;
    std::function<void(const std::string&)> listener_;

    // The hand-over flag: set by RequestCancel, cleared by the packet worker when it stops.
    std::atomic<bool> cancel_flag_{false};
    std::atomic<bool> cancel_requested_{false};
    std::atomic<std::size_t> digits_sent_{0};

    mutable std::mutex mutex_;
    UploadSnapshot snapshot_;
    std::vector<std::string> history_;
    std::chrono::steady_clock::time_point packets_started_;
};

// The progress window's Cancel: for an FPGA image the warning first, then the cancel request.
void CancelUploadJob(UploadJob& job, UserPrompts& prompts);

}  // namespace qvx
