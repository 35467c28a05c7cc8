// Every text of every display, as it goes into a saved picture: inside the picture and clear
// of every other text, at the window sizes the program is used at, in both languages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/map_interpolation.h"
#include "common/language.h"
#include "common/recording_canvas.h"
#include "common/scripted_prompter.h"
#include "display/display_image.h"
#include "tests/display/display_fixture.h"

namespace {

using namespace display_test;

// A picture writer that keeps what would be drawn and the picture's size.
class RecordingImageWriter : public CPlotImageWriter {
public:
    std::string WritePng(int width, int height, const std::function<void(CCanvas&)>& draw,
                         const std::filesystem::path&, CColor) override {
        iWidth = width;
        iHeight = height;
        canvas.Clear();
        draw(canvas);
        return "";
    }
    CRecordingCanvas canvas;
    int iWidth = 0, iHeight = 0;
};

// Texts that overlap another or leave the picture, one line each.
std::vector<std::string> TextFaults(const RecordingImageWriter& w) {
    std::vector<std::string> faults;
    const CBox picture{0, -w.iHeight, w.iWidth, 0};
    const auto texts = w.canvas.OfKind(CanvasPrimitive::Text);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (!texts[i].box.Inside(picture)) faults.push_back("outside: " + texts[i].sText);
        for (std::size_t j = i + 1; j < texts.size(); ++j)
            if (texts[i].box.Overlaps(texts[j].box))
                faults.push_back("overlap: " + texts[i].sText + " / " + texts[j].sText);
    }
    return faults;
}

struct SurveyKind {
    const char* name;
    bool bGPS;
    std::vector<const char*> displays;
};

TEST(DisplayTexts, EveryTextLiesInsideThePictureAndClearOfTheOthers) {
    const SurveyKind kinds[] = {
        {"towed lines", false, {"line", "line-vi", "section", "gridded", "model", "model1d"}},
        {"GPS lines", true, {"map-gps", "map-array", "map-rho:2", "map-interp:2"}},
    };
    const CClientSize sizes[] = {{2000, 1300}, {1300, 800}, {3200, 2100}};
    for (const SurveyKind& kind : kinds) {
        for (int language : {kLanguageEnglish, kLanguageJapanese}) {
            for (const CClientSize& size : sizes) {
                for (const char* display : kind.displays) {
                    SCOPED_TRACE(std::string(display) + " " + std::to_string(size.iWidth) + "x" +
                                 std::to_string(size.iHeight) + " language " +
                                 std::to_string(language));
                    SetLanguage(language);
                    CBrivaneDoc doc;
                    CBrivaneViewState view;
                    CScriptedPrompter prompter;
                    CBrivaneContext ctx{doc, view, prompter};
                    if (kind.bGPS) {
                        for (int l = 0; l < 3; ++l)
                            AddGPSLine(doc.survey, 387000.0 + 12.0 * l, 3899000.0, 1.2, 90);
                        const auto layout = MapGridLayout(
                            static_cast<float>(doc.survey.dMaxEasting - doc.survey.dMinEasting),
                            static_cast<float>(doc.survey.dMaxNorthing - doc.survey.dMinNorthing));
                        ASSERT_TRUE(layout);
                        InterpolateMap(doc.survey, *layout, doc.mapGrid, {});
                    } else {
                        AddSyntheticLine(doc.survey, 121, 0.0, 1.0);
                        AddSyntheticLine(doc.survey, 121, 0.0, 1.0);
                        FinishSurvey(doc.survey);
                        ASSERT_TRUE(AnalyseSurvey(doc));
                    }
                    // A long title reaches under the legend of a narrow window.
                    doc.sDataTitle = "north_field_2026-12-10_line_0001_to_line_0012.sto";
                    DisplayOf(ctx).SetLanguage(language);
                    RecordingImageWriter writer;
                    ASSERT_EQ(SaveDisplayPNG(ctx, writer, display, "unused.png", size), "");
                    EXPECT_EQ(TextFaults(writer), std::vector<std::string>{});
                }
            }
        }
    }
    SetLanguage(kLanguageEnglish);
}

}  // namespace
