#pragma once
// A pseudo-terminal standing in for a serial port: the link opens (or adopts) the slave side,
// the test plays the sensor on the master side. The pair keeps one raw slave descriptor open of
// its own so the master never sees a hang-up while the link closes and reopens the port.

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "support/fd_peer.h"
#include "support/pty_open.h"

namespace qvx::test {

class PtyPair {
  public:
    PtyPair() {
        master_ = OpenPtyMaster(slave_path_);
        if (master_ < 0) {
            return;
        }
        keeper_ = OpenSlave();
        if (keeper_ >= 0) {
            MakeRaw(keeper_);
        }
    }
    ~PtyPair() {
        if (keeper_ >= 0) {
            close(keeper_);
        }
        CloseMaster();
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0 && keeper_ >= 0; }
    int master() const { return master_; }
    const std::string& slave_path() const { return slave_path_; }
    // A fresh descriptor on the slave side, for SensorLink::AdoptSerialDescriptor.
    int OpenSlave() const { return open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC); }
    // The sensor side goes away: the slave sees a hang-up once the keeper is closed too.
    void CloseMaster() {
        if (master_ >= 0) {
            close(master_);
            master_ = -1;
        }
    }

    bool Send(std::string_view bytes) const { return WriteAll(master_, bytes); }
    std::string Receive(std::size_t want, int limit_ms = 2000) const {
        return ReadFor(master_, want, limit_ms);
    }

  private:
    int master_ = -1;
    int keeper_ = -1;
    std::string slave_path_;
};

}  // namespace qvx::test
