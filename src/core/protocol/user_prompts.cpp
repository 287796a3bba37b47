#include "protocol/user_prompts.h"

namespace qvx {

namespace {

template <typename T>
T TakeNext(std::vector<T>& answers, std::size_t& next, T fallback) {
    return next < answers.size() ? answers[next++] : fallback;
}

}  // namespace

TransactionResult ScriptedPrompts::CommunicationError(const CommunicationErrorReport& report) {
    communication_errors.push_back(report);
    return TakeNext(communication_answers, next_communication_answer_, default_communication_answer);
}

bool ScriptedPrompts::Message(const MessageRequest& request) {
    messages.push_back(request);
    return true;
}

bool ScriptedPrompts::Ask(const std::string& caption, const std::string& text,
                          const std::string& /*yes_label*/, const std::string& /*no_label*/) {
    questions.push_back(caption + "|" + text);
    return TakeNext(ask_answers, next_ask_answer_, default_ask_answer);
}

}  // namespace qvx
