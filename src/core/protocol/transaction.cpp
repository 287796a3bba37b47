#include "protocol/transaction.h"

#include "app/busy_flag.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "link/sensor_link.h"

namespace qvx {

namespace {

constexpr int kFirstSeriesCap = 1000;
constexpr int kBaudChangeSettleMs = 500;
constexpr int kReconnectSettleMs = 50;
constexpr int kPacketRefusalExtraRetries = 9;
constexpr int kPollStepShortMs = 10;
constexpr int kPollStepMediumMs = 50;
constexpr int kPollStepLongMs = 100;

void RealSleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool IsRetryableResult(int result) {
    return result == kNoResponse || result == kPartialHeader || result == kUnexpectedHeader ||
           result == kChecksumError || result == kPartialPayload;
}

bool IsDialogAnswer(int answer) {
    return answer >= kIgnore && answer <= kRetry;
}

std::string Format(const char* pattern, const std::string& value) {
    std::string text(pattern);
    const std::size_t at = text.find("%s");
    if (at != std::string::npos) {
        text.replace(at, 2, value);
    }
    return text;
}

}  // namespace

SensorProtocol::SensorProtocol(SensorLink& link, UserPrompts& prompts)
    : sleep_ms(RealSleep), link_(link), prompts_(prompts), catalogue_(BuildCommandCatalogue()) {}

ConnectionState& SensorProtocol::state() {
    return link_.state();
}

int SensorProtocol::SendSensorCommand(std::string_view request_code, std::string_view payload,
                                      std::string& response_out, int show_error_dialog, int retries,
                                      bool reconnect_allowed, int call_wait_ms) {
    const CommandId id = catalogue_.FindCommand(request_code);
    if (id < 0) {
        ReportUnknownCommand(request_code);
        return kNoResponse;
    }
    FillPendingCommand(id, payload, show_error_dialog, retries, reconnect_allowed, call_wait_ms);
    request_text_ = pending_.request_code + pending_.payload;
    TakeTargetMultiDropId();
    ApplyPendingBaudChange();
    ComputeAttemptTimeout();
    return RunTransaction(response_out);
}

void SensorProtocol::ReportUnknownCommand(std::string_view request_code) {
    MessageRequest message;
    message.text = Format("Failure to initialize this %s command properly!", std::string(request_code));
    message.caption = "Warning";
    message.icon = IconKind::Warning;
    prompts_.Message(message);
}

void SensorProtocol::FillPendingCommand(CommandId id, std::string_view payload, int show_error_dialog,
                                        int retries, bool reconnect_allowed, int call_wait_ms) {
    const CommandDescriptor& row = catalogue_.DescribeCommand(id);
    pending_ = PendingCommand{};
    pending_.request_code = row.request_code;
    pending_.response_code = row.response_code;
    pending_.payload = std::string(payload);
    pending_.name = row.name;
    pending_.show_error_dialog = show_error_dialog;
    pending_.retries = retries;
    pending_.reconnect_allowed = reconnect_allowed;
    pending_.call_wait_ms = call_wait_ms;
    pending_.max_length = row.max_length;
    pending_.min_length = row.min_length;
    pending_.extra_wait_ms = row.extra_wait_ms;
    pending_.checksummed = row.checksummed;
    pending_.status_mask = row.status_mask;
    pending_.row_index = id;
    frame_ = FrameContext{};
    frame_.command = row;
    packet_retries_raised_ = false;
}

// A sensor chosen while addressing is off must be the one addressed once it goes on, so the ID is
// taken over before every command.
void SensorProtocol::TakeTargetMultiDropId() {
    ConnectionState& s = state();
    if (s.multidrop_current_id != s.multidrop_target_id) {
        s.multidrop_current_id = s.multidrop_target_id;
    }
}

// A configuration write that changed the sensor's port rate leaves the new rate pending: the
// sensor already listens at it, so the port follows before the next command goes out.
void SensorProtocol::ApplyPendingBaudChange() {
    ConnectionState& s = state();
    if (s.pending_baud == s.current_baud) {
        return;
    }
    link_.SetSerialBaud(s.pending_baud);
    if (port_changed_) {
        port_changed_();
    }
    if (calibrate_) {
        calibrate_();
    }
    sleep_ms(kBaudChangeSettleMs);
}

void SensorProtocol::ComputeAttemptTimeout() {
    const ConnectionState& s = link_.state();
    const int extra_wait = std::max(pending_.extra_wait_ms, 0);  // the poll marker adds nothing
    pending_.attempt_timeout_ms =
        s.base_response_wait_ms + 1 + extra_wait + s.response_wait_ms.load() + pending_.call_wait_ms;
}

int SensorProtocol::PollStep() const {
    if (pending_.extra_wait_ms == kPollWait || pending_.attempt_timeout_ms <= 100) {
        return kPollStepShortMs;
    }
    return pending_.attempt_timeout_ms <= 250 ? kPollStepMediumMs : kPollStepLongMs;
}

int SensorProtocol::RunTransaction(std::string& response_out) {
    int cap = kFirstSeriesCap;
    bool recovery_used = false;
    bool retried = false;
    for (;;) {
        int result = RunSeries(response_out, cap);
        if (result != kOk && !recovery_used && ShouldRecoverTcp()) {
            // One reconnect per series the caller or the user started: a peer that accepts and then
            // drops every connection must not keep the transaction going for ever.
            recovery_used = true;
            result = RecoverTcp();
            if (result == kOk) {
                continue;
            }
        }
        ConnectionState& s = state();
        ++s.transactions_total;
        if (result == kOk) {
            ++s.transactions_ok;
            // A Retry answer set the busy flag; the retried exchange is over now.
            if (retried)
                busy_flag::Clear();
            return kOk;
        }
        if (pending_.show_error_dialog == 0) {
            return kIgnore;
        }
        const int answer = ShowCommunicationError(result);
        if (answer != kRetry) {
            return answer;
        }
        cap = std::max(pending_.retries, 1);
        recovery_used = false;
        retried = true;
        ComputeAttemptTimeout();
    }
}

int SensorProtocol::RunSeries(std::string& response_out, int cap) {
    int result = kNoResponse;
    for (int attempt = 0; attempt <= pending_.retries && attempt < cap; ++attempt) {
        ++attempts_made_;
        if (SendFrame(link_, frame_, request_text_) == 0) {
            result = kNoResponse;
            continue;
        }
        std::string response;
        const int deadline = pending_.attempt_timeout_ms + link_.state().response_wait_ms.load();
        ReceiveFrame(link_, frame_, response, deadline, PollStep());
        result = ValidateResponse(frame_, response);
        response_out = std::move(response);
        if (result == kOk) {
            return kOk;
        }
        if (result == kUploadPacketFailure && !packet_retries_raised_) {
            packet_retries_raised_ = true;
            pending_.retries += kPacketRefusalExtraRetries;
        }
    }
    return result;
}

bool SensorProtocol::ShouldRecoverTcp() const {
    const ConnectionState& s = link_.state();
    if (!pending_.reconnect_allowed) {
        return false;
    }
    const bool link_gone = s.link_kind == LinkKind::None;
    const bool tcp =
        s.link_kind == LinkKind::Internet || (link_gone && s.connection_type == LinkKind::Internet);
    return tcp && (link_error::IsSocketError(s.last_link_error) || link_gone);
}

int SensorProtocol::RecoverTcp() {
    link_.TcpClose();
    link_.SetLastLinkError(link_error::kNone);
    const int connected = link_.TcpConnect();
    if (connected != 1 || link_error::IsSocketError(link_.GetLastLinkError())) {
        return kReconnectFailure;
    }
    sleep_ms(kReconnectSettleMs);
    if (calibrate_ && !calibrate_()) {
        return kLatencyDetectionFailure;
    }
    ComputeAttemptTimeout();
    return kOk;
}

int SensorProtocol::ShowCommunicationError(int result) {
    CommunicationErrorReport report;
    report.result = result;
    report.error_text = CommunicationErrorText(result);
    report.details = CommunicationErrorDetails(result);
    const int answer = prompts_.CommunicationError(report);
    // Anything but the four buttons means the dialog was closed: that cancels.
    return IsDialogAnswer(answer) ? answer : kCancel;
}

std::string SensorProtocol::CommunicationErrorText(int result) const {
    std::string text = TransactionResultText(result);
    if (link_error::IsSocketError(link_.state().last_link_error)) {
        text = "WSA Socket Error";
    }
    if (result == kReconnectFailure || result == kLatencyDetectionFailure) {
        text = TransactionResultText(result);
    }
    return text;
}

std::string SensorProtocol::CommunicationErrorDetails(int result) const {
    const ConnectionState& s = link_.state();
    // The code is shown the way the system reports it: all ones reads as -1.
    const auto error_code = static_cast<std::int32_t>(s.last_link_error);
    std::string details = "Operation: " + pending_.name + "\r\n";
    details += "Response Error: " + CommunicationErrorText(result) + "\r\n";
    details += "Error Code: " + std::to_string(error_code) + "\r\n";
    details += "Reliability: " + std::to_string(GetReliability()) + "%";
    if (IsRetryableResult(result)) {
        char block[128];
        std::snprintf(block, sizeof block, "Automatic Retries: %i\r\nResponse Timeout: %i milliseconds",
                      pending_.retries, pending_.attempt_timeout_ms);
        details += "\r\n";
        details += block;
    }
    return details;
}

int SensorProtocol::GetReliability() const {
    const ConnectionState& s = link_.state();
    if (s.transactions_total == 0) {
        return 0;
    }
    return static_cast<int>(static_cast<std::uint64_t>(s.transactions_ok) * 100 / s.transactions_total);
}

}  // namespace qvx
