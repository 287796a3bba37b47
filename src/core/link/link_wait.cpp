#include "link/link_wait.h"

#include <poll.h>

#include <cerrno>
#include <ctime>

namespace qvx::link_detail {

WaitOutcome WaitFor(int fd, Clock::duration max_wait, bool for_write) {
    const auto end = Clock::now() + max_wait;
    const short wanted = for_write ? POLLOUT : POLLIN;
    for (;;) {
        auto left = end - Clock::now();
        if (left < Clock::duration::zero()) {
            left = Clock::duration::zero();
        }
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec limit{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd entry{fd, wanted, 0};
        const int rc = ppoll(&entry, 1, &limit, nullptr);
        if (rc < 0 && errno == EINTR) {
            continue;
        }
        WaitOutcome outcome;
        if (rc > 0) {
            outcome.ready = (entry.revents & wanted) != 0;
            outcome.hangup = (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        } else if (rc < 0) {
            outcome.hangup = true;
        }
        return outcome;
    }
}

}  // namespace qvx::link_detail
