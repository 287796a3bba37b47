// The terminal's typing rules, transcript and reader on a byte-exact line, and the raw data
// acquisition's fields, settings, times and file writing.

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

#include "../support/scripted_prompts.h"
#include "context/app_context.h"
#include "link/sensor_link.h"
#include "platform/named_sync.h"
#include "platform/registry_store.h"
#include "support/fd_peer.h"
#include "support/scoped_time_zone.h"
#include "support/scratch_folder.h"
#include "tools/raw_acquisition.h"
#include "tools/terminal_session.h"

namespace qvx {
namespace {

using namespace std::chrono_literals;

// A terminal on one end of a socket pair standing in for the serial line. With packets every write
// the terminal makes arrives as one packet at the other end, so the writes can be counted.
class TerminalLineTest : public ::testing::Test {
  protected:
    void SetUp() override { Connect(SOCK_STREAM); }
    void Connect(int type) {
        if (peer_ >= 0) {
            ::close(peer_);
        }
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, type | SOCK_CLOEXEC, 0, fds), 0);
        link_.serial().Adopt(fds[0]);
        state_.link_kind = LinkKind::Serial;
        peer_ = fds[1];
    }
    void TearDown() override {
        session_.Stop();
        ::close(peer_);
    }
    // One read per write: each packet of a packet pair, or whatever a stream pair holds.
    std::vector<std::string> Packets(std::size_t count) {
        std::vector<std::string> packets;
        for (std::size_t k = 0; k < count; ++k) {
            pollfd entry{peer_, POLLIN, 0};
            char buffer[64];
            const ssize_t n = ::poll(&entry, 1, 2000) > 0 ? ::read(peer_, buffer, sizeof buffer) : 0;
            packets.emplace_back(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
        }
        return packets;
    }
    bool WaitFor(const std::function<bool()>& condition) {
        for (int k = 0; k < 1000 && !condition(); ++k) {
            std::this_thread::sleep_for(10ms);
        }
        return condition();
    }

    ConnectionState state_;
    SensorLink link_{state_};
    NamedObjects objects_{"tools-test"};
    TerminalSession session_{link_, objects_};
    int peer_ = -1;
};

TEST_F(TerminalLineTest, BinaryLineGoesOutAsOneWritePerByteAndEchoesUpperCase) {
    Connect(SOCK_SEQPACKET);
    session_.Start();
    session_.SetBinary(true);
    session_.Enter("0a1B");
    const auto packets = Packets(2);
    EXPECT_EQ(packets[0], std::string("\x0A"));
    EXPECT_EQ(packets[1], std::string("\x1B"));
    EXPECT_TRUE(WaitFor([&] { return session_.Idle(); }));
    EXPECT_EQ(session_.transcript(), "0A1B\r\n");
    EXPECT_EQ(session_.writes(), 2u);
}

TEST_F(TerminalLineTest, InvalidBinaryLinesAreEchoedWithAnErrorAndNothingIsSent) {
    session_.Start();
    session_.SetBinary(true);
    session_.Enter("0z");
    session_.Enter("0a1");
    EXPECT_EQ(session_.transcript(),
              "0z\r\nERROR: Invalid binary input!\r\n0A1\r\n" + std::string(kOddBinaryText));
    EXPECT_EQ(test::ReadFor(peer_, 1, 300), "");
    EXPECT_EQ(session_.writes(), 0u);
}

TEST_F(TerminalLineTest, LineModeSendsTheLineWithCrAndShowsTheReplyWithCrLf) {
    session_.Start();
    session_.Enter("S5");
    EXPECT_EQ(Packets(1)[0], "S5\r");
    ASSERT_TRUE(test::WriteAll(peer_, "OK\n"));
    EXPECT_TRUE(WaitFor([&] { return session_.transcript() == "S5\r\nOK\r\n"; })) << session_.transcript();
}

TEST_F(TerminalLineTest, CharacterModeSendsEachTypedCharacterAndCrOnEnter) {
    ASSERT_TRUE(session_.SetTextMode(TerminalMode::Character, true));
    session_.Start();
    session_.Edit("", "S");
    session_.Edit("S", "S5");
    session_.Edit("S5", "S");  // a deletion sends nothing
    session_.Enter("");
    EXPECT_EQ(test::ReadFor(peer_, 3, 2000), "S5\r");
    EXPECT_EQ(test::ReadFor(peer_, 1, 300), "");
}

TEST_F(TerminalLineTest, ClosingDuringALongReplyWaitReturnsPromptly) {
    session_.Start();
    session_.Enter("S0");
    EXPECT_EQ(Packets(1)[0], "S0\r");
    const auto before = std::chrono::steady_clock::now();
    session_.Stop();  // the sensor never answers; the 3000 ms wait is cut short
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1000ms);
    EXPECT_TRUE(objects_.Event(sync_name::kKillTerminalThread).IsSet());
}

TEST(TerminalTyping, BinaryModeRemovesATypedNonHexCharacterButKeepsAPaste) {
    ConnectionState state;
    SensorLink link(state);
    NamedObjects objects("tools-typing");
    TerminalSession session(link, objects);
    session.SetBinary(true);
    EXPECT_TRUE(session.Edit("0", "0G").reverted);
    EXPECT_EQ(session.Edit("0", "0G").command_line, "0");
    EXPECT_FALSE(session.Edit("0", "0a").reverted);
    EXPECT_FALSE(session.Edit("", "0z1").reverted);  // pasted: judged on Enter
}

TEST(TerminalTyping, TextModesChangeOnlyWithAnEmptyCommandLine) {
    ConnectionState state;
    SensorLink link(state);
    NamedObjects objects("tools-modes");
    TerminalSession session(link, objects);
    EXPECT_EQ(session.mode(), TerminalMode::Line);
    EXPECT_FALSE(session.SetTextMode(TerminalMode::Character, false));
    EXPECT_EQ(session.mode(), TerminalMode::Line);
    session.SetBinary(true);
    EXPECT_TRUE(session.SetTextMode(TerminalMode::Character, true));
    EXPECT_EQ(session.mode(), TerminalMode::Binary);  // the text mode waits for binary mode to end
    session.SetBinary(false);
    EXPECT_EQ(session.mode(), TerminalMode::Character);
}

TEST(TerminalFormat, LineEndsBecomeCrLfAcrossReads) {
    LineEndNormalizer normalizer;
    EXPECT_EQ(FormatReceived("OK\n", TerminalMode::Line, normalizer), "OK\r\n");
    EXPECT_EQ(FormatReceived("A\rB\r\nC", TerminalMode::Line, normalizer), "A\r\nB\r\nC");
    EXPECT_EQ(FormatReceived("D\r", TerminalMode::Line, normalizer), "D\r\n");
    EXPECT_EQ(FormatReceived("\nE", TerminalMode::Line, normalizer), "E");  // the LF of the CR before
    EXPECT_EQ(FormatReceived("x", TerminalMode::Character, normalizer), "x");
    EXPECT_EQ(FormatReceived(std::string("a\0b", 3), TerminalMode::Line, normalizer), "a<00>b");
    EXPECT_EQ(FormatReceived("\x0A\x1B\xFF", TerminalMode::Binary, normalizer), "0A1BFF");
}

TEST(RawAcquisition, ExpectedBytesIntervalAndPath) {
    EXPECT_EQ(ExpectedRawBytes(1), 46632u);
    EXPECT_EQ(ExpectedRawBytes(900), 900u * 46748u - 116u);
    EXPECT_EQ(ParseRawInterval("0").seconds, 1);
    EXPECT_EQ(ParseRawInterval("").seconds, 1);
    EXPECT_EQ(ParseRawInterval("901").seconds, 900);
    EXPECT_TRUE(ParseRawInterval("901").corrected);
    EXPECT_EQ(ParseRawInterval("99999999999").seconds, 900);
    EXPECT_EQ(ParseRawInterval("60").seconds, 60);
    EXPECT_EQ(RawOutputPath("/tmp/RUN.DAT"), "/tmp/RUN.DAT");
    EXPECT_EQ(RawOutputPath("/tmp/run"), "/tmp/run.dat");
    EXPECT_FALSE(RawOutputPath(""));
    EXPECT_EQ(RawDumpRequest(2), "X8000200010000\r");
    EXPECT_EQ(RawDumpRequest(900), "X8038400010000\r");
}

TEST(RawAcquisition, SettingsAreWrittenWithTheirDefaultsWhenMissing) {
    test::ScratchFolder folder;
    RegistryStore registry(folder / "registry");
    const std::string home = ::getenv("HOME") ? ::getenv("HOME") : "";
    setenv("HOME", folder.path().c_str(), 1);
    const RawAcquisitionSettings first = LoadRawAcquisitionSettings(registry);
    setenv("HOME", home.c_str(), 1);
    EXPECT_EQ(first.path, folder / "raw_acq.dat");
    EXPECT_EQ(first.interval_text, "60");
    EXPECT_EQ(registry.GetString(kKeyLogs, kRawPathValue), folder / "raw_acq.dat");
    EXPECT_EQ(registry.GetString(kKeyLogs, kRawIntervalValue), "60");
    ASSERT_TRUE(StoreRawAcquisitionSettings(registry, {"/data/x.dat", "120"}));
    EXPECT_EQ(LoadRawAcquisitionSettings(registry).path, "/data/x.dat");
    EXPECT_EQ(LoadRawAcquisitionSettings(registry).interval_text, "120");
}

TEST(RawAcquisition, TimesOnATwelveHourClock) {
    test::ScopedTimeZone utc("UTC");
    using namespace std::chrono;
    const auto at = [](int hour, int minute, int second) {
        return system_clock::from_time_t(1704067200 + 4 * 86400 + hour * 3600 + minute * 60 +
                                         second);  // 5 Jan 2024
    };
    EXPECT_EQ(FormatAcquisitionTime(at(0, 5, 9)), "12:05:09  1/5/2024");
    EXPECT_EQ(FormatAcquisitionTime(at(13, 0, 0)), "01:00:00  1/5/2024");
    EXPECT_EQ(FormatAcquisitionTime(at(12, 30, 59)), "12:30:59  1/5/2024");
}

TEST(RawAcquisition, NothingRecordedSavesAnEmptyFileAndABadPathIsRefused) {
    ScriptedPrompts prompts;
    test::ScratchFolder folder;
    AppContext app(prompts, RegistryStore(folder / "registry"));
    RawRecorder recorder(app);
    std::string error;
    EXPECT_TRUE(recorder.Save(folder / "empty.dat", error));  // nothing recorded: an empty file
    EXPECT_FALSE(CreateRawOutputFile("/nonexistent-folder/raw.dat"));
}

}  // namespace
}  // namespace qvx
