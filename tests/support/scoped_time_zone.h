#pragma once
// Runs a test in a chosen time zone (the TZ variable), restoring the previous one afterwards, so
// texts shown in the PC's local time can be compared with fixed expectations.

#include <stdlib.h>

#include <ctime>
#include <optional>
#include <string>

namespace qvx::test {

class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = ::getenv("TZ"))
            previous_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (previous_)
            ::setenv("TZ", previous_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    std::optional<std::string> previous_;
};

}  // namespace qvx::test
