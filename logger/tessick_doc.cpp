#include "logger/tessick_doc.h"

#include <algorithm>

#include "common/language.h"
#include "common/program_settings.h"
#include "common/settings.h"
#include "logger/tessick_menu.h"
#include "logger/tessick_texts.h"

int SelectTessickLanguage(CPrompter& prompter) {
    const int registered = ReadSuiteInt("LanguageRegister", 0);
    int language = ReadSuiteInt("Language", kLanguageEnglish) == kLanguageJapanese
                       ? kLanguageJapanese
                       : kLanguageEnglish;
    if (registered == 0)
        language = prompter.TwoButtonBox(kLoggingProgramTitle, "Select the language !", "English",
                                         "Japanese") == 1
                       ? kLanguageJapanese
                       : kLanguageEnglish;
    StoreSuiteLanguage(language);
    SetLanguage(language);
    return language;
}

CTessickDoc::CTessickDoc(CSerialPortSystem& ports, CPrompter& p, CClock& clock)
    : prompter(p),
      loggerPrompter(p),
      iLanguageAtStart_(SelectTessickLanguage(p)),
      state(ports, loggerPrompter, clock),
      parameter(iLanguageAtStart_),
      ports_(ports) {
    lastDataArrival = clock.Now();
    // Told once at start, before anything can be recorded (the logging view keeps them too).
    if (!state.settingsProblems.empty()) {
        std::string text;
        for (const std::string& problem : state.settingsProblems)
            text += (text.empty() ? "" : "\n") + problem;
        prompter.Message(text);
    }
    state.onViewsUpdate = [this] {
        lastDataArrival = state.Clock().Now();
        if (onViewsUpdate) onViewsUpdate();
    };
}

CTessickDoc::~CTessickDoc() {
    WriteSuiteInt("GPS_Active", 0);
}

bool CTessickDoc::IsWindowOpen(int iWindow) const {
    return iWindow >= 0 && iWindow < kAuxWindows && bWindowOpen_[static_cast<size_t>(iWindow)];
}

bool CTessickDoc::OpenWindow(int iWindow) {
    if (iWindow < 0 || iWindow >= kAuxWindows || IsWindowOpen(iWindow)) return false;
    bWindowOpen_[static_cast<size_t>(iWindow)] = 1;
    return true;
}

void CTessickDoc::WindowClosed(int iWindow) {
    if (bClosing_ || iWindow < 0 || iWindow >= kAuxWindows) return;
    bWindowOpen_[static_cast<size_t>(iWindow)] = 0;
}

int CTessickDoc::WindowOfCommand(int iCommand) {
    switch (iCommand) {
        case kCmdShowProfileWindow:
            return kProfileWindow;
        case kCmdShowGPSWindow:
            return kGPSWindow;
        case kCmdShowLoggingWindow:
            return kLoggingWindow;
        case kCmdShowModelWindow:
            return kModelWindow;
        default:
            return -1;
    }
}

bool CTessickDoc::DemonstrationOfCommand(int iCommand, int& device, int& kind) {
    switch (iCommand) {
        case kCmdDemoReadFile:
            device = kSlotGantrel, kind = kDemoReadFile;
            return true;
        case kCmdDemoConstantModel:
            device = kSlotGantrel, kind = kDemoConstantModel;
            return true;
        case kCmdDemoTwoLayerModel:
            device = kSlotGantrel, kind = kDemoTwoLayerModel;
            return true;
        case kCmdDemoGPSReadFile:
            device = kSlotGPS, kind = kDemoGPSReadFile;
            return true;
        case kCmdDemoGPSTrack:
            device = kSlotGPS, kind = kDemoGPSTrack;
            return true;
        default:
            return false;
    }
}

bool CTessickDoc::IsEnabled(int iCommand) const {
    const CAcquisitionState& s = state;
    switch (iCommand) {
        case kCmdShowProfileWindow:
        case kCmdShowGPSWindow:
        case kCmdShowLoggingWindow:
        case kCmdShowModelWindow:
            return !IsWindowOpen(WindowOfCommand(iCommand));
        case kCmdEndLine:
            return s.CanEndLine();
        case kCmdMark:
            return s.CanMark();
        case kCmdPause:
            return s.CanPause();
        case kCmdSetUpGeometry:
        case kCmdSetUpGeometry2:
        case kCmdIncrementFileID:
        case kCmdDataFileNameAndFolder:
            return s.CanIdleCommand();
        case kCmdRegistryGPS:
            return s.RegistryGPSEnabled();
        case kCmdStartGantrel:
            return s.CanStartGantrel();
        case kCmdStopGantrel:
            return s.CanStopGantrel();
        case kCmdStartGPS:
            return s.CanStartGPS();
        case kCmdStopGPS:
            return s.CanStopGPS();
        case kCmdStartGantrel2:
            return s.CanStartGantrel2();
        case kCmdStopGantrel2:
            return s.CanStopGantrel2();
        case kCmdDemoReadFile:
        case kCmdDemoConstantModel:
        case kCmdDemoTwoLayerModel:
            return s.CanStartGantrel();
        case kCmdDemoGPSReadFile:
        case kCmdDemoGPSTrack:
            return s.CanStartGPS();
        case kCmdUpload:
            // Without an uploader the switch would promise uploads that never happen.
            return s.pUploader != nullptr;
        case kCmdThreadStartGantrel:
        case kCmdThreadStopGantrel:
        case kCmdThreadStartGPS:
        case kCmdThreadStopGPS:
        case kCmdThreadDemonstration:
            return false;
        default:
            return true;
    }
}

bool CTessickDoc::IsChecked(int iCommand) const {
    switch (iCommand) {
        case kCmdJapanese:
            return Language() == kLanguageJapanese;
        case kCmdRegistryGPS:
            return state.RegistryGPSChecked();
        case kCmdUpload:
            return state.bUpload != 0;
        case kCmdSaveSerialPortLog:
            return state.serialLogs.IsOn();
        default:
            return false;
    }
}

bool CTessickDoc::Execute(int iCommand) {
    if (!IsEnabled(iCommand)) return false;
    CAcquisitionState& s = state;
    switch (iCommand) {
        case kCmdEndLine:
            s.EndLine();
            return true;
        case kCmdMark:
            s.StartMark();
            return true;
        case kCmdPause:
            s.Pause();
            return true;
        case kCmdSetUpGeometry:
            s.SetUpGeometry(kFirstInstrument);
            return true;
        case kCmdSetUpGeometry2:
            s.SetUpGeometry(kSecondInstrument);
            return true;
        case kCmdIncrementFileID:
            s.IncrementFileID();
            return true;
        case kCmdDataFileNameAndFolder:
            s.DataFileNameAndFolder();
            return true;
        case kCmdRegistryGPS:
            s.ToggleRegistryGPS();
            return true;
        case kCmdStartGantrel:
            s.StartGantrel();
            return true;
        case kCmdStopGantrel:
            s.StopGantrel();
            return true;
        case kCmdStartGPS:
            s.StartGPS();
            return true;
        case kCmdStopGPS:
            s.StopGPS();
            return true;
        case kCmdStartGantrel2:
            s.StartGantrel2();
            return true;
        case kCmdStopGantrel2:
            s.StopGantrel2();
            return true;
        case kCmdShowSerialPorts:
            ShowAvailableSerialPorts(ports_, loggerPrompter);
            return true;
        case kCmdJapanese:
            ToggleJapanese();
            return true;
        case kCmdDemoReadFile:
        case kCmdDemoConstantModel:
        case kCmdDemoTwoLayerModel:
        case kCmdDemoGPSReadFile:
        case kCmdDemoGPSTrack: {
            int device = 0, kind = 0;
            DemonstrationOfCommand(iCommand, device, kind);
            s.StartDemonstration(device, kind);
            return true;
        }
        case kCmdUpload:
            s.ToggleUpload();
            return true;
        case kCmdSetupDatabase:
            s.SetupUploadDatabase();
            return true;
        case kCmdSaveSerialPortLog:
            s.ToggleSaveSerialPortLog();
            return true;
        default:
            return false;
    }
}

void CTessickDoc::ToggleJapanese() {
    const int language = Language() == kLanguageJapanese ? kLanguageEnglish : kLanguageJapanese;
    SetLanguage(language);
    StoreSuiteLanguage(language);
    parameter.iLanguage = language;
    parameter.SetLabels();
    for (CButtonState* b : {&state.form.gantrel, &state.form.gps, &state.form.endLine,
                            &state.form.startMark, &state.form.pause})
        b->sCaption = TranslateCaption(b->sCaption, language);
    if (onLanguageChanged) onLanguageChanged();
}

bool CTessickDoc::ConfirmExit() {
    return prompter.Message(TessickText("Are you sure you want to exit?", Language()),
                            PromptButtons::OkCancel) == PromptAnswer::Ok;
}

void CTessickDoc::PrepareClose() {
    bClosing_ = true;
    state.EndLine();
    // Records the survey files did not take are offered for another file before they go.
    state.OfferHeldRecords();
    WriteSuiteInt("GPS_Active", 0);
}
