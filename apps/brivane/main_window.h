// The processing program's main frame: menus, toolbar and status bar built from the command
// table, the scrolling view, the recent-file list, dropped files, printing and the clipboard,
// and the startup and shutdown of the program's window.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix_serial_port.h"
#include "platform/qt_plot_image.h"
#include "platform/qt_process_launcher.h"
#include "platform/qt_prompter.h"
#include "processing/commands.h"
#include "processing/document.h"

class CBrivaneView;
class QAction;
class QLabel;
class QMenu;
class QPrinter;
class QProgressDialog;
class QTimer;
class QToolBar;

// Length of the recent-file list.
inline constexpr int kRecentFileCount = 4;
// Setting of "Print at true scale" (integer 0 or 1; 0 fits the display to the page).
inline constexpr const char* kPrintTrueScaleKey = "bPrintTrueScale";

class CBrivaneMainWindow : public QMainWindow {
    Q_OBJECT

public:
    // Builds the frame at the stored, clamped placement, the document and the view.
    explicit CBrivaneMainWindow(QWidget* parent = nullptr);
    ~CBrivaneMainWindow() override;

    // The rest of the startup: the language question on the first start of the suite, then
    // the menus in the chosen language. Kept out of the constructor so that a script can
    // answer the question.
    void Start();
    // Opens survey files (.sto, .stn) and a section data and model file (.ovs) as the open
    // commands would with these files chosen: the command line, dropped files and the
    // recent-file list come here.
    void OpenFiles(const std::vector<std::filesystem::path>& files);

    // Runs a command as its menu item or toolbar button does (nothing when it is disabled),
    // redraws the view and refreshes every command's state. True when it ran.
    bool RunCommand(int id);
    // Enable and check states of every action from the command table (on opening a menu and
    // after every command, as the frame's command-update would).
    void UpdateCommandStates();

    QAction* Action(int id) const;
    CQtPrompter& Prompter() { return prompter_; }
    CBrivaneContext& Context() { return ctx_; }
    CBrivaneDoc& Document() { return doc_; }
    CBrivaneView& View() { return *view_; }
    const CCommandTable& Commands() const { return table_; }
    QToolBar& ToolBar() { return *toolbar_; }
    QLabel& Readout() { return *readout_; }
    // The progress of the long command running now; null between commands and before a
    // command's first report.
    QProgressDialog* ProgressDialog() const { return progressDialog_; }
    // How long a long command runs before its progress shows, ms.
    void SetProgressDelay(int ms) { progressDelay_ = ms; }
    QPrinter& Printer();
    QStringList RecentFiles() const { return recent_; }
    // Top-level menus in their order (titles in the current language).
    QStringList MenuTitles() const;
    // "Reverse Y axis text for clipboard copy": while checked (as on start) the clipboard copy
    // sets the vertical axis titles reading upwards; the window keeps them reading downwards.
    bool ReverseYText() const { return bReverseYText_; }
    // "Print at true scale": printing keeps one page unit 0.1 mm instead of fitting the page.
    bool PrintTrueScale() const { return bPrintTrueScale_; }
    // The serial ports the console transfer chooses from.
    CPosixSerialPortSystem& SerialPorts() { return serialPorts_; }
    // The transfer's 100 ms timer: runs while the view's bTimer is 1.
    QTimer& TransferTimer() { return *transferTimer_; }
    // One tick of the console transfer (the timer's slot).
    void TransferTick();
    // A long command's report between columns: the progress dialog (with its bar, the text
    // and Cancel), the status bar and the text drawn on the view. False once the user
    // cancelled.
    bool ReportProgress(int done, int total, const std::string& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BindWindowCommands();
    void CreateActions();
    void BuildMenus();
    void BuildToolBar();
    void UpdateRecentMenu();
    void AddRecentFiles(const std::vector<std::filesystem::path>& files);
    void OpenRecent(int index);
    void UpdateTitle();
    void CopyToClipboard();
    void Print();
    void PrintPreview();
    void PrintSetup();
    void About();
    void SaveState();
    void EndProgress();
    // Starts or stops the transfer's timer as the view's bTimer says.
    void SyncTransferTimer();

    CQtPrompter prompter_;
    CBrivaneDoc doc_;
    CBrivaneViewState viewState_;
    CBrivaneContext ctx_;
    CQtPlotImageWriter imageWriter_;  // used by the table's image command
    CQtProcessLauncher plotterLauncher_;  // starts the external plotter
    CCommandTable table_;
    CBrivaneView* view_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QLabel* readout_ = nullptr;
    QProgressDialog* progressDialog_ = nullptr;
    qint64 progressStartedAt_ = 0;  // ms on the progress clock of the command's first report
    qint64 progressShownAt_ = 0;    // ms on the progress clock of the last update shown
    int progressDelay_ = 400;
    bool bBusy_ = false;  // a command is running
    CPosixSerialPortSystem serialPorts_;
    QTimer* transferTimer_ = nullptr;
    bool bTicking_ = false;  // a transfer tick is running (its messages let the timer fire)
    std::map<int, QAction*> actions_;
    std::vector<QAction*> recentActions_;
    QStringList recent_;
    std::unique_ptr<QPrinter> printer_;
    bool bReverseYText_ = true;
    bool bPrintTrueScale_ = false;
    bool bProgressReported_ = false;  // the running command reported progress
    bool bExitConfirmed_ = false;
    bool bStateSaved_ = false;
};
