#pragma once
// Numbers the running copy of the program 0..8: the first "DLXCommActiveEvent<n>" lock file in
// the runtime directory that this process can lock (flock) is its number. The lock is kept for
// the life of the process, so a second running copy gets the next number.

#include <string>

namespace qvx {

// "0".."8", or empty when all nine numbers are taken. Repeated calls return the same number.
std::string AcquireInstanceNumber();
// The folder of the lock files: $QVX_RUNTIME_DIR, else $XDG_RUNTIME_DIR, else /tmp/quorvix-<uid>.
std::string RuntimeDirectory();

// The lock file of one number in dir.
std::string InstanceLockPath(const std::string& dir, int number);
// Locks the first free number's file in dir and hands its descriptor to the caller (who keeps it
// open to keep the number); -1 when all nine are held. AcquireInstanceNumber is built on this.
int LockFirstFreeInstance(const std::string& dir, int& lock_fd);

}  // namespace qvx
