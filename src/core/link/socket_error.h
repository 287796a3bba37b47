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

// The system's own words for a code kept in last_link_error: strerror for an operating-system or
// socket error, the lookup's or this program's words for its own codes; empty for 0.
std::string LinkErrorWords(std::uint32_t code);

}  // namespace qvx
