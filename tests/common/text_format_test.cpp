#include "common/text_format.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <clocale>
#include <fstream>
#include <sstream>

#include "common/language.h"

namespace {

std::filesystem::path TempFile(const char* name) {
    return std::filesystem::temp_directory_path() / name;
}

std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteAll(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

TEST(TextFormat, FormatsInTheCLocaleWhateverTheProcessLocale) {
    // A locale with a decimal comma, when the machine has one; the guard must win anyway.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    EXPECT_EQ(FormatC("%f %.2f %d", 12.5, -0.125, 7), "12.500000 -0.12 7");
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!comma) GTEST_SKIP() << "no comma locale installed; checked in the C locale only";
}

TEST(TextFormat, LongOutputIsNotCut) {
    std::string big(1000, 'x');
    EXPECT_EQ(FormatC("%s|%d", big.c_str(), 5), big + "|5");
}

TEST(TextFormat, ScanNumbersLikeScanf) {
    double d = 0;
    size_t used = 0;
    EXPECT_TRUE(ScanDouble("  -12.5e1xyz", d, &used));
    EXPECT_EQ(d, -125.0);
    EXPECT_EQ(used, 9u);
    EXPECT_TRUE(ScanDouble("+3", d));
    EXPECT_EQ(d, 3.0);
    EXPECT_FALSE(ScanDouble("", d));
    EXPECT_FALSE(ScanDouble("abc", d));
    EXPECT_FALSE(ScanDouble("1e999", d)) << "out of range is refused, not infinity";
    EXPECT_FALSE(ScanDouble("+-1", d));
    int i = 0;
    EXPECT_TRUE(ScanInt("-2147483648", i));
    EXPECT_EQ(i, INT32_MIN);
    EXPECT_FALSE(ScanInt("2147483648", i));
    EXPECT_TRUE(ScanInt("12.7", i, &used));
    EXPECT_EQ(i, 12);
    EXPECT_EQ(used, 2u);
    float f = 0;
    EXPECT_TRUE(ScanFloat("0.1", f));
    EXPECT_EQ(f, 0.1f);
}

TEST(TextFormat, SplitTokens) {
    std::string_view t[4];
    EXPECT_EQ(SplitTokens("  a\tbb  c\r\n", t, 4), 3u);
    EXPECT_EQ(t[1], "bb");
    EXPECT_EQ(SplitTokens("a b c d e", t, 4), 4u);
    EXPECT_EQ(SplitTokens("   ", t, 4), 0u);
}

TEST(TextWriter, WritesCrLf) {
    auto p = TempFile("gantrel_writer_test.txt");
    CTextWriter w;
    ASSERT_TRUE(w.Open(p));
    w.Printf("%d %f\n", 1, 0.5);
    w.Write("two\nthree");
    ASSERT_TRUE(w.Close());
    EXPECT_EQ(ReadAll(p), "1 0.500000\r\ntwo\r\nthree");
    ASSERT_TRUE(w.Open(p, true));
    w.Write("\n");
    w.Close();
    EXPECT_EQ(ReadAll(p), "1 0.500000\r\ntwo\r\nthree\r\n");
    std::filesystem::remove(p);
}

TEST(TextWriter, ReportsAFolderThatCannotBeWritten) {
    CTextWriter w;
    EXPECT_FALSE(w.Open("/nonexistent-folder/x.txt"));
    w.Printf("ignored %d\n", 1);
    EXPECT_FALSE(w.Close());
}

TEST(LineReader, AcceptsCrLfLfAndNoFinalEnd) {
    auto p = TempFile("gantrel_reader_test.txt");
    WriteAll(p, "one\r\ntwo\n\r\nlast");
    CLineReader r;
    ASSERT_TRUE(r.Open(p));
    std::string line;
    std::vector<std::string> lines;
    while (r.ReadLine(line)) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "", "last"}));
    EXPECT_EQ(r.LineNumber(), 4u);
    std::filesystem::remove(p);
}

TEST(LineReader, KeepsNulBytesAndCutsOverlongLines) {
    auto p = TempFile("gantrel_reader_nul.txt");
    std::string bytes("a\0b\nnext\n", 9);
    bytes += std::string(200000, 'z') + "\nafter\n";
    WriteAll(p, bytes);
    CLineReader r;
    r.maxLength = 1000;
    ASSERT_TRUE(r.Open(p));
    std::string line;
    ASSERT_TRUE(r.ReadLine(line));
    EXPECT_EQ(line, std::string("a\0b", 3)) << "a NUL byte does not end or join lines";
    ASSERT_TRUE(r.ReadLine(line));
    EXPECT_EQ(line, "next");
    ASSERT_TRUE(r.ReadLine(line));
    EXPECT_EQ(line.size(), 1000u);
    EXPECT_TRUE(r.LastLineTooLong());
    ASSERT_TRUE(r.ReadLine(line));
    EXPECT_EQ(line, "after") << "the rest of the long line is skipped, not read as lines";
    EXPECT_FALSE(r.LastLineTooLong());
    EXPECT_FALSE(r.ReadLine(line));
    std::filesystem::remove(p);
}

TEST(LineReader, MissingFile) {
    CLineReader r;
    EXPECT_FALSE(r.Open("/nonexistent-folder/none.txt"));
    std::string line;
    EXPECT_FALSE(r.ReadLine(line));
}

std::vector<std::string> ReadLines(const std::string& bytes, size_t maxLength = 1 << 20) {
    auto p = TempFile("gantrel_reader_ends.txt");
    WriteAll(p, bytes);
    CLineReader r;
    r.maxLength = maxLength;
    EXPECT_TRUE(r.Open(p));
    std::string line;
    std::vector<std::string> lines;
    while (r.ReadLine(line)) lines.push_back(line);
    std::filesystem::remove(p);
    return lines;
}

TEST(LineReader, CrAloneEndsALineAsCrLfDoes) {
    EXPECT_EQ(ReadLines("one\rtwo\r\rthree\r"),
              (std::vector<std::string>{"one", "two", "", "three"}));
    EXPECT_EQ(ReadLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    // A line of exactly the limit is not overlong whichever end it has.
    EXPECT_EQ(ReadLines(std::string(8, 'x') + "\ry", 8),
              (std::vector<std::string>{std::string(8, 'x'), "y"}));
}

TEST(LineReader, CrLfSplitBetweenTwoReadsIsOneLineEnd) {
    // The reader fills 64 KiB at a time: the CR is the last byte of the first fill.
    const std::string first(65535, 'a');
    EXPECT_EQ(ReadLines(first + "\r\nnext\r\n"), (std::vector<std::string>{first, "next"}));
    EXPECT_EQ(ReadLines(first + "\rnext"), (std::vector<std::string>{first, "next"}));
    EXPECT_EQ(ReadLines(first + "\r\n"), std::vector<std::string>{first});
}

TEST(LineReader, PipesDevicesAndFoldersAreNotOpened) {
    // Each would be waited on for ever: a pipe blocks its open until a writer comes, a device
    // like /dev/zero never ends. The open must refuse at once.
    SetLanguage(kLanguageEnglish);
    const auto pipe = TempFile("gantrel_reader_pipe");
    std::filesystem::remove(pipe);
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::filesystem::path& p : {pipe, std::filesystem::path("/dev/zero"),
                                         std::filesystem::temp_directory_path()}) {
        CLineReader r;
        EXPECT_FALSE(r.Open(p)) << p;
        EXPECT_EQ(UnreadableFileReason(p), p == std::filesystem::temp_directory_path()
                                               ? "it is a folder, not a file"
                                               : "it is not a regular file");
        EXPECT_EQ(NotRegularFileMessage(p),
                  "Cannot open the file " + p.string() + ": " + UnreadableFileReason(p));
    }
    std::filesystem::remove(pipe);
    EXPECT_EQ(UnreadableFileReason("/nonexistent-folder/none.txt"), "there is no such file");
    // A missing file is left to the reader's own message.
    EXPECT_EQ(NotRegularFileMessage("/nonexistent-folder/none.txt"), "");
}

}  // namespace
