#include "common/scripted_prompter.h"

#include <gtest/gtest.h>

namespace {

TEST(ScriptedPrompter, AnswersInOrderAndRecordsTexts) {
    CScriptedPrompter p;
    p.Push(PromptAnswer::Yes);
    p.Push(12);
    p.Push(2.5);
    p.Push(std::vector<std::filesystem::path>{"a.sto", "b.sto"});
    p.Push(std::filesystem::path("out.ovs"));
    p.Push(1);

    EXPECT_EQ(p.Message("Continue?", PromptButtons::YesNo), PromptAnswer::Yes);
    EXPECT_EQ(p.InputInt("Enter number", "Files", 0), 12);
    EXPECT_EQ(p.InputReal("Enter number", "Cell", 5.0), 2.5);
    EXPECT_EQ(p.OpenFiles("Open", {}, {}, true).size(), 2u);
    EXPECT_EQ(p.SaveFile("Save", {}, {}), std::filesystem::path("out.ovs"));
    EXPECT_EQ(p.TwoButtonBox("Fennick", "Select the language !", "English", "Japanese"), 1);
    EXPECT_EQ(p.Message("Done"), PromptAnswer::Ok);
    EXPECT_EQ(p.Pending(), 0u);
    EXPECT_FALSE(p.AnyUnanswered());
    EXPECT_EQ(p.Messages(), (std::vector<std::string>{"Continue?", "Done"}));
    EXPECT_EQ(p.History().size(), 7u);
}

TEST(ScriptedPrompter, CancelAndMissingAnswers) {
    CScriptedPrompter p;
    p.PushCancel();
    EXPECT_EQ(p.InputInt("c", "n", 3), std::nullopt);
    EXPECT_FALSE(p.AnyUnanswered()) << "a scripted cancel is an answer";
    EXPECT_EQ(p.Message("Sure?", PromptButtons::OkCancel), PromptAnswer::Cancel);
    EXPECT_EQ(p.Message("Sure?", PromptButtons::YesNo), PromptAnswer::No);
    EXPECT_TRUE(p.OpenFiles("Open", {}, {}, true).empty());
    EXPECT_TRUE(p.AnyUnanswered());
}

TEST(ScriptedPrompter, WrongKindOfAnswerIsLeftQueued) {
    CScriptedPrompter p;
    p.Push(std::string("text"));
    EXPECT_EQ(p.InputInt("c", "n", 3), std::nullopt);
    EXPECT_EQ(p.Pending(), 1u);
    EXPECT_EQ(p.InputText("c", "t", ""), "text");
    std::vector<std::string> seen;
    p.onShown = [&](const CScriptedPrompter::Shown& s) { seen.push_back(s.sKind + ":" + s.sText); };
    p.Message("hello");
    EXPECT_EQ(seen, (std::vector<std::string>{"message:hello"}));
}

struct CellSizeValues : CDialogValues {
    double xCellSize = 5.0;
    std::string DialogName() const override { return "Cell size"; }
};

TEST(ScriptedPrompter, CommandDialogsAreEditedOrCancelled) {
    CScriptedPrompter p;
    p.PushDialog<CellSizeValues>([](CellSizeValues& v) { v.xCellSize = 2.5; });
    p.PushAccept();
    p.PushDialog<CellSizeValues>([](CellSizeValues&) { return false; });
    CellSizeValues v;
    EXPECT_TRUE(p.EditDialog(v));
    EXPECT_EQ(v.xCellSize, 2.5);
    EXPECT_TRUE(p.EditDialog(v));
    EXPECT_EQ(v.xCellSize, 2.5);
    EXPECT_FALSE(p.EditDialog(v));
    EXPECT_FALSE(p.EditDialog(v)) << "nothing queued: cancelled";
    EXPECT_TRUE(p.AnyUnanswered());
    EXPECT_EQ(p.History().back().sText, "Cell size");
}

}  // namespace
