#include "firmware/upload_job.h"

#include <cstdio>
#include <thread>

#include "firmware/compatibility.h"
#include "protocol/catalogue.h"
#include "protocol/transaction.h"

namespace qvx {

namespace {

constexpr int kStepPauseMs = 100;         // file upload: between handshake steps
constexpr int kCompatFirstStepMs = 1000;  // compatibility upload: before the first step
constexpr int kCompatStepMs = 10;         // and between its steps
constexpr int kAfterPacketsMs = 1040;     // file upload: packets done -> result
constexpr int kAfterSuccessMs = 300;      // compatibility: "Suc" -> next image or restart
constexpr int kAfterFailureMs = 2000;     // compatibility: "Fail" shown this long
constexpr int kBetweenImagesMs = 1000;    // compatibility: FPGA done -> DSP announce
constexpr int kCountdownStepMs = 1000;

constexpr int kAnnounceRetries = 2;
constexpr int kAnnounceWaitMs = 300;
constexpr int kReadyRetries = 2;
constexpr int kReadyWaitMs = 200;
constexpr int kPacketRetries = 2;
constexpr int kPacketResendLimit = 20;  // file upload: sends of one packet after failed exchanges
constexpr int kResultRetries = 1;
constexpr int kResultWaitMs = 20000;
constexpr int kUnprotectRetries = 2;  // three attempts
constexpr int kUnprotectWaitMs = 500;
constexpr int kStopPushRetries = 4;  // five attempts

struct KindCodes {
    const char* announce;
    const char* ready;
    const char* packet;
    const char* result;
};

const KindCodes& CodesOf(ImageKind kind) {
    static const KindCodes dsp{"D5", "D3", "D1", "D6"};
    static const KindCodes fpga{"F3", "F1", "F0", "F4"};
    return kind == ImageKind::Dsp ? dsp : fpga;
}

constexpr const char* kDspResultCode = "D6";
constexpr const char* kRestartCode = "D0";

std::string Formatted(const char* format, int value) {
    char text[160];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

bool Contains(const std::string& text, const char* word) {
    return text.find(word) != std::string::npos;
}

}  // namespace

// ---- images ----

UploadImage UploadImage::FromFile(const HexImage& image, const std::string& path) {
    UploadImage upload;
    upload.kind = image.kind();
    upload.name = FileNameOf(path);
    upload.data = std::string(image.data());
    upload.source = PacketCutter::Source::File;
    upload.check = ComputeFileCheckValue(upload.data);
    return upload;
}

UploadImage UploadImage::FromSegment(const BundleSegment& segment) {
    UploadImage upload;
    upload.kind = segment.kind;
    upload.name = segment.kind == ImageKind::Dsp ? "DSP firmware" : "FPGA firmware";
    upload.data = std::string(segment.data);
    upload.source = PacketCutter::Source::BundleSegment;
    upload.check = segment.check;
    return upload;
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char* ImageKindName(ImageKind kind) {
    return kind == ImageKind::Dsp ? "DSP" : "FPGA";
}

std::string UploadOverwriteQuestion(ImageKind kind, const std::string& path) {
    return std::string("Are you sure you want to overwrite the ") + ImageKindName(kind) + " firmware with " +
           FileNameOf(path) + "?";
}

std::vector<UploadImage> PlannedImages(const FirmwareBundle& bundle, int plan) {
    std::vector<UploadImage> images;
    if (PlanIncludesFpga(plan)) {
        images.push_back(UploadImage::FromSegment(bundle.segment(BundleSegmentId::Fpga)));
    }
    if (const auto dsp = PlanDspSegment(plan)) {
        images.push_back(UploadImage::FromSegment(bundle.segment(*dsp)));
    }
    return images;
}

// ---- progress figures ----

UploadFigures FiguresOf(const UploadSnapshot& snapshot) {
    UploadFigures figures;
    if (snapshot.total_digits == 0) {
        return figures;
    }
    figures.percent = static_cast<int>(snapshot.digits_sent * 100 / snapshot.total_digits);
    if (snapshot.packet_seconds > 0 && snapshot.digits_sent > 0) {
        figures.bytes_per_second = static_cast<double>(snapshot.digits_sent) / snapshot.packet_seconds;
        const double left = static_cast<double>(snapshot.total_digits - snapshot.digits_sent);
        figures.seconds_left = static_cast<int>(left / figures.bytes_per_second + 0.5);
    }
    return figures;
}

std::string PacketProgressText(UploadMode mode, const UploadSnapshot& snapshot) {
    if (snapshot.total_digits == 0) {
        return {};
    }
    const std::string percent = std::to_string(FiguresOf(snapshot).percent);
    if (mode == UploadMode::Compatibility) {
        return std::string(upload_text::kCompatUploading) + "(" + percent + "%)";
    }
    return "Uploading " + snapshot.name + "...(" + percent + "%)";
}

// ---- the job ----

UploadJob::UploadJob(SensorProtocol& protocol, UploadImage image)
    : protocol_(protocol), prompts_(&protocol.prompts()), mode_(UploadMode::File) {
    images_.push_back(std::move(image));
    Describe();
}

UploadJob::UploadJob(SensorProtocol& protocol, std::vector<UploadImage> images)
    : protocol_(protocol),
      prompts_(&protocol.prompts()),
      mode_(UploadMode::Compatibility),
      images_(std::move(images)) {
    Describe();
}

void UploadJob::Describe() {
    if (images_.empty()) {
        return;
    }
    snapshot_.kind = image().kind;
    snapshot_.name = image().name;
    snapshot_.total_digits = image().check.digit_count;
    snapshot_.cancel_possible = true;
}

std::vector<std::string> UploadJob::history() const {
    std::lock_guard lock(mutex_);
    return history_;
}

UploadJob::~UploadJob() = default;

UploadOutcome UploadJob::Run() {
    if (images_.empty()) {
        return End(UploadOutcome::Succeeded);
    }
    return mode_ == UploadMode::File ? RunFileUpload() : RunCompatibilityUpload();
}

void UploadJob::RequestCancel() {
    std::lock_guard lock(mutex_);
    if (!snapshot_.cancel_possible || cancel_requested_.load()) {
        return;
    }
    cancel_requested_ = true;
    cancel_flag_ = true;
    const char* text =
        mode_ == UploadMode::File ? upload_text::kCancelStopping : upload_text::kCompatCancelStopping;
    snapshot_.text = text;
    history_.push_back(text);
}

std::optional<MessageRequest> UploadJob::CancelWarning() const {
    std::lock_guard lock(mutex_);
    if (!snapshot_.cancel_possible || snapshot_.kind != ImageKind::Fpga) {
        return std::nullopt;
    }
    MessageRequest request;
    request.text = upload_text::kFpgaCancelWarning;
    request.caption = "Warning";
    request.icon = IconKind::Warning;
    return request;
}

UploadSnapshot UploadJob::Snapshot() const {
    std::lock_guard lock(mutex_);
    UploadSnapshot snapshot = snapshot_;
    snapshot.digits_sent = digits_sent_.load();
    snapshot.cancel_requested = cancel_requested_.load();
    if (snapshot.step == UploadStep::Packets) {
        snapshot.packet_seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - packets_started_).count();
    }
    return snapshot;
}

// ---- file upload ----

UploadOutcome UploadJob::RunFileUpload() {
    const KindCodes& codes = CodesOf(image().kind);
    SetStep(UploadStep::Announce, upload_text::kEstablishing);
    Sleep(kStepPauseMs);
    const std::string check = image().check.Text();
    StepEnd end = FileHandshake({codes.announce, check + "\r", check, upload_text::kChecksumFailed,
                                 kAnnounceRetries, kAnnounceWaitMs});
    if (end == StepEnd::Next) {
        SetStep(UploadStep::Ready, upload_text::kWaitingReady);
        Sleep(kStepPauseMs);
        end = FileHandshake(
            {codes.ready, "\r", "Ready", upload_text::kReadyFailed, kReadyRetries, kReadyWaitMs});
    }
    switch (end) {
        case StepEnd::Next:
            break;
        case StepEnd::Cancelled:
            return CancelTail();
        case StepEnd::Abandoned:
            return End(UploadOutcome::Cancelled);
        case StepEnd::Failed:
            return End(UploadOutcome::Failed);
    }
    if (const auto ended = SendImage()) {
        return *ended;
    }
    Sleep(kAfterPacketsMs);
    return FinishFileUpload();
}

// Sends one handshake command until the reply holds the expected text, asking Retry/Cancel after
// each miss; a retry unprotects the sensor first.
UploadJob::StepEnd UploadJob::FileHandshake(const Handshake& step) {
    for (;;) {
        if (CancelRequested()) {
            return StepEnd::Cancelled;
        }
        std::string reply;
        const TransactionResult result =
            Send(step.code, step.payload, reply, step.retries, step.call_wait_ms);
        if (result == TransactionResult::Cancel) {
            return StepEnd::Abandoned;
        }
        if (CancelRequested()) {
            return StepEnd::Cancelled;
        }
        if (result == TransactionResult::Ok && Contains(reply, step.expected.c_str())) {
            return StepEnd::Next;
        }
        if (!prompts_->Ask("Error", step.failure_text, "Retry", "Cancel")) {
            return StepEnd::Failed;
        }
        if (Unprotect(kUnprotectRetries, 0) == TransactionResult::Cancel) {
            return StepEnd::Abandoned;
        }
        Sleep(kStepPauseMs);
    }
}

UploadOutcome UploadJob::FinishFileUpload() {
    SetStep(UploadStep::Result, upload_text::kCompleted);
    std::string reply;
    const TransactionResult result =
        Send(CodesOf(image().kind).result, "\r", reply, kResultRetries, kResultWaitMs);
    if (result == TransactionResult::Cancel) {
        return End(UploadOutcome::Cancelled);
    }
    if (result != TransactionResult::Ok || !Contains(reply, "Suc")) {
        SetText(upload_text::kFailed);
        return End(UploadOutcome::Failed);
    }
    if (image().kind == ImageKind::Fpga &&
        !prompts_->Ask(upload_text::kRebootCaption, upload_text::kRebootQuestion, "Reboot", "Continue")) {
        SetText(upload_text::kSuccessful);
        return End(UploadOutcome::Succeeded);
    }
    SetStep(UploadStep::Restart, Formatted(upload_text::kRestartingFormat, kRestartCountdownSeconds));
    Sleep(kStepPauseMs);
    std::string restart_reply;
    Send(kRestartCode, "\r", restart_reply, 0, 0);
    Countdown(upload_text::kRestartingFormat);
    if (!AfterRestart()) {
        prompts_->Message(
            {.text = upload_text::kRestartProgram, .caption = "Warning", .icon = IconKind::Warning});
    }
    SetText(upload_text::kSuccessful);
    return End(UploadOutcome::Succeeded);
}

// ---- compatibility upload ----

UploadOutcome UploadJob::RunCompatibilityUpload() {
    SetStep(UploadStep::Waiting, upload_text::kCompatEstablishing);
    Sleep(kCompatFirstStepMs);
    for (current_ = 0; current_ < images_.size(); ++current_) {
        if (current_ > 0) {
            Sleep(kBetweenImagesMs);
        }
        const KindCodes& codes = CodesOf(image().kind);
        switch (CompatAnnounce()) {
            case StepEnd::Next:
                break;
            case StepEnd::Cancelled:
                return CancelTail();
            case StepEnd::Abandoned:
                return End(UploadOutcome::Cancelled);
            case StepEnd::Failed:
                SetText(upload_text::kFailed);
                return End(UploadOutcome::Failed);
        }
        Sleep(kCompatStepMs);
        SetStep(UploadStep::Ready, upload_text::kCompatAwaitingReady);
        std::string reply;
        const TransactionResult ready = Send(codes.ready, "\r", reply, kReadyRetries, kReadyWaitMs);
        if (ready == TransactionResult::Cancel) {
            return End(UploadOutcome::Cancelled);
        }
        if (CancelRequested()) {
            return CancelTail();
        }
        if (ready != TransactionResult::Ok || !Contains(reply, "Ready")) {
            SetText(upload_text::kCompatNotReady);
            return End(UploadOutcome::Failed);
        }
        if (const auto ended = SendImage()) {
            return *ended;
        }
        Sleep(kCompatStepMs);
        SetStep(UploadStep::Result, upload_text::kCompleted);
        const TransactionResult result = Send(codes.result, "\r", reply, kResultRetries, kResultWaitMs);
        if (result == TransactionResult::Cancel) {
            return End(UploadOutcome::Cancelled);
        }
        if (result == TransactionResult::Ok && Contains(reply, "Suc")) {
            Sleep(kAfterSuccessMs);
            continue;
        }
        if (result == TransactionResult::Ok && Contains(reply, "Fail")) {
            SetText(upload_text::kFailed);
            Sleep(kAfterFailureMs);
        } else {
            SetText(upload_text::kCompatUndetermined);
        }
        return End(UploadOutcome::Failed);
    }
    current_ = images_.size() - 1;
    return FinishCompatibility();
}

// Announces the image's check value until the sensor echoes it, unprotecting between tries.
UploadJob::StepEnd UploadJob::CompatAnnounce() {
    const std::string check = image().check.Text();
    for (int attempt = 0; attempt < kCompatAnnounceLimit; ++attempt) {
        if (CancelRequested()) {
            return StepEnd::Cancelled;
        }
        SetStep(UploadStep::Announce, upload_text::kCompatEstablishing);
        std::string reply;
        const TransactionResult result =
            Send(CodesOf(image().kind).announce, check + "\r", reply, kAnnounceRetries, kAnnounceWaitMs);
        if (result == TransactionResult::Cancel) {
            return StepEnd::Abandoned;
        }
        if (result == TransactionResult::Ok && Contains(reply, check.c_str())) {
            return StepEnd::Next;
        }
        if (Unprotect(kUnprotectRetries, kUnprotectWaitMs) == TransactionResult::Cancel) {
            return StepEnd::Abandoned;
        }
        Sleep(kCompatStepMs);
    }
    return StepEnd::Failed;
}

UploadOutcome UploadJob::FinishCompatibility() {
    std::string reply;
    const TransactionResult restart = Send(kRestartCode, "\r", reply, 0, 0);
    if (restart == TransactionResult::Cancel) {
        SetText(upload_text::kCompatRestartCancelled);
        return End(UploadOutcome::Failed);
    }
    if (Contains(reply, "Failure")) {
        SetText(upload_text::kCompatRestartFailed);
        return End(UploadOutcome::Failed);
    }
    SetStep(UploadStep::Restart, Formatted(upload_text::kCompatRestartingFormat, kRestartCountdownSeconds));
    Countdown(upload_text::kCompatRestartingFormat);
    if (!AfterRestart()) {
        SetText(upload_text::kCompatRestartProgram);
        return End(UploadOutcome::Succeeded);
    }
    SetText(upload_text::kSuccessful);
    return End(UploadOutcome::Succeeded);
}

// ---- shared steps ----

// Once every packet is out the image is complete: Cancel is no longer offered. True when a
// cancel came in before that.
bool UploadJob::EndCancelOffer() {
    std::lock_guard lock(mutex_);
    snapshot_.cancel_possible = false;
    return cancel_requested_.load();
}

// Sends every packet and closes the Cancel offer. An outcome when the upload ends here, nothing when
// the image is complete and the closing steps follow.
std::optional<UploadOutcome> UploadJob::SendImage() {
    switch (SendPackets()) {
        case PacketEnd::Done:
            break;
        case PacketEnd::Cancelled:
            return CancelTail();
        case PacketEnd::Abandoned:
            return End(UploadOutcome::Cancelled);
        case PacketEnd::Failed:
            SetText(upload_text::kFailed);
            return End(UploadOutcome::Failed);
    }
    if (EndCancelOffer()) {
        return CancelTail();
    }
    return std::nullopt;
}

UploadJob::PacketEnd UploadJob::SendPackets() {
    digits_sent_ = 0;
    {
        std::lock_guard lock(mutex_);
        packets_started_ = std::chrono::steady_clock::now();
        snapshot_.total_digits = image().check.digit_count;
    }
    const std::string text = mode_ == UploadMode::File ? "Uploading " + image().name + "...(0%)"
                                                       : std::string(upload_text::kCompatUploading);
    SetStep(UploadStep::Packets, text);
    PacketEnd end = PacketEnd::Done;
    std::thread worker([this, &end] { PacketWorker(end); });
    worker.join();
    return end;
}

// The packet worker: the only sender while it runs. A set cancel flag is cleared here, which
// tells the window that the transfer has stopped.
void UploadJob::PacketWorker(PacketEnd& end) {
    const KindCodes& codes = CodesOf(image().kind);
    PacketCutter cutter(image().data, image().source);
    std::string reply;
    while (cutter.HasNext()) {
        if (cancel_flag_.exchange(false)) {
            end = PacketEnd::Cancelled;
            return;
        }
        const std::string packet = cutter.Next();
        for (int round = 1;; ++round) {
            const TransactionResult result = Send(codes.packet, packet, reply, kPacketRetries, 0);
            if (result == TransactionResult::Ok) {
                break;
            }
            if (round == kPacketResendLimit) {
                end = PacketEnd::Failed;  // a sensor that never takes the packet
                return;
            }
            if (result == TransactionResult::Cancel) {
                cancel_flag_ = false;
                end = PacketEnd::Abandoned;
                return;
            }
            if (mode_ == UploadMode::Compatibility) {
                end = PacketEnd::Failed;
                return;
            }
            if (cancel_flag_.exchange(false)) {
                end = PacketEnd::Cancelled;
                return;
            }
        }
        digits_sent_ += cutter.last_digit_count();
    }
    end = PacketEnd::Done;
}

// After the countdown: stop push and unprotect. False when either was cancelled.
bool UploadJob::AfterRestart() {
    std::string reply;
    const TransactionResult stop = Send(cmd::kStopPush, "\r", reply, kStopPushRetries, 0);
    const TransactionResult unprotect = Unprotect(kUnprotectRetries, 0);
    return stop != TransactionResult::Cancel && unprotect != TransactionResult::Cancel;
}

void UploadJob::Countdown(const char* format) {
    for (int seconds = kRestartCountdownSeconds; seconds >= 1; --seconds) {
        {
            std::lock_guard lock(mutex_);
            snapshot_.step = UploadStep::Countdown;
            snapshot_.countdown = seconds;
        }
        SetText(Formatted(format, seconds));
        Sleep(kCountdownStepMs);
    }
    std::lock_guard lock(mutex_);
    snapshot_.countdown = 0;
}

// The window's cancel, once the packet worker has handed the flag back: the sensor is told to
// leave its upload state by asking for the DSP result.
UploadOutcome UploadJob::CancelTail() {
    // The packet worker has ended (joined) and cleared the flag if it saw it; a cancel during the
    // handshake had no worker to clear it.
    cancel_flag_ = false;
    SetStep(UploadStep::Cancelling,
            mode_ == UploadMode::File ? upload_text::kCancelRestoring : upload_text::kCompatCancelRestoring);
    std::string reply;
    if (Send(kDspResultCode, "\r", reply, kResultRetries, 0) == TransactionResult::Cancel) {
        prompts_->Message(
            {.text = upload_text::kCancelUndetermined, .caption = "Warning", .icon = IconKind::Warning});
    }
    return End(UploadOutcome::Cancelled);
}

UploadOutcome UploadJob::End(UploadOutcome outcome) {
    std::lock_guard lock(mutex_);
    snapshot_.step = UploadStep::Finished;
    snapshot_.finished = true;
    snapshot_.cancel_possible = false;
    snapshot_.outcome = outcome;
    return outcome;
}

TransactionResult UploadJob::Send(const char* code, const std::string& payload, std::string& reply,
                                  int retries, int call_wait_ms) {
    reply.clear();
    return protocol_.SendSensorCommand({.code = code,
                                        .payload = payload,
                                        .on_error = ErrorPolicy::Report,
                                        .retries = retries,
                                        .link_recovery = true,
                                        .extra_wait_ms = call_wait_ms},
                                       reply);
}

TransactionResult UploadJob::Unprotect(int retries, int call_wait_ms) {
    std::string reply;
    return Send(cmd::kUnprotect, "\r", reply, retries, call_wait_ms);
}

void UploadJob::SetStep(UploadStep step, const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        snapshot_.step = step;
        snapshot_.kind = image().kind;
        snapshot_.name = image().name;
        snapshot_.cancel_possible = step == UploadStep::Announce || step == UploadStep::Ready ||
                                    step == UploadStep::Packets || step == UploadStep::Waiting;
        if (step != UploadStep::Packets) {
            snapshot_.total_digits = image().check.digit_count;
        }
    }
    SetText(text);
}

void UploadJob::SetText(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        if (cancel_requested_.load() && snapshot_.step != UploadStep::Cancelling &&
            snapshot_.step != UploadStep::Finished) {
            return;  // the cancel's own text stays until the cancel has run
        }
        snapshot_.text = text;
        history_.push_back(text);
    }
    if (listener_) {
        listener_(text);
    }
}

void UploadJob::Sleep(int ms) {
    if (sleep_) {
        sleep_(ms);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

void CancelUploadJob(UploadJob& job, UserPrompts& prompts) {
    if (const auto warning = job.CancelWarning()) {
        prompts.Message(*warning);
    }
    job.RequestCancel();
}

}  // namespace qvx
