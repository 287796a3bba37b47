#pragma once
// The CLI's answers to the questions the core asks while it works. Nobody sits at the terminal,
// so every answer follows the --on-error policy and is written to stderr, where a script's log
// keeps it.

#include <cstdint>
#include <ostream>
#include <string>

#include "cli_options.h"
#include "protocol/user_prompts.h"

namespace qvx {
struct ConnectionState;
}

namespace qvx::cli {

class CliPrompts : public UserPrompts {
  public:
    CliPrompts(ErrorPolicy policy, std::ostream& err, int retry_limit = kDefaultRetryLimit);

    // The connection whose counters tell a retried exchange from a new one.
    void Attach(const ConnectionState& state) { state_ = &state; }

    // Retry: at most retry_limit times for one exchange, then cancel. Otherwise the policy.
    TransactionResult CommunicationError(const CommunicationErrorReport& report) override;
    // Shown on stderr; OK unless the message offers Cancel (nothing is done on anyone's behalf).
    bool Message(const MessageRequest& request) override;
    // No, except under the retry policy, which says Yes to the same question retry_limit times.
    bool Ask(const std::string& caption, const std::string& text, const std::string& yes_label,
             const std::string& no_label) override;

    int communication_errors() const { return communication_errors_; }

  private:
    bool SameExchangeAsBefore() const;

    ErrorPolicy policy_;
    std::ostream& err_;
    int retry_limit_;
    const ConnectionState* state_ = nullptr;
    int communication_errors_ = 0;
    int retries_given_ = 0;
    bool last_was_retry_ = false;
    std::uint32_t ok_count_at_retry_ = 0;
    std::string last_question_;
    int question_repeats_ = 0;
};

// Line breaks of a dialog text become blanks, so each report is one line.
std::string OneLine(const std::string& text);

}  // namespace qvx::cli
