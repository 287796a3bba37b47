#include "protocol/communication_error.h"

#include <cstdio>

#include "link/connection_state.h"
#include "link/socket_error.h"

namespace qvx {

namespace {

bool IsRetryableResult(TransactionResult result) {
    using enum TransactionResult;
    return result == NoResponse || result == PartialHeader || result == UnexpectedHeader ||
           result == ChecksumError || result == PartialPayload;
}

}  // namespace

std::string CommunicationErrorText(const CommunicationErrorFacts& facts) {
    const TransactionResult result = facts.result;
    if (result == TransactionResult::ReconnectFailure ||
        result == TransactionResult::LatencyDetectionFailure) {
        return TransactionResultText(result);
    }
    if (link_error::IsSocketError(facts.link_error)) {
        return "WSA Socket Error";
    }
    return TransactionResultText(result);
}

std::string CommunicationErrorDetails(const CommunicationErrorFacts& facts) {
    // The code is shown the way the system reports it: all ones reads as -1.
    const auto error_code = static_cast<std::int32_t>(facts.link_error);
    std::string details = "Operation: " + facts.operation + "\r\n";
    details += "Response Error: " + CommunicationErrorText(facts) + "\r\n";
    details += "Error Code: " + std::to_string(error_code);
    if (const std::string words = LinkErrorWords(facts.link_error); !words.empty())
        details += " (" + words + ")";
    details += "\r\n";
    details += "Reliability: " + std::to_string(facts.reliability) + "%";
    if (IsRetryableResult(facts.result)) {
        char block[128];
        std::snprintf(block, sizeof block, "Automatic Retries: %i\r\nResponse Timeout: %i milliseconds",
                      facts.retries, facts.attempt_timeout_ms);
        details += "\r\n";
        details += block;
    }
    if (!facts.endpoint.empty())
        details += "\r\nLink: " + facts.endpoint;
    return details;
}

}  // namespace qvx
