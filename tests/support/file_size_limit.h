#pragma once
// A full disk in miniature: while it lives, files this process (and the children it starts) write
// can grow to at most limit bytes; a write past it fails (EFBIG) instead of raising SIGXFSZ.

#include <sys/resource.h>

#include <csignal>

namespace qvx::test {

class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t limit) {
        previous_signal_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit lowered = previous_;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previous_signal_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit previous_{};
    void (*previous_signal_)(int) = SIG_DFL;
};

}  // namespace qvx::test
