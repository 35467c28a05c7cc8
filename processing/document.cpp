#include "processing/document.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/language.h"
#include "common/program_settings.h"
#include "common/settings.h"

void CBrivaneViewState::LoadSettings() {
    fHScale = static_cast<float>(ReadSettingReal("hscale", 1.0));
    fVScale = static_cast<float>(ReadSettingReal("vscale", 20.0));
    bShowCurrentLevel = ReadSettingInt("bShowCurrentLevel", 0);
    bShowColumnMisfit = ReadSettingInt("bShowColumnMisfit", 0) == 1 ? 1 : 0;
    iSurveyConfiguration = ReadSettingInt("iSurveyConfiguration", 2);
    iMapColorMode = std::clamp(ReadSettingInt("iMapColorMode", kMapMosaic), 0, 2);
    const double distance = ReadSettingReal("fMaxDistance", 10.0);
    fMaxDistance = std::isfinite(distance) && distance >= 0.0 ? static_cast<float>(distance) : 10.0f;
}

void CBrivaneViewState::SaveSettings() const {
    WriteSettingReal("hscale", fHScale);
    WriteSettingReal("vscale", fVScale);
}

CBrivaneDoc::CBrivaneDoc() {
    sProjectName = ReadSettingString("sProjectName", "");
    sPlotterLocation = ReadSettingString("MarbeckString", kDefaultPlotterLocation);
    (void)store.Initialise(kStoreMaxColumn, kStoreMaxRow, kStoreMaxColumn, kStoreMaxLayer, 1, 1);
    (void)undoStore.Initialise(kStoreMaxColumn, kStoreMaxRow, kStoreMaxColumn, kStoreMaxLayer, 1,
                               1);
    restoreModel = [this] { store.CopyFrom(undoStore); };
    inversionSettings.iJacobian = ReadJacobianSetting();
}

CBrivaneDoc::~CBrivaneDoc() { WriteSettingString("MarbeckString", sPlotterLocation); }

void CBrivaneDoc::SaveSurveyForUndo() {
    undoSurvey.CopyFrom(survey);
    bSurveyUndo = 1;
    bModelUndo = 0;
    bOpenUndo = 0;
}

void CBrivaneDoc::SaveOpenForUndo(const CGantrelSurvey& previous) {
    const bool bSection = store.IsAllocated() && store.nColumn > 0;
    if (previous.nLine <= 0 && !bSection && sounding.points.empty()) {
        // Nothing to give back: an Undo would only bring an empty document.
        bSurveyUndo = bModelUndo = bOpenUndo = 0;
        store.Reset();
        sounding.Clear();
        return;
    }
    undoSurvey.CopyFrom(previous);
    undoStore.Swap(store);
    // The exchanged store has the capacities of the undo store, which are the store's own.
    store.Reset();
    store.bGeneralArray = 0;
    openUndo.sounding = sounding;
    openUndo.sDataTitle = sDataTitle;
    openUndo.dataFolder = dataFolder;
    sounding.Clear();
    bSurveyUndo = bModelUndo = bOpenUndo = 1;
}

void CBrivaneDoc::UndoOpen() {
    survey.CopyFrom(undoSurvey);
    store.Swap(undoStore);
    sounding = openUndo.sounding;
    sDataTitle = openUndo.sDataTitle;
    dataFolder = openUndo.dataFolder;
    bSurveyUndo = bModelUndo = bOpenUndo = 0;
}

void CBrivaneDoc::ClearAll() {
    sounding.Clear();
    survey.Clear();
    mapGrid.Clear();
}

void InitialiseLanguage(CPrompter& prompter) {
    const int registered = ReadSuiteInt("LanguageRegister", 0);
    int language = ReadSuiteInt("Language", kLanguageEnglish);
    if (registered != 1) {
        language = prompter.TwoButtonBox("Fennick", "Select the language !", "English",
                                         "Japanese") == 1
                       ? kLanguageJapanese
                       : kLanguageEnglish;
        StoreSuiteLanguage(language);
    }
    SetLanguage(language);
}

void ToggleLanguage() {
    const int language = IsJapanese() ? kLanguageEnglish : kLanguageJapanese;
    SetLanguage(language);
    StoreSuiteLanguage(language);
}

bool ConfirmExit(CPrompter& prompter) {
    return prompter.Message(Tr("Are you sure you want to exit?", "終了しますか？"),
                            PromptButtons::OkCancel) == PromptAnswer::Ok;
}
