#include "protocol/transaction.h"

#include "base/busy_flag.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "link/sensor_link.h"
#include "protocol/communication_error.h"

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

bool IsDialogAnswer(TransactionResult answer) {
    using enum TransactionResult;
    return answer == Ignore || answer == Cancel || answer == Exit || answer == Retry;
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

TransactionResult SensorProtocol::SendSensorCommand(const SensorRequest& request, std::string& response_out) {
    const CommandId id = catalogue_.FindCommand(request.code);
    if (id < 0) {
        ReportUnknownCommand(request.code);
        return TransactionResult::NoResponse;
    }
    FillPendingCommand(id, request);
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

void SensorProtocol::FillPendingCommand(CommandId id, const SensorRequest& request) {
    const CommandDescriptor& row = catalogue_.DescribeCommand(id);
    pending_ = PendingCommand{};
    pending_.request_code = row.request_code;
    pending_.response_code = row.response_code;
    pending_.payload = request.payload;
    pending_.name = row.name;
    pending_.on_error = request.on_error;
    pending_.retries = request.retries;
    pending_.reconnect_allowed = request.link_recovery;
    pending_.call_wait_ms = request.extra_wait_ms;
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
    // The change, the calibration and the settling wait take a while: the wait cursor shows it.
    const bool was_busy = busy_flag::IsSet();
    busy_flag::Set();
    link_.serial().SetBaud(s.pending_baud);
    if (port_changed_) {
        port_changed_();
    }
    if (calibrate_) {
        calibrate_();
    }
    sleep_ms(kBaudChangeSettleMs);
    if (!was_busy) {
        busy_flag::Clear();
    }
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

TransactionResult SensorProtocol::RunTransaction(std::string& response_out) {
    int cap = kFirstSeriesCap;
    bool recovery_used = false;
    bool retried = false;
    for (;;) {
        TransactionResult result = RunSeries(response_out, cap);
        if (result != TransactionResult::Ok && !recovery_used && ShouldRecoverTcp()) {
            // One reconnect per series the caller or the user started: a peer that accepts and then
            // drops every connection must not keep the transaction going for ever.
            recovery_used = true;
            result = RecoverTcp();
            if (result == TransactionResult::Ok) {
                continue;
            }
        }
        ConnectionState& s = state();
        ++s.transactions_total;
        if (result == TransactionResult::Ok) {
            ++s.transactions_ok;
            // A Retry answer set the busy flag; the retried exchange is over now.
            if (retried)
                busy_flag::Clear();
            return TransactionResult::Ok;
        }
        if (pending_.on_error == ErrorPolicy::Silent) {
            return TransactionResult::Ignore;
        }
        const TransactionResult answer = ShowCommunicationError(result);
        if (answer != TransactionResult::Retry) {
            return answer;
        }
        cap = std::max(pending_.retries, 1);
        recovery_used = false;
        retried = true;
        ComputeAttemptTimeout();
    }
}

TransactionResult SensorProtocol::RunSeries(std::string& response_out, int cap) {
    TransactionResult result = TransactionResult::NoResponse;
    for (int attempt = 0; attempt <= pending_.retries && attempt < cap; ++attempt) {
        ++attempts_made_;
        if (SendFrame(link_, frame_, request_text_) == 0) {
            result = TransactionResult::NoResponse;
            continue;
        }
        std::string response;
        const int deadline = pending_.attempt_timeout_ms + link_.state().response_wait_ms.load();
        ReceiveFrame(link_, frame_, response, deadline, PollStep());
        result = ValidateResponse(frame_, response);
        response_out = std::move(response);
        if (result == TransactionResult::Ok) {
            return TransactionResult::Ok;
        }
        if (result == TransactionResult::UploadPacketFailure && !packet_retries_raised_) {
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

TransactionResult SensorProtocol::RecoverTcp() {
    link_.tcp().Close();
    link_.SetLastLinkError(link_error::kNone);
    const bool connected = link_.tcp().Connect();
    if (!connected || link_error::IsSocketError(link_.GetLastLinkError())) {
        return TransactionResult::ReconnectFailure;
    }
    sleep_ms(kReconnectSettleMs);
    if (calibrate_ && !calibrate_()) {
        return TransactionResult::LatencyDetectionFailure;
    }
    ComputeAttemptTimeout();
    return TransactionResult::Ok;
}

TransactionResult SensorProtocol::ShowCommunicationError(TransactionResult result) {
    CommunicationErrorFacts facts;
    facts.result = result;
    facts.operation = pending_.name;
    facts.link_error = link_.state().last_link_error;
    facts.reliability = GetReliability();
    facts.retries = pending_.retries;
    facts.attempt_timeout_ms = pending_.attempt_timeout_ms;
    CommunicationErrorReport report;
    report.result = result;
    report.error_text = CommunicationErrorText(facts);
    report.details = CommunicationErrorDetails(facts);
    const TransactionResult answer = prompts_.CommunicationError(report);
    // Anything but the four buttons means the dialog was closed: that cancels.
    return IsDialogAnswer(answer) ? answer : TransactionResult::Cancel;
}

int SensorProtocol::GetReliability() const {
    const ConnectionState& s = link_.state();
    if (s.transactions_total == 0) {
        return 0;
    }
    return static_cast<int>(static_cast<std::uint64_t>(s.transactions_ok) * 100 / s.transactions_total);
}

}  // namespace qvx
