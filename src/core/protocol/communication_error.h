#pragma once
// The texts of the communication-error dialog: the one-line error and the details block, built
// from the failed result, the command and the link's last error.

#include <cstdint>
#include <string>

#include "protocol/transaction_result.h"

namespace qvx {

// What the texts are made of, gathered by the transaction when its retries are spent.
struct CommunicationErrorFacts {
    TransactionResult result = TransactionResult::NoResponse;
    std::string operation;         // the command's name
    std::uint32_t link_error = 0;  // ConnectionState::last_link_error
    int reliability = 0;           // percent
    int retries = 0;
    int attempt_timeout_ms = 0;
    std::string endpoint;  // the link ("/dev/ttyUSB0 @ 9600", "10.0.0.5:10001"); empty: none open
};

// "No Response", ..., or "WSA Socket Error" when the link reports a socket error (a failed
// reconnect or calibration keeps its own text).
std::string CommunicationErrorText(const CommunicationErrorFacts& facts);
// "Operation: ...", "Response Error: ...", "Error Code: ...", "Reliability: ...%", and for the
// results a retry may mend, "Automatic Retries: ..." and "Response Timeout: ... milliseconds";
// lines joined with CR LF. A non-zero code carries the system's words for it in brackets, and
// a final "Link: ..." line names the endpoint when there is one.
std::string CommunicationErrorDetails(const CommunicationErrorFacts& facts);

}  // namespace qvx
