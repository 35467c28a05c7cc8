#include "common/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "common/language.h"
#include "common/text_format.h"
#include "tests/support/small_disk.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void Put(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

// More than the 64 KiB disk holds once the filler is removed would still fail; less than a
// block fits nowhere on a full one.
const std::string kBig(20000, 'n');

class AtomicSave : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(kLanguageEnglish);
        dir_ = fs::temp_directory_path() /
               ("atomic_save_" + std::string(
                                     ::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
};

}  // namespace

TEST(AtomicSaveOnAFullDisk, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    SetLanguage(kLanguageEnglish);
    testdata::CSmallDisk disk("writer");
    if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
    const fs::path target = disk.Folder() / "line01.sto";
    Put(target, "the survey as it was\r\n");
    ASSERT_TRUE(disk.Fill());
    const auto before = disk.Names();

    CTextWriter out;
    ASSERT_TRUE(out.OpenReplacing(target));
    out.Write(kBig);
    EXPECT_FALSE(out.Close());
    EXPECT_EQ(out.Result().eStatus, SaveStatus::WriteFailed);
    EXPECT_EQ(out.Result().iError, ENOSPC);
    EXPECT_TRUE(out.Result().bReplacing);
    EXPECT_EQ(Slurp(target), "the survey as it was\r\n");
    EXPECT_EQ(disk.Names(), before);
    EXPECT_EQ(SaveFailureMessage(out.Result(), target),
              "Cannot write the file " + target.string() +
                  ": No space left on device. The file as it was before the save is kept.");
}

TEST(AtomicSaveOnAFullDisk, ContentWrittenThroughItsPathIsKeptOutToo) {
    testdata::CSmallDisk disk("path");
    if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
    const fs::path target = disk.Folder() / "picture.png";
    Put(target, "old picture");
    ASSERT_TRUE(disk.Fill());
    const auto before = disk.Names();
    // As an image library writes: opens the path, writes, reports whether it all went out.
    const SaveResult r = SaveAtomically(target, [](const fs::path& temporary) {
        std::ofstream f(temporary, std::ios::binary);
        f << kBig;
        f.flush();
        return static_cast<bool>(f);
    });
    EXPECT_EQ(r.eStatus, SaveStatus::WriteFailed);
    EXPECT_EQ(Slurp(target), "old picture");
    EXPECT_EQ(disk.Names(), before);
}

TEST_F(AtomicSave, ReplacesTheFileKeepingItsPermissionsAndItsLink) {
    const fs::path real = dir_ / "real.ovs", link = dir_ / "link.ovs";
    Put(real, "old");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    fs::create_symlink(real.filename(), link);
    CTextWriter out;
    ASSERT_TRUE(out.OpenReplacing(link));
    out.Write("new\n");
    ASSERT_TRUE(out.Close());
    EXPECT_TRUE(out.Result().ok());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Slurp(real), "new\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"link.ovs", "real.ovs"}));
}

TEST_F(AtomicSave, NewFileGetsTheUsualPermissions) {
    const mode_t mask = ::umask(022);
    const SaveResult r = SaveAtomically(dir_ / "new.dat", [](const fs::path& t) {
        std::ofstream(t) << "x";
        return true;
    });
    ::umask(mask);
    ASSERT_TRUE(r.ok());
    EXPECT_FALSE(r.bReplacing);
    struct stat st {};
    ASSERT_EQ(::stat((dir_ / "new.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(AtomicSave, AbandonedOrRefusedSavesLeaveTheOldFile) {
    const fs::path target = dir_ / "a.sto";
    Put(target, "old");
    {
        CTextWriter out;  // an early return: never closed
        ASSERT_TRUE(out.OpenReplacing(target));
        out.Write("half of a new survey");
    }
    EXPECT_EQ(Slurp(target), "old");
    const SaveResult r = SaveAtomically(target, [](const fs::path& t) {
        std::ofstream(t) << "partial";
        return false;  // the writer said it failed
    });
    EXPECT_EQ(r.eStatus, SaveStatus::WriteFailed);
    EXPECT_EQ(r.iError, 0);
    EXPECT_EQ(SaveFailureMessage(r, target),
              "Cannot write the file " + target.string() +
                  ". The file as it was before the save is kept.");
    EXPECT_EQ(Slurp(target), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"a.sto"});
}

TEST_F(AtomicSave, FoldersPipesAndMissingFoldersAreRefused) {
    const fs::path folder = dir_ / "folder.sto", pipe = dir_ / "pipe.sto";
    fs::create_directories(folder);
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const fs::path& p : {folder, pipe}) {
        CTextWriter out;
        EXPECT_FALSE(out.OpenReplacing(p));
        EXPECT_EQ(out.Result().eStatus, SaveStatus::NotAFile);
        EXPECT_EQ(SaveFailureMessage(out.Result(), p),
                  "Cannot write the file " + p.string() +
                      ": it is not a regular file. Nothing was saved.");
    }
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_TRUE(fs::is_directory(folder));
    CTextWriter out;
    EXPECT_FALSE(out.OpenReplacing(dir_ / "none" / "a.sto"));
    EXPECT_EQ(out.Result().eStatus, SaveStatus::CannotCreate);
    EXPECT_EQ(SaveFailureMessage(out.Result(), dir_ / "none" / "a.sto"),
              "Cannot open the file " + (dir_ / "none" / "a.sto").string() +
                  ": No such file or directory. Nothing was saved.");
    EXPECT_EQ(Names(), (std::vector<std::string>{"folder.sto", "pipe.sto"}));
}
