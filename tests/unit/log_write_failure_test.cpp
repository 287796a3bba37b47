// Log writes on a disk that fills up, and lines held back while their file changes: a record goes
// in whole or not at all, a failed write is known, and no line lands in a file it was not meant for.

#include <gtest/gtest.h>

#include <string>

#include "../support/file_size_limit.h"
#include "../support/scratch_folder.h"
#include "live/interval_log.h"

namespace qvx {
namespace {

using test::ReadFileText;

const std::string kRecord = "  line one of the record\n  line two of the record\n  line three\n";

TEST(LogWriteFailure, AShortWriteIsTakenBackOutOfTheFile) {
    test::ScratchFolder dir;
    const std::string path = dir.Write("bins.log", "before\r\n");
    LogWrite result;
    {
        test::FileSizeLimit full(8 + 30);  // room for half the record
        result = AppendLogText(path, kRecord);
    }
    EXPECT_EQ(result, LogWrite::WriteFailed);
    EXPECT_EQ(ReadFileText(path), "before\r\n");
}

TEST(LogWriteFailure, TheWriterKnowsAFailedWriteAndWritesTheRecordWholeOnceThereIsRoom) {
    test::ScratchFolder dir;
    const std::string path = dir.Write("bins.log", "");
    LogLineWriter writer;
    {
        test::FileSizeLimit full(30);
        EXPECT_FALSE(writer.Write(path, kRecord));
    }
    EXPECT_TRUE(writer.write_failed());
    EXPECT_EQ(writer.held_back_bytes(), kRecord.size());
    EXPECT_EQ(ReadFileText(path), "");
    EXPECT_TRUE(writer.Write(path, "  next\n"));
    EXPECT_FALSE(writer.write_failed());
    EXPECT_EQ(ReadFileText(path), ToLogBytes(kRecord + "  next\n"));
}

TEST(LogWriteFailure, LinesHeldForOneFileNeverGoIntoTheNextAndAreCountedWhenGivenUp) {
    test::ScratchFolder dir;
    LogLineWriter writer;
    EXPECT_FALSE(writer.Write(dir / "gone/first.log", "for the first file\n"));
    const std::string second = dir / "second.log";
    EXPECT_TRUE(writer.Write(second, "for the second file\n"));
    EXPECT_EQ(ReadFileText(second), "for the second file\r\n");
    EXPECT_EQ(writer.dropped_bytes(), std::string("for the first file\n").size());
    EXPECT_EQ(writer.held_back_bytes(), 0u);
}

}  // namespace
}  // namespace qvx
