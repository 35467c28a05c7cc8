// The logging program's one document: the acquisition state with its rings and logs, the
// drawing parameters of the views, the open flags of the four auxiliary windows, the
// language, and what the main menu's commands do and when they are enabled. The window
// (apps/tessick) and tests drive the program through it.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "acquisition/acquisition_state.h"
#include "common/clock.h"
#include "common/drawing_parameter.h"
#include "common/program_settings.h"
#include "common/prompter.h"
#include "common/serial_port.h"

// The auxiliary windows, in the order of their closing commands 3001 to 3004.
enum AuxWindow : int {
    kProfileWindow = 0,
    kGPSWindow = 1,
    kLoggingWindow = 2,
    kModelWindow = 3,
    kAuxWindows = 4,
};

// The logging window's placement (common/program_settings.h), 1200 by 600 at first start.
using CTessickPlacement = WindowPlacement;
inline CTessickPlacement LoadTessickPlacement() { return LoadWindowPlacement(1200, 600); }
inline void SaveTessickPlacement(const CTessickPlacement& p) { SaveWindowPlacement(p); }
// The control form's child frame: at 0,0, 1100 by 550.
inline constexpr int kControlFormWidth = 1100;
inline constexpr int kControlFormHeight = 550;

// Reads "LanguageRegister" and "Language" of the suite; asks "Select the language !" when no
// program of the suite has asked yet; writes both values to both suite places and sets the
// process-wide language. Returns it.
int SelectTessickLanguage(CPrompter& prompter);

class CTessickDoc {
public:
    // Start-up: the language first (captions depend on it), then the acquisition state
    // (settings, file ID, data folder; "GPS_Active" 0).
    CTessickDoc(CSerialPortSystem& ports, CPrompter& prompter, CClock& clock);
    // "GPS_Active" 0 again.
    ~CTessickDoc();
    CTessickDoc(const CTessickDoc&) = delete;
    CTessickDoc& operator=(const CTessickDoc&) = delete;

    // ---- auxiliary windows ----
    bool IsWindowOpen(int iWindow) const;
    // Sets the open flag; false (nothing to do) when that window is open already.
    bool OpenWindow(int iWindow);
    // A window was destroyed: its flag clears, unless the program is closing.
    void WindowClosed(int iWindow);
    // The window of a "Show ... window" command, -1 for other commands.
    static int WindowOfCommand(int iCommand);
    // The device (kSlotGantrel or kSlotGPS) and kind of a demonstration command; false for
    // other commands.
    static bool DemonstrationOfCommand(int iCommand, int& device, int& kind);

    // ---- main menu ----
    // Runs a command the document owns; false for commands it does not own (the window's:
    // showing windows, cascade, tile, exit, about, the port test window) or that are disabled.
    bool Execute(int iCommand);
    bool IsEnabled(int iCommand) const;
    bool IsChecked(int iCommand) const;
    // Keys M, E, P from the form or any view; true when the key acted.
    bool OnKey(char key) { return state.OnKey(key); }

    // "Japanese": switches the language, stores it, re-captions the buttons and relabels
    // the drawing parameters.
    void ToggleJapanese();
    int Language() const { return parameter.iLanguage; }

    // ---- exit ----
    // "Are you sure you want to exit?" with OK and Cancel; true on OK.
    bool ConfirmExit();
    // What follows the question: the closing flag, END LINE (whatever the devices' state),
    // the offer to save what the survey files did not take, and "GPS_Active" 0.
    void PrepareClose();
    bool IsClosing() const { return bClosing_; }

    CPrompter& prompter;
    CLoggerPrompterOn loggerPrompter;

private:
    int iLanguageAtStart_;  // set before the state is built

public:
    CAcquisitionState state;
    CGantrelDrawingParameter parameter;
    // Told after the language changed (menus, views).
    std::function<void()> onLanguageChanged;
    // Told when a tick brought data and the views are to redraw (the document takes the
    // state's notice to keep the arrival time).
    std::function<void()> onViewsUpdate;
    // When data last arrived: the profile's sweep redraws on its own once this is 3 s old.
    CClockTime lastDataArrival;

private:
    CSerialPortSystem& ports_;
    std::array<int, kAuxWindows> bWindowOpen_{};
    bool bClosing_ = false;
};
