#include "acquisition/survey_appender.h"

#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include "acquisition_support.h"

namespace acqtest {
namespace {

class SurveyAppender : public AcquisitionTest {};

TEST_F(SurveyAppender, WritesWholeLinesWithCrLfInOrder) {
    CSurveyAppender a;
    EXPECT_TRUE(a.Append(dir / "a.sto", "first"));
    EXPECT_TRUE(a.Append(dir / "b.sto", "other"));
    EXPECT_TRUE(a.Append(dir / "a.sto", "second"));
    EXPECT_TRUE(a.Flush());
    EXPECT_EQ(ReadFile(dir / "a.sto"), "first\r\nsecond\r\n");
    EXPECT_EQ(ReadFile(dir / "b.sto"), "other\r\n");
    EXPECT_TRUE(a.Append(dir / "a.sto", "third"));
    EXPECT_EQ(ReadFile(dir / "a.sto"), "first\r\nsecond\r\nthird\r\n")
        << "in the file before the flush";
}

TEST_F(SurveyAppender, RecordsWaitForTheirFolderAndKeepTheirOrder) {
    CSurveyAppender a;
    const fs::path folder = dir / "gone";
    EXPECT_FALSE(a.Append(folder / "x.sto", "one"));
    EXPECT_FALSE(a.Append(folder / "x.sto", "two"));
    EXPECT_EQ(a.PendingRecords(), 2u);
    EXPECT_TRUE(a.Flush()) << "nothing was written, so nothing failed to reach the device";
    fs::create_directories(folder);
    EXPECT_TRUE(a.Append(folder / "x.sto", "three"));
    EXPECT_EQ(a.PendingRecords(), 0u);
    EXPECT_EQ(ReadFile(folder / "x.sto"), "one\r\ntwo\r\nthree\r\n");
}

// Two files, one in a folder that is gone: the other is written at once; what the missing one
// holds reaches it by kind once it is back, or never once it was left.
TEST_F(SurveyAppender, EachFileHoldsOnlyItsOwnRecords) {
    for (const bool bLeft : {false, true}) {
        SCOPED_TRACE(bLeft ? "left" : "still recorded");
        const fs::path gone = dir / (bLeft ? "left" : "back"), good = dir / "good.sto";
        fs::remove(good);
        CSurveyAppender a;
        EXPECT_FALSE(a.Append(gone / "x.sto", "33", RecordKind::Other));
        EXPECT_TRUE(a.Append(good, "30 a", RecordKind::Reading)) << "not held back by the other";
        EXPECT_FALSE(a.Append(gone / "x.sto", "30 b", RecordKind::Reading));
        EXPECT_FALSE(a.Append(gone / "x.sto", "21 c", RecordKind::Fix));
        EXPECT_TRUE(a.IsHolding(gone / "x.sto"));
        EXPECT_FALSE(a.IsHolding(good));
        if (bLeft) a.Abandon(gone / "x.sto");
        fs::create_directories(gone);
        EXPECT_EQ(a.Retry(gone / "x.sto"), true) << "nothing held for it as a current file";
        EXPECT_TRUE(a.Append(good, "30 d", RecordKind::Reading));
        EXPECT_EQ(ReadFile(good), "30 a\r\n30 d\r\n");
        const auto late = a.TakeLateWrites();
        const auto held = a.HeldFiles();
        if (bLeft) {
            EXPECT_FALSE(fs::exists(gone / "x.sto")) << "never written into a folder left";
            EXPECT_TRUE(late.empty());
            ASSERT_EQ(held.size(), 1u);
            EXPECT_TRUE(held[0].bAbandoned);
            EXPECT_EQ(held[0].Readings(), 1);
            EXPECT_EQ(held[0].held.nRecord, 3);
        } else {
            EXPECT_EQ(ReadFile(gone / "x.sto"), "33\r\n30 b\r\n21 c\r\n");
            ASSERT_EQ(late.size(), 1u);
            EXPECT_EQ(late[0].counts.nRecord, 3);
            EXPECT_EQ(late[0].counts.nReading, 1);
            EXPECT_EQ(late[0].counts.nFix, 1);
            EXPECT_TRUE(held.empty());
        }
    }
}

TEST_F(SurveyAppender, AHalfWrittenRecordIsCutBack) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a 64 KiB tmpfs needs root; run the tests as root for this case";
    const fs::path small = dir / "small";
    fs::create_directories(small);
    if (mount("none", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "this system refuses tmpfs mounts here (" << std::strerror(errno) << ")";
    struct Unmount {
        fs::path p;
        ~Unmount() { umount2(p.c_str(), MNT_DETACH); }
    } unmount{small};

    CSurveyAppender a;
    ASSERT_TRUE(a.Append(small / "line.sto", "33  GOHM"));
    {
        std::ofstream filler(small / "filler", std::ios::binary);
        const std::string block(1024, 'f');
        for (int i = 0; i < 100 && filler.good(); ++i) filler.write(block.data(), block.size());
    }
    // Longer than what is left of the file's last page: part of it would go in.
    const std::string big(6000, '7');
    EXPECT_FALSE(a.Append(small / "line.sto", big));
    EXPECT_EQ(ReadFile(small / "line.sto"), "33  GOHM\r\n") << "no part of the record stays";
    fs::remove(small / "filler");
    EXPECT_TRUE(a.Append(small / "line.sto", "30 1"));
    EXPECT_TRUE(a.Flush());
    EXPECT_EQ(ReadFile(small / "line.sto"), "33  GOHM\r\n" + big + "\r\n30 1\r\n");
}

}  // namespace
}  // namespace acqtest
