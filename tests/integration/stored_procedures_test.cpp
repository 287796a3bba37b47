// Buffer status, erase and study set-up against the simulated sensor: the flags character put
// back, the refusals, the erase's question and its download first, and each study step's
// failure text.

#include <gtest/gtest.h>

#include <map>

#include "../support/stored_fixture.h"
#include "protocol/sensor_operations.h"
#include "stored/buffer_status.h"
#include "stored/download.h"
#include "stored/download_session.h"
#include "stored/erase.h"
#include "stored/study_setup.h"

namespace qvx {
namespace {

using test::kStoredT;
using test::StoredRecord;

class StoredProceduresTest : public test::StoredSimTest {
  protected:
    void SetFlags(unsigned flags) {
        std::string config = sensor().Record(sim::RecordKind::Config);
        config[150] = static_cast<char>(flags);
        sensor().SetRecord(sim::RecordKind::Config, config);
    }
    unsigned Flags() { return static_cast<unsigned char>(sensor().Record(sim::RecordKind::Config)[150]); }
    std::size_t RequestsStartingWith(const std::string& prefix) const {
        std::size_t count = 0;
        for (const std::string& line : server_->RequestLog()) {
            count += line.starts_with(prefix) ? 1 : 0;
        }
        return count;
    }
};

TEST_F(StoredProceduresTest, BufferStatusCountsBothBuffersAndPutsTheFlagsBack) {
    StartSim();
    std::vector<std::string> flash;
    for (std::uint32_t i = 0; i < 1487; ++i) {
        flash.push_back(StoredRecord(kStoredT - 20 * i));
    }
    StoreFlash(flash);
    sensor().SetStoredIntervals(sim::IntervalBuffer::Sram, {StoredRecord(kStoredT)});
    const BufferStatus status = UpdateBufferStatus(context_);
    ASSERT_TRUE(status.ok);
    EXPECT_EQ(DescribeBufferFill(status.flash_count, kFlashCapacity).text, "1487/2975 = 50.0%");
    EXPECT_EQ(DescribeBufferFill(status.flash_count, kFlashCapacity).bar, 50);
    EXPECT_EQ(DescribeBufferFill(status.sram_count, kSramCapacity).text, "1/246 = 0.4%");
    EXPECT_EQ(DescribeBufferFill(status.sram_count, kSramCapacity).bar, 1);
    EXPECT_EQ(Flags(), 0x81u);
}

TEST_F(StoredProceduresTest, FlagsWithoutBitSevenFailTheStatusAtOnce) {
    StartSim();
    SetFlags(0x01);
    EXPECT_FALSE(UpdateBufferStatus(context_).ok);
    EXPECT_EQ(RequestsStartingWith("XD"), 0u);
    EXPECT_EQ(RequestsStartingWith("S1"), 0u);
    EXPECT_EQ(Flags(), 0x01u);
}

TEST_F(StoredProceduresTest, RefusedFlagsWriteAsksToRestoreUntilCancelled) {
    StartSim();
    sensor().SetFirewall(true);                  // protected: every write is refused
    prompts_.ask_answers = {true, true, false};  // Retry, Retry, Cancel
    EXPECT_FALSE(UpdateBufferStatus(context_).ok);
    EXPECT_EQ(prompts_.questions.size(), 3u);
    EXPECT_EQ(prompts_.questions[0], std::string("Warning...|") + kRestoreFlagsText);
    EXPECT_EQ(RequestsStartingWith("XD"), 0u);
}

class EraseTest : public StoredProceduresTest {
  protected:
    EraseOutcome Erase(EraseChoice choice, std::function<DownloadSummary()> download = {}) {
        SensorOperations operations(context_.protocol, context_.objects.SyncData());
        EraseHooks hooks;
        hooks.choose = [this, choice](const std::string& text, bool new_data) {
            asked_ = text;
            new_data_ = new_data;
            return choice;
        };
        hooks.download_first = std::move(download);
        return EraseDataBuffers(context_, operations, hooks);
    }
    DownloadSummary DownloadInto(const std::string& path) {
        SensorOperations operations(context_.protocol, context_.objects.SyncData());
        DownloadJob job;
        job.mode = DownloadMode::Incremental;
        RunDownloadSession(context_, operations, job, path, [&](DownloadJob& running) {
            StartDownload(context_, running, path, StartDownloadHooks{{}, [](int) {}});
        });
        return SummaryOf(job);
    }

    std::string asked_;
    bool new_data_ = false;
};

TEST_F(EraseTest, EmptySensorHasNothingToErase) {
    StartSim();
    StoreFlash({});
    EXPECT_EQ(Erase(EraseChoice::Erase), EraseOutcome::NothingToErase);
    EXPECT_EQ(prompts_.messages.back().text, kNothingToEraseText);
    EXPECT_EQ(prompts_.messages.back().caption, "Information");
    EXPECT_EQ(RequestsStartingWith("XE"), 0u);
}

TEST_F(EraseTest, DataNewerThanTheMarkIsNamedAndDownloadAndEraseKeepsIt) {
    StartSim();
    StoreFlash({StoredRecord(kStoredT - 10), StoredRecord(kStoredT - 30)});
    const std::string path = folder_ / "kept.log";
    EXPECT_EQ(Erase(EraseChoice::DownloadAndErase, [&] { return DownloadInto(path); }), EraseOutcome::Erased);
    EXPECT_TRUE(new_data_);
    EXPECT_EQ(asked_, kNewDataEraseText);
    EXPECT_NE(test::ReadFileText(path).find(" 352823390\r\n"), std::string::npos);
    EXPECT_EQ(sensor().StoredIntervals(sim::IntervalBuffer::Flash), 0u);
    const auto log = server_->RequestLog();
    const auto xe = std::find(log.begin(), log.end(), "XE");
    ASSERT_NE(xe, log.end());
    EXPECT_EQ(*(xe + 1), "XF");
}

TEST_F(EraseTest, MarkEqualToTheNewestRecordAsksThePlainWarningAndCancelKeepsAll) {
    StartSim();
    StoreFlash({StoredRecord(kStoredT - 10)});
    context_.registry.SetString(kKeySensors, context_.configuration.GetConfigField(0),
                                hex::Format(kStoredT - 10, 8));
    EXPECT_EQ(Erase(EraseChoice::Cancel), EraseOutcome::Cancelled);
    EXPECT_FALSE(new_data_);
    EXPECT_EQ(asked_, kEraseWarningText);
    EXPECT_EQ(sensor().StoredIntervals(sim::IntervalBuffer::Flash), 1u);
}

TEST_F(EraseTest, DownloadThatCouldNotSaveLeavesTheBuffersAlone) {
    StartSim();
    StoreFlash({StoredRecord(kStoredT - 10)});
    const std::string folder_as_file = folder_.path();  // a folder: the banner cannot be written
    EXPECT_EQ(Erase(EraseChoice::DownloadAndErase, [&] { return DownloadInto(folder_as_file); }),
              EraseOutcome::DownloadFailed);
    EXPECT_EQ(sensor().StoredIntervals(sim::IntervalBuffer::Flash), 1u);
    EXPECT_EQ(RequestsStartingWith("XE"), 0u);
}

TEST_F(EraseTest, RefusedFlushReportsThatTheDataMayRemain) {
    StartSim();
    StoreFlash({StoredRecord(kStoredT - 10)});
    sensor().SetFirewall(true);
    EXPECT_EQ(Erase(EraseChoice::Erase), EraseOutcome::EraseFailed);
    EXPECT_EQ(prompts_.messages.back().text, kEraseFailedText);
    EXPECT_EQ(prompts_.messages.back().caption, "Error...?");
}

class StudyTest : public StoredProceduresTest {
  protected:
    static constexpr int kStudyReplyWaitMs = 400;
    StudyOutcome Start(std::vector<std::string>* shown = nullptr) {
        // Each step's exchanges are counted in a first run and muted from there in the next: a reply
        // late on a busy machine must not turn into a retry that shifts the count.
        context_.state.base_response_wait_ms = kStudyReplyWaitMs;
        SensorOperations operations(context_.protocol, context_.objects.SyncData());
        StudySetup setup;
        EXPECT_TRUE(ReadStudySetup(context_, setup));
        setup.interval = 20;
        setup.flash_update_seconds = FlashUpdateSeconds(20);
        StudyProgress progress;
        progress.status = [this, shown](const std::string& text) {
            exchanges_at_[text] = server_->exchanges();
            if (shown != nullptr) {
                shown->push_back(text);
            }
        };
        return StartStudy(context_, operations, setup, progress);
    }
    std::map<std::string, std::size_t> exchanges_at_;
};

TEST_F(StudyTest, EachStepThatFailsNamesItselfAndStopsTheStudy) {
    StartSim();
    prompts_.default_ask_answer = true;  // Continue
    std::vector<std::string> shown;
    ASSERT_EQ(Start(&shown), StudyOutcome::Started);
    ASSERT_EQ(shown.size(), 5u);
    EXPECT_TRUE(shown[4].starts_with("Step 2 completed! Study has started..."));
    const std::map<std::string, std::size_t> starts = exchanges_at_;
    TearDown();

    for (const char* step : {"2a", "2b", "2c", "2d"}) {
        sim::ServerSettings muted;
        muted.faults.mute_after = static_cast<int>(starts.at(std::string("Step ") + step + " in process..."));
        StartSim(muted);
        prompts_.default_ask_answer = true;
        std::vector<std::string> texts;
        EXPECT_EQ(Start(&texts), StudyOutcome::NotStarted) << step;
        ASSERT_FALSE(texts.empty()) << step;
        EXPECT_EQ(texts.back(), std::string("Step ") + step + " failed... Study NOT started!");
        TearDown();
    }
}

TEST_F(StudyTest, UnknownPortAndShortIntervalAreRefusedBeforeAnythingIsSent) {
    StartSim();
    context_.configuration.SetConnectionPortIndex(port_index::kUnknown);
    SensorOperations operations(context_.protocol, context_.objects.SyncData());
    StudySetup setup;
    setup.interval = 20;
    EXPECT_EQ(StartStudy(context_, operations, setup, {}), StudyOutcome::NotStarted);
    EXPECT_EQ(prompts_.messages.back().text, kPortUnknownText);
    context_.configuration.SetConnectionPortIndex(port_index::kRs232);
    setup.interval = 4;
    EXPECT_EQ(StartStudy(context_, operations, setup, {}), StudyOutcome::NotStarted);
    EXPECT_EQ(prompts_.messages.back().text, kMinimumIntervalText);
    EXPECT_EQ(prompts_.messages.back().caption, "Failure...");
    EXPECT_EQ(RequestsStartingWith("S1"), 0u);
}

}  // namespace
}  // namespace qvx
