#pragma once

namespace qvx {

// The result of one exchange. Callers test for kOk, and for kCancel to abandon a sequence.
enum TransactionResult : int {
    kNoResponse = 0,
    kOk = 1,
    kPartialHeader = 100,
    kUnexpectedHeader = 101,
    kChecksumError = 102,
    kPartialPayload = 103,
    kPayloadError = 104,
    kReconnectFailure = 105,
    kLatencyDetectionFailure = 106,
    kUploadPacketFailure = 107,
    kIgnore = 120,
    kCancel = 121,
    kExit = 122,
    kRetry = 123,
};

// "No Response", "Partial Header", ... ; empty for codes without a text.
const char* TransactionResultText(int result);

}  // namespace qvx
