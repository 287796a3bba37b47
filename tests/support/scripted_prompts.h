#pragma once
// Prompts for tests: every communication error gets the next scripted answer (then a default),
// every question the next scripted reply; everything asked is recorded.

#include <cstddef>
#include <string>
#include <vector>

#include "protocol/user_prompts.h"

namespace qvx {

class ScriptedPrompts : public UserPrompts {
  public:
    TransactionResult CommunicationError(const CommunicationErrorReport& report) override {
        communication_errors.push_back(report);
        return TakeNext(communication_answers, next_communication_answer_, default_communication_answer);
    }
    bool Message(const MessageRequest& request) override {
        messages.push_back(request);
        return true;
    }
    bool Ask(const std::string& caption, const std::string& text, const std::string& /*yes_label*/,
             const std::string& /*no_label*/) override {
        questions.push_back(caption + "|" + text);
        return TakeNext(ask_answers, next_ask_answer_, default_ask_answer);
    }

    // Answers taken in order; when exhausted, the defaults below.
    std::vector<TransactionResult> communication_answers;
    std::vector<bool> ask_answers;
    TransactionResult default_communication_answer = TransactionResult::Cancel;
    bool default_ask_answer = false;

    std::vector<CommunicationErrorReport> communication_errors;
    std::vector<MessageRequest> messages;
    std::vector<std::string> questions;  // caption + "|" + text

  private:
    template <typename T>
    static T TakeNext(std::vector<T>& answers, std::size_t& next, T fallback) {
        return next < answers.size() ? answers[next++] : fallback;
    }

    std::size_t next_communication_answer_ = 0;
    std::size_t next_ask_answer_ = 0;
};

}  // namespace qvx
