#include "display/transfer_view.h"

#include <gtest/gtest.h>

#include "common/axes.h"
#include "common/language.h"
#include "common/memory_settings.h"
#include "common/recording_canvas.h"
#include "common/scripted_prompter.h"
#include "common/settings.h"

namespace {

class TransferViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&settings_);
        SetLanguage(kLanguageEnglish);
        SetFontScaleFactor(1.0);
        view_.iViewMode = kViewSerialTransfer;
    }
    void TearDown() override {
        SetLanguage(kLanguageEnglish);
        SetSettingsBackend(nullptr);
    }
    std::vector<CCanvasRecord> Texts() {
        canvas_.Clear();
        EXPECT_TRUE(DrawDisplay(canvas_, ctx_));
        return canvas_.OfKind(CanvasPrimitive::Text);
    }

    CMemorySettingsBackend settings_;
    CBrivaneDoc doc_;
    CBrivaneViewState view_;
    CScriptedPrompter prompter_;
    CBrivaneContext ctx_{doc_, view_, prompter_};
    CRecordingCanvas canvas_;
};

TEST_F(TransferViewTest, WaitingShowsHowToLeaveAndNoData) {
    canvas_.Clear();
    EXPECT_FALSE(DrawDisplay(canvas_, ctx_)) << "no transfer: nothing to draw";
    view_.pTransfer = std::make_shared<CConsoleTransfer>();
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].sText, "Ready to data transfer (press ESC to exit)");
    EXPECT_EQ(texts[0].points[0].x, 10);
    EXPECT_EQ(texts[0].points[0].y, -10);
    EXPECT_EQ(texts[0].font.iHeight, 40);
    EXPECT_EQ(texts[1].sText, "No data");
    EXPECT_EQ(texts[1].points[0].y, -100);
}

TEST_F(TransferViewTest, TheLastThirtyRecordsOldestFirst) {
    view_.pTransfer = std::make_shared<CConsoleTransfer>();
    for (int i = 0; i < 45; ++i) view_.pTransfer->Keep("record " + std::to_string(i));
    view_.pTransfer->nReceivedLine = 50;
    SetFontScaleFactor(1.5);
    auto texts = Texts();
    ASSERT_EQ(texts.size(), 31u);
    EXPECT_EQ(texts[0].sText, "Transfering data (50 packets)");
    EXPECT_EQ(texts[0].font.iHeight, 60);
    EXPECT_EQ(texts[1].sText, "record 15");
    EXPECT_EQ(texts[1].points[0].y, -100);
    EXPECT_EQ(texts[1].font.iHeight, 52) << "35 times the font scale";
    EXPECT_EQ(texts[30].sText, "record 44");
    EXPECT_EQ(texts[30].points[0].y, -(100 + 29 * 60));

    SetLanguage(kLanguageJapanese);
    texts = Texts();
    EXPECT_EQ(texts[0].sText, "データ転送中 (50 パケット)");
    EXPECT_EQ(texts[1].font.iHeight, 35) << "the Japanese font keeps its height";
    EXPECT_TRUE(texts[1].font.bJapanese);
    SetFontScaleFactor(1.0);
}

}  // namespace
