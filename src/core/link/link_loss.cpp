#include "link/link_loss.h"

#include <cerrno>
#include <initializer_list>

#include "link/socket_error.h"

namespace qvx {

bool IsLinkLost(std::uint32_t last_link_error) {
    for (const int serial_error : {EIO, ENXIO, ENODEV, EBADF}) {
        if (last_link_error == static_cast<std::uint32_t>(serial_error)) {
            return true;
        }
    }
    for (const int socket_error : {ECONNRESET, ECONNABORTED, EPIPE, ENOTCONN}) {
        if (last_link_error == SocketErrorCode(socket_error)) {
            return true;
        }
    }
    return false;
}

}  // namespace qvx
