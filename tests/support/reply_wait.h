#pragma once
// The response wait of a test whose link was never calibrated. Left at 0, a reply must come
// within one poll step (10 ms), which a loaded machine does not promise: the exchange then fails
// and later replies are taken for the wrong request. Answered exchanges end as soon as the reply
// is in, so a long wait costs a passing test nothing; only silence waits it out, so tests that
// expect silence shorten it for those exchanges.

#include "link/connection_state.h"

namespace qvx::test {

inline constexpr int kAnsweredReplyWaitMs = 10000;
inline constexpr int kSilentReplyWaitMs = 50;

inline void AllowSlowReplies(ConnectionState& state) {
    state.base_response_wait_ms = kAnsweredReplyWaitMs;
}
inline void ExpectSilence(ConnectionState& state) {
    state.base_response_wait_ms = kSilentReplyWaitMs;
}

}  // namespace qvx::test
