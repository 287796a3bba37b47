// The communication-error details name the system's words for the link's error and the endpoint,
// so a refused connection reads as such and not as a bare number.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "link/connection_state.h"
#include "link/socket_error.h"
#include "protocol/communication_error.h"

namespace qvx {
namespace {

TEST(LinkErrorWords, SocketSerialAndOwnCodes) {
    EXPECT_EQ(LinkErrorWords(0), "");
    EXPECT_EQ(LinkErrorWords(SocketErrorCode(ECONNREFUSED)), std::strerror(ECONNREFUSED));
    EXPECT_EQ(LinkErrorWords(SocketErrorCode(EHOSTUNREACH)), std::strerror(EHOSTUNREACH));
    // An errno without a well-known socket number comes back from 10000 + errno.
    EXPECT_EQ(LinkErrorWords(SocketErrorCode(ENOENT)), std::strerror(ENOENT));
    // A serial port's error is the errno itself.
    EXPECT_EQ(LinkErrorWords(EACCES), std::strerror(EACCES));
    EXPECT_EQ(LinkErrorWords(link_error::kConnectTimeout), "no connection within 7000 ms");
    EXPECT_EQ(LinkErrorWords(link_error::kHostNotFound), "host not found");
}

TEST(LinkErrorWords, DetailsCarryTheWordsAndTheLink) {
    CommunicationErrorFacts facts;
    facts.result = TransactionResult::ReconnectFailure;
    facts.operation = "Get version";
    facts.link_error = SocketErrorCode(ECONNREFUSED);
    facts.reliability = 50;
    facts.endpoint = "10.0.0.5:10001";
    EXPECT_EQ(CommunicationErrorDetails(facts),
              "Operation: Get version\r\nResponse Error: Reconnect Failure\r\nError Code: 10061 (" +
                  std::string(std::strerror(ECONNREFUSED)) + ")\r\nReliability: 50%\r\nLink: 10.0.0.5:10001");
}

}  // namespace
}  // namespace qvx
