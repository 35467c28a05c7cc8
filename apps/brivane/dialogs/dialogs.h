// The processing program's own dialogs, shown by the window's prompter for the values of its
// commands. Each works on a copy of the values and writes it back on OK.
#pragma once

#include <optional>

#include "platform/qt_common_dialogs.h"
#include "platform/qt_prompter.h"

struct CDlgContourInterval;
struct CDlgRS232C;
struct CDlgInitialModel;
struct CDlgLsm;
struct CDlgManualAxis;
struct CDlgProperty;
struct CDlgMedianFilter;
struct CEditEachLineValues;
struct CEditMarkerValues;
struct CEditOriginalDataValues;
struct CSpinValues;
struct CSurveyConfigurationValues;
struct CTwoValueInput;

// Makes the prompter show these dialogs for the processing program's values.
void InstallBrivaneDialogs(CQtPrompter& prompter);
// The dialog of values of the processing program; nullopt for values it has no dialog for.
std::optional<bool> ShowBrivaneDialog(CQtPrompter& prompter, CDialogValues& values);

// Positioning: survey configuration, a flag's two values, a marker's distance.
bool SurveyConfigurationDialog(CQtPrompter& prompter, CSurveyConfigurationValues& values);
bool TwoValueDialog(CQtPrompter& prompter, CTwoValueInput& values);
bool EditMarkerDialog(CQtPrompter& prompter, CEditMarkerValues& values);
// Model: initial model and inversion parameters.
bool InitialModelDialog(CQtPrompter& prompter, CDlgInitialModel& values);
bool LsmDialog(CQtPrompter& prompter, CDlgLsm& values);
// Line editing.
bool MedianFilterDialog(CQtPrompter& prompter, CDlgMedianFilter& values);
bool SpinDialog(CQtPrompter& prompter, CSpinValues& values);
bool EditEachLineDialog(CQtPrompter& prompter, CEditEachLineValues& values);
bool EditOriginalDataDialog(CQtPrompter& prompter, CEditOriginalDataValues& values);
// Display scales.
bool ManualAxisDialog(CQtPrompter& prompter, CDlgManualAxis& values);
// Console transfer: the serial port.
bool SerialPortDialog(CQtPrompter& prompter, CDlgRS232C& values);
// Database: the survey's project name.
bool PropertyDialog(CQtPrompter& prompter, CDlgProperty& values);
