#pragma once
// Request and response frames: the multi-drop prefix, the additive checksum, finding a response
// in the incoming byte stream and classifying it.

#include <cstddef>
#include <string>
#include <string_view>

#include "link/connection_state.h"
#include "protocol/catalogue.h"
#include "protocol/transaction_result.h"

namespace qvx {

class SensorLink;

// Four upper-case hex digits: the sum of the character codes of text.
std::string ComputeFrameChecksum(std::string_view text);
// True when field (4 hex digits, either case) equals the sum of data's bytes.
bool VerifyFrameChecksum(std::string_view data, std::string_view field);

// True when the request goes out with the "Z0" + ID prefix.
bool NeedsMultiDropPrefix(const ConnectionState& state, std::string_view request_text);

// The byte-stream recogniser of one response: fed bytes in arrival order, it finds the header,
// applies the '~' rule, skips replies addressed from other sensors and stops at the buffer's
// capacity. Testable without any I/O.
class FrameRecognizer {
  public:
    // expected_code: the command's response code. multi_drop_id: the ID in use when the request
    // carried the prefix, empty otherwise. collect_to_deadline: 'B' commands do not stop at CR.
    FrameRecognizer(std::string expected_code, std::string multi_drop_id, bool collect_to_deadline,
                    std::size_t capacity);
    // Returns true when the frame is complete.
    bool Feed(char byte);
    bool complete() const { return complete_; }
    bool started() const { return started_; }
    const std::string& text() const { return text_; }

  private:
    void Store(char byte);
    void CheckPrefix();

    std::string expected_code_;
    std::string multi_drop_id_;
    char header_[2];
    bool collect_to_deadline_;
    std::size_t capacity_;
    std::string text_;
    char previous_ = 0;
    bool started_ = false;
    bool prefix_checked_ = false;
    bool complete_ = false;
    bool escape_pending_ = false;
};

// The frame state kept between SendFrame and ValidateResponse of one exchange.
struct FrameContext {
    CommandDescriptor command;
    char command_letters[3] = {0, 0, 0};  // first two characters of the last request
    bool prefixed = false;                // the last request carried "Z0" + ID
};

// Purges pending input, applies the multi-drop prefix rule and writes the frame. 1 sent, 0 not.
int SendFrame(SensorLink& link, FrameContext& context, std::string_view request_text);

// Collects one response until it is complete or deadline_ms passed; poll_step_ms is the longest
// single wait. Stores at most capacity characters. Returns the number of characters stored.
std::size_t ReceiveFrame(SensorLink& link, const FrameContext& context, std::string& response_out,
                         int deadline_ms, int poll_step_ms, std::size_t capacity = 8192);

// Classifies a collected response; on TransactionResult::Ok the text is replaced by its data part alone.
TransactionResult ValidateResponse(const FrameContext& context, std::string& response_inout);

}  // namespace qvx
