#include "common/line_assembler.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Feed(CLineAssembler& a, std::string_view bytes) {
    std::vector<std::string> out;
    int n = a.Append(bytes.data(), bytes.size());
    for (int i = 0; i < n; ++i) out.emplace_back(a.Line(i));
    return out;
}

TEST(LineAssembler, CarriageReturnThenLineFeedInTheNextReadIsOneLine) {
    CLineAssembler a;
    EXPECT_EQ(Feed(a, "12.345,131,135,55\r"), std::vector<std::string>{"12.345,131,135,55"});
    EXPECT_TRUE(Feed(a, "\n").empty()) << "the line feed after the CR starts no line";
    EXPECT_EQ(Feed(a, "1.0,1,1,11\r\n2.0,2,2,22\n"),
              (std::vector<std::string>{"1.0,1,1,11", "2.0,2,2,22"}));
    EXPECT_EQ(a.Pending(), 0u);
}

TEST(LineAssembler, LinesCutAnywhereComeOutWhole) {
    const std::string text = "first line\r\nsecond,line\r\n\r\n\nthird\n";
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        CLineAssembler a;
        auto lines = Feed(a, std::string_view(text).substr(0, cut));
        for (auto& l : Feed(a, std::string_view(text).substr(cut))) lines.push_back(l);
        EXPECT_EQ(lines, (std::vector<std::string>{"first line", "second,line", "third"})) << cut;
    }
}

TEST(LineAssembler, OverlongLineIsCutAt1023AndItsNextCharacterDropped) {
    CLineAssembler a;
    std::string line;
    for (int i = 0; i < 2000; ++i) line.push_back(static_cast<char>('a' + i % 26));
    const auto lines = Feed(a, line);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], line.substr(0, 1023));
    EXPECT_EQ(a.Pending(), 2000u - 1024u) << "the rest waits as the start of the next line";
    const auto rest = Feed(a, "\n");
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0], line.substr(1024));
}

TEST(LineAssembler, ContinuedOverlongLineLosesNoCharacter) {
    CLineAssembler a(CLineAssembler::Overlong::Continue);
    std::string line;
    for (int i = 0; i < 2500; ++i) line.push_back(static_cast<char>('a' + i % 26));
    auto lines = Feed(a, line);
    ASSERT_EQ(lines.size(), 2u) << "two full pieces are cut at once";
    EXPECT_EQ(lines[0], line.substr(0, 1023));
    EXPECT_EQ(lines[1], line.substr(1023, 1023));
    EXPECT_EQ(a.Pending(), 2500u - 2046u) << "the third piece waits for its line end";
    lines = Feed(a, "\r\n" + std::string(1023, 'x') + "\nnext\n");
    EXPECT_EQ(lines, (std::vector<std::string>{line.substr(2046), std::string(1023, 'x'), "next"}))
        << "a line of exactly 1,023 characters ended by its line end is one line";
}

TEST(LineAssembler, StopsAtHundredLinesAndGivesTheRestOnTheNextCall) {
    CLineAssembler a;
    std::string bytes;
    for (int i = 0; i < 150; ++i) bytes += std::to_string(i) + "\n";
    EXPECT_EQ(a.Append(bytes.data(), bytes.size()), 100);
    EXPECT_EQ(a.Line(99), "99");
    EXPECT_EQ(a.Append(nullptr, 0), 50);
    EXPECT_EQ(a.Line(0), "100");
    EXPECT_EQ(a.Line(49), "149");
    EXPECT_EQ(a.Append(nullptr, 0), 0);
    EXPECT_EQ(a.Line(0), "") << "no line after the last";
}

TEST(LineAssembler, BytesBeyondTheBufferAreDroppedNotWrittenPastIt) {
    CLineAssembler a;
    const std::string noise(20000, 'x');  // no line end, a wrong baud rate say
    const int n = a.Append(noise.data(), noise.size());
    EXPECT_EQ(n, 16) << "16,384 bytes kept: 16 lines of 1,023 characters and a dropped one";
    EXPECT_EQ(a.Pending(), 0u) << "the 3,616 bytes that did not fit were dropped";
}

TEST(LineAssembler, NulBytesEndTheLineTextButNotTheLine) {
    CLineAssembler a;
    const std::string bytes("12.5,1\0garbage,2,55\r\nnext\n", 27);
    const auto lines = Feed(a, bytes);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "12.5,1") << "a line reads as the C string it holds";
    EXPECT_EQ(lines[1], "next");
}

TEST(LineAssembler, RandomBytesNeverBreakIt) {
    std::mt19937 rng(7);
    CLineAssembler a;
    for (int round = 0; round < 200; ++round) {
        std::string bytes(rng() % 9000, '\0');
        for (auto& c : bytes) c = static_cast<char>(rng() % 256);
        const int n = a.Append(bytes.data(), bytes.size());
        ASSERT_LE(n, 100);
        for (int i = 0; i < n; ++i) {
            ASSERT_LE(a.Line(i).size(), 1023u);
            ASSERT_FALSE(a.Line(i).empty() && a.Line(i).data() == nullptr);
        }
        ASSERT_LE(a.Pending(), CLineAssembler::kBufferSize);
    }
}

TEST(SplitFields, CutsAtEveryCommaWithoutTrimming) {
    CFieldTable f;
    ASSERT_EQ(SplitFields(" 12.345,131,135,55 ,,x", f), 6);
    EXPECT_EQ(f[0], " 12.345");
    EXPECT_EQ(f[3], "55 ");
    EXPECT_EQ(f[4], "");
    EXPECT_EQ(f[5], "x");
    EXPECT_EQ(SplitFields("", f), 1) << "an empty line is one empty field";
}

TEST(SplitFields, AtMostTwentyFieldsOf255Characters) {
    CFieldTable f;
    EXPECT_EQ(SplitFields(std::string(30, ','), f), 20);
    const std::string wide(400, 'w');
    ASSERT_EQ(SplitFields(wide + "," + wide, f), 2);
    EXPECT_EQ(f[0].size(), 255u);
    EXPECT_EQ(f[1].size(), 255u);
}

}  // namespace
