#pragma once
// Checks a sensor reply against its catalogue row the way the frame rules read it: header, status
// words accepted by the row's mask, checksum, data length bounds. Written here, not taken from the
// program's validator, so the simulator and the program are checked against each other.

#include <string>
#include <utility>

#include "protocol/catalogue.h"
#include "protocol/frame.h"

namespace qvx::test {

struct CheckedReply {
    bool ok = false;
    std::string data;  // without prefix, response code, checksum and CR
    std::string why;
};

inline CheckedReply CheckReply(const CommandDescriptor& row, std::string reply,
                               const std::string& prefix = "") {
    static const std::pair<const char*, std::uint8_t> kStatusWords[] = {
        {"Success", status_bit::kSuccess}, {"Failure", status_bit::kFailure},
        {"Invalid", status_bit::kInvalid}, {"Ready", status_bit::kReady},
        {"Empty", status_bit::kEmpty},     {"Null", status_bit::kNull},
        {"No lanes", status_bit::kNoLanes}};
    CheckedReply result;
    if (reply.empty() || reply.back() != '\r') {
        result.why = "no CR at the end";
        return result;
    }
    reply.pop_back();
    const std::string header = prefix + row.response_code;
    if (reply.rfind(header, 0) != 0) {
        result.why = "header is not " + header;
        return result;
    }
    result.data = reply.substr(header.size());
    for (const auto& [word, bit] : kStatusWords) {
        if ((row.status_mask & bit) != 0 && result.data.find(word) != std::string::npos) {
            result.ok = true;
            return result;
        }
    }
    if (row.min_length == kMultiDropLength) {
        result.ok = true;
        return result;
    }
    if (row.checksummed) {
        if (result.data.size() < 5) {
            result.why = "checksummed data too short";
            return result;
        }
        const std::string field = result.data.substr(result.data.size() - 4);
        result.data.resize(result.data.size() - 4);
        if (!VerifyFrameChecksum(result.data, field)) {
            result.why = "checksum does not verify";
            return result;
        }
    }
    const int length = static_cast<int>(result.data.size());
    if (length < row.min_length || length > row.max_length) {
        result.why = "data length " + std::to_string(length) + " outside the bounds";
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace qvx::test
