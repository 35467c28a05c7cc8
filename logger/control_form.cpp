#include "logger/control_form.h"

#include <algorithm>

#include "common/text_format.h"
#include "logger/tessick_menu.h"
#include "logger/tessick_texts.h"

int WindowOfFormButton(int iControl) {
    switch (iControl) {
        case kIdcProfileWindow:
            return kProfileWindow;
        case kIdcGPSWindow:
            return kGPSWindow;
        case kIdcModelWindow:
            return kModelWindow;
        case kIdcLoggingWindow:
            return kLoggingWindow;
        default:
            return -1;
    }
}

int ShowCommandOfWindow(int iWindow) {
    switch (iWindow) {
        case kProfileWindow:
            return kCmdShowProfileWindow;
        case kGPSWindow:
            return kCmdShowGPSWindow;
        case kModelWindow:
            return kCmdShowModelWindow;
        default:
            return kCmdShowLoggingWindow;
    }
}

std::string CControlFormValues::Text(int iControl) const {
    if (iControl >= kIdcReceiverLevel1 && iControl < kIdcReceiverLevel1 + kMaxReceiver)
        return sReceiverLevel[static_cast<size_t>(iControl - kIdcReceiverLevel1)];
    if (iControl >= kIdcFirstStatus1 && iControl < kIdcFirstStatus1 + kMaxReceiver)
        return sFirstStatus[static_cast<size_t>(iControl - kIdcFirstStatus1)];
    if (iControl >= kIdcSecondStatus1 && iControl < kIdcSecondStatus1 + kMaxReceiver)
        return sSecondStatus[static_cast<size_t>(iControl - kIdcSecondStatus1)];
    switch (iControl) {
        case kIdcFileID:
            return sFileID;
        case kIdcLineID:
            return sLineID;
        case kIdcMark:
            return sMark;
        case kIdcStatus:
            return sStatus;
        case kIdcFilePath:
            return sFilePath;
        case kIdcDataLines:
            return sDataLines;
        case kIdcTransmitterLevel:
            return sTransmitterLevel;
        case kIdcDipoleLabel:
            return sDipoleLabel;
        case kIdcTransmitterDipole:
            return sTransmitterDipole;
        case kIdcReceiverDipole:
            return sReceiverDipole;
        case kIdcRopeLength:
            return sRopeLength;
        case kIdcOffset:
            return sOffset;
        default:
            if (const CButtonState* b = Button(iControl)) return b->sCaption;
            return {};
    }
}

const CButtonState* CControlFormValues::Button(int iControl) const {
    switch (iControl) {
        case kIdcGantrel:
            return &gantrel;
        case kIdcGPS:
            return &gps;
        case kIdcEndLine:
            return &endLine;
        case kIdcStartMark:
            return &startMark;
        case kIdcPause:
            return &pause;
        default:
            return nullptr;
    }
}

void RefreshControlForm(CControlFormValues& v, const CTessickDoc& doc) {
    const CAcquisitionState& s = doc.state;
    const int language = doc.Language();
    v.sFileID = FormatC("%d", std::max(s.iFileID, 0));
    v.sLineID = FormatC("%d", std::max(s.iLineID, 0));
    v.sMark = FormatC("%d", std::max(s.iMarkerNumber, 0));

    const CGantrelGeometry& g = s.geometry[kFirstInstrument];
    const bool bDifferent = g.bDifferentSize != 0;
    v.sDipoleLabel = TessickText(bDifferent ? "Transmitter dipole size" : "Dipole size", language);
    v.sTransmitterDipole = FormatC("%.1f", static_cast<double>(g.fTransmitterDipole));
    v.bReceiverDipoleShown = bDifferent;
    v.sReceiverDipole = FormatC("%.1f", static_cast<double>(g.fReceiverDipole));
    v.sRopeLength = FormatC("%.1f", static_cast<double>(g.fRopeLength));
    v.sOffset = FormatC("%.1f", static_cast<double>(g.fOffset));

    if (!s.readings.Empty()) {
        const CLoggerReading& r = s.readings.Latest();
        const int n = std::clamp(r.nReceiver, 0, kMaxReceiver);
        v.sTransmitterLevel = FormatC("%.2f", static_cast<double>(r.fTransmitterLevel));
        for (int i = 0; i < kMaxReceiver; ++i) {
            const auto k = static_cast<size_t>(i);
            if (i < n) {
                v.sReceiverLevel[k] = FormatC("%.2f", static_cast<double>(r.fReceiverLevel[i]));
                v.sFirstStatus[k] = FormatC("%d", r.iCurrentLevel[i]);
                v.sSecondStatus[k] = FormatC("%d", r.iStatus[i]);
            } else {
                v.sReceiverLevel[k].clear();
                v.sFirstStatus[k].clear();
                v.sSecondStatus[k].clear();
            }
        }
    }
    v.sDataLines = s.dataLines.Text();
    v.sFilePath = s.sSurveyPath[kFirstInstrument].string();

    v.sStatus = s.form.sStatus;
    if (!s.form.sNotice.empty() && s.form.sStatus.find(s.form.sNotice) == std::string::npos)
        v.sStatus += (v.sStatus.empty() ? "" : "\n") + s.form.sNotice;
    v.bStatusAlarm = !s.form.sStatus.empty();

    v.gantrel = s.form.gantrel;
    v.gps = s.form.gps;
    v.endLine = s.form.endLine;
    v.startMark = s.form.startMark;
    v.pause = s.form.pause;
    v.bSetUpGeometryEnabled = s.form.bSetUpGeometryEnabled;
    for (int w = 0; w < kAuxWindows; ++w)
        v.bWindowButtonEnabled[static_cast<size_t>(w)] = !doc.IsWindowOpen(w);
}
