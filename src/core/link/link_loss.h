#pragma once
// Errors after which no reply can come on the line: the adapter was unplugged or the line hung
// up, the port is closed, or the peer reset the connection. A wait for a reply ends at once on
// these instead of running out its time.

#include <cstdint>

namespace qvx {

bool IsLinkLost(std::uint32_t last_link_error);

}  // namespace qvx
