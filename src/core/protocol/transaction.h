#pragma once
// SendSensorCommand: the one path of every exchange with the sensor. Looks the command up,
// applies a pending baud change, sends, waits, validates, retries, re-opens a dropped TCP link,
// keeps the reliability counters and asks the user what to do when a command still fails.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "link/connection_state.h"
#include "protocol/catalogue.h"
#include "protocol/frame.h"
#include "protocol/transaction_result.h"
#include "protocol/user_prompts.h"

namespace qvx {

class SensorLink;

// What a failed exchange does once its retries are spent: ask the user (the communication-error
// dialog) or return Ignore without a word.
enum class ErrorPolicy { Silent, Report };

// One command to send: the request code as the catalogue names it, the payload (usually ending
// in CR), and how the exchange behaves on failure.
struct SensorRequest {
    std::string code;
    std::string payload;
    ErrorPolicy on_error = ErrorPolicy::Silent;
    int retries = 0;             // further attempts after the first
    bool link_recovery = false;  // a dropped TCP link may be opened again once per series
    int extra_wait_ms = 0;       // added to every attempt's time-out
};

struct PendingCommand {
    std::string request_code;
    std::string response_code;
    std::string payload;
    std::string name;
    ErrorPolicy on_error = ErrorPolicy::Silent;
    int retries = 0;
    bool reconnect_allowed = false;
    int call_wait_ms = 0;
    int max_length = 0;
    int min_length = 0;
    int extra_wait_ms = 0;
    bool checksummed = false;
    std::uint8_t status_mask = 0;
    CommandId row_index = -1;
    int attempt_timeout_ms = 0;
};

class SensorProtocol {
  public:
    SensorProtocol(SensorLink& link, UserPrompts& prompts);

    // Ok with the reply's data part in response_out; a failure the request reports ends in the
    // user's answer (Ignore, Cancel, Exit), a silent one in Ignore.
    TransactionResult SendSensorCommand(const SensorRequest& request, std::string& response_out);
    // The communication-error dialog: Ignore, Cancel, Exit or Retry.
    TransactionResult ShowCommunicationError(TransactionResult result);
    // transactions_ok * 100 / transactions_total, 0 while nothing was sent.
    int GetReliability() const;

    // The response-wait calibration, run after a baud change and a TCP reconnect. Returns success.
    void SetCalibrationHook(std::function<bool()> hook) { calibrate_ = std::move(hook); }
    // Called after a baud change so a window can refresh its port description.
    void SetPortChangedHook(std::function<void()> hook) { port_changed_ = std::move(hook); }

    SensorLink& link() { return link_; }
    ConnectionState& state();
    UserPrompts& prompts() { return prompts_; }
    const PendingCommand& pending() const { return pending_; }
    const CommandCatalogue& catalogue() const { return catalogue_; }

    // Sleeps (tests replace it to run the arithmetic without waiting).
    std::function<void(int ms)> sleep_ms;

    // Attempts sent (or tried) since construction, for diagnostics.
    long attempts_made() const { return attempts_made_; }

  private:
    void ReportUnknownCommand(std::string_view request_code);
    void FillPendingCommand(CommandId id, const SensorRequest& request);
    void TakeTargetMultiDropId();
    void ApplyPendingBaudChange();
    TransactionResult RunTransaction(std::string& response_out);
    TransactionResult RunSeries(std::string& response_out, int cap);
    void LogFailedAttempt(TransactionResult result, int attempt) const;
    bool ShouldRecoverTcp() const;
    TransactionResult RecoverTcp();
    void ComputeAttemptTimeout();
    int PollStep() const;

    SensorLink& link_;
    UserPrompts& prompts_;
    const CommandCatalogue& catalogue_;
    PendingCommand pending_;
    FrameContext frame_;
    std::string request_text_;
    bool packet_retries_raised_ = false;
    long attempts_made_ = 0;
    std::function<bool()> calibrate_;
    std::function<void()> port_changed_;
};

}  // namespace qvx
