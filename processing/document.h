// The processing program's document and view state as plain C++: what lives longer than one
// command. The Qt window, the batch command line and the tests all drive the same objects.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/inversion.h"
#include "analysis/map_interpolation.h"
#include "common/program_settings.h"
#include "common/progress.h"
#include "common/prompter.h"
#include "common/survey.h"
#include "sectionfiles/section_store.h"

class CClock;
class CConsoleTransfer;
class CSerialPort;
class CSerialPortSystem;

// Display shown by the view (iViewMode).
enum ViewMode : int {
    kViewNothing = -1,
    kViewModel1D = 0,
    kViewLineResistivity = 1,
    kViewSectionOriginal = 2,
    kViewSectionGridded = 3,
    kViewModel2D = 4,
    kViewSerialTransfer = 5,
    kViewGPSMap = 6,
    kViewLineResistance = 7,
};

// What a left click does (iMouseMode).
enum MouseMode : int {
    kMouseNormal = 0,
    kMouseDisplay1 = 1,
    kMouseGate = 2,
    kMouseFlags = 3,
    kMouseDisplay4 = 4,
    kMouseDisplay5 = 5,
};

// What the plan-view map (iViewMode 6) shows.
enum MapKind : int {
    kMapGPS = 0,           // GPS fixes of every line
    kMapArray = 1,         // operator, transmitter and receiver positions
    kMapResistivity = 2,   // apparent resistivity of one pseudo-depth
    kMapInterpolated = 3,  // the interpolated grid of one pseudo-depth
};

// How the interpolated map is coloured ("iMapColorMode").
enum MapColorMode : int {
    kMapMosaic = 0,
    kMapContour = 1,       // filled contours
    kMapContourLines = 2,  // filled contours with their lines
};

// One point of an averaged sounding curve (one-dimensional survey).
struct CSoundingPoint {
    float fResistivity = 0.0f;  // geometric mean apparent resistivity, Ohm-m
    float fHalfDipole = 0.0f;   // half the receiver dipole, m
    float fNFactor = 0.0f;
    int nCount = 0;    // readings averaged
    int bMarked = 0;   // marked with the mouse for removal
};

struct CSoundingData {
    std::vector<CSoundingPoint> points;
    int bPresent = 0;
    void Clear() {
        points.clear();
        bPresent = 0;
    }
};

// Gate of a line view: a stretch of distances selected with the keyboard.
struct CGate {
    int iGateState = 0;  // 0 off, 1 moving the left edge, 2 moving the right edge
    float fGateStep = 0.0f;
    float fGateLeft = 0.0f, fGateRight = 0.0f;  // m along the line
};

struct CBrivaneViewState {
    int iViewMode = kViewNothing;
    int iMouseMode = kMouseNormal;
    int iSurveyConfiguration = 2;
    int iCurrentLine = 0;
    int iCurrentSounding = 0;
    float fHScale = 1.0f, fVScale = 20.0f;  // one-dimensional model display
    int bShowCurrentLevel = 0;
    int bShowColumnMisfit = 0;  // the model section shows the misfit per column above it
    int bFineStep = 0;  // Shift held
    CGate gateResistivity, gateResistance;  // of views 1 and 7
    // Distance axis of the shown line view (set by its drawing), m.
    float fAxisMin = 0.0f, fAxisMax = 0.0f;
    // The plan-view map: its kind, the index into the survey's pseudo-depths that kinds 2 and
    // 3 show, the flags and line numbers, the colouring of the interpolated grid and the
    // largest distance from data (m) of a cell corner that is still coloured.
    int iMapKind = kMapGPS;
    int iMapDepthIndex = 0;
    int bShowFlagsAndLines = 1;
    int iMapColorMode = kMapMosaic;
    float fMaxDistance = 10.0f;
    // The console transfer (iViewMode 5): its state from the start of the command until it
    // ends or is stopped, its port, bTransfer while it runs and bTimer while the shell's
    // 100 ms timer must run.
    std::shared_ptr<CConsoleTransfer> pTransfer;
    std::shared_ptr<CSerialPort> pTransferPort;
    int bTransfer = 0;
    int bTimer = 0;

    // Reads "hscale", "vscale", "bShowCurrentLevel", "bShowColumnMisfit", "iSurveyConfiguration",
    // "iMapColorMode" and "fMaxDistance".
    void LoadSettings();
    // Stores "hscale" and "vscale".
    void SaveSettings() const;
};

// The drawing objects of the view's displays (plots, colour scale, drawing extents). The
// display library, which builds on this one, derives from this and creates them when the view
// is created; the document owns them.
class CDocumentDisplays {
public:
    virtual ~CDocumentDisplays() = default;
};

// Where the external plotter is looked for first until a location is stored ("MarbeckString").
#if defined(_WIN32)
inline constexpr const char* kDefaultPlotterLocation = "c:\\Program Files (x86)\\Sarovin\\Marbeck.exe";
#else
inline constexpr const char* kDefaultPlotterLocation = "/usr/local/bin/marbeck";
#endif

class CBrivaneDoc {
public:
    // Reads the plotter location; the destructor stores it back.
    CBrivaneDoc();
    ~CBrivaneDoc();
    CBrivaneDoc(const CBrivaneDoc&) = delete;
    CBrivaneDoc& operator=(const CBrivaneDoc&) = delete;

    // Saving an edit for undo: the undo survey becomes a copy of the current one.
    void SaveSurveyForUndo();

    // Before new survey data replace the document ("Open Gantrel data file"): `previous` (the
    // survey as it was) goes to the undo survey, the store is exchanged with the undo store
    // and so left empty, and the averaged sounding, the caption and the data folder are kept
    // aside. One Undo then gives all of them back together. Nothing is kept when the document
    // held neither lines nor a section.
    void SaveOpenForUndo(const CGantrelSurvey& previous);
    // Whether Undo now undoes an open: it does only while both undo copies are the open's. A
    // command that drops either of them (a new grid or model, an edit) ends it, for the survey
    // alone would no longer belong to the store beside it.
    bool IsOpenUndo() const { return bOpenUndo == 1 && bSurveyUndo == 1 && bModelUndo == 1; }
    bool CanUndo() const {
        return bOpenUndo == 1 ? IsOpenUndo() : bModelUndo == 1 || bSurveyUndo == 1;
    }
    // Puts back what SaveOpenForUndo kept; every undo flag becomes 0.
    void UndoOpen();

    CGantrelSurvey survey;
    CGantrelSurvey undoSurvey;
    int bSurveyUndo = 0;
    int bModelUndo = 0;
    int bOpenUndo = 0;  // 1 after an open that SaveOpenForUndo kept the document of
    CSoundingData sounding;
    // The grids of the last "Interpolation"; empty until then and after a survey is opened.
    CInterpolatedGrid mapGrid;
    // Section and model store, and the copy the model smoothing saves into for "Undo";
    // created at kStoreMaxColumn x kStoreMaxRow x kStoreMaxLayer (unallocated, all counts 0,
    // when the memory could not be had).
    CTrevascDataOhm store;
    CTrevascDataOhm undoStore;
    InversionSettings inversionSettings;
    std::string sProjectName;
    // Where "Upload data to database" sends the survey; empty: the service's own address.
    std::string sUploadURL;
    // Title of the last data file opened; when not empty every plot is captioned with it.
    std::string sDataTitle;
    // Drawing objects of the displays; null until the view creates them.
    std::unique_ptr<CDocumentDisplays> pDisplays;
    std::string sUnit = "ohm-m";
    // Folder of the last data file opened: side and diagnostic files go there.
    std::filesystem::path dataFolder;
    // Every data file read in this session: side files never replace one of them.
    std::vector<std::filesystem::path> inputFiles;
    // The external plotter's program, as last found or chosen.
    std::string sPlotterLocation;
    // Restores the model layer's saved state (installed by the model layer); called by Undo.
    std::function<void()> restoreModel;
    // What an open keeps aside besides the survey and the store.
    struct COpenUndo {
        CSoundingData sounding;
        std::string sDataTitle;
        std::filesystem::path dataFolder;
    } openUndo;
    // Number of soundings the one-dimensional model display steps through.
    int SoundingCount() const { return static_cast<int>(sounding.points.size()); }
    // "New": empties the sounding data and deletes every line of the current survey.
    void ClearAll();
};

// Everything a command works on. The shell owns it and installs the prompter; commands ask
// for a redraw instead of drawing.
struct CBrivaneContext {
    CBrivaneContext(CBrivaneDoc& d, CBrivaneViewState& v, CPrompter& p)
        : doc(d), view(v), prompter(p) {}
    CBrivaneDoc& doc;
    CBrivaneViewState& view;
    CPrompter& prompter;
    bool bRedraw = false;
    // Set by the open commands when data read from the files chosen replaced the document's
    // (the window then captions the plots with the file and lists it among the recent files).
    bool bNewData = false;
    bool bExitRequested = false;  // set by "Exit" once the user confirmed
    // Long commands report their columns here ("column %d of %d" for the inversion) and stop when
    // it returns false; may be empty.
    ProgressReport progress;
    // The serial ports and the clock of the console transfer; installed by the shell (none:
    // no port is available).
    CSerialPortSystem* serialPorts = nullptr;
    CClock* clock = nullptr;
    // Why the last command did not do what it was asked (a file not read or not written, a
    // refused step), in the current language; empty when it did. The window ignores it; the
    // batch clears it before every command and stops when it is set afterwards.
    std::optional<std::string> failure;
    // What the last command's reads left out (records over a capacity, unreadable records),
    // one text per file; empty when everything was read. The batch's summary prints them and
    // --strict fails on them. Cleared by CCommandTable::Invoke.
    std::vector<std::string> leftOut;

    void Redraw() { bRedraw = true; }
    // Shows the message exactly as a plain message box and records it as the failure.
    void Fail(std::string message) {
        prompter.Message(message);
        Failed(std::move(message));
    }
    // Records a failure whose message was shown already (or that shows none). The first
    // failure of a command is the cause; later ones only follow from it.
    void Failed(std::string reason) {
        if (!failure) failure = std::move(reason);
    }
};

// Passes everything to another prompter and keeps the last plain message shown since the
// last question or dialog: what a helper that reports through a prompter gave as the reason
// when it then returns failure. A message shown before a cancelled question is not the cause.
class CMessageTap : public CPrompter {
public:
    explicit CMessageTap(CPrompter& inner) : inner_(inner) {}
    // Empty when no plain message followed the last question.
    const std::optional<std::string>& LastMessage() const { return last_; }
    // Every plain message shown through the tap, in order.
    const std::vector<std::string>& Shown() const { return shown_; }

    PromptAnswer Message(const std::string& text, PromptButtons buttons,
                         const std::string& caption) override {
        if (buttons == PromptButtons::Ok) {
            last_ = text;
            shown_.push_back(text);
        } else {
            last_.reset();
        }
        return inner_.Message(text, buttons, caption);
    }
    int TwoButtonBox(const std::string& caption, const std::string& text,
                     const std::string& button0, const std::string& button1) override {
        last_.reset();
        return inner_.TwoButtonBox(caption, text, button0, button1);
    }
    std::optional<int> InputInt(const std::string& caption, const std::string& label,
                                int initial) override {
        last_.reset();
        return inner_.InputInt(caption, label, initial);
    }
    std::optional<double> InputReal(const std::string& caption, const std::string& label,
                                    double initial, const std::string& unit = "") override {
        last_.reset();
        return inner_.InputReal(caption, label, initial, unit);
    }
    std::optional<std::string> InputText(const std::string& caption, const std::string& label,
                                         const std::string& initial) override {
        last_.reset();
        return inner_.InputText(caption, label, initial);
    }
    std::vector<std::filesystem::path> OpenFiles(const std::string& caption,
                                                 const std::vector<FileFilter>& filters,
                                                 const std::filesystem::path& folder,
                                                 bool multiple) override {
        last_.reset();
        return inner_.OpenFiles(caption, filters, folder, multiple);
    }
    std::optional<std::filesystem::path> SaveFile(const std::string& caption,
                                                  const std::vector<FileFilter>& filters,
                                                  const std::filesystem::path& initial) override {
        last_.reset();
        return inner_.SaveFile(caption, filters, initial);
    }
    bool ConfirmsOverwrite() const override { return inner_.ConfirmsOverwrite(); }
    std::optional<std::filesystem::path> ChooseFolder(
        const std::string& caption, const std::filesystem::path& initial) override {
        last_.reset();
        return inner_.ChooseFolder(caption, initial);
    }
    bool EditDialog(CDialogValues& values) override {
        last_.reset();
        return inner_.EditDialog(values);
    }

private:
    CPrompter& inner_;
    std::optional<std::string> last_;
    std::vector<std::string> shown_;
};

// The processing window's placement (common/program_settings.h), 810 by 580 at first start.
inline WindowPlacement LoadWindowPlacement() { return LoadWindowPlacement(810, 580); }

// Startup language: asks once ("Select the language !") until a language was chosen in any
// program of the suite, then sets the process-wide language.
void InitialiseLanguage(CPrompter& prompter);
// The "Japanese" command: toggles the language and writes it to both suite places.
void ToggleLanguage();

// The exit question; true when the program may close.
bool ConfirmExit(CPrompter& prompter);
