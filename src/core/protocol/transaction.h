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

struct PendingCommand {
    std::string request_code;
    std::string response_code;
    std::string payload;
    std::string name;
    int show_error_dialog = 0;
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

    int SendSensorCommand(std::string_view request_code, std::string_view payload, std::string& response_out,
                          int show_error_dialog, int retries, bool reconnect_allowed, int call_wait_ms);
    // The communication-error dialog: 120, 121, 122 or 123.
    int ShowCommunicationError(int result);
    // transactions_ok * 100 / transactions_total, 0 while nothing was sent.
    int GetReliability() const;
    // The details block the dialog shows for a result.
    std::string CommunicationErrorDetails(int result) const;
    std::string CommunicationErrorText(int result) const;

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
    void FillPendingCommand(CommandId id, std::string_view payload, int show_error_dialog, int retries,
                            bool reconnect_allowed, int call_wait_ms);
    void TakeTargetMultiDropId();
    void ApplyPendingBaudChange();
    int RunTransaction(std::string& response_out);
    int RunSeries(std::string& response_out, int cap);
    bool ShouldRecoverTcp() const;
    int RecoverTcp();
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
