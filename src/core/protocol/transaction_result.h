#pragma once

#include <iosfwd>

namespace qvx {

// The result of one exchange with the sensor. The numbers are the codes the communication-error
// dialog shows ("Error Code" and the result lines of the details block); logic compares names.
enum class TransactionResult : int {
    NoResponse = 0,                 // 0: nothing (or nothing usable) came back
    Ok = 1,                         // 1: a valid reply
    PartialHeader = 100,            // 100: fewer characters than the response code
    UnexpectedHeader = 101,         // 101: another command's response code
    ChecksumError = 102,            // 102: the checksum field is missing or wrong
    PartialPayload = 103,           // 103: the data is shorter or longer than the command allows
    PayloadError = 104,             // 104: the data does not read as the command's answer
    ReconnectFailure = 105,         // 105: the dropped TCP link could not be opened again
    LatencyDetectionFailure = 106,  // 106: the response-wait calibration after a reconnect failed
    UploadPacketFailure = 107,      // 107: the sensor refused a firmware packet
    Ignore = 120,                   // 120: the user chose Ignore (or the request was silent)
    Cancel = 121,                   // 121: the user chose Cancel: abandon the sequence
    Exit = 122,                     // 122: the user chose Exit
    Retry = 123,                    // 123: the user chose Retry
};

// The number users see for a result.
constexpr int ResultCode(TransactionResult result) {
    return static_cast<int>(result);
}

// "No Response", "Partial Header", ... ; empty for results without a text.
const char* TransactionResultText(TransactionResult result);
// The code and, where there is one, the text: "121", "0 No Response".
std::ostream& operator<<(std::ostream& out, TransactionResult result);

}  // namespace qvx
