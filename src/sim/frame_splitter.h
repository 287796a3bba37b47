#pragma once
// Cuts the incoming byte stream into request frames: a frame ends at CR. Line feeds are dropped,
// a modem escape "+++" (which carries no CR) is a frame of its own, and a run without CR longer than any
// request is thrown away so that line noise cannot grow the buffer.

#include <string>
#include <string_view>
#include <vector>

namespace qvx::sim {

inline constexpr std::size_t kMaxRequestLength = 8192;
inline constexpr const char* kModemEscape = "+++";

class FrameSplitter {
  public:
    // Returns the frames completed by these bytes, without their CR; empty frames are skipped.
    std::vector<std::string> Feed(std::string_view bytes);
    void Reset() { pending_.clear(); }
    const std::string& pending() const { return pending_; }

  private:
    std::string pending_;
};

}  // namespace qvx::sim
