// What every control of the logging program's control form shows: the numbers, the file
// path, the data-lines text, the latest reading's levels and status digits, the geometry
// fields and their labels, the big buttons (caption, colour, enabled) and the buttons that
// open the auxiliary windows. The window copies these values into its widgets.
#pragma once

#include <array>
#include <string>

#include "acquisition/acquisition_state.h"
#include "logger/tessick_doc.h"

// Control identifiers of the form (dialog resource 103); the window names its widgets so.
enum ControlFormId : int {
    kIdcFileID = 1301,
    kIdcLineID = 1005,
    kIdcMark = 1106,
    kIdcFilePath = 1113,
    kIdcDataLines = 1002,
    kIdcTransmitterLevel = 2006,
    kIdcReceiverLevel1 = 2001,  // to 2005
    kIdcFirstStatus1 = 2201,    // to 2205
    kIdcSecondStatus1 = 2301,   // to 2305
    kIdcDipoleLabel = 1030,
    kIdcTransmitterDipole = 1011,
    kIdcReceiverDipoleLabel = 1033,
    kIdcReceiverDipole = 1115,
    kIdcReceiverDipoleUnit = 1034,
    kIdcRopeLength = 1010,
    kIdcOffset = 1009,
    kIdcSetUpGeometry = 1012,
    kIdcGantrel = 2101,
    kIdcGPS = 2102,
    kIdcEndLine = 2103,
    kIdcStartMark = 2104,
    kIdcPause = 2105,
    kIdcProfileWindow = 1004,
    kIdcGPSWindow = 1108,
    kIdcModelWindow = 1107,
    kIdcLoggingWindow = 1103,
    kIdcStatus = 1250,  // the status line under the form's controls
};

// The auxiliary window a form button opens (kProfileWindow ...), -1 for other controls.
int WindowOfFormButton(int iControl);
// The "Show ... window" command of a window.
int ShowCommandOfWindow(int iWindow);

struct CControlFormValues {
    std::string sFileID, sLineID, sMark;  // negative numbers show as 0
    std::string sFilePath;
    std::string sDataLines;  // each line followed by " \r\n"
    // The latest reading; empty for receivers beyond its receiver count.
    std::string sTransmitterLevel;
    std::array<std::string, kMaxReceiver> sReceiverLevel, sFirstStatus, sSecondStatus;
    // Geometry of the first instrument.
    std::string sDipoleLabel;  // "Dipole size" or "Transmitter dipole size"
    std::string sTransmitterDipole;
    bool bReceiverDipoleShown = false;  // label, edit and unit, only when the sizes differ
    std::string sReceiverDipole;
    std::string sRopeLength, sOffset;
    // The status line: what keeps the recording from being whole, then the latest notice;
    // bStatusAlarm while data is not being saved or a device is waited for.
    std::string sStatus;
    bool bStatusAlarm = false;
    // Buttons.
    CButtonState gantrel, gps, endLine, startMark, pause;
    bool bSetUpGeometryEnabled = true;
    std::array<bool, kAuxWindows> bWindowButtonEnabled{true, true, true, true};

    // The text of an edit or label control by identifier; empty for controls without text.
    std::string Text(int iControl) const;
    // The big button by identifier, nullptr for other controls.
    const CButtonState* Button(int iControl) const;
};

// The form's refresh: after a tick with data, after the acquisition commands and on the
// refresh request. The latest reading's fields keep what they showed while the ring is empty.
void RefreshControlForm(CControlFormValues& values, const CTessickDoc& doc);
