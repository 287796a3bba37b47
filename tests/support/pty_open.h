#pragma once
// Opening a pseudo-terminal for tests that stand one in for a serial port.

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>

namespace qvx::test {

// The master side of a new pseudo-terminal with slave_path naming its slave; -1 when the system
// gives none.
inline int OpenPtyMaster(std::string& slave_path) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[256] = {};
    if (master < 0) {
        return -1;
    }
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        return -1;
    }
    slave_path = name;
    return master;
}

// Raw at once, so the line discipline never echoes or translates on its own.
inline void MakeRaw(int slave) {
    termios line{};
    if (::tcgetattr(slave, &line) == 0) {
        ::cfmakeraw(&line);
        ::tcsetattr(slave, TCSANOW, &line);
    }
}

}  // namespace qvx::test
