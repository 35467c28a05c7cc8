#include "common/replacing_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/language.h"

namespace fs = std::filesystem;

namespace {

class ReplacingWriter : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("gantrel_replace_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        ::chmod(dir.c_str(), 0700);
        fs::remove_all(dir);
    }
    static std::string Slurp(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void Put(const fs::path& p, const std::string& text) {
        std::ofstream(p, std::ios::binary) << text;
    }
    size_t Entries() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }
    fs::path dir;
};

TEST_F(ReplacingWriter, CommitReplacesTheFileWithCrLfText) {
    const fs::path path = dir / "out.txt";
    Put(path, "old");
    CReplacingWriter w;
    ASSERT_TRUE(w.Open(path));
    w.Text().Write("a\nb\n");
    EXPECT_EQ(Slurp(path), "old") << "untouched until the commit";
    ASSERT_TRUE(w.Commit());
    EXPECT_EQ(Slurp(path), "a\r\nb\r\n");
    EXPECT_EQ(Entries(), 1u) << "no temporary left";
}

TEST_F(ReplacingWriter, AbandonedWriteKeepsThePreviousFile) {
    const fs::path path = dir / "keep.txt";
    Put(path, "good data");
    {
        CReplacingWriter w;
        ASSERT_TRUE(w.Open(path));
        w.Text().Write("half a file");
    }  // no commit: an error part of the way through
    EXPECT_EQ(Slurp(path), "good data");
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(ReplacingWriter, DestinationsThatCannotBeMadeSayCannotOpen) {
    SetLanguage(kLanguageEnglish);
    CReplacingWriter w;
    EXPECT_FALSE(w.Open(dir / "missing" / "x.txt"));
    EXPECT_EQ(w.Error(), "Cannot open the file " + (dir / "missing" / "x.txt").string());
    fs::create_directories(dir / "folder");
    EXPECT_FALSE(w.Open(dir / "folder"));
    EXPECT_EQ(w.Error(), "Cannot open the file " + (dir / "folder").string());
    EXPECT_TRUE(fs::is_directory(dir / "folder")) << "a folder is never replaced";
    EXPECT_FALSE(w.Commit());
    EXPECT_EQ(ReplaceFileBytes(dir / "folder", "x"),
              "Cannot open the file " + (dir / "folder").string());
}

TEST_F(ReplacingWriter, ReadOnlyFolderLeavesTheFileAlone) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser writes into read-only folders";
    const fs::path path = dir / "kept.bin";
    Put(path, "old");
    ASSERT_EQ(::chmod(dir.c_str(), 0500), 0);
    EXPECT_EQ(ReplaceFileBytes(path, "new"), "Cannot open the file " + path.string());
    EXPECT_EQ(Slurp(path), "old");
}

TEST_F(ReplacingWriter, BytesAreWrittenExactly) {
    const fs::path path = dir / "raw.bin";
    const std::string bytes("\x15\0\0\0\n\r\n", 7);
    EXPECT_EQ(ReplaceFileBytes(path, bytes), "");
    EXPECT_EQ(Slurp(path), bytes) << "no line-end translation";
}

}  // namespace
