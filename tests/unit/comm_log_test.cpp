// The communication log: how bytes and entries read, what the ring keeps, which sinks hear
// which levels, and that the link reports what it sends and receives.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>

#include "../support/pty_pair.h"
#include "../support/scratch_folder.h"
#include "../support/scripted_prompts.h"
#include "base/comm_log.h"
#include "connect/modem_connect.h"
#include "context/app_context.h"
#include "link/sensor_link.h"
#include "platform/text_file.h"

namespace qvx {
namespace {

using namespace std::chrono_literals;

LogEntry Entry(std::string text, LogDirection direction = LogDirection::None,
               LogLevel level = LogLevel::Info) {
    return LogEntry{1234567us, level, direction, std::move(text)};
}

TEST(CommLogFormat, PrintableBytesStayOthersAndTheEscapeOpenerBecomeHex) {
    EXPECT_EQ(PrintableBytes("XD0001\r"), "XD0001<0D>");
    EXPECT_EQ(PrintableBytes(std::string("a\0~\x7F\xFF<b", 7)), "a<00>~<7F><FF><3C>b");
    EXPECT_EQ(PrintableBytes(""), "");
}

TEST(CommLogFormat, EntryShowsMonotonicSecondsDirectionAndText) {
    EXPECT_EQ(FormatLogEntry(Entry("S6\r", LogDirection::Sent)), "     1.234567 TX S6<0D>");
    EXPECT_EQ(FormatLogEntry(Entry("2\r", LogDirection::Received)), "     1.234567 RX 2<0D>");
    // A message is text already: kept as it is.
    EXPECT_EQ(FormatLogEntry(Entry("serial port <x> opened")), "     1.234567 INFO serial port <x> opened");
    EXPECT_EQ(FormatLogEntry(Entry("late", LogDirection::None, LogLevel::Warning)),
              "     1.234567 WARN late");
}

TEST(CommLogFormat, SettingIsALevelWithAnOptionalFile) {
    const auto plain = ParseLogSetting("Debug");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->level, LogLevel::Debug);
    EXPECT_EQ(plain->path, "");
    const auto with_file = ParseLogSetting("warning:/tmp/a:b.log");
    ASSERT_TRUE(with_file);
    EXPECT_EQ(with_file->level, LogLevel::Warning);
    EXPECT_EQ(with_file->path, "/tmp/a:b.log");
    EXPECT_FALSE(ParseLogSetting("verbose"));
    EXPECT_FALSE(ParseLogSetting(""));
    EXPECT_FALSE(ParseLogSetting(":/tmp/x"));
}

TEST(CommLogRing, KeepsTheNewestEntriesAndHandsOutOnlyWhatIsNew) {
    LogRing ring(LogLevel::Debug, 3);
    for (int i = 1; i <= 5; ++i) {
        ring.Write(Entry(std::to_string(i)));
    }
    std::uint64_t newest = 0;
    std::vector<LogEntry> kept = ring.Since(0, newest);
    EXPECT_EQ(newest, 5u);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept.front().text, "3");
    EXPECT_EQ(kept.back().text, "5");

    kept = ring.Since(4, newest);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].text, "5");
    EXPECT_TRUE(ring.Since(5, newest).empty());

    ring.Clear();
    EXPECT_TRUE(ring.All().empty());
    ring.Write(Entry("6"));
    kept = ring.Since(5, newest);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].text, "6");
    EXPECT_EQ(newest, 6u);
}

TEST(CommLogSinks, EachSinkHearsItsLevelAndAboveAndOffCostsNothing) {
    CommLog log;
    EXPECT_FALSE(log.Enabled(LogLevel::Error));  // no sink: everything off
    auto frames = std::make_shared<LogRing>(LogLevel::Debug);
    std::ostringstream stream;
    auto warnings = std::make_shared<StreamLogSink>(LogLevel::Warning, stream);
    log.AddSink(warnings);
    EXPECT_FALSE(log.Enabled(LogLevel::Info));
    {
        ScopedLogSink scoped(log, frames);
        EXPECT_TRUE(log.Enabled(LogLevel::Debug));
        log.Bytes(LogDirection::Sent, "S6\r");
        log.Message(LogLevel::Info, "opened");
        log.Message(LogLevel::Warning, "no reply");
    }
    EXPECT_FALSE(log.Enabled(LogLevel::Debug));
    log.Bytes(LogDirection::Received, "2\r");  // nobody listens for frames any more

    const std::vector<LogEntry> all = frames->All();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].direction, LogDirection::Sent);
    EXPECT_LE(all[0].time, all[2].time);
    EXPECT_NE(stream.str().find("WARN no reply\n"), std::string::npos) << stream.str();
    EXPECT_EQ(stream.str().find("opened"), std::string::npos) << stream.str();
}

TEST(CommLogSinks, ReceivedPiecesBecomeOneEntryPerFrame) {
    CommLog log;
    auto ring = std::make_shared<LogRing>(LogLevel::Debug);
    log.AddSink(ring);
    log.Bytes(LogDirection::Sent, "S6\r");
    log.Bytes(LogDirection::Received, "S");
    log.Bytes(LogDirection::Received, "62\rXD12~");  // a frame ends, the next one starts
    log.Bytes(LogDirection::Received, "\r34");       // "~" CR continues the frame
    log.Bytes(LogDirection::Sent, "S9\r");           // the next request ends what arrived
    log.Bytes(LogDirection::Received, "late");
    log.FlushReceived();  // the line went quiet
    log.Bytes(LogDirection::Received, std::string(CommLog::kMaxReceivedEntry + 1, 'z'));
    log.Message(LogLevel::Info, "done");

    std::vector<std::string> lines;
    for (const LogEntry& entry : ring->All()) {
        lines.push_back(FormatLogEntry(entry).substr(14, 20));
    }
    const std::vector<std::string> expected{"TX S6<0D>", "RX S62<0D>", "RX XD12~<0D>34",
                                            "TX S9<0D>", "RX late",    "RX " + std::string(17, 'z'),
                                            "RX z",      "INFO done"};
    EXPECT_EQ(lines, expected);
}

TEST(CommLogSinks, AFileLogAppendsAfterAHeadedStartAndAMissingFolderIsReported) {
    test::ScratchFolder folder;
    const std::string path = folder / "comm.log";
    ASSERT_TRUE(WriteTextFileAtomically(path, "earlier run\n"));
    std::string error;
    CommLog log;
    {
        auto file = FileLogSink::Open(LogLevel::Info, path, error);
        ASSERT_TRUE(file) << error;
        ScopedLogSink scoped(log, file);
        log.Bytes(LogDirection::Sent, "S6\r");  // below the file's level
        log.Message(LogLevel::Warning, "no reply");
    }
    const std::vector<std::string> lines = SplitTextLines(ReadTextFile(path).value_or(""));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "earlier run");
    EXPECT_TRUE(lines[1].starts_with("# communication log started 20")) << lines[1];
    EXPECT_TRUE(lines[2].ends_with(" WARN no reply")) << lines[2];

    EXPECT_FALSE(FileLogSink::Open(LogLevel::Debug, folder / "no/such/folder.log", error));
    EXPECT_NE(error.find("no/such/folder.log"), std::string::npos) << error;
}

TEST(CommLogSinks, LastGoodExchangeIsUnknownUntilNoted) {
    CommLog log;
    EXPECT_FALSE(log.LastGoodExchange());
    const auto before = std::chrono::system_clock::now() - 1s;
    log.NoteGoodExchange();
    ASSERT_TRUE(log.LastGoodExchange());
    EXPECT_GE(*log.LastGoodExchange(), before);
}

TEST(CommLogLink, TheLinkLogsWhatItSendsAndWhatArrives) {
    test::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ConnectionState connection;
    SensorLink link(connection);
    connection.port_name = pty.slave_path();
    connection.link_kind = LinkKind::Serial;
    auto ring = std::make_shared<LogRing>(LogLevel::Debug);
    ScopedLogSink scoped(ProgramLog(), ring);
    ASSERT_TRUE(link.serial().Open(9600, {kReadIntervalNoWait, 0, 0}));

    ASSERT_EQ(link.Write("S6\r"), 3u);
    ASSERT_EQ(write(pty.master(), "2\r\x01", 3), 3);
    std::string reply;
    link.ReadUntil(reply, 10, 1000, '\r', '~');
    EXPECT_EQ(reply, "2\r");

    std::vector<std::string> lines;
    for (const LogEntry& entry : ring->All()) {
        lines.push_back(FormatLogEntry(entry).substr(14));
    }
    ASSERT_GE(lines.size(), 3u);
    EXPECT_TRUE(lines[0].starts_with("INFO serial port ")) << lines[0];
    EXPECT_EQ(lines[1], "TX S6<0D>");
    EXPECT_EQ(lines[2], "RX 2<0D>");
}

// The entries' text without their times.
std::vector<std::string> LoggedLines(const LogRing& ring) {
    std::vector<std::string> lines;
    for (const LogEntry& entry : ring.All()) {
        lines.push_back(FormatLogEntry(entry).substr(14));
    }
    return lines;
}

// What the far end of a socketpair adopted as the serial port received, read without waiting.
std::string Received(int fd) {
    std::string all;
    char buffer[256];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;) {
        all.append(buffer, static_cast<std::size_t>(n));
    }
    return all;
}

TEST(CommLogLink, APurgeLogsTheBytesItThrowsAwayAndNothingWhenTheLineWasQuiet) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    ConnectionState connection;
    SensorLink link(connection);
    link.serial().Adopt(fds[0]);
    connection.link_kind = LinkKind::Serial;
    auto ring = std::make_shared<LogRing>(LogLevel::Debug);
    ScopedLogSink scoped(ProgramLog(), ring);

    ASSERT_EQ(write(fds[1], "XD0001late\r", 11), 11);
    link.PurgeInput();
    link.PurgeInput();  // nothing left: no entry
    std::string rest;
    EXPECT_EQ(link.ReadAvailable(rest, 10, 0), 0u) << "the purge took everything";
    EXPECT_EQ(LoggedLines(*ring), (std::vector<std::string>{"DEBUG RX discarded 11 bytes: XD0001late<0D>"}));
    close(fds[1]);
}

// The modem's commands go straight to the serial port, before the link is a modem link and after
// a dial failed; they are logged like every other write, and so is what the abandon throws away.
TEST(CommLogLink, ModemInitialisationDialAndAbandonAreLogged) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    test::ScratchFolder folder;
    ScriptedPrompts prompts;
    AppContext app{prompts, RegistryStore(folder / "registry")};
    app.link.serial().Adopt(fds[0]);
    app.state.modem_init = "ATZ";
    auto ring = std::make_shared<LogRing>(LogLevel::Debug);
    ScopedLogSink scoped(ProgramLog(), ring);

    InitialiseModem(app);
    EXPECT_TRUE(DialModem(app, false, "5551234"));
    ASSERT_EQ(write(fds[1], "\r\nNO CARRIER\r\n", 14), 14);
    AbandonModemDial(app);

    EXPECT_EQ(Received(fds[1]), "ATZ\rATDT5551234\r\rATH0\r");
    const std::vector<std::string> expected = {"TX ATZ<0D>", "TX ATDT5551234<0D>", "TX <0D>", "TX ATH0<0D>",
                                               "DEBUG RX discarded 14 bytes: <0D><0A>NO CARRIER<0D><0A>"};
    std::vector<std::string> lines = LoggedLines(*ring);
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const std::string& line) { return line.starts_with("INFO"); }),
                lines.end());
    EXPECT_EQ(lines, expected);
    EXPECT_FALSE(app.link.serial().IsOpen());
    close(fds[1]);
}

}  // namespace
}  // namespace qvx
