#include "platform/hosts_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/scratch_folder.h"

namespace qvx {
namespace {

using test::ReadFileText;
using test::ScratchFolder;

const std::string kTable =
    "# The host table\n"
    "127.0.0.1\tlocalhost\n"
    "   \n"
    "#10.9.9.9 sensor-north\n"
    "10.0.0.7    sensor-north2 other\n";

struct MappingCase {
    const char* name;
    std::string table;
    HostsUpdate result;
    std::string expected;
};

TEST(HostsFileTest, MappingRules) {
    const MappingCase cases[] = {
        {"absent alias is appended", kTable, HostsUpdate::Appended, kTable + "10.0.0.5\tsensor-north\n"},
        {"same mapping with #PRE and tabs is left alone", kTable + "  10.0.0.5\t sensor-north\t#PRE\n",
         HostsUpdate::AlreadyMapped, kTable + "  10.0.0.5\t sensor-north\t#PRE\n"},
        {"other address is replaced in place",
         "127.0.0.1 localhost\n192.168.10.20   sensor-north # old\n10.0.0.8 x\n", HostsUpdate::Replaced,
         "127.0.0.1 localhost\n10.0.0.5\tsensor-north\n10.0.0.8 x\n"},
        {"same address with another name on the line is rewritten", "10.0.0.5 sensor-north north\n",
         HostsUpdate::Replaced, "10.0.0.5\tsensor-north\n"},
        {"address that merely starts the same is not the same", "10.0.0.55 sensor-north",
         HostsUpdate::Replaced, "10.0.0.5\tsensor-north"},
        {"alias before position 8 is not recognised", "::1 sensor-north\n", HostsUpdate::Appended,
         "::1 sensor-north\n10.0.0.5\tsensor-north\n"},
        {"alias at position 8 after a short address is recognised", "1.2.3.4 sensor-north\n",
         HostsUpdate::Replaced, "10.0.0.5\tsensor-north\n"},
        {"empty table", "", HostsUpdate::Appended, "10.0.0.5\tsensor-north\n"},
        {"table without a final line end", "127.0.0.1 localhost", HostsUpdate::Appended,
         "127.0.0.1 localhost\n10.0.0.5\tsensor-north\n"},
        {"CR LF line already mapping the alias", "127.0.0.1 localhost\r\n10.0.0.5 sensor-north\r\n",
         HostsUpdate::AlreadyMapped, "127.0.0.1 localhost\r\n10.0.0.5 sensor-north\r\n"},
        {"CR LF line mapping elsewhere keeps its CR", "127.0.0.1 localhost\r\n10.9.9.9 sensor-north\r\n",
         HostsUpdate::Replaced, "127.0.0.1 localhost\r\n10.0.0.5\tsensor-north\r\n"},
        {"CR LF table gets a CR LF line", "127.0.0.1 localhost\r\n", HostsUpdate::Appended,
         "127.0.0.1 localhost\r\n10.0.0.5\tsensor-north\r\n"},
    };
    for (const MappingCase& c : cases) {
        HostsUpdate result = HostsUpdate::NotOpened;
        EXPECT_EQ(MapHostAlias(c.table, "10.0.0.5", "sensor-north", result), c.expected) << c.name;
        EXPECT_EQ(result, c.result) << c.name;
    }
}

TEST(HostsFileTest, LineRecognitionNeverReadsPastShortLines) {
    EXPECT_FALSE(HostsLineNamesAlias("", "north"));
    EXPECT_FALSE(HostsLineNamesAlias("north", "north"));
    EXPECT_FALSE(HostsLineNamesAlias("\t\t", "north"));
    EXPECT_FALSE(HostsLineNamesAlias("10.0.0.1 north", ""));
    EXPECT_TRUE(HostsLineNamesAlias("\t 10.0.0.1 north", "north"));
    EXPECT_TRUE(HostsLineNamesAlias("10.0.0.1\tnorth\n", "north"));
    EXPECT_FALSE(HostsLineNamesAlias("10.0.0.1 northern", "north"));
    EXPECT_FALSE(HostsLineNamesAlias("10.0.0.1 x-north", "north"));
}

TEST(HostsFileTest, RegisterWritesTheFile) {
    ScratchFolder dir;
    std::string path = dir.Write("hosts", "127.0.0.1 localhost\n192.168.10.20   sensor-north\n");
    EXPECT_EQ(RegisterHostAlias(path, "10.0.0.5", "sensor-north"), HostsUpdate::Replaced);
    EXPECT_EQ(RegisterHostAlias(path, "10.0.0.5", "sensor-north"), HostsUpdate::AlreadyMapped);
    EXPECT_EQ(RegisterHostAlias(path, "10.0.0.6", "sensor-south"), HostsUpdate::Appended);
    EXPECT_EQ(ReadFileText(path), "127.0.0.1 localhost\n10.0.0.5\tsensor-north\n10.0.0.6\tsensor-south\n");
    EXPECT_EQ(RegisterHostAlias((dir / "none"), "10.0.0.5", "x"), HostsUpdate::NotOpened);
}

// A table kept behind a symbolic link (a managed /etc/hosts) is edited where it lives; the link
// stays a link and the table keeps its permissions.
TEST(HostsFileTest, SymlinkedTableIsWrittenThrough) {
    ScratchFolder dir;
    const std::string real = dir.Write("real-hosts", "127.0.0.1 localhost\n192.168.10.20   sensor-north\n");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    const std::string link = dir / "hosts";
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    EXPECT_EQ(RegisterHostAlias(link, "10.0.0.5", "sensor-north"), HostsUpdate::Replaced);
    struct stat info {};
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadFileText(real), "127.0.0.1 localhost\n10.0.0.5\tsensor-north\n");
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(HostsFileTest, DevicesAndPipesAreNotTables) {
    ScratchFolder dir;
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(RegisterHostAlias(fifo, "10.0.0.5", "x"), HostsUpdate::NotOpened);  // and does not block
    EXPECT_EQ(RegisterHostAlias("/dev/zero", "10.0.0.5", "x"), HostsUpdate::NotOpened);
}

// /proc files are readable but cannot be written even with full privileges, which makes them
// a dependable stand-in for a protected host table.
TEST(HostsFileTest, UnwritableTableReportsTheLoss) {
    std::string proc_version = ReadFileText("/proc/version");
    if (proc_version.empty()) {
        GTEST_SKIP() << "no /proc";
    }
    HostsUpdate result = RegisterHostAlias("/proc/version", "10.0.0.5", "qvx-sensor-alias");
    EXPECT_EQ(result, HostsUpdate::WriteFailed);
    EXPECT_FALSE(IsHostsUpdateSuccess(result));
}

TEST(HostsFileTest, PathComesFromTheEnvironment) {
    ::setenv(kHostsFileVariable, "/tmp/qvx-hosts", 1);
    EXPECT_EQ(HostsFilePath(), "/tmp/qvx-hosts");
    ::unsetenv(kHostsFileVariable);
    EXPECT_EQ(HostsFilePath(), "/etc/hosts");
}

}  // namespace
}  // namespace qvx
