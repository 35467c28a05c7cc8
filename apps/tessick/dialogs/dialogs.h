// The logging program's own dialogs, shown by the window's prompter for the values of the
// acquisition commands. Each works on a copy of the values and writes it back on OK.
#pragma once

#include <optional>

#include "platform/qt_common_dialogs.h"
#include "platform/qt_prompter.h"

struct CDlgContourInterval;
struct CDlgGantrelGeometry;
struct CDlgLiveSection;
struct CDlgOpenLogFile;
struct CDlgRS232C;
struct CDlgSetFileNameAndFolder;
class CPortTestWindow;

// Makes the prompter show these dialogs for the logging program's values.
void InstallTessickDialogs(CQtPrompter& prompter);
std::optional<bool> ShowTessickDialog(CQtPrompter& prompter, CDialogValues& values);

// "Serial port": combo boxes "Com port" (editable: a device path may be typed), "Baud rate",
// "Stop bits".
bool SerialPortDialog(CQtPrompter& prompter, CDlgRS232C& values);
// The open dialog of the read-file demonstrations: a file dialog with the log file filter.
bool OpenLogFileDialog(CQtPrompter& prompter, CDlgOpenLogFile& values);
// "File name and folder ": the prefix, the read-only folder and "SET" with the folder chooser.
bool FileNameAndFolderDialog(CQtPrompter& prompter, CDlgSetFileNameAndFolder& values);
// "Gantrel geometry": both dipole groups, lengths, the check box, the preview and its modes.
bool GantrelGeometryDialog(CQtPrompter& prompter, CDlgGantrelGeometry& values);
// "Inverted section parameters": the switch, cell size, layers, depth, iterations and the
// placement (markers with their spacing, or the GPS line). OK keeps the dialog open, with the
// reason told, while the values cannot be used.
bool LiveSectionDialog(CQtPrompter& prompter, CDlgLiveSection& values);
// "Contour interval" of the profile view's manual colours.
// "Serialport test": the 20 latest lines of every port that opened, read once a second, until
// OK. The window's ports are closed when it ends.
void PortTestDialog(CQtPrompter& prompter, CPortTestWindow& window);
