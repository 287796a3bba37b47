#pragma once
// Socket failures are stored in last_link_error with the numbers the transaction and the
// communication-error dialog know ("WSA Socket Error" codes), so that its TCP recovery sees them.

#include <cstdint>
#include <string>

namespace qvx {

// The socket error code for an errno value: the well-known codes (10054 connection reset,
// 10061 refused, 10060 timed out, ...) and 10000 + errno for the rest.
std::uint32_t SocketErrorCode(int errno_value);
// The code for a failed name lookup (a getaddrinfo result).
std::uint32_t LookupErrorCode(int gai_result);
// " (error N)" for the communication log, or nothing when code is 0.
std::string LinkErrorSuffix(std::uint32_t code);

}  // namespace qvx
