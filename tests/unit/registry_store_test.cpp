#include "platform/registry_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/registry_format.h"
#include "support/scratch_folder.h"

namespace qvx {
namespace {

using test::ReadFileText;
using test::ScratchFolder;
using test::WriteFileText;
using namespace std::string_literals;

class RegistryStoreTest : public ::testing::Test {
  protected:
    ScratchFolder folder_;
    std::string path_ = folder_ / "registry";
    RegistryStore store_{path_};
};

TEST_F(RegistryStoreTest, StringsWithAnyPrintableOrControlBytesRoundTrip) {
    const std::string samples[] = {
        "",
        "plain text",
        "quote \" percent % %41 brackets [x] ]",
        "back\\slash C:\\logs\\file.log = ; # ",
        "line\r\nbreak\ttab\x01\x1f\x7f",
        "\x80\xff high bytes \xc3\xa9",
        "  padded both ends  ",
    };
    for (const auto& text : samples) {
        ASSERT_TRUE(store_.SetString(kKeyLogs, "Value", text));
        EXPECT_EQ(RegistryStore(path_).GetString(kKeyLogs, "Value"), text);
    }
}

TEST_F(RegistryStoreTest, OddKeyAndValueNamesRoundTrip) {
    const std::string key = "Software\\Korvane\\Export\\Card\\Station [7] \"A\"";
    const std::string name = "Name = \"x\" %20\n";
    ASSERT_TRUE(store_.SetString(key, name, "v"));
    EXPECT_EQ(store_.GetString(key, name), "v");
    EXPECT_TRUE(store_.KeyExists(key));
}

TEST_F(RegistryStoreTest, StringReadStopsAtFirstNulAndAtBufferSize) {
    ASSERT_TRUE(store_.SetString(kKeyLogs, "Value", std::string("abc\0def", 7)));
    EXPECT_EQ(store_.GetString(kKeyLogs, "Value"), "abc");
    ASSERT_TRUE(store_.SetString(kKeyLogs, "Value", "abcdef"));
    EXPECT_EQ(store_.GetString(kKeyLogs, "Value", 4), "abc");
    EXPECT_EQ(store_.GetString(kKeyLogs, "Value", 1), "");
    EXPECT_EQ(store_.GetString(kKeyLogs, "Value", 100), "abcdef");
}

TEST_F(RegistryStoreTest, FixedByteStringsArePaddedAndCut) {
    ASSERT_TRUE(store_.SetString(kKeySensors, "ID", "abc", 8));
    EXPECT_EQ(store_.GetString(kKeySensors, "ID"), "abc");
    EXPECT_NE(ReadFileText(path_).find("\"ID\"=str(8):\"abc\""), std::string::npos);

    ASSERT_TRUE(store_.SetString(kKeySensors, "ID", "abcdefghij", 4));
    EXPECT_EQ(store_.GetString(kKeySensors, "ID"), "abc");

    // The padding survives a rewrite of the file caused by another value.
    ASSERT_TRUE(store_.SetString(kKeySensors, "ID", "xy", 6));
    ASSERT_TRUE(store_.SetString(kKeySensors, "Other", "1"));
    EXPECT_NE(ReadFileText(path_).find("\"ID\"=str(6):\"xy\""), std::string::npos);
}

TEST_F(RegistryStoreTest, IntegersOfOneToFourBytesAreLittleEndian) {
    struct Case {
        std::int32_t value;
        std::size_t bytes;
        std::vector<std::uint8_t> stored;
        std::int32_t read_back;
    };
    const Case cases[] = {
        {9600, 4, {0x80, 0x25, 0x00, 0x00}, 9600},
        {-1, 4, {0xFF, 0xFF, 0xFF, 0xFF}, -1},
        {0x7FFFFFFF, 4, {0xFF, 0xFF, 0xFF, 0x7F}, 0x7FFFFFFF},
        {0xFF, 1, {0xFF}, 255},
        {0x1234, 2, {0x34, 0x12}, 0x1234},
        {0xABCDEF, 3, {0xEF, 0xCD, 0xAB}, 0xABCDEF},
        {0x1FF, 1, {0xFF}, 255},  // only the low bytes are kept
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        ASSERT_TRUE(store_.SetInt(kKeyConnectionDefaults, "Baud", c.value, c.bytes));
        EXPECT_EQ(store_.GetBinary(kKeyConnectionDefaults, "Baud"), c.stored);
        EXPECT_EQ(store_.GetInt(kKeyConnectionDefaults, "Baud"), c.read_back);
    }
}

TEST_F(RegistryStoreTest, UnusableSizesAndTypesAreRefused) {
    EXPECT_FALSE(store_.SetInt(kKeyLogs, "N", 1, 0));
    EXPECT_FALSE(store_.SetInt(kKeyLogs, "N", 1, 5));
    ASSERT_TRUE(store_.SetBinary(kKeyLogs, "Empty", {}));
    ASSERT_TRUE(store_.SetBinary(kKeyLogs, "Five", {1, 2, 3, 4, 5}));
    ASSERT_TRUE(store_.SetString(kKeyLogs, "Text", "12"));
    EXPECT_EQ(store_.GetInt(kKeyLogs, "Empty"), std::nullopt);
    EXPECT_EQ(store_.GetInt(kKeyLogs, "Five"), std::nullopt);
    EXPECT_EQ(store_.GetInt(kKeyLogs, "Text"), std::nullopt);
    EXPECT_EQ(store_.GetString(kKeyLogs, "Five"), std::nullopt);
    EXPECT_EQ(store_.GetBinary(kKeyLogs, "Empty"), std::vector<std::uint8_t>{});
    EXPECT_EQ(store_.GetString(kKeyLogs, "Missing"), std::nullopt);
    EXPECT_EQ(store_.GetString("Software\\Nowhere", "Text"), std::nullopt);
}

TEST_F(RegistryStoreTest, KeysAndNamesIgnoreCaseLikeTheRegistry) {
    EXPECT_FALSE(store_.KeyExists(kKeyLogs));
    EXPECT_TRUE(store_.CreateKey(kKeyLogs));
    EXPECT_FALSE(store_.CreateKey("software\\korvane\\dlx2.0\\LOGS"));
    EXPECT_TRUE(store_.KeyExists("Software\\Korvane\\DLX2.0"));
    EXPECT_FALSE(store_.KeyExists("Software\\Korvane\\DLX"));
    ASSERT_TRUE(store_.SetString(kKeyLogs, "Folder", "/a"));
    ASSERT_TRUE(store_.SetString("SOFTWARE\\KORVANE\\DLX2.0\\LOGS", "FOLDER", "/b"));
    EXPECT_EQ(store_.GetString(kKeyLogs, "folder"), "/b");
    EXPECT_EQ(registry_format::Parse(ReadFileText(path_)).keys.size(), 1u);
}

TEST_F(RegistryStoreTest, DeleteValueReportsWhetherItExisted) {
    ASSERT_TRUE(store_.SetString(kKeyLogs, "A", "1"));
    ASSERT_TRUE(store_.SetString(kKeyLogs, "B", "2"));
    EXPECT_TRUE(store_.DeleteValue(kKeyLogs, "a"));
    EXPECT_FALSE(store_.DeleteValue(kKeyLogs, "A"));
    EXPECT_FALSE(store_.DeleteValue(kKeyExport, "B"));
    EXPECT_EQ(store_.GetString(kKeyLogs, "A"), std::nullopt);
    EXPECT_EQ(store_.GetString(kKeyLogs, "B"), "2");
}

TEST_F(RegistryStoreTest, MissingFolderIsCreatedPrivate) {
    const std::string nested = folder_ / "a/b/quorvix";
    RegistryStore store(nested + "/registry");
    EXPECT_EQ(store.GetString(kKeyLogs, "X"), std::nullopt);  // reading creates nothing
    EXPECT_FALSE(std::filesystem::exists(nested));
    ASSERT_TRUE(store.SetString(kKeyLogs, "X", "1"));
    struct stat info {};
    ASSERT_EQ(stat(nested.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(stat((nested + "/registry").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(RegistryStoreTest, MalformedLinesAreSkippedAndGoodValuesSurviveTheNextWrite) {
    WriteFileText(path_,
                  "\"Orphan\"=str:\"before any key\"\n"
                  "[Software\\Korvane\\DLX2.0\\Logs]\r\n"
                  "\"Good\"=str:\"kept\"\r\n"
                  "garbage line without quotes\n"
                  "\"Unterminated=str:\"x\"\n"
                  "\"BadEscape\"=str:\"%G1\"\n"
                  "\"BadHex\"=hex:1,zz\n"
                  "\"BadPad\"=str(2):\"toolong\"\n"
                  "\"Huge\"=str(99999999999999999999):\"x\"\n"
                  "\"Number\"=hex:80,25,00,00\n"
                  "[Broken key\n"
                  "\"Lost\"=str:\"under broken key\"\n"
                  "[Software\\Korvane\\Export]\n"
                  "\"Also\"=str(4):\"ok\"\n"
                  "\x00\xff\xfe binary junk\n"s);
    EXPECT_EQ(store_.GetString(kKeyLogs, "Good"), "kept");
    EXPECT_EQ(store_.GetInt(kKeyLogs, "Number"), 9600);
    EXPECT_EQ(store_.GetString(kKeyExport, "Also"), "ok");
    for (const char* bad : {"Orphan", "BadEscape", "BadHex", "BadPad", "Huge", "Lost"}) {
        EXPECT_EQ(store_.GetString(kKeyLogs, bad), std::nullopt) << bad;
    }

    ASSERT_TRUE(store_.SetString(kKeyLogs, "New", "value"));
    RegistryStore reread(path_);
    EXPECT_EQ(reread.GetString(kKeyLogs, "Good"), "kept");
    EXPECT_EQ(reread.GetInt(kKeyLogs, "Number"), 9600);
    EXPECT_EQ(reread.GetString(kKeyExport, "Also"), "ok");
    EXPECT_EQ(reread.GetString(kKeyLogs, "New"), "value");
    // The lines the store does not understand are written back as they were, not dropped.
    const std::string rewritten = ReadFileText(path_);
    EXPECT_EQ(registry_format::Parse(rewritten).skipped_lines, 10u);
    for (const char* kept :
         {"\"Orphan\"=str:\"before any key\"\n", "garbage line without quotes\n", "\"BadHex\"=hex:1,zz\n",
          "[Broken key\n", "\"Lost\"=str:\"under broken key\"\n"}) {
        EXPECT_NE(rewritten.find(kept), std::string::npos) << kept;
    }
    EXPECT_NE(rewritten.find("\x00\xff\xfe binary junk\n"s), std::string::npos);
    EXPECT_EQ(reread.GetString(kKeyLogs, "Lost"), std::nullopt);
}

// Whole file, byte for byte: a technician's comment, a damaged value and a damaged key line with
// its values keep their places when the program adds a value.
TEST_F(RegistryStoreTest, UnknownAndDamagedLinesKeepTheirPlaceOnEveryRewrite) {
    WriteFileText(path_,
                  "; Quorvix Manager registry. Bytes outside printable ASCII are written as %HH.\n"
                  "; edited by hand on site 14\n"
                  "\n"
                  "[Software\\Korvane\\DLX2.0\\Logs]\n"
                  "# keep this folder\n"
                  "\"Log Folder\"=str:\"/home/tech\"\n"
                  "\"Later\"=dword:00000001\n"
                  "\n"
                  "[Software\\Korvane\\Broken\n"
                  "\"Hidden\"=str:\"x\"\n");
    ASSERT_TRUE(store_.SetString(kKeyLogs, "New", "v"));
    ASSERT_TRUE(store_.SetInt(kKeyExport, "N", 1));
    const std::string expected =
        "; Quorvix Manager registry. Bytes outside printable ASCII are written as %HH.\n"
        "; edited by hand on site 14\n"
        "\n"
        "[Software\\Korvane\\DLX2.0\\Logs]\n"
        "# keep this folder\n"
        "\"Log Folder\"=str:\"/home/tech\"\n"
        "\"Later\"=dword:00000001\n"
        "\"New\"=str:\"v\"\n"
        "\n"
        "[Software\\Korvane\\Broken\n"
        "\"Hidden\"=str:\"x\"\n"
        "\n"
        "[Software\\Korvane\\Export]\n"
        "\"N\"=hex:01,00,00,00\n";
    EXPECT_EQ(ReadFileText(path_), expected);
    ASSERT_TRUE(store_.DeleteValue(kKeyLogs, "New"));
    ASSERT_TRUE(store_.SetString(kKeyLogs, "New", "v"));
    EXPECT_EQ(ReadFileText(path_), expected);
}

class RegistryNotices {
  public:
    RegistryNotices() {
        SetRegistryNoticeHandler([this](const std::string& text) { messages_.push_back(text); });
    }
    ~RegistryNotices() { SetRegistryNoticeHandler(nullptr); }
    const std::vector<std::string>& messages() const { return messages_; }

  private:
    std::vector<std::string> messages_;
};

std::vector<std::string> AsideFiles(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind("registry.bad-", 0) == 0)
            found.push_back(entry.path().string());
    }
    return found;
}

TEST_F(RegistryStoreTest, AFileThatIsNoRegistryIsMovedAsideWithAMessageNamingIt) {
    const std::string binary =
        "\x7f"
        "ELF\x02\x01\x01\0\0\0\n\x03\0>\0\x01\0\0\0\xe0\x10\n[\x01\x02"s;
    WriteFileText(path_, binary);
    RegistryNotices notices;
    EXPECT_EQ(store_.GetString(kKeyLogs, "X"), std::nullopt);  // reading alone moves nothing
    EXPECT_TRUE(notices.messages().empty());
    ASSERT_TRUE(store_.CreateKey(kKeyLogs));

    const auto aside = AsideFiles(folder_.path());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadFileText(aside[0]), binary);
    ASSERT_EQ(notices.messages().size(), 1u);
    EXPECT_NE(notices.messages()[0].find(path_), std::string::npos);
    EXPECT_NE(notices.messages()[0].find(aside[0]), std::string::npos);
    EXPECT_TRUE(store_.KeyExists(kKeyLogs));
    ASSERT_TRUE(store_.SetString(kKeyLogs, "Y", "1"));
    EXPECT_EQ(notices.messages().size(), 1u);  // once
}

TEST_F(RegistryStoreTest, APipeOrFolderInTheRegistrysPlaceNeitherBlocksNorIsEdited) {
    ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
    RegistryNotices notices;
    EXPECT_EQ(store_.GetString(kKeyLogs, "X"), std::nullopt);  // returns at once
    ASSERT_TRUE(store_.SetString(kKeyLogs, "X", "1"));
    EXPECT_EQ(store_.GetString(kKeyLogs, "X"), "1");
    ASSERT_EQ(AsideFiles(folder_.path()).size(), 1u);
    ASSERT_EQ(notices.messages().size(), 1u);
    EXPECT_NE(notices.messages()[0].find("not a regular file"), std::string::npos);
}

TEST_F(RegistryStoreTest, ASymlinkedRegistryIsWrittenThrough) {
    const std::string real = folder_ / "dotfiles-registry";
    WriteFileText(real, "[Software\\Korvane\\DLX2.0\\Logs]\n\"A\"=str:\"1\"\n");
    ASSERT_EQ(::symlink(real.c_str(), path_.c_str()), 0);
    ASSERT_TRUE(store_.SetString(kKeyLogs, "B", "2"));
    struct stat info {};
    ASSERT_EQ(::lstat(path_.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    RegistryStore direct(real);
    EXPECT_EQ(direct.GetString(kKeyLogs, "A"), "1");
    EXPECT_EQ(direct.GetString(kKeyLogs, "B"), "2");
}

TEST_F(RegistryStoreTest, WritesLeaveNoTemporaryFilesAndReadersNeverSeeAHalfFile) {
    ASSERT_TRUE(store_.SetString(kKeyLogs, "Stable", "present"));
    std::atomic<bool> writing{true};
    std::atomic<int> misses{0};
    std::thread reader([&] {
        RegistryStore reader_store(path_);
        while (writing) {
            if (reader_store.GetString(kKeyLogs, "Stable") != "present")
                ++misses;
        }
    });
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(store_.SetString(kKeyLogs, "Counter", std::to_string(i) + std::string(500, 'x')));
    }
    writing = false;
    reader.join();
    EXPECT_EQ(misses, 0);
    for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "registry" || name == "registry.lock") << name;
    }
}

TEST_F(RegistryStoreTest, TwoStoresOnOneFileSeeEachOthersWrites) {
    RegistryStore other(path_);
    ASSERT_TRUE(store_.SetString(kKeyLogs, "A", "from first"));
    ASSERT_TRUE(other.SetString(kKeyLogs, "B", "from second"));
    EXPECT_EQ(store_.GetString(kKeyLogs, "B"), "from second");
    EXPECT_EQ(other.GetString(kKeyLogs, "A"), "from first");
}

TEST_F(RegistryStoreTest, ConcurrentWritersInTwoProcessesLoseNoValue) {
    constexpr int kValuesEach = 40;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        RegistryStore child_store(path_);
        bool ok = true;
        for (int i = 0; i < kValuesEach; ++i)
            ok &= child_store.SetInt(kKeyLogs, "child" + std::to_string(i), i);
        _exit(ok ? 0 : 1);
    }
    for (int i = 0; i < kValuesEach; ++i)
        ASSERT_TRUE(store_.SetInt(kKeyLogs, "parent" + std::to_string(i), i));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int i = 0; i < kValuesEach; ++i) {
        EXPECT_EQ(store_.GetInt(kKeyLogs, "parent" + std::to_string(i)), i);
        EXPECT_EQ(store_.GetInt(kKeyLogs, "child" + std::to_string(i)), i);
    }
}

class EnvironmentOverride {
  public:
    EnvironmentOverride(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~EnvironmentOverride() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(RegistryStorePath, ComesFromTheEnvironment) {
    {
        EnvironmentOverride config("QVX_CONFIG_HOME", "/tmp/qvx-config");
        EnvironmentOverride xdg("XDG_CONFIG_HOME", "/tmp/xdg");
        EXPECT_EQ(RegistryStore::DefaultPath(), "/tmp/qvx-config/registry");
    }
    {
        EnvironmentOverride config("QVX_CONFIG_HOME", nullptr);
        EnvironmentOverride xdg("XDG_CONFIG_HOME", "/tmp/xdg");
        EXPECT_EQ(RegistryStore::DefaultPath(), "/tmp/xdg/quorvix/registry");
    }
    {
        EnvironmentOverride config("QVX_CONFIG_HOME", "");
        EnvironmentOverride xdg("XDG_CONFIG_HOME", nullptr);
        EnvironmentOverride home("HOME", "/home/tech");
        EXPECT_EQ(RegistryStore::DefaultPath(), "/home/tech/.config/quorvix/registry");
    }
}

}  // namespace
}  // namespace qvx
