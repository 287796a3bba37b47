#include "connect/address_book.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/registry_store.h"
#include "support/scratch_folder.h"

namespace qvx {
namespace {

using test::ReadFileText;
using test::ScratchFolder;

const std::string kDataDir = std::string(QVX_TEST_DATA_DIR) + "/address_book/";

std::string CopyOfGolden(const ScratchFolder& dir, const std::string& name) {
    return dir.Write(name, ReadFileText(kDataDir + name));
}

TEST(AddressBookFileTest, InternetBookShowsItsRowsWithUnknownForEmptyAlias) {
    ScratchFolder dir;
    AddressBookFile book(CopyOfGolden(dir, "mixed.abf"), AddressBookKind::Internet);
    ASSERT_TRUE(book.Load());
    ASSERT_EQ(book.entries().size(), 3u);
    EXPECT_EQ(AddressBookRow(AddressBookKind::Internet, book.entries()[0]),
              (std::vector<std::string>{"sensor-north", "10.0.0.5", "4001", "0012", "North approach"}));
    EXPECT_EQ(AddressBookRow(AddressBookKind::Internet, book.entries()[1]),
              (std::vector<std::string>{"[Unknown]", "192.168.1.20", "10001", "", "Unnamed unit"}));
    EXPECT_EQ(book.entries()[1].alias, "");
}

TEST(AddressBookFileTest, ModemBookShowsOnlyModemRows) {
    ScratchFolder dir;
    AddressBookFile book(CopyOfGolden(dir, "mixed.abf"), AddressBookKind::Modem);
    ASSERT_TRUE(book.Load());
    ASSERT_EQ(book.entries().size(), 2u);
    EXPECT_EQ(AddressBookRow(AddressBookKind::Modem, book.entries()[1]),
              (std::vector<std::string>{"5559876", "", "Bridge"}));
}

// Writing one book moves the other kind's lines (and unknown kinds) ahead of its own rows, keeps
// an empty alias empty and never writes the all-zero address.
TEST(AddressBookFileTest, SavingInternetBookMatchesGolden) {
    ScratchFolder dir;
    AddressBookFile book(CopyOfGolden(dir, "mixed.abf"), AddressBookKind::Internet);
    ASSERT_TRUE(book.Load());
    ASSERT_TRUE(book.Save());
    EXPECT_EQ(ReadFileText(book.path()), ReadFileText(kDataDir + "mixed_internet_saved.abf"));
}

TEST(AddressBookFileTest, AddingModemEntryMatchesGolden) {
    ScratchFolder dir;
    AddressBookFile book(CopyOfGolden(dir, "mixed.abf"), AddressBookKind::Modem);
    ASSERT_TRUE(book.Load());
    AddressBookEntry entry;
    entry.phone_number = "5550000";
    entry.sensor_id = "0042";
    entry.description = "New site";
    ASSERT_TRUE(book.Add(entry));
    EXPECT_EQ(ReadFileText(book.path()), ReadFileText(kDataDir + "mixed_modem_saved.abf"));
}

TEST(AddressBookFileTest, SavedBookReadsBackTheSameEntries) {
    ScratchFolder dir;
    AddressBookFile book(CopyOfGolden(dir, "mixed.abf"), AddressBookKind::Internet);
    ASSERT_TRUE(book.Load());
    AddressBookEntry edited;
    edited.alias = "east";
    edited.ip_address = "172.16.0.9";
    edited.tcp_port = "65535";
    edited.sensor_id = "ZZ01";
    edited.description = "Edited";
    ASSERT_TRUE(book.Replace(0, edited));
    ASSERT_TRUE(book.Remove(1));
    AddressBookFile again(book.path(), AddressBookKind::Internet);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.entries(), book.entries());
}

TEST(AddressBookFileTest, OverlongAndOddLinesAreKeptWhole) {
    ScratchFolder dir;
    const std::string long_other = "Foo?" + std::string(700, 'x') + "?";
    const std::string long_own = "Modem?5551111?0001?" + std::string(300, 'd') + "?";
    const std::string content = long_other + "\n" + long_own + "\n" + "Internet\n" + "???\n" + "Modem?\n" +
                                std::string("\x01\xff?", 3) + "\n";
    AddressBookFile book(dir.Write("odd.abf", content), AddressBookKind::Modem);
    ASSERT_TRUE(book.Load());
    ASSERT_EQ(book.entries().size(), 2u);
    EXPECT_EQ(book.entries()[0].description, std::string(300, 'd'));
    EXPECT_EQ(book.entries()[1], AddressBookEntry{});
    ASSERT_TRUE(book.Save());
    const std::string expected = long_other + "\n" + "Internet\n" + "???\n" + std::string("\x01\xff?", 3) +
                                 "\n" + long_own + "\n" + "Modem????\n";
    EXPECT_EQ(ReadFileText(book.path()), expected);
}

// Writing a book twice gives the same file: line ends of other systems are settled the first time.
TEST(AddressBookFileTest, WritingIsStable) {
    const std::string content = "Foo?x?\r\r\n\r\n\r\r\nModem?1??\r\nInternet?a?0.0.0.0?1???\r\n";
    const std::string once = ComposeAddressBook(AddressBookKind::Internet, content,
                                                ParseAddressBook(AddressBookKind::Internet, content));
    EXPECT_EQ(once, "Foo?x?\nModem?1??\nInternet?a??1???\n");
    EXPECT_EQ(ComposeAddressBook(AddressBookKind::Internet, once,
                                 ParseAddressBook(AddressBookKind::Internet, once)),
              once);
}

TEST(AddressBookFileTest, FieldsCannotBreakTheLineLayout) {
    AddressBookEntry entry;
    entry.phone_number = "555?1234";
    entry.description = "two\nlines";
    EXPECT_EQ(FormatAddressBookLine(AddressBookKind::Modem, entry), "Modem?5551234??twolines?\n");
}

TEST(AddressBookFileTest, FailedWriteKeepsTheOldFile) {
    ScratchFolder dir;
    AddressBookFile book((dir / "missing-dir/book.abf"), AddressBookKind::Internet);
    EXPECT_FALSE(book.Load());
    EXPECT_FALSE(book.Add({"a", "1.2.3.4", "1", "", "", ""}));
}

mode_t FileMode(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0;
}

// Restores the process umask when a test changed it.
class ScopedUmask {
  public:
    explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(old_); }

  private:
    mode_t old_;
};

// A new book gets what the user's umask allows, as any file the user creates; a rewrite keeps
// the permissions the book had.
TEST(AddressBookFileTest, NewBooksFollowTheUmaskAndRewritesKeepThePermissions) {
    ScratchFolder dir;
    RegistryStore registry(dir / "registry");
    {
        ScopedUmask private_files(077);
        ASSERT_FALSE(AdoptAddressBookFile(registry, dir / "private.abf").has_value());
        AddressBookFile book(dir / "saved-new.abf", AddressBookKind::Internet);
        ASSERT_TRUE(book.Add(AddressBookEntry{"north", "10.0.0.5", "4001", "", "", ""}));
    }
    EXPECT_EQ(FileMode(dir / "private.abf"), 0600u);
    EXPECT_EQ(FileMode(dir / "saved-new.abf"), 0600u);
    {
        ScopedUmask shared_group(002);
        ASSERT_FALSE(AdoptAddressBookFile(registry, dir / "team.abf").has_value());
        AddressBookFile book(dir / "team.abf", AddressBookKind::Modem);
        ASSERT_TRUE(book.Add(AddressBookEntry{"", "", "", "5551234", "", ""}));
    }
    EXPECT_EQ(FileMode(dir / "team.abf"), 0664u);
}

TEST(AddressBookFileTest, ASymlinkedBookIsWrittenWhereItLives) {
    ScratchFolder dir;
    const std::string real = CopyOfGolden(dir, "mixed.abf");
    const std::string link = dir / "link.abf";
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    AddressBookFile book(link, AddressBookKind::Internet);
    ASSERT_TRUE(book.Load());
    ASSERT_TRUE(book.Save());
    struct stat info {};
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadFileText(real), ReadFileText(kDataDir + "mixed_internet_saved.abf"));
}

TEST(AddressBookFileTest, CrLfLinesReadAsTheirEntries) {
    ScratchFolder dir;
    AddressBookFile book(
        dir.Write("dos.abf", "Internet?north?10.0.0.5?4001?0012?Site 4?\r\nModem?5551234??x?\r\n"),
        AddressBookKind::Internet);
    ASSERT_TRUE(book.Load());
    ASSERT_EQ(book.entries().size(), 1u);
    EXPECT_EQ(book.entries()[0].description, "Site 4");
}

TEST(AddressBookLocationTest, NewKeyAsksForAFile) {
    ScratchFolder dir;
    RegistryStore registry(dir / "registry");
    AddressBookLocation location = LocateAddressBook(registry);
    EXPECT_FALSE(location.ready);
    EXPECT_EQ(location.message, kMustChooseBookText);
}

TEST(AddressBookLocationTest, VanishedFileAsksAgainAndAdoptedFileIsReady) {
    ScratchFolder dir;
    RegistryStore registry(dir / "registry");
    registry.CreateKey(kKeyAddressBook);
    registry.SetString(kKeyAddressBook, kAddressBookPathValue, (dir / "gone.abf"));
    AddressBookLocation location = LocateAddressBook(registry);
    EXPECT_FALSE(location.ready);
    EXPECT_EQ(location.message, "Could not open address book!\nClick <OK> to open or create an [*abf] file.");

    EXPECT_FALSE(AdoptAddressBookFile(registry, (dir / "new.abf")).has_value());
    location = LocateAddressBook(registry);
    EXPECT_TRUE(location.ready);
    EXPECT_EQ(location.path, (dir / "new.abf"));
    EXPECT_EQ(AdoptAddressBookFile(registry, (dir / "no-dir/x.abf")), std::string(kBookNotOpenedText));
}

TEST(AliasLookupTest, FirstInternetLineWithTheAliasAndAnAddressWins) {
    ScratchFolder dir;
    std::string path = dir.Write("book.abf",
                                 "Modem?north?0001??\n"
                                 "Internet?north??4001???\n"
                                 "Internet?north?10.1.1.1?4001???\n"
                                 "Internet?north?10.2.2.2?4001???\n"
                                 "Internet?192.168.001.020?10.3.3.3?1???\n");
    EXPECT_EQ(LookupAlias(path, "north"), "10.1.1.1");
    EXPECT_EQ(LookupAlias(path, "North"), std::nullopt);
    EXPECT_EQ(LookupAlias(path, "sensor-north"), std::nullopt);
    // Three-digit dotted addresses are used as typed, even when a line carries them as alias.
    EXPECT_EQ(LookupAlias(path, "192.168.001.020"), std::nullopt);
    EXPECT_EQ(LookupAlias((dir / "none.abf"), "north"), std::nullopt);
}

TEST(EntryFieldRulesTest, FiltersCorrectTypingInPlace) {
    struct Case {
        std::string (*filter)(const std::string&);
        std::string typed;
        std::string kept;
    };
    const Case cases[] = {
        {FilterAliasText, "sensor north#1", "sensornorth1"},
        {FilterAliasText, "a-b.c/d:e[f_g]*", "a-b.c/d:e[f_g"},
        {FilterPortText, "70000", "65535"},
        {FilterPortText, "65535", "65535"},
        {FilterPortText, "4001x", "4001"},
        {FilterPortText, "1234567", "12345"},
        {FilterEntrySensorIdText, "001234", "0012"},
        {FilterOctetText, "300", "255"},
        {FilterOctetText, "0a1", "01"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.filter(c.typed), c.kept) << c.typed;
    }
}

TEST(EntryFieldRulesTest, AddressTextAndOkRule) {
    EXPECT_EQ(FormatIpAddress({"0", "0", "0", "0"}), "");
    EXPECT_EQ(FormatIpAddress({"", "", "", ""}), "");
    EXPECT_EQ(FormatIpAddress({"10", "0", "", "5"}), "10.0.0.5");
    EXPECT_EQ(SplitIpAddress("192.168.1.20"), (IpOctetTexts{"192", "168", "1", "20"}));
    EXPECT_EQ(SplitIpAddress("1.2.3"), IpOctetTexts{});
    EXPECT_EQ(SplitIpAddress("1.2.3.999"), IpOctetTexts{});

    const IpOctetTexts none{};
    const IpOctetTexts full{"10", "0", "0", "5"};
    EXPECT_TRUE(EntryAcceptable(AddressBookKind::Internet, "north", none, "4001"));
    EXPECT_TRUE(EntryAcceptable(AddressBookKind::Internet, "", full, "4001"));
    EXPECT_FALSE(EntryAcceptable(AddressBookKind::Internet, "", {"10", "0", "", "5"}, "4001"));
    EXPECT_FALSE(EntryAcceptable(AddressBookKind::Internet, "north", full, ""));
    EXPECT_TRUE(EntryAcceptable(AddressBookKind::Modem, "5551234", none, ""));
    EXPECT_FALSE(EntryAcceptable(AddressBookKind::Modem, "", none, ""));
}

TEST(EntryFieldRulesTest, SelectedEntryPrefersAliasOverAddress) {
    EXPECT_EQ(AddressForSelectedEntry({"north", "10.0.0.5", "", "", "", ""}), "north");
    EXPECT_EQ(AddressForSelectedEntry({"", "10.0.0.5", "", "", "", ""}), "10.0.0.5");
    EXPECT_EQ(AddressForSelectedEntry({"[Unknown]", "10.0.0.5", "", "", "", ""}), "10.0.0.5");
}

}  // namespace
}  // namespace qvx
