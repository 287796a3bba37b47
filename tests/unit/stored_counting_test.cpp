// The record count of a buffer, exact for every fill level, against a sensor that answers by
// index; the fill texts and bars; the study set-up arithmetic; the journal's damaged tails.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "../support/scratch_folder.h"
#include "stored/buffer_status.h"
#include "stored/download_journal.h"
#include "stored/study_setup.h"

namespace qvx {
namespace {

RecordProbe BufferHolding(int stored, int* probes = nullptr) {
    return [stored, probes](int index) {
        if (probes != nullptr) {
            ++*probes;
        }
        if (stored == 0) {
            return ProbeAnswer::BufferEmpty;
        }
        return index >= 1 && index <= stored ? ProbeAnswer::Exists : ProbeAnswer::Missing;
    };
}

// A sensor that never says "Empty": only "Invalid" past the last record.
RecordProbe BufferWithoutEmptyWord(int stored) {
    return [stored](int index) { return index <= stored ? ProbeAnswer::Exists : ProbeAnswer::Missing; };
}

TEST(CountStoredRecordsTest, EveryFillLevelOfBothBuffersCountsExactlyInFewProbes) {
    for (int capacity : {kFlashCapacity, kSramCapacity}) {
        const int most_probes = static_cast<int>(std::ceil(std::log2(capacity + 1)));
        for (int stored = 0; stored <= capacity; ++stored) {
            for (const RecordProbe& probe : {BufferHolding(stored), BufferWithoutEmptyWord(stored)}) {
                const CountResult result = CountStoredRecords(probe, capacity);
                ASSERT_TRUE(result.ok) << capacity << " " << stored;
                ASSERT_EQ(result.count, stored) << capacity;
                ASSERT_LE(result.probes, most_probes) << capacity << " " << stored;
            }
        }
    }
}

TEST(CountStoredRecordsTest, UnclearRepliesAreAskedAgainUntilTheLimitAndAFailedExchangeFails) {
    int calls = 0;
    const RecordProbe flaky = [&calls](int index) {
        return ++calls % 6 == 0 ? ProbeAnswer::Unclear
                                : (index <= 500 ? ProbeAnswer::Exists : ProbeAnswer::Missing);
    };
    const CountResult counted = CountStoredRecords(flaky, kFlashCapacity);
    EXPECT_TRUE(counted.ok);
    EXPECT_EQ(counted.count, 500);

    EXPECT_FALSE(CountStoredRecords([](int) { return ProbeAnswer::Unclear; }, kFlashCapacity).ok);
    // Every other reply unclear: 15 probes pass before the count is found.
    int every_other = 0;
    EXPECT_FALSE(CountStoredRecords(
                     [&every_other](int index) {
                         return ++every_other % 2 == 0
                                    ? ProbeAnswer::Unclear
                                    : (index <= 500 ? ProbeAnswer::Exists : ProbeAnswer::Missing);
                     },
                     kFlashCapacity)
                     .ok);
    EXPECT_FALSE(CountStoredRecords([](int) { return ProbeAnswer::Failed; }, kFlashCapacity).ok);
    int probes = 0;
    const CountResult empty = CountStoredRecords(BufferHolding(0, &probes), kFlashCapacity);
    EXPECT_TRUE(empty.ok);
    EXPECT_EQ(empty.count, 0);
    EXPECT_EQ(probes, 1);
}

TEST(BufferFillTest, TextsAndBarsFollowThePercentRules) {
    EXPECT_EQ(DescribeBufferFill(1487, kFlashCapacity).text, "1487/2975 = 50.0%");
    EXPECT_EQ(DescribeBufferFill(1487, kFlashCapacity).bar, 50);
    EXPECT_EQ(DescribeBufferFill(1, kSramCapacity).text, "1/246 = 0.4%");
    EXPECT_EQ(DescribeBufferFill(1, kSramCapacity).bar, 1);
    EXPECT_EQ(DescribeBufferFill(0, kFlashCapacity).text, "0/2975 = 0.0%");
    EXPECT_EQ(DescribeBufferFill(0, kFlashCapacity).bar, 0);
    EXPECT_EQ(DescribeBufferFill(1, kFlashCapacity).text, "1/2975 = 0.1%");  // 0.034 shows as 0.1
    EXPECT_EQ(DescribeBufferFill(2975, kFlashCapacity).text, "2975/2975 = 100.0%");
    EXPECT_EQ(DescribeBufferFill(2975, kFlashCapacity).bar, 100);
    EXPECT_EQ(DescribeBufferFill(2974, kFlashCapacity).bar, 100);  // 99.97 + 1
}

TEST(StudyArithmeticTest, FlashUpdateAndStorageTimeOfTheDocumentedIntervals) {
    const auto twenty = ComputeStudyArithmetic("20", false);
    ASSERT_TRUE(twenty);
    EXPECT_EQ(twenty->flash_update_seconds, 3600u);  // 4900 -> 4800 -> 3600
    EXPECT_EQ(twenty->storage_seconds, 59500u);
    EXPECT_EQ(twenty->storage_text, "0 day(s) and 16.5 hour(s)");

    EXPECT_EQ(FlashUpdateSeconds(5), 1200u);  // k = 4: 5 x 242 = 1210 -> 1200
    EXPECT_EQ(FlashUpdateSeconds(1), 300u);   // k = 20: 226 -> 300 at least
    EXPECT_EQ(FlashUpdateSeconds(999999999), 3600u);

    EXPECT_EQ(ComputeStudyArithmetic("3600", false)->storage_text, "123 day(s) and 23.0 hour(s)");
    EXPECT_EQ(ComputeStudyArithmetic("86400", false)->storage_text, "2975 days");
    EXPECT_EQ(ComputeStudyArithmetic("20", true)->storage_seconds, 20u * 2480u);
}

TEST(StudyArithmeticTest, TextsThatAreNotEvaluatedAndTheUpperLimit) {
    EXPECT_FALSE(ComputeStudyArithmetic("", false));
    EXPECT_FALSE(ComputeStudyArithmetic("060", false));
    EXPECT_FALSE(ComputeStudyArithmetic("12a", false));
    EXPECT_FALSE(ComputeStudyArithmetic("1234567890", false));
    const auto largest = ComputeStudyArithmetic("999999999", true);
    ASSERT_TRUE(largest);
    EXPECT_FALSE(largest->clamped);
    EXPECT_EQ(largest->storage_seconds, 999999999ull * 2480ull);  // no 32-bit overflow
}

TEST(DownloadJournalTest, CompleteRecordsAreReadBackAndDamagedTailsAreLeftOut) {
    test::ScratchFolder folder;
    const std::string path = folder / "d.log";
    EXPECT_FALSE(ReadDownloadJournal(path).has_value());
    {
        DownloadJournal journal;
        ASSERT_TRUE(journal.Open(path));
        for (std::uint32_t stamp = 30; stamp > 0; stamp -= 10) {
            ASSERT_TRUE(journal.Append("  lane 1 of " + std::to_string(stamp) + "\n  lane 2\n", stamp));
        }
        journal.Keep();
    }
    std::ofstream(path + ".journal", std::ios::app | std::ios::binary) << "  a cut-off line";
    const auto contents = ReadDownloadJournal(path);
    ASSERT_TRUE(contents.has_value());
    EXPECT_EQ(contents->records, 3);
    EXPECT_EQ(contents->newest_stamp, 30u);
    EXPECT_EQ(contents->oldest_stamp, 10u);
    EXPECT_EQ(contents->lines.find("  lane 1 of 30\n  lane 2\n  lane 1 of 20\n"), 0u);
    EXPECT_EQ(contents->lines.find("cut-off"), std::string::npos);

    std::ofstream(path + ".journal", std::ios::binary) << "not a journal\n";
    EXPECT_FALSE(ReadDownloadJournal(path).has_value());
}

}  // namespace
}  // namespace qvx
