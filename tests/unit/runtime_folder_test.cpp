// The runtime folder may live where every local user can write (/tmp). Another user who made it
// first must not be able to choose where the program creates its files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/instance.h"
#include "support/scratch_folder.h"

namespace qvx {
namespace {

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

TEST(RuntimeFolder, AMissingFolderIsCreatedPrivate) {
    test::ScratchFolder dir;
    const std::string wanted = dir / "run/quorvix";
    const RuntimeFolderChoice choice = ChooseRuntimeFolder(wanted, dir / "fallback", getuid());
    EXPECT_EQ(choice.path, wanted);
    EXPECT_TRUE(choice.notice.empty());
    EXPECT_EQ(ModeOf(wanted), 0700u);
}

TEST(RuntimeFolder, AnUnsafeFolderIsRefusedWithAMessageAndAPrivateOneUsed) {
    test::ScratchFolder dir;
    const std::string open_to_all = dir / "quorvix-open";
    ASSERT_EQ(mkdir(open_to_all.c_str(), 0700), 0);
    ASSERT_EQ(chmod(open_to_all.c_str(), 0777), 0);
    const std::string victim = dir / "victim";
    ASSERT_EQ(mkdir(victim.c_str(), 0700), 0);
    const std::string link = dir / "quorvix-link";
    ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
    const std::string group_writable = dir / "quorvix-group";
    ASSERT_EQ(mkdir(group_writable.c_str(), 0700), 0);
    ASSERT_EQ(chmod(group_writable.c_str(), 0770), 0);

    struct Case {
        std::string folder;
        uid_t owner;
        FolderSafety expected;
    };
    const Case cases[] = {
        {open_to_all, getuid(), FolderSafety::WritableByOthers},
        {group_writable, getuid(), FolderSafety::WritableByOthers},
        {link, getuid(), FolderSafety::SymbolicLink},
        {victim, getuid() + 1, FolderSafety::OtherOwner},  // as seen by another user
        {dir.Write("plain-file", "x"), getuid(), FolderSafety::NotAFolder},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MakePrivateFolder(c.folder, c.owner), c.expected) << c.folder;
        const RuntimeFolderChoice choice = ChooseRuntimeFolder(c.folder, dir / "private", c.owner);
        EXPECT_NE(choice.path, c.folder);
        EXPECT_NE(choice.notice.find(c.folder), std::string::npos) << choice.notice;
        EXPECT_NE(choice.notice.find(FolderSafetyText(c.expected)), std::string::npos) << choice.notice;
        if (c.owner == getuid()) {
            EXPECT_EQ(choice.path, dir / "private");
            EXPECT_EQ(ModeOf(choice.path), 0700u);
        } else {
            rmdir(choice.path.c_str());  // the fresh folder the other user would have got
        }
    }
    // Nothing was created through the link.
    EXPECT_TRUE(std::filesystem::is_empty(victim));
}

TEST(RuntimeFolder, LockFilesAreNeverOpenedThroughALink) {
    test::ScratchFolder dir;
    const std::string target = dir / "chosen-by-someone-else";
    ASSERT_EQ(symlink(target.c_str(), InstanceLockPath(dir.path(), 0).c_str()), 0);
    int fd = -1;
    EXPECT_EQ(LockFirstFreeInstance(dir.path(), fd), 1);
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(fcntl(fd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    close(fd);
}

}  // namespace
}  // namespace qvx
