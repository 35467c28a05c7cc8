#include "apps/brivane/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QElapsedTimer>
#include <QTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <limits>
#include <set>

#include "common/language.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "common/version.h"
#include "display/views.h"
#include "apps/brivane/dialogs/dialogs.h"
#include "display/display_image.h"
#include "display/plotter_handoff.h"
#include "processing/console_transfer.h"
#include "apps/brivane/command_icons.h"
#include "apps/brivane/display_output.h"
#include "apps/brivane/display_view.h"


namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
QString Q(const char* s) {
    return QString::fromUtf8(s);
}
QString StripMnemonicText(QString text) {
    text.remove(QLatin1Char('&'));
    return text;
}

struct MenuTitle {
    const char* key;  // CCommand::sMenu
    const char* en;
    const char* ja;
};
const MenuTitle kMenus[] = {
    {"File", "&File", "ファイル(&F)"},
    {"Edit", "&Edit", "編集(&E)"},
    {"View", "&View", "表示(&V)"},
    {"GPS", "&GPS", "GPS(&G)"},
    {"Analysis", "&Analysis", "解析(&A)"},
    {"Option", "&Option", "ｵﾌﾟｼｮﾝ (&O)"},
    {"Help", "&Help", "ヘルプ(&H)"},
};

// Commands gathered in a submenu of their menu.
struct Submenu {
    const char* en;
    const char* ja;
    std::set<int> ids;
};
const Submenu kSubmenus[] = {
    {"Contour",
     "コンター",
     {kCmdContourDefault, kCmdContourLinear, kCmdContourLog, kCmdContourManual}},
    {"Smoothing", "平滑化", {kCmdSmoothHMedian, kCmdSmoothHAverage, kCmdSmoothVAverage}},
    {"Advanced options", "詳細オプション", {kCmdReverseYText}},
    {"Color contour", "カラーコンター", {kCmdMapMosaic, kCmdMapContourNoLine, kCmdMapContourLine}},
    {"Resistivity model", "比抵抗モデル", {kCmdShowLayerBoundary}},
    {"Option", "オプション", {kCmdSaveXMLProcessed}},
    {"Database", "データベース", {kCmdUploadDatabase, kCmdSurveyProperty}},
};

// A separator goes before these menu items and toolbar buttons.
const std::set<int> kMenuGroupStarts = {
    kCmdOpenSection,       kCmdImportR731,      kCmdImportRes2dinv,
    kCmdSaveXMLRaw,        kCmdPrint,           kCmdExit,
    kCmdEditLines,         kCmdMaxCurrentLevel, kCmdShowSectionOriginal,
    kCmdShowModel1D,       kCmdShowMapGPS,      kCmdAxisConfiguration,
    kCmdShowLayerBoundary, kCmdToolbar,         kCmdSaveMapKML,
    kCmdInterpolation,     kCmdConvertTextToSTN};
const std::set<int> kToolbarGroupStarts = {
    kCmdHScaleDown, kCmdPreviousLine, kCmdDisplayToggle, kCmdShowAllReceiversButton,
    kCmdEditLines,  kCmdMouseMode1,   kCmdMapMosaic,     kCmdNew};

const Submenu* SubmenuOf(int id) {
    for (const Submenu& s : kSubmenus)
        if (s.ids.count(id) != 0) return &s;
    return nullptr;
}

bool IsSectionFile(const std::filesystem::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".ovs";
}

std::filesystem::path PathOf(const QString& s) {
    return std::filesystem::path(s.toStdU16String());
}
QString QPath(const std::filesystem::path& p) {
    return QString::fromStdU16String(p.u16string());
}

bool HasDisplay(const CBrivaneContext& ctx) {
    const CBrivaneDisplay* d = FindDisplay(ctx.doc);
    return d != nullptr && d->extents.iRight > 0 && ctx.view.iViewMode != kViewNothing;
}

}  // namespace

CBrivaneMainWindow::CBrivaneMainWindow(QWidget* parent)
    : QMainWindow(parent), prompter_(this), ctx_(doc_, viewState_, prompter_) {
    setObjectName("mainWindow");
    const WindowPlacement placement = LoadWindowPlacement();
    move(placement.x, placement.y);
    resize(placement.w, placement.h);

    viewState_.LoadSettings();
    bPrintTrueScale_ = ReadSettingInt(kPrintTrueScaleKey, 0) == 1;
    ctx_.progress = [this](int done, int total, const std::string& text) {
        return ReportProgress(done, total, text);
    };
    // A message or a question after the columns closes the progress first.
    InstallBrivaneDialogs(prompter_);
    prompter_.SetBeforeDialog([this] { EndProgress(); });
    // The display objects exist from the view's creation on, so that the contour and axis
    // commands find them before the first draw.
    DisplayOf(ctx_);

    ctx_.serialPorts = &serialPorts_;
    transferTimer_ = new QTimer(this);
    transferTimer_->setObjectName("transferTimer");
    transferTimer_->setInterval(kTransferTimerPeriod);
    connect(transferTimer_, &QTimer::timeout, this, [this] { TransferTick(); });

    table_ = BuildBrivaneCommandsWithViews();
    RegisterImageCommands(table_, imageWriter_);
    RegisterPlotterCommands(table_, plotterLauncher_);
    BindWindowCommands();

    view_ = new CBrivaneView(ctx_, this);
    // The map turns page points into plan positions for the read-out and for flags set by a
    // click.
    view_->SetPlanPosition(MapPlanPosition);
    setCentralWidget(view_);
    view_->setFocus();
    connect(view_, &CBrivaneView::commandRequested, this, [this](int id) { RunCommand(id); });
    connect(view_, &CBrivaneView::stateChanged, this, [this] { UpdateCommandStates(); });
    // Queued: the states are not touched while the view paints.
    connect(
        view_, &CBrivaneView::drawn, this, [this] { UpdateCommandStates(); }, Qt::QueuedConnection);

    readout_ = new QLabel;
    readout_->setObjectName("readout");
    readout_->setMinimumWidth(220);
    statusBar()->addPermanentWidget(readout_);
    connect(view_, &CBrivaneView::readoutChanged, readout_, &QLabel::setText);

    for (int k = 1; k <= kRecentFileCount; ++k) {
        const std::string file = ReadSettingString(FormatC("RecentFile%d", k), "");
        if (!file.empty()) recent_ << Q(file);
    }

    toolbar_ = addToolBar("Toolbar");
    toolbar_->setObjectName("toolbar");
    toolbar_->setIconSize(QSize(20, 20));
    CreateActions();
    BuildMenus();
    BuildToolBar();
    setAcceptDrops(true);
    UpdateTitle();
    UpdateCommandStates();
}

CBrivaneMainWindow::~CBrivaneMainWindow() {
    // The view draws the document: it goes before the members it refers to.
    delete takeCentralWidget();
}

void CBrivaneMainWindow::Start() {
    InitialiseLanguage(prompter_);
    BuildMenus();
    statusBar()->showMessage(Q(Tr("Ready", "レディ")));
    view_->viewport()->update();
    UpdateCommandStates();
}

QPrinter& CBrivaneMainWindow::Printer() {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

// ---------------------------------------------------------------------------------------------
// Commands

void CBrivaneMainWindow::BindWindowCommands() {
    table_.Bind(
        kCmdCopy, [this](CBrivaneContext&) { CopyToClipboard(); }, HasDisplay);
    table_.Bind(
        kCmdPrint, [this](CBrivaneContext&) { Print(); }, HasDisplay);
    table_.Bind(
        kCmdPrintPreview, [this](CBrivaneContext&) { PrintPreview(); }, HasDisplay);
    table_.Bind(kCmdPrintSetup, [this](CBrivaneContext&) { PrintSetup(); });
    table_.Bind(
        kCmdPrintTrueScale,
        [this](CBrivaneContext&) {
            bPrintTrueScale_ = !bPrintTrueScale_;
            WriteSettingInt(kPrintTrueScaleKey, bPrintTrueScale_ ? 1 : 0);
        },
        {}, [this](const CBrivaneContext&) { return bPrintTrueScale_; });
    table_.Bind(kCmdAbout, [this](CBrivaneContext&) { About(); });
    table_.Bind(
        kCmdToolbar, [this](CBrivaneContext&) { toolbar_->setHidden(!toolbar_->isHidden()); }, {},
        [this](const CBrivaneContext&) { return !toolbar_->isHidden(); });
    table_.Bind(
        kCmdStatusBar,
        [this](CBrivaneContext&) { statusBar()->setHidden(!statusBar()->isHidden()); }, {},
        [this](const CBrivaneContext&) { return !statusBar()->isHidden(); });
    const CCommand* reverse = table_.Find(kCmdReverseYText);
    if (reverse != nullptr && !reverse->handler) {
        table_.Bind(
            kCmdReverseYText, [this](CBrivaneContext&) { bReverseYText_ = !bReverseYText_; }, {},
            [this](const CBrivaneContext&) { return bReverseYText_; });
    }
}

void CBrivaneMainWindow::CreateActions() {
    for (const CCommand& c : table_.All()) {
        if (c.sMenu.empty() && c.iToolbar < 0) continue;
        auto* action = new QAction(this);
        action->setObjectName(QString("command%1").arg(c.id));
        action->setData(c.id);
        action->setCheckable(static_cast<bool>(c.checked));
        if (!c.sAccelerator.empty()) action->setShortcut(QKeySequence(Q(c.sAccelerator)));
        if (c.iToolbar >= 0) action->setIcon(CommandIcon(c.id));
        const int id = c.id;
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        actions_[c.id] = action;
    }
    for (int k = 0; k < kRecentFileCount; ++k) {
        auto* action = new QAction(this);
        action->setObjectName(QString("recent%1").arg(k + 1));
        connect(action, &QAction::triggered, this, [this, k] { OpenRecent(k); });
        recentActions_.push_back(action);
    }
}

void CBrivaneMainWindow::BuildMenus() {
    for (auto& [id, action] : actions_) {
        const QString text = Q(table_.Text(id));
        action->setText(text);
        action->setToolTip(StripMnemonicText(text));
        action->setStatusTip(StripMnemonicText(text));
    }
    // The menus of the other language go with their submenus; clear() alone keeps them.
    for (QMenu* old : menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        old->deleteLater();
    menuBar()->clear();
    for (const MenuTitle& m : kMenus) {
        QMenu* menu = menuBar()->addMenu(Q(Tr(m.en, m.ja)));
        menu->setObjectName(QString("menu%1").arg(m.key));
        connect(menu, &QMenu::aboutToShow, this, [this] { UpdateCommandStates(); });
        std::map<const Submenu*, QMenu*> submenus;
        for (const CCommand& c : table_.All()) {
            if (c.sMenu != m.key) continue;
            // The database commands exist in the Japanese menus only.
            if (c.bJapaneseMenuOnly && !IsJapanese()) continue;
            QAction* action = Action(c.id);
            if (action == nullptr) continue;
            if (c.id == kCmdExit) {
                menu->addSeparator();
                for (QAction* recent : recentActions_) menu->addAction(recent);
            }
            if (kMenuGroupStarts.count(c.id) != 0 && !menu->isEmpty()) menu->addSeparator();
            if (const Submenu* s = SubmenuOf(c.id)) {
                QMenu*& sub = submenus[s];
                if (sub == nullptr) {
                    sub = menu->addMenu(Q(Tr(s->en, s->ja)));
                    connect(sub, &QMenu::aboutToShow, this, [this] { UpdateCommandStates(); });
                }
                sub->addAction(action);
            } else {
                menu->addAction(action);
            }
        }
    }
    UpdateRecentMenu();
}

void CBrivaneMainWindow::BuildToolBar() {
    std::vector<const CCommand*> buttons;
    for (const CCommand& c : table_.All())
        if (c.iToolbar >= 0) buttons.push_back(&c);
    std::sort(buttons.begin(), buttons.end(),
              [](const CCommand* a, const CCommand* b) { return a->iToolbar < b->iToolbar; });
    toolbar_->clear();
    for (const CCommand* c : buttons) {
        if (kToolbarGroupStarts.count(c->id) != 0) toolbar_->addSeparator();
        toolbar_->addAction(Action(c->id));
    }
}

QAction* CBrivaneMainWindow::Action(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

QStringList CBrivaneMainWindow::MenuTitles() const {
    QStringList titles;
    for (QAction* a : menuBar()->actions()) titles << a->text();
    return titles;
}

void CBrivaneMainWindow::SyncTransferTimer() {
    // Started only when it is not running, as a later transfer finds it.
    if (viewState_.bTimer == 1 && !transferTimer_->isActive()) transferTimer_->start();
    if (viewState_.bTimer == 0 && transferTimer_->isActive()) transferTimer_->stop();
}

void CBrivaneMainWindow::TransferTick() {
    // A message of a tick (or a command's dialog) lets the timer fire again meanwhile.
    if (bTicking_ || bBusy_) return;
    if (viewState_.bTransfer == 0) {
        SyncTransferTimer();
        return;
    }
    bTicking_ = true;
    ctx_.bRedraw = false;
    ctx_.bNewData = false;
    ConsoleTransferTick(ctx_);
    bTicking_ = false;
    if (ctx_.bNewData) {
        // The survey came into the destination file: it is offered among the recent files.
        if (!doc_.inputFiles.empty()) AddRecentFiles({doc_.inputFiles.back()});
        ctx_.bNewData = false;
    }
    UpdateTitle();
    view_->viewport()->update();
    UpdateCommandStates();
}

void CBrivaneMainWindow::UpdateCommandStates() {
    SyncTransferTimer();
    // The states read the document, which a long command may be writing from other threads;
    // RunCommand refreshes them when the command is over.
    if (bBusy_) return;
    for (auto& [id, action] : actions_) {
        action->setEnabled(table_.IsEnabled(ctx_, id));
        if (action->isCheckable()) action->setChecked(table_.IsChecked(ctx_, id));
        // A toolbar button whose command has nothing to do (no handler) is hidden rather than
        // shown as a dead button.
        const CCommand* c = table_.Find(id);
        if (c != nullptr && c->iToolbar >= 0 && c->sMenu.empty())
            action->setVisible(static_cast<bool>(c->handler));
    }
}

bool CBrivaneMainWindow::RunCommand(int id) {
    // A long command lets events through while it runs; nothing starts another meanwhile.
    if (bBusy_) return false;
    const int language = GetLanguage();
    ctx_.bRedraw = false;
    ctx_.bNewData = false;
    prompter_.ClearOpened();
    bBusy_ = true;
    bProgressReported_ = false;
    const bool ran = table_.Invoke(ctx_, id);
    bBusy_ = false;
    // The last column's "column %d of %d" must not stay in the status bar once the command is over,
    // whether the progress closed for a final message or only now.
    if (bProgressReported_ || progressDialog_ != nullptr || view_->IsFrozen()) {
        EndProgress();
        statusBar()->showMessage(Q(Tr("Ready", "レディ")));
        bProgressReported_ = false;
    }
    if (ran) {
        if (id == kCmdOpenGantrel || id == kCmdOpenSection) {
            const auto& opened = prompter_.Opened();
            // Files that gave nothing leave the document, its caption and the list as they were.
            const bool loaded = ctx_.bNewData;
            // The document's title, written under every plot: the last data file opened.
            if (loaded && !opened.empty()) doc_.sDataTitle = opened.back().filename().string();
            // A file that gave nothing is not offered again.
            if (loaded) AddRecentFiles(opened);
        }
        if (GetLanguage() != language) {
            BuildMenus();
            statusBar()->showMessage(Q(Tr("Ready", "レディ")));
        }
        UpdateTitle();
    }
    view_->viewport()->update();
    UpdateCommandStates();
    if (ran && ctx_.bExitRequested) {
        ctx_.bExitRequested = false;
        bExitConfirmed_ = true;
        if (!close()) bExitConfirmed_ = false;
    }
    return ran;
}

namespace {
// The clock of the progress updates: ms since the program started.
qint64 ProgressClockMs() {
    static QElapsedTimer clock;
    if (!clock.isValid()) clock.start();
    return clock.elapsed();
}
// Shortest time between two updates of the progress; more often only costs the command time.
constexpr qint64 kProgressIntervalMs = 40;
}  // namespace

bool CBrivaneMainWindow::ReportProgress(int done, int total, const std::string& text) {
    const qint64 now = ProgressClockMs();
    bProgressReported_ = true;
    if (progressDialog_ == nullptr) {
        // The first report comes before the command changes the store: the view keeps this
        // picture, so that it never draws a store that is being written.
        view_->Freeze();
        progressDialog_ = new QProgressDialog(this);
        progressDialog_->setObjectName("progressDialog");
        progressDialog_->setWindowTitle(Q(kProcessingProgramTitle));
        progressDialog_->setWindowModality(Qt::WindowModal);
        progressDialog_->setCancelButtonText(CancelText());
        progressDialog_->setAutoClose(false);
        progressDialog_->setAutoReset(false);
        // Escape rejects the dialog; that is a Cancel as well.
        connect(progressDialog_, &QDialog::rejected, progressDialog_, &QProgressDialog::cancel);
        // Shown by ReportProgress once the command has run for progressDelay_; the dialog's
        // own estimate of when to show is kept out of it.
        progressDialog_->setMinimumDuration(std::numeric_limits<int>::max());
        progressStartedAt_ = now;
        progressShownAt_ = now - kProgressIntervalMs;
    } else if (progressDialog_->wasCanceled()) {
        return false;
    }
    if (now - progressShownAt_ < kProgressIntervalMs && done != 0) return true;
    progressShownAt_ = now;
    if (total > 0 && progressDialog_->maximum() != total) progressDialog_->setMaximum(total);
    progressDialog_->setLabelText(Q(text));
    progressDialog_->setValue(std::clamp(done, 0, std::max(total, 0)));
    if (!progressDialog_->isVisible() && now - progressStartedAt_ >= progressDelay_)
        progressDialog_->show();
    statusBar()->showMessage(Q(text));
    view_->SetProgressText(Q(text));
    // Until the dialog shows, and with it the modality that keeps the window's menus, keys
    // and mouse away, only non-input events are handled.
    QCoreApplication::processEvents(progressDialog_->isVisible()
                                        ? QEventLoop::AllEvents
                                        : QEventLoop::ExcludeUserInputEvents);
    return !progressDialog_->wasCanceled();
}

void CBrivaneMainWindow::EndProgress() {
    if (progressDialog_ != nullptr) {
        progressDialog_->hide();
        progressDialog_->deleteLater();
        progressDialog_ = nullptr;
    }
    view_->Unfreeze();
}

void CBrivaneMainWindow::UpdateTitle() {
    const QString program = Q(kProcessingProgramTitle);
    setWindowTitle(doc_.sDataTitle.empty() ? program : Q(doc_.sDataTitle) + " - " + program);
}

// ---------------------------------------------------------------------------------------------
// Files

void CBrivaneMainWindow::OpenFiles(const std::vector<std::filesystem::path>& files) {
    std::vector<std::filesystem::path> surveys, sections;
    for (const auto& f : files) (IsSectionFile(f) ? sections : surveys).push_back(f);
    if (!surveys.empty()) {
        prompter_.PresetOpenFiles(surveys);
        RunCommand(kCmdOpenGantrel);
    }
    // One section file at a time: a second would only replace the first.
    if (!sections.empty()) {
        prompter_.PresetOpenFiles({sections.front()});
        RunCommand(kCmdOpenSection);
    }
    // A preset the command never asked for (it was disabled or stopped early) must not
    // answer a later file dialog.
    prompter_.ClearPresetOpenFiles();
    prompter_.ClearOpened();
}

void CBrivaneMainWindow::AddRecentFiles(const std::vector<std::filesystem::path>& files) {
    for (const auto& f : files) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(f, ec)) continue;
        const QString path = QPath(std::filesystem::absolute(f, ec));
        recent_.removeAll(path);
        recent_.prepend(path);
    }
    while (recent_.size() > kRecentFileCount) recent_.removeLast();
    for (int k = 0; k < kRecentFileCount; ++k)
        WriteSettingString(FormatC("RecentFile%d", k + 1),
                           k < recent_.size() ? recent_[k].toStdString() : std::string());
    UpdateRecentMenu();
}

void CBrivaneMainWindow::UpdateRecentMenu() {
    for (int k = 0; k < kRecentFileCount; ++k) {
        QAction* action = recentActions_[static_cast<size_t>(k)];
        const bool used = k < recent_.size();
        action->setVisible(used);
        if (used) action->setText(QString("&%1 %2").arg(k + 1).arg(recent_[k]));
    }
}

void CBrivaneMainWindow::OpenRecent(int index) {
    if (index < 0 || index >= recent_.size()) return;
    OpenFiles({PathOf(recent_[index])});
}

void CBrivaneMainWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* data = event->mimeData();
    if (data != nullptr && data->hasUrls()) {
        for (const QUrl& url : data->urls()) {
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
}

void CBrivaneMainWindow::dropEvent(QDropEvent* event) {
    std::vector<std::filesystem::path> files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) files.push_back(PathOf(url.toLocalFile()));
    event->acceptProposedAction();
    OpenFiles(files);
}

// ---------------------------------------------------------------------------------------------
// Clipboard, printing, about

void CBrivaneMainWindow::CopyToClipboard() {
    QMimeData* data = DisplayClipboardData(ctx_, bReverseYText_);
    if (data == nullptr) {
        prompter_.Message(Tr("There is no display to copy.", "コピーする表示がありません。"));
        return;
    }
    QApplication::clipboard()->setMimeData(data);
}

void CBrivaneMainWindow::Print() {
    QPrinter& printer = Printer();
    QPrintDialog dialog(&printer, this);
    if (prompter_.Exec(dialog) != QDialog::Accepted) return;
    if (!PrintDisplay(ctx_, printer, bPrintTrueScale_))
        prompter_.Message(Tr("The display could not be printed.", "表示を印刷できませんでした。"));
}

void CBrivaneMainWindow::PrintPreview() {
    QPrintPreviewDialog dialog(&Printer(), this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* printer) { PrintDisplay(ctx_, *printer, bPrintTrueScale_); });
    prompter_.Exec(dialog);
}

void CBrivaneMainWindow::PrintSetup() {
    QPrinter& printer = Printer();
    // The page setup dialog serves system printers only; with none installed the printer
    // writes PDF, and the print dialog is where its paper and file are chosen.
    if (printer.outputFormat() == QPrinter::NativeFormat) {
        QPageSetupDialog dialog(&printer, this);
        prompter_.Exec(dialog);
    } else {
        QPrintDialog dialog(&printer, this);
        dialog.setWindowTitle(Q(Tr("Print Setup", "プリンタの設定")));
        dialog.setOptions(QAbstractPrintDialog::PrintToFile);
        prompter_.Exec(dialog);
    }
}

void CBrivaneMainWindow::About() {
    QDialog dialog(this);
    dialog.setWindowTitle("Version information (Brivane)");
    auto* layout = new QVBoxLayout(&dialog);
    auto* text = new QLabel(QString("Brivane Version %1").arg(SuiteVersion()));
    text->setObjectName("version");
    layout->addWidget(text);
    layout->addWidget(new QLabel(Q(Tr("Processing of towed-array resistivity surveys",
                                      "牽引式アレイ比抵抗探査データの処理"))));
    auto* box = new QDialogButtonBox;
    box->addButton(OkText(), QDialogButtonBox::AcceptRole);
    connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(box);
    prompter_.Exec(dialog);
}

// ---------------------------------------------------------------------------------------------
// Shutdown

void CBrivaneMainWindow::closeEvent(QCloseEvent* event) {
    if (bBusy_ && progressDialog_ != nullptr) {
        // Closing in the middle of a long command stops the command first.
        progressDialog_->cancel();
        event->ignore();
        return;
    }
    if (!bExitConfirmed_ && !ConfirmExit(prompter_)) {
        event->ignore();
        return;
    }
    SaveState();
    event->accept();
}

void CBrivaneMainWindow::SaveState() {
    if (bStateSaved_) return;
    bStateSaved_ = true;
    const QRect frame = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    SaveWindowPlacement({pos().x(), pos().y(), frame.width(), frame.height()});
    viewState_.SaveSettings();
    if (CBrivaneDisplay* d = FindDisplay(doc_)) d->SaveSettings();
}
