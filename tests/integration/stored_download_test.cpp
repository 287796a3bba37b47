// The download of stored records against the simulated sensor: the download file byte for byte
// against goldens written independently (scripts/make-download-goldens), the incremental mark,
// the journal beside the download file, and downloads through dropped, corrupted and cut replies
// that must give the same file as a clean run.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "../support/stored_fixture.h"
#include "base/comm_log.h"
#include "protocol/sensor_operations.h"
#include "stored/buffer_status.h"
#include "stored/download.h"
#include "stored/download_session.h"

namespace qvx {
namespace {

using test::kStoredT;
using test::ReadFileText;
using test::StoredRecord;

std::string Golden(const std::string& name) {
    return ReadFileText(std::string(QVX_TEST_DATA_DIR) + "/stored/" + name);
}

class StoredDownloadTest : public test::StoredSimTest {
  protected:
    // A download with a new job.
    int Download(DownloadMode mode, const std::string& file = "download.log") {
        NewJob();
        return DownloadWithCurrentJob(mode, file);
    }
    int DownloadWithCurrentJob(DownloadMode mode, const std::string& file = "download.log") {
        job().mode = mode;
        StartDownloadHooks hooks;
        hooks.sleep = [](int) {};
        return StartDownload(context_, job(), folder_ / file, hooks);
    }
    // Earlier jobs stay alive until the test ends: a thread that watches one never sees it freed.
    void NewJob() { jobs_.push_back(std::make_unique<DownloadJob>()); }
    std::string File(const std::string& file = "download.log") const {
        return test::WithGoldenDate(ReadFileText(folder_ / file));
    }
    std::string Serial() { return context_.configuration.GetConfigField(config_field::kSerialNumber); }

    DownloadJob& job() { return *jobs_.back(); }

  private:
    std::vector<std::unique_ptr<DownloadJob>> jobs_ = [] {
        std::vector<std::unique_ptr<DownloadJob>> first;
        first.push_back(std::make_unique<DownloadJob>());
        return first;
    }();
};

TEST_F(StoredDownloadTest, IncrementalMarkAlreadyReachedWritesOnlyTheBanner) {
    StartSim();
    UseGoldenIdentity();
    StoreFlash({StoredRecord(kStoredT - 10), StoredRecord(kStoredT - 30)});
    context_.registry.SetString(kKeySensors, "QX00000000012345", hex::Format(kStoredT - 10, 8));

    EXPECT_EQ(Download(DownloadMode::Incremental), 0);
    EXPECT_EQ(job().status.load(), download_status::kFailed);
    ASSERT_FALSE(prompts_.messages.empty());
    EXPECT_EQ(prompts_.messages.back().text, kNoNewPacketsText);
    EXPECT_EQ(File(), Golden("incremental_mark_reached.golden"));
    EXPECT_EQ(*context_.registry.GetString(kKeySensors, "QX00000000012345"), hex::Format(kStoredT - 10, 8));
}

TEST_F(StoredDownloadTest, RecordOutOfSequenceIsFetchedTwiceFlaggedAndTeachesTheInterval) {
    StartSim();
    UseGoldenIdentity();
    StoreFlash({StoredRecord(kStoredT - 10), StoredRecord(kStoredT - 30), StoredRecord(kStoredT - 50),
                StoredRecord(kStoredT - 110)});

    EXPECT_EQ(Download(DownloadMode::Normal), 1);
    EXPECT_EQ(job().status.load(), download_status::kCompletedFlagged);
    EXPECT_EQ(job().packets_downloaded.load(), 4);
    EXPECT_EQ(job().interval, 60u);
    // The size estimate probes indexes 3 and 4 once each; the download fetches 4 twice.
    EXPECT_EQ(RequestsOf("XD0004"), RequestsOf("XD0003") + 1);
    EXPECT_EQ(File(), Golden("sequence_gap.golden"));
    EXPECT_EQ(DownloadOutcomeText(job().status.load(), 4),
              "Check timestamps in download! \n4 data packets downloaded.");
}

TEST_F(StoredDownloadTest, RecordOfEightPlusTwentyEightCharactersIsAnInvalidLength) {
    StartSim();
    UseGoldenIdentity();
    StoreFlash({StoredRecord(kStoredT - 10), hex::Format(kStoredT - 30, 8) + std::string(28, '0'),
                StoredRecord(kStoredT - 50)});
    prompts_.ask_answers = {true};  // Skip

    EXPECT_EQ(Download(DownloadMode::Normal), 1);
    ASSERT_EQ(prompts_.questions.size(), 1u);
    EXPECT_EQ(prompts_.questions[0], std::string(kInvalidLengthText) + "|" + kSkipRetryText);
    EXPECT_EQ(File(), Golden("short_record_skipped.golden"));
}

// Holds each request sent after `records` records until the job is no longer running (for 30 s
// at the most), as a slow sensor would.
class HoldAfterRecords : public LogSink {
  public:
    HoldAfterRecords(const DownloadJob& job, int records)
        : LogSink(LogLevel::Debug), job_(job), records_(records) {}
    void Write(const LogEntry& entry) override {
        if (entry.direction != LogDirection::Sent || job_.packets_downloaded.load() < records_) {
            return;
        }
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (job_.status.load() == download_status::kRunning &&
               std::chrono::steady_clock::now() < give_up) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

  private:
    const DownloadJob& job_;
    const int records_;
};

TEST_F(StoredDownloadTest, StopAfterTenRecordsAnsweredNoLeavesTheBannerAndNoJournal) {
    StartSim();
    UseGoldenIdentity();
    std::vector<std::string> records;
    for (std::uint32_t i = 0; i < 40; ++i) {
        records.push_back(StoredRecord(kStoredT - 10 - 20 * i));
    }
    StoreFlash(records);
    // The job is made before the stopper starts: the stopper watches the job the download runs.
    NewJob();
    DownloadJob& running = job();
    // However late the stopper runs, the download sends nothing after its tenth record until
    // the stop is asked for.
    ScopedLogSink hold(ProgramLog(), std::make_shared<HoldAfterRecords>(running, 10));
    std::atomic<bool> done{false};
    std::thread stopper([&] {
        while (!done.load() && running.packets_downloaded.load() < 10) {
            std::this_thread::yield();
        }
        running.RequestStop();
    });
    prompts_.ask_answers = {false};  // "Save downloaded data to file anyway?" -> No
    DownloadWithCurrentJob(DownloadMode::Normal);
    done.store(true);
    stopper.join();

    EXPECT_EQ(job().status.load(), download_status::kStoppedNotSaved);
    EXPECT_GE(job().packets_downloaded.load(), 10);
    EXPECT_EQ(prompts_.questions.back(), std::string(kSaveAnywayCaption) + "|" + kSaveAnywayText);
    EXPECT_EQ(File(), Golden("stopped_not_saved.golden"));
    EXPECT_FALSE(ReadDownloadJournal(folder_ / "download.log").has_value());
}

TEST_F(StoredDownloadTest, IncrementalDownloadMovesTheMarkOnlyWhenItEndedNormally) {
    StartSim();
    UseGoldenIdentity();
    StoreFlash({StoredRecord(kStoredT - 10), StoredRecord(kStoredT - 30)});
    ASSERT_EQ(Download(DownloadMode::Incremental), 1);
    EXPECT_EQ(*context_.registry.GetString(kKeySensors, "QX00000000012345"), hex::Format(kStoredT - 10, 8));

    // Two newer records: the next incremental download fetches just those.
    StoreFlash({StoredRecord(kStoredT + 30), StoredRecord(kStoredT + 10), StoredRecord(kStoredT - 10),
                StoredRecord(kStoredT - 30)},
               kStoredT + 40);
    ASSERT_EQ(Download(DownloadMode::Incremental), 1);
    EXPECT_EQ(job().packets_downloaded.load(), 2);
    EXPECT_EQ(*context_.registry.GetString(kKeySensors, "QX00000000012345"), hex::Format(kStoredT + 30, 8));
}

TEST_F(StoredDownloadTest, AFileThatCannotBeWrittenKeepsTheJournalAndTheMark) {
    StartSim();
    UseGoldenIdentity();
    StoreFlash({StoredRecord(kStoredT - 10), StoredRecord(kStoredT - 30)});
    const std::string path = folder_ / "download.log";
    DownloadJob job;
    job.mode = DownloadMode::Incremental;
    DownloadOutput output(path);
    ASSERT_TRUE(output.journal().Open(path));
    // The file turns into a folder after the banner: the final write fails.
    std::filesystem::create_directory(path);
    EXPECT_EQ(DownloadRecords(context_, job, output, {}), 0);
    EXPECT_EQ(job.status.load(), download_status::kFailed);
    EXPECT_NE(job.failure_text.find("could not be written"), std::string::npos);
    output.journal().Keep();
    const auto journal = ReadDownloadJournal(path);
    ASSERT_TRUE(journal.has_value());
    EXPECT_EQ(journal->records, 2);
}

TEST_F(StoredDownloadTest, JournalLeftByAnEarlierDownloadIsOfferedAndSavedFirst) {
    StartSim();
    UseGoldenIdentity();
    const std::string path = folder_ / "download.log";
    {
        DownloadJournal journal;
        ASSERT_TRUE(journal.Open(path));
        journal.Append("  line of record A\n", 100);
        journal.Append("  line of record B\n", 80);
        journal.Keep();
    }
    // A record cut off by the crash: no "#record" line after it.
    std::ofstream(path + ".journal", std::ios::app) << "  half a record\n";
    StoreFlash({StoredRecord(kStoredT - 10)});
    prompts_.ask_answers = {true};
    ASSERT_EQ(Download(DownloadMode::Normal), 1);
    ASSERT_FALSE(prompts_.questions.empty());
    EXPECT_NE(prompts_.questions[0].find("Its journal holds 2 records"), std::string::npos);
    const std::string text = ReadFileText(path);
    EXPECT_EQ(text.find("  line of record A\r\n  line of record B\r\n"), 0u);
    EXPECT_EQ(text.find("half a record"), std::string::npos);
    EXPECT_FALSE(ReadDownloadJournal(path).has_value());
}

// Downloads of the same 150 records; the interval is an hour so no record is completed while the
// faulty runs take their time.
class StoredFaultSoakTest : public StoredDownloadTest {
  protected:
    std::string Run(sim::ServerSettings server, DownloadMode mode, const std::string& file) {
        StartSim(server, 150, 3600);
        prompts_.default_ask_answer = false;  // Retry
        prompts_.default_communication_answer = TransactionResult::Retry;
        SensorOperations operations(context_.protocol, context_.objects.SyncData());
        NewJob();
        job().mode = mode;
        RunDownloadSession(context_, operations, job(), folder_ / file, [&](DownloadJob& job) {
            StartDownloadHooks hooks;
            hooks.sleep = [](int) {};
            StartDownload(context_, job, folder_ / file, hooks);
        });
        EXPECT_TRUE(LeavesNothingUnfetched(SummaryOf(job())))
            << job().status.load() << " " << job().failure_text;
        flags_after_ = sensor().Record(sim::RecordKind::Config)[150];
        return File(file);
    }
    char flags_after_ = 0;
};

sim::ServerSettings Faulty() {
    sim::ServerSettings server;
    server.faults.drop_probability = 0.02;
    server.faults.fault_seed = 7;
    server.faults.corrupt_every = 20;
    return server;
}

sim::ServerSettings Cut() {
    sim::ServerSettings server;
    server.faults.close_after = 90;
    return server;
}

TEST_F(StoredFaultSoakTest, NormalDownloadThroughDroppedAndCorruptedRepliesMatchesACleanRun) {
    const std::string clean = Run({}, DownloadMode::Normal, "clean.log");
    const int records = job().packets_downloaded.load();
    TearDown();
    EXPECT_EQ(Run(Faulty(), DownloadMode::Normal, "faulty.log"), clean);
    EXPECT_EQ(job().packets_downloaded.load(), records);
    EXPECT_GT(records, 140);
}

TEST_F(StoredFaultSoakTest, IncrementalDownloadThroughACutTcpLinkMatchesACleanRun) {
    const std::string clean = Run({}, DownloadMode::Incremental, "clean.log");
    TearDown();
    context_.registry.DeleteValue(kKeySensors, Serial());
    EXPECT_EQ(Run(Cut(), DownloadMode::Incremental, "cut.log"), clean);
    EXPECT_GE(server_->connections(), 2u);
}

TEST_F(StoredFaultSoakTest, IncrementalDownloadThroughDroppedAndCorruptedRepliesMatchesACleanRun) {
    const std::string clean = Run({}, DownloadMode::Incremental, "clean.log");
    TearDown();
    context_.registry.DeleteValue(kKeySensors, Serial());
    EXPECT_EQ(Run(Faulty(), DownloadMode::Incremental, "faulty.log"), clean);
}

TEST_F(StoredFaultSoakTest, NormalDownloadThroughACutTcpLinkMatchesACleanRun) {
    const std::string clean = Run({}, DownloadMode::Normal, "clean.log");
    TearDown();
    EXPECT_EQ(Run(Cut(), DownloadMode::Normal, "cut.log"), clean);
    EXPECT_GE(server_->connections(), 2u);
}

TEST_F(StoredFaultSoakTest, ErrorRecoveryDownloadRestoresTheFlagsEveryTime) {
    Run(Faulty(), DownloadMode::ErrorRecovery, "recovery.log");
    EXPECT_EQ(static_cast<unsigned char>(flags_after_), 0x81u);
    EXPECT_GT(job().packets_downloaded.load(), 140);
}

}  // namespace
}  // namespace qvx
