// The processing program's command table: every menu and toolbar command as data (identifier,
// menu texts in both languages, accelerator, placement, enable and check rules, handler).
// The Qt frame builds its menus and toolbar from it; the batch command line and the tests
// invoke commands by identifier through the same handlers.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "processing/document.h"

// Identifiers of the menu commands (the frame's command identifiers).
enum CommandId : int {
    kCmdOpenGantrel = 32802,
    kCmdSaveGantrel = 32824,
    kCmdOpenSection = 32775,
    kCmdSaveSection = 32772,
    kCmdImportR731 = 32826,
    kCmdSaveSTN = 32852,
    kCmdConvertSTOtoSTN = 32890,
    kCmdImportRes2dinv = 32771,
    kCmdExportRes2dinv = 32854,
    kCmdSaveST1 = 32875,
    kCmdSaveST4 = 32876,
    kCmdExportSurfer = 32902,
    kCmdSaveCurrentLevel = 32886,
    kCmdSaveXMLRaw = 32895,
    kCmdSaveXMLProcessed = 32888,
    kCmdApplyNewGPS = 32922,
    kCmdPrint = 57607,
    kCmdPrintPreview = 57609,
    kCmdPrintSetup = 57606,
    kCmdExit = 57665,
    kCmdShowLineResistance = 32858,
    kCmdShowLineResistivity = 32813,
    kCmdShowAllReceivers = 32829,
    kCmdShowCurrentLevel = 32883,
    kCmdShowSectionOriginal = 32805,
    kCmdShowSectionGridded = 32810,
    kCmdShowModel1D = 32807,
    kCmdShowModel2D = 32776,
    kCmdShowModelPlotter = 32825,
    kCmdShowMapGPS = 32833,
    kCmdShowMapArray = 32896,
    kCmdShowMapResistivity = 32897,
    kCmdShowMapInterpolated = 32906,
    kCmdShowFlagsAndLines = 32900,
    kCmdMapMosaic = 32908,
    kCmdMapContourNoLine = 32911,
    kCmdMapContourLine = 32910,
    kCmdMaxContourDistance = 32915,
    kCmdAxisConfiguration = 32787,
    kCmdContourDefault = 32868,
    kCmdContourLinear = 32869,
    kCmdContourLog = 32870,
    kCmdContourManual = 32871,
    kCmdShowLayerBoundary = 32881,
    kCmdToolbar = 59392,
    kCmdStatusBar = 59393,
    kCmdEditLines = 32803,
    kCmdMedianFilter = 32815,
    kCmdGate = 32820,
    kCmdSmoothHMedian = 32789,
    kCmdSmoothHAverage = 32791,
    kCmdSmoothVAverage = 32790,
    kCmdUndo = 57643,
    kCmdCut = 57635,
    kCmdCopy = 57634,
    kCmdSaveImage = 32860,
    kCmdSaveMapKML = 32903,
    kCmdMaxCurrentLevel = 32893,
    kCmdMinCurrentLevel = 32894,
    kCmdInterpolatedByTime = 32808,
    kCmdSaveLineASCII = 32817,
    kCmdSetFlags = 32835,
    kCmdSetFlagLatLon = 32923,
    kCmdSetDistance = 32837,
    kCmdClearFlags = 32857,
    kCmdInterpolation = 32904,
    kCmdConvertToGrid = 32809,
    kCmdInitialModel = 32773,
    kCmdInversion = 32774,
    kCmdJapanese = 32853,
    kCmdReverseYText = 32793,
    kCmdConvertTextToSTN = 32794,
    kCmdOpenBinary = 32795,
    kCmdAbout = 57664,
    kCmdUploadDatabase = 32918,
    kCmdSurveyProperty = 32920,
    kCmdNew = 57600,
    kCmdDisplayMode = 32800,
    kCmdStopSerialTransfer = 32840,
    // Toolbar buttons without a menu item.
    kCmdHScaleDown = 33001,
    kCmdHScaleUp = 33002,
    kCmdVScaleUp = 33003,
    kCmdVScaleDown = 33004,
    kCmdPreviousLine = 33005,
    kCmdNextLine = 33006,
    kCmdSoundingBack10 = 33007,
    kCmdSoundingForward10 = 33008,
    kCmdPreviousReceiver = 33009,
    kCmdNextReceiver = 33010,
    kCmdDisplayToggle = 33011,
    kCmdShowOneReceiver = 33012,
    kCmdMouseMode1 = 33013,
    kCmdMouseMode4 = 33014,
    kCmdMouseMode5 = 33015,
    kCmdMouseMode5Option = 33016,
    // The toolbar's "show all receivers" sets what the menu item of that name toggles.
    kCmdShowAllReceiversButton = 33017,
    // "Print at true scale": printing keeps one page unit 0.1 mm instead of fitting the page.
    kCmdPrintTrueScale = 33018,
    // "Save current map as a GIS grid": the shown slice of the interpolated map (.asc, .prj).
    kCmdSaveMapGrid = 33019,
    kCmdShowColumnMisfit = 33020,  // the misfit curve above the model section
};

struct CCommand {
    int id = 0;
    std::string sText;    // English menu text (or tool tip for toolbar-only commands)
    std::string sTextJa;  // Japanese
    std::string sAccelerator;  // "Ctrl+Z"; empty when none
    std::string sMenu;         // top-level menu; empty for toolbar-only commands
    int iToolbar = -1;         // position on the toolbar, -1 when not there
    bool bJapaneseMenuOnly = false;
    std::function<bool(const CBrivaneContext&)> enabled;  // empty: enabled when built
    std::function<bool(const CBrivaneContext&)> checked;  // empty: never checked
    std::function<void(CBrivaneContext&)> handler;        // empty: not available yet
};

class CCommandTable {
public:
    // Adds a command or replaces the one with the same identifier.
    void Register(CCommand command);
    // Gives a registered command its handler and rules (unknown identifiers are ignored).
    void Bind(int id, std::function<void(CBrivaneContext&)> handler,
              std::function<bool(const CBrivaneContext&)> enabled = {},
              std::function<bool(const CBrivaneContext&)> checked = {});
    const CCommand* Find(int id) const;
    const std::vector<CCommand>& All() const { return commands_; }

    bool IsEnabled(const CBrivaneContext& ctx, int id) const;
    bool IsChecked(const CBrivaneContext& ctx, int id) const;
    // Runs an enabled command; false when it is unknown, not built or disabled.
    bool Invoke(CBrivaneContext& ctx, int id) const;
    // The menu text in the current language.
    std::string Text(int id) const;

private:
    std::vector<CCommand> commands_;
};

// The full table of the processing program: every command with its texts and placement, and
// the handlers of the commands built so far.
CCommandTable BuildBrivaneCommands();

// Command groups (each in the file of its commands).
void RegisterShellCommands(CCommandTable& table);
void RegisterOpenCommands(CCommandTable& table);
void RegisterSaveCommands(CCommandTable& table);
void RegisterGridCommands(CCommandTable& table);
void RegisterEditCommands(CCommandTable& table);
void RegisterDisplayCommands(CCommandTable& table);
void RegisterAnalysisCommands(CCommandTable& table);
void RegisterSectionCommands(CCommandTable& table);
void RegisterSideExportCommands(CCommandTable& table);
void RegisterConversionCommands(CCommandTable& table);
void RegisterExchangeCommands(CCommandTable& table);
void RegisterDatabaseCommands(CCommandTable& table);
void RegisterMapCommands(CCommandTable& table);
void RegisterTransferCommands(CCommandTable& table);
