// Sending a request frame and collecting its response on the open link.

#include <algorithm>
#include <chrono>

#include "link/link_loss.h"
#include "link/sensor_link.h"
#include "protocol/frame.h"

namespace qvx {

namespace {

constexpr std::size_t kReadChunk = 256;

// The receive loop waits in poll steps; like the step-by-step wait it replaces, it gives the reply
// whole steps, so the longest wait is the deadline rounded up to the next step.
int RoundedDeadline(int deadline_ms, int poll_step_ms) {
    if (poll_step_ms <= 0) {
        return std::max(deadline_ms, 0);
    }
    return (std::max(deadline_ms, 0) / poll_step_ms + 1) * poll_step_ms;
}

}  // namespace

int SendFrame(SensorLink& link, FrameContext& context, std::string_view request_text) {
    ConnectionState& state = link.state();
    context.command_letters[0] = request_text.size() > 0 ? request_text[0] : '\0';
    context.command_letters[1] = request_text.size() > 1 ? request_text[1] : '\0';
    link.PurgeInput();
    if (state.multidrop_enable_next) {
        state.multidrop_enable_next = false;
        state.multidrop_enabled = true;
    }
    context.prefixed = NeedsMultiDropPrefix(state, request_text);
    std::string frame;
    if (context.prefixed) {
        frame = "Z0" + state.multidrop_current_id;
    }
    frame.append(request_text);
    const std::size_t written = link.Write(frame);
    return written == frame.size() ? 1 : 0;
}

std::size_t ReceiveFrame(SensorLink& link, const FrameContext& context, std::string& response_out,
                         int deadline_ms, int poll_step_ms, std::size_t capacity) {
    using Clock = std::chrono::steady_clock;
    const std::string id = context.prefixed ? link.state().multidrop_current_id : std::string();
    FrameRecognizer recognizer(context.command.response_code, id, context.command_letters[0] == 'B',
                               capacity);
    const auto start = Clock::now();
    const auto end = start + std::chrono::milliseconds(RoundedDeadline(deadline_ms, poll_step_ms));
    std::string chunk;
    while (!recognizer.complete()) {
        const auto now = Clock::now();
        if (now >= end) {
            break;
        }
        const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count() + 1;
        const int wait = static_cast<int>(std::min<long long>(remaining, std::max(poll_step_ms, 1)));
        chunk.clear();
        // A closed, hung-up or reset line polls ready at once and brings nothing: without this
        // the wait would spin until its deadline.
        if (link.ReadAvailable(chunk, kReadChunk, wait) == 0 &&
            (!link.IsOpen() || IsLinkLost(link.GetLastLinkError()))) {
            break;  // nothing more can arrive: validate what came
        }
        for (char byte : chunk) {
            if (recognizer.Feed(byte)) {
                break;
            }
        }
    }
    response_out = recognizer.text();
    return response_out.size();
}

}  // namespace qvx
