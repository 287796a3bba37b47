#include "link/socket_error.h"

#include <netdb.h>

#include <cerrno>
#include <cstring>

#include "link/connection_state.h"

namespace qvx {

namespace {

struct ErrnoMapping {
    int errno_value;
    std::uint32_t code;
};

constexpr ErrnoMapping kSocketErrors[] = {
    {EINTR, 10004},       {EBADF, 10009},        {EPERM, 10013},       {EACCES, 10013},
    {EFAULT, 10014},      {EINVAL, 10022},       {EMFILE, 10024},      {EWOULDBLOCK, 10035},
    {EINPROGRESS, 10036}, {EALREADY, 10037},     {ENOTSOCK, 10038},    {EDESTADDRREQ, 10039},
    {EMSGSIZE, 10040},    {EPROTOTYPE, 10041},   {ENOPROTOOPT, 10042}, {EPROTONOSUPPORT, 10043},
    {EOPNOTSUPP, 10045},  {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048},  {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},    {ENETUNREACH, 10051},  {ENETRESET, 10052},   {ECONNABORTED, 10053},
    {ECONNRESET, 10054},  {ENOBUFS, 10055},      {EISCONN, 10056},     {ENOTCONN, 10057},
    {EPIPE, 10058},       {ESHUTDOWN, 10058},    {ETIMEDOUT, 10060},   {ECONNREFUSED, 10061},
    {EHOSTDOWN, 10064},   {EHOSTUNREACH, 10065},
};

}  // namespace

std::uint32_t SocketErrorCode(int errno_value) {
    for (const auto& mapping : kSocketErrors) {
        if (mapping.errno_value == errno_value) {
            return mapping.code;
        }
    }
    return link_error::kSocketBase + static_cast<std::uint32_t>(errno_value);
}

std::string LinkErrorWords(std::uint32_t code) {
    switch (code) {
        case link_error::kNone:
            return {};
        case link_error::kSendTimeout:
            return "the send did not complete in time";
        case link_error::kReceiveTimeout:
            return "no data arrived within the wait";
        case link_error::kAlreadyOpen:
            return "a connection is already open";
        case link_error::kConnectTimeout:
            return "no connection within 7000 ms";
        case link_error::kUnexpected:
            return "an unexpected wait or lookup result";
        case link_error::kHostNotFound:
            return "host not found";
        case 11002:
            return "temporary failure in name resolution";
        case 11003:
            return "the name server failed";
        default:
            break;
    }
    int errno_value = static_cast<int>(code);
    if (code > link_error::kSocketBase) {
        errno_value = static_cast<int>(code - link_error::kSocketBase);
        for (const auto& mapping : kSocketErrors) {
            if (mapping.code == code) {
                errno_value = mapping.errno_value;
                break;
            }
        }
    }
    return std::strerror(errno_value);
}

std::uint32_t LookupErrorCode(int gai_result) {
    switch (gai_result) {
        case EAI_AGAIN:
            return 11002;  // temporary failure, try again
        case EAI_FAIL:
            return 11003;  // the name server failed for good
        case EAI_SYSTEM:
            return SocketErrorCode(errno);
        default:
            return link_error::kHostNotFound;
    }
}

std::string LinkErrorSuffix(std::uint32_t code) {
    return code == 0 ? std::string() : " (error " + std::to_string(code) + ")";
}

}  // namespace qvx
