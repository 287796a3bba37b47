#include "frame_splitter.h"

namespace qvx::sim {

std::vector<std::string> FrameSplitter::Feed(std::string_view bytes) {
    std::vector<std::string> frames;
    for (char byte : bytes) {
        if (byte == '\n') {
            continue;
        }
        if (byte == '\r') {
            if (!pending_.empty()) {
                frames.push_back(std::move(pending_));
            }
            pending_.clear();
            continue;
        }
        pending_ += byte;
        if (pending_ == kModemEscape) {
            frames.push_back(std::move(pending_));  // the escape carries no CR
            pending_.clear();
        } else if (pending_.size() > kMaxRequestLength) {
            pending_.clear();
        }
    }
    return frames;
}

}  // namespace qvx::sim
