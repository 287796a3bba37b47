#pragma once
// Waiting and line scanning shared by the serial port and the TCP link. Deadlines run on the
// monotonic clock; a wait wakes as soon as the descriptor becomes readable or writable.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace qvx::link_detail {

using Clock = std::chrono::steady_clock;

class Deadline {
  public:
    explicit Deadline(int ms)
        : start_(Clock::now()), end_(start_ + std::chrono::milliseconds(ms < 0 ? 0 : ms)) {}
    bool Expired() const { return Clock::now() >= end_; }
    Clock::duration Remaining() const {
        const auto left = end_ - Clock::now();
        return left > Clock::duration::zero() ? left : Clock::duration::zero();
    }
    Clock::duration Elapsed() const { return Clock::now() - start_; }

  private:
    Clock::time_point start_;
    Clock::time_point end_;
};

struct WaitOutcome {
    bool ready = false;   // the requested direction can proceed
    bool hangup = false;  // the other side is gone or the descriptor failed
};

// Waits at most max_wait (retrying after signals) for the descriptor to become readable (or
// writable when for_write). A zero wait only probes.
WaitOutcome WaitFor(int fd, Clock::duration max_wait, bool for_write = false);

// Decides where a read stops: after max_len bytes, or after a terminator that does not follow the
// escape byte. Bytes are counted across calls so a reply split over many reads is judged as one.
class LineScanner {
  public:
    LineScanner(std::size_t max_len, char terminator, char escape)
        : max_len_(max_len), terminator_(terminator), escape_(escape) {}

    // How many of the next len bytes belong to the read; sets finished() when the read is done.
    std::size_t Take(const char* data, std::size_t len) {
        for (std::size_t i = 0; i < len; ++i) {
            const char byte = data[i];
            ++count_;
            const bool escaped = escape_ != 0 && has_previous_ && previous_ == escape_;
            has_previous_ = true;
            previous_ = byte;
            if (count_ >= max_len_ || (terminator_ != 0 && byte == terminator_ && !escaped)) {
                finished_ = true;
                return i + 1;
            }
        }
        return len;
    }
    bool finished() const { return finished_; }
    std::size_t count() const { return count_; }
    std::size_t room() const { return max_len_ > count_ ? max_len_ - count_ : 0; }
    bool has_terminator() const { return terminator_ != 0; }

  private:
    std::size_t max_len_;
    char terminator_;
    char escape_;
    std::size_t count_ = 0;
    bool has_previous_ = false;
    char previous_ = 0;
    bool finished_ = false;
};

}  // namespace qvx::link_detail
