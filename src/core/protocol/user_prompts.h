#pragma once
// Every question and message the program asks while work runs. The GUI answers on its
// user-interface thread, the CLI by a policy chosen with flags, tests by a script.

#include <cstddef>
#include <string>
#include <vector>

#include "protocol/transaction_result.h"

namespace qvx {

enum class IconKind : int { None = 0, Information = 1, Warning = 2, Error = 3 };

struct CommunicationErrorReport {
    TransactionResult result = TransactionResult::NoResponse;  // the failed exchange
    std::string error_text;                                    // "No Response", "WSA Socket Error", ...
    std::string details;                                       // the details block, lines joined with CR LF
};

struct MessageRequest {
    std::string text;
    std::string caption;
    IconKind icon = IconKind::None;
    bool show_ok = true;
    bool show_cancel = false;
    std::string ok_label = "OK";
    std::string cancel_label = "Cancel";
    int auto_close_ms = 0;  // 0: stays until answered; otherwise closes by itself (answer OK)
};

class UserPrompts {
  public:
    virtual ~UserPrompts() = default;
    // The "Communication error..." dialog: Ignore, Cancel, Exit or Retry. It may change the
    // connection's response_wait_ms.
    virtual TransactionResult CommunicationError(const CommunicationErrorReport& report) = 0;
    // The program's "Error..." dialog and plain messages. Returns true for OK.
    virtual bool Message(const MessageRequest& request) = 0;
    // A question with two answers; true for the first (Yes / Retry / OK).
    virtual bool Ask(const std::string& caption, const std::string& text,
                     const std::string& yes_label = "Yes", const std::string& no_label = "No") = 0;
};

}  // namespace qvx
