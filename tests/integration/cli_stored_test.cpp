// qvx download, buffers, erase and study end to end against the simulated sensor, over a
// pseudo-terminal and over TCP; and a download killed half-way whose journal the next run saves.

#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <thread>

#include "../support/cli_runner.h"
#include "base/hex_text.h"
#include "live/interval_log.h"
#include "platform/text_file.h"
#include "stored/download_journal.h"

namespace qvx {
namespace {

using test::ChildResult;
using test::CliRunner;
using test::ReadFileText;

std::string TransportName(const ::testing::TestParamInfo<sim::Transport>& info) {
    return info.param == sim::Transport::Pty ? "Pty" : "Tcp";
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

// The position of the first frame starting with each prefix, in order; npos when one is missing.
std::vector<std::size_t> Positions(const std::vector<std::string>& log,
                                   const std::vector<std::string>& prefixes) {
    std::vector<std::size_t> positions;
    std::size_t from = 0;
    for (const std::string& prefix : prefixes) {
        std::size_t at = from;
        while (at < log.size() && !log[at].starts_with(prefix)) {
            ++at;
        }
        positions.push_back(at < log.size() ? at : std::string::npos);
        from = at + 1;
    }
    return positions;
}

std::vector<std::string> Records(int count, std::uint32_t newest) {
    std::vector<std::string> records;
    for (int i = 0; i < count; ++i) {
        records.push_back(hex::Format(newest - 3600u * static_cast<std::uint32_t>(i), 8) +
                          "10000002A00370080040000000002200012345FFCE0001020001000005");
    }
    return records;
}

class CliStoredTest : public ::testing::TestWithParam<sim::Transport> {
  protected:
    void Start(int history) {
        sim::SensorSettings sensor;
        sensor.interval_seconds = 3600;  // no record completes while a test runs
        sensor.history_records = history;
        sensor.firewall = false;
        runner_.StartSim(GetParam(), {sensor});
    }
    sim::SimulatedSensor& sensor() { return runner_.sim().sensor(0); }
    std::string File(const std::string& name) { return runner_.dir() / name; }

    CliRunner runner_;
};

TEST_P(CliStoredTest, BuffersCountsBothBuffersExactlyAndPutsTheFlagsBack) {
    Start(0);
    const std::uint32_t now = sensor().SensorSeconds();
    const std::pair<int, std::string> cases[] = {{0, "0/2975 = 0.0%"},
                                                 {1, "1/2975 = 0.1%"},
                                                 {1487, "1487/2975 = 50.0%"},
                                                 {2975, "2975/2975 = 100.0%"}};
    for (const auto& [count, text] : cases) {
        sensor().SetStoredIntervals(sim::IntervalBuffer::Flash, Records(count, now));
        sensor().SetStoredIntervals(sim::IntervalBuffer::Sram, Records(1, now));
        const ChildResult run = runner_.Run({"buffers"});
        ASSERT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(run.out, "Flash Memory Buffer: " + text + "\nSRAM Buffer: 1/246 = 0.4%\n");
        EXPECT_EQ(static_cast<unsigned char>(sensor().Record(sim::RecordKind::Config)[150]), 0x81u);
    }
    const ChildResult tsv = runner_.Run({"buffers", "--format", "tsv"});
    EXPECT_EQ(tsv.out, "buffer\tcount\tcapacity\tpercent\nflash\t2975\t2975\t100.0\nsram\t1\t246\t0.4\n");
}

TEST_P(CliStoredTest, DownloadFetchesEverythingThenAnIncrementalRunFindsNothingNew) {
    Start(30);
    const int stored = static_cast<int>(sensor().StoredIntervals(sim::IntervalBuffer::Flash));
    ChildResult run = runner_.Run({"download", File("d.log"), "--mode", "incremental"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(
        run.out.starts_with("Download completed! " + std::to_string(stored) + " data packets downloaded."))
        << run.out;
    const std::string text = ReadFileText(File("d.log"));
    EXPECT_EQ(Count(text, "\r\n  "), 4u * static_cast<std::size_t>(stored));  // 4 lanes per record
    EXPECT_FALSE(ReadDownloadJournal(File("d.log")).has_value());

    run = runner_.Run({"download", File("d.log")});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(run.out.starts_with("No new data packets found since last incremental download!"))
        << run.out << run.err;
    EXPECT_EQ(Count(ReadFileText(File("d.log")), "SERIAL NUMBER"), 2u);
}

TEST_P(CliStoredTest, EraseWithDownloadFirstDownloadsThenFlushesSramThenFlash) {
    Start(12);
    const ChildResult run = runner_.Run({"erase", "--download-first", File("keep.log")});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find("Download completed!"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Stored data erased."), std::string::npos);
    const auto order = Positions(runner_.sim().RequestLog(), {"XD0001", "XE", "XF"});
    EXPECT_TRUE(order[0] < order[1] && order[1] < order[2] && order[2] != std::string::npos);
    EXPECT_EQ(sensor().StoredIntervals(sim::IntervalBuffer::Flash), 0u);
    EXPECT_GT(Count(ReadFileText(File("keep.log")), "\r\n  "), 12u * 4u - 1u);

    const ChildResult empty = runner_.Run({"erase", "--yes"});
    EXPECT_EQ(empty.exit_code, 0) << empty.err;
    EXPECT_EQ(empty.out, "No data found to erase!\n");
}

TEST_P(CliStoredTest, StudyRunsItsFourStepsInOrder) {
    Start(5);
    const ChildResult run = runner_.Run({"study", "--interval", "20"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find("Flash Storage Time: 0 day(s) and 16.5 hour(s)\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("(Update Every: 3600 seconds)"), std::string::npos);
    EXPECT_NE(run.out.find("Step 2 completed! Study has started..."), std::string::npos);
    const auto order = Positions(runner_.sim().RequestLog(), {"S1", "S12", "SE", "S4", "XE", "XF"});
    for (std::size_t i = 0; i < order.size(); ++i) {
        ASSERT_NE(order[i], std::string::npos) << i;
        if (i > 0) {
            EXPECT_LT(order[i - 1], order[i]);
        }
    }
    const std::string config = sensor().Record(sim::RecordKind::Config);
    EXPECT_EQ(config.substr(142, 8), "00000014");
    EXPECT_EQ(static_cast<unsigned char>(config[150]) & 0x81u, 0x81u);
    EXPECT_EQ(sensor().Record(sim::RecordKind::Collection).substr(4 * (212 - 163), 4), "0E10");
}

INSTANTIATE_TEST_SUITE_P(Links, CliStoredTest, ::testing::Values(sim::Transport::Pty, sim::Transport::Tcp),
                         TransportName);

// Killed with SIGKILL after 500 of 1000 records: nothing reached the file but the banner, the
// journal holds what came, and the next run saves it ahead of its own banner.
TEST(CliDownloadJournalTest, DownloadKilledHalfWayIsRecoveredByTheNextRun) {
    CliRunner runner;
    sim::SensorSettings sensor;
    sensor.interval_seconds = 3600;
    sensor.history_records = 0;
    sensor.firewall = false;
    sim::FaultSettings faults;
    faults.slow_ms = 2;
    runner.StartSim(sim::Transport::Tcp, {sensor}, faults);
    sim::SimulatedSensor& simulated = runner.sim().sensor(0);
    simulated.SetStoredIntervals(sim::IntervalBuffer::Flash, Records(1000, simulated.SensorSeconds()));
    const std::string path = runner.dir() / "d.log";

    auto child = runner.Spawn({"download", path, "--mode", "normal"});
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int journaled = 0;
    while (journaled < 500 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const auto journal = ReadDownloadJournal(path);
        journaled = journal ? journal->records : 0;
    }
    child->Signal(SIGKILL);
    child->Finish(5000);
    const auto journal = ReadDownloadJournal(path);
    ASSERT_TRUE(journal.has_value());
    ASSERT_GE(journal->records, 500);
    ASSERT_LT(journal->records, 1000);
    EXPECT_EQ(Count(ReadFileText(path), "\r\n  "), 0u);  // the banner alone

    const ChildResult next = runner.Run({"download", path, "--mode", "normal"});
    ASSERT_EQ(next.exit_code, 0) << next.err;
    EXPECT_NE(next.err.find("Unsaved download found..."), std::string::npos) << next.err;
    const std::string text = ReadFileText(path);
    const std::string recovered = ToLogBytes(journal->lines);
    const std::size_t at = text.find(recovered);
    ASSERT_NE(at, std::string::npos);
    EXPECT_LT(at, text.find("SERIAL NUMBER", text.find("SERIAL NUMBER") + 1));  // ahead of the new banner
    EXPECT_EQ(Count(text, "\r\n  "), 2u * (static_cast<std::size_t>(journal->records) + 1000u));
    EXPECT_FALSE(ReadDownloadJournal(path).has_value());
}

}  // namespace
}  // namespace qvx
