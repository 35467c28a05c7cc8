// The logging program's menus: command identifiers and the main and view menus in English
// and Japanese. The window builds its menu bars from these tables, so both languages always
// carry the same identifiers.
#pragma once

#include <string>
#include <vector>

enum TessickCommand : int {
    // Window
    kCmdShowProfileWindow = 32783,
    kCmdShowGPSWindow = 32801,
    kCmdShowModelWindow = 32800,
    kCmdShowLoggingWindow = 32785,
    kCmdWindowCascade = 57650,
    kCmdWindowTile = 57651,
    // Data acquisition
    kCmdEndLine = 32815,
    kCmdMark = 32811,
    kCmdPause = 32813,
    kCmdSetUpGeometry = 32797,
    kCmdIncrementFileID = 32826,
    kCmdDataFileNameAndFolder = 32842,
    kCmdRegistryGPS = 32850,
    kCmdSetUpGeometry2 = 32854,
    // Serial port
    kCmdStartGantrel = 32821,
    kCmdStopGantrel = 32822,
    kCmdStartGPS = 32823,
    kCmdStopGPS = 32824,
    kCmdShowSerialPorts = 32786,
    kCmdPortTest = 32831,
    kCmdStartGantrel2 = 32852,
    kCmdStopGantrel2 = 32853,
    // System
    kCmdJapanese = 32809,
    kCmdDemoReadFile = 32791,
    kCmdDemoConstantModel = 32843,
    kCmdDemoTwoLayerModel = 32845,
    kCmdDemoGPSReadFile = 32802,
    kCmdDemoGPSTrack = 32858,
    kCmdUpload = 32848,
    kCmdSetupDatabase = 32856,
    kCmdSaveSerialPortLog = 32806,
    kCmdThreadStartGantrel = 32772,
    kCmdThreadStopGantrel = 32780,
    kCmdThreadStartGPS = 32778,
    kCmdThreadStopGPS = 32781,
    kCmdThreadDemonstration = 32775,
    kCmdExit = 57665,
    // Help
    kCmdAbout = 57664,
    // Views (menu resource 130 and the model and GPS windows)
    kCmdViewText = 32794,
    kCmdViewResistance = 32829,
    kCmdViewResistivity = 32795,
    kCmdViewModel = 32832,
    kCmdColorDefault = 32837,
    kCmdColorLinear = 32838,
    kCmdColorLog = 32839,
    kCmdColorManual = 32840,
    kCmdViewDepth = 32804,
    kCmdViewGPSMap = 32803,
    // The model window's live inverted section and its parameters dialog.
    kCmdViewInvertedSection = 32950,
    kCmdLiveSectionParameters = 32951,
    // Sent to the views of the document: an auxiliary window closed, the program closes.
    kCmdProfileClosed = 3001,
    kCmdGPSClosed = 3002,
    kCmdLoggingClosed = 3003,
    kCmdModelClosed = 3004,
    kCmdCloseProgram = 32805,
};

// One menu entry: an item (iCommand > 0), a separator (iCommand 0, no text) or a submenu
// (iCommand 0 with items).
struct CMenuEntry {
    std::string sEnglish;
    std::string sJapanese;
    int iCommand = 0;
    bool bCheckable = false;
    bool bAlwaysDisabled = false;  // present but never enabled
    std::vector<CMenuEntry> items;

    const std::string& Text(int language) const { return language == 1 ? sJapanese : sEnglish; }
    bool IsSeparator() const { return iCommand == 0 && items.empty() && sEnglish.empty(); }
};

// The main frame's menu bar: one submenu per top-level menu.
const std::vector<CMenuEntry>& TessickMainMenu();
// The "View" menu of an auxiliary window: profile (kProfileWindow), resistivity model, GPS;
// the logging window has none (empty).
const std::vector<CMenuEntry>& TessickViewMenu(int iWindow);
// The entry of a command anywhere in the main menu or a view menu, or nullptr.
const CMenuEntry* FindMenuEntry(int iCommand);
// Every command identifier of the main menu, in menu order.
std::vector<int> MainMenuCommands();
