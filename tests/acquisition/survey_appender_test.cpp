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
