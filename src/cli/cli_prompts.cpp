#include "cli_prompts.h"

#include "link/connection_state.h"
#include "protocol/transaction_result.h"

namespace qvx::cli {

namespace {

const char* AnswerName(TransactionResult answer) {
    switch (answer) {
        case TransactionResult::Retry:
            return "retry";
        case TransactionResult::Ignore:
            return "ignore";
        default:
            return "cancel";
    }
}

}  // namespace

std::string OneLine(const std::string& text) {
    std::string line;
    bool blank_pending = false;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            blank_pending = !line.empty();
            continue;
        }
        if (blank_pending) {
            line += line.back() == ' ' ? "" : " ";
            blank_pending = false;
        }
        line += c;
    }
    return line;
}

CliPrompts::CliPrompts(ErrorPolicy policy, std::ostream& err, int retry_limit)
    : policy_(policy), err_(err), retry_limit_(retry_limit) {}

// After a Retry the transaction either succeeds (the ok counter moves) or comes back here: an
// unchanged counter means the same exchange failed again.
bool CliPrompts::SameExchangeAsBefore() const {
    return last_was_retry_ && state_ != nullptr && state_->transactions_ok == ok_count_at_retry_;
}

TransactionResult CliPrompts::CommunicationError(const CommunicationErrorReport& report) {
    ++communication_errors_;
    if (!SameExchangeAsBefore()) {
        retries_given_ = 0;
    }
    TransactionResult answer = TransactionResult::Cancel;
    if (policy_ == ErrorPolicy::Ignore) {
        answer = TransactionResult::Ignore;
    } else if (policy_ == ErrorPolicy::Retry && retries_given_ < retry_limit_) {
        answer = TransactionResult::Retry;
        ++retries_given_;
    }
    last_was_retry_ = answer == TransactionResult::Retry;
    ok_count_at_retry_ = state_ != nullptr ? state_->transactions_ok : 0;
    std::string details = report.details;
    for (std::size_t at = details.find("\r\n"); at != std::string::npos; at = details.find("\r\n", at)) {
        details.replace(at, 2, "; ");
    }
    err_ << "qvx: communication error: " << report.error_text << " (" << details << ") -> "
         << AnswerName(answer);
    if (answer == TransactionResult::Retry) {
        err_ << " " << retries_given_ << " of " << retry_limit_;
    }
    err_ << "\n";
    return answer;
}

bool CliPrompts::Message(const MessageRequest& request) {
    const bool ok = !request.show_cancel;
    err_ << "qvx: " << OneLine(request.caption) << ": " << OneLine(request.text);
    if (request.show_cancel) {
        err_ << " -> " << request.cancel_label;
    }
    err_ << "\n";
    return ok;
}

bool CliPrompts::Ask(const std::string& caption, const std::string& text, const std::string& yes_label,
                     const std::string& no_label) {
    const std::string question = caption + "|" + text;
    question_repeats_ = question == last_question_ ? question_repeats_ + 1 : 0;
    last_question_ = question;
    const bool yes = policy_ == ErrorPolicy::Retry && question_repeats_ < retry_limit_;
    err_ << "qvx: " << OneLine(caption) << " " << OneLine(text) << " -> " << (yes ? yes_label : no_label)
         << "\n";
    return yes;
}

}  // namespace qvx::cli
