#pragma once
// Numbers the running copy of the program 0..8: the first "DLXCommActiveEvent<n>" lock file in
// the runtime directory that this process can lock (flock) is its number. The lock is kept for
// the life of the process, so a second running copy gets the next number.
//
// The runtime directory may sit in a folder every local user can write (/tmp), so it is used
// only when it is a real folder (not a symbolic link), owned by this user and writable by nobody
// else; otherwise the program says so and takes a private folder of its own.

#include <sys/types.h>

#include <string>

namespace qvx {

// "0".."8", or empty when all nine numbers are taken. Repeated calls return the same number.
std::string AcquireInstanceNumber();
// The folder of the lock files: $QVX_RUNTIME_DIR, else $XDG_RUNTIME_DIR, else /tmp/quorvix-<uid>;
// when that folder is unsafe, a private fallback (see ChooseRuntimeFolder).
std::string RuntimeDirectory();
// Why the usual runtime folder was not used, when it was not (empty otherwise); set by
// AcquireInstanceNumber, which also writes it to stderr.
std::string RuntimeDirectoryNotice();

enum class FolderSafety {
    Safe,
    CannotCreate,      // missing and could not be made
    NotAFolder,        // a file, pipe or device
    SymbolicLink,      // the path is a link (to a folder of another user's choosing)
    OtherOwner,        // made by another user
    WritableByOthers,  // group or world may add, remove or replace files in it
};

// Creates the folder 0700 when missing (its parents too) and checks that it is safe for owner.
FolderSafety MakePrivateFolder(const std::string& path, uid_t owner);
const char* FolderSafetyText(FolderSafety safety);

struct RuntimeFolderChoice {
    std::string path;
    std::string notice;  // empty when the preferred folder is used
};
// The preferred folder when it is safe; else the fallback (a private folder under the user's
// cache folder); else a fresh private folder from mkdtemp. The notice names the refused folder
// and why.
RuntimeFolderChoice ChooseRuntimeFolder(const std::string& preferred, const std::string& fallback,
                                        uid_t owner);

// The lock file of one number in dir.
std::string InstanceLockPath(const std::string& dir, int number);
// Locks the first free number's file in dir and hands its descriptor to the caller (who keeps it
// open to keep the number); -1 when all nine are held. AcquireInstanceNumber is built on this.
// Lock files are never opened through a symbolic link.
int LockFirstFreeInstance(const std::string& dir, int& lock_fd);

}  // namespace qvx
