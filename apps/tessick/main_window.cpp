#include "apps/tessick/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "acquisition/serial_ports.h"
#include "apps/tessick/control_form_widget.h"
#include "apps/tessick/dialogs/dialogs.h"
#include "apps/tessick/view_widgets.h"
#include "common/settings.h"
#include "common/version.h"
#include "logger/control_form.h"
#include "logger/tessick_menu.h"
#include "platform/qt_form.h"


namespace {

// Where each auxiliary window opens, pixels inside the area.
QRect AuxGeometry(int iWindow) {
    switch (iWindow) {
        case kModelWindow:
            return {CResistivityModelView::kFrameX, CResistivityModelView::kFrameY,
                    CResistivityModelView::kFrameW, CResistivityModelView::kFrameH};
        case kGPSWindow:
            return {CGPSView::kFrameX, CGPSView::kFrameY, CGPSView::kFrameW, CGPSView::kFrameH};
        case kProfileWindow:
            return {40, 40, 1000, 480};
        default:
            return {60, 60, 700, 480};
    }
}

// Closing commands the views send when their window is destroyed.
bool IsCommandKey(int key) {
    return key == Qt::Key_M || key == Qt::Key_E || key == Qt::Key_P;
}

}  // namespace

CTessickMainWindow::CTessickMainWindow(CSerialPortSystem& ports, CClock& clock, QWidget* parent)
    : QMainWindow(parent), ports_(ports), clock_(clock), prompter_(this) {
    setWindowTitle(Q(kLoggingProgramTitle));
    InstallTessickDialogs(prompter_);
    area_ = new QMdiArea;
    area_->setObjectName("area");
    // Windows larger than the frame scroll, so the frame keeps its small sizes.
    area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(area_);
    poll_.setInterval(CAcquisitionState::kPollPeriod);
    connect(&poll_, &QTimer::timeout, this, [this] {
        if (doc_) doc_->state.Tick(CAcquisitionState::kPollTimer);
    });
    connect(area_, &QMdiArea::subWindowActivated, this,
            [this](QMdiSubWindow* w) { ShowViewMenu(w); });
}

CTessickMainWindow::~CTessickMainWindow() {
    qApp->removeEventFilter(this);
    poll_.stop();
    // The views draw from the document: they go first.
    for (QMdiSubWindow*& w : aux_) {
        if (w != nullptr) {
            w->disconnect(this);
            delete w;
        }
        w = nullptr;
    }
    delete formWindow_;
    formWindow_ = nullptr;
    form_ = nullptr;
    if (doc_) doc_->state.SetUploader(nullptr);
    live_.reset();
    doc_.reset();
    uploader_.reset();  // waits for an upload in progress, at most its time limit
}

void CTessickMainWindow::Start() {
    if (doc_) return;
    doc_ = std::make_unique<CTessickDoc>(ports_, prompter_, clock_);
    CAcquisitionState& s = doc_->state;
    // The URL is the stored "sRegistrationURL" or the built-in address; the switch is off.
    uploader_ = std::make_unique<CReadingUploader>(http_);
    s.SetUploader(uploader_.get());
    live_ = std::make_unique<CLiveSectionHost>(s);
    live_->Apply(ReadLiveViewSettings());
    s.onPollTimer = [this](bool on) {
        if (on)
            poll_.start();
        else
            poll_.stop();
    };
    doc_->onViewsUpdate = [this] {
        for (int w = 0; w < kAuxWindows; ++w)
            if (CRealtimeViewWidget* v = AuxView(w)) v->Redraw();
    };
    s.onFormRefresh = [this] {
        if (form_) form_->Refresh();
        UpdateMenuStates();
    };
    doc_->onLanguageChanged = [this] {
        BuildMenus();
        if (form_) form_->Relabel();
        for (int w = 0; w < kAuxWindows; ++w)
            if (aux_[static_cast<size_t>(w)]) aux_[static_cast<size_t>(w)]->setWindowTitle(AuxWindowTitle(w));
        UpdateAll();
    };

    form_ = new CControlFormWidget(*doc_);
    form_->onOpenWindow = [this](int w) { OpenAuxWindow(w); };
    // The big buttons act on the engine directly; the menu items follow what they did.
    for (int id : {kIdcGantrel, kIdcGPS, kIdcEndLine, kIdcStartMark, kIdcPause})
        connect(form_->Button(id), &QPushButton::clicked, this, [this] { UpdateMenuStates(); });
    formWindow_ = area_->addSubWindow(form_, Qt::SubWindow | Qt::CustomizeWindowHint |
                                                  Qt::WindowTitleHint |
                                                  Qt::WindowMinMaxButtonsHint);
    formWindow_->setObjectName("controlFormWindow");
    formWindow_->setWindowTitle(Q("Tessick"));
    formWindow_->installEventFilter(this);
    formWindow_->setGeometry(0, 0, kControlFormWidth, kControlFormHeight);
    formWindow_->show();

    // The frame's corner and the window's own size, as stored at exit: resize() takes the
    // size without the frame, so storing the frame's size made the window grow at each start.
    CTessickPlacement p = LoadTessickPlacement();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect room = screen->availableGeometry();
        // No larger than the screen; the corner keeps its own rule (0 to 200).
        p.w = std::max(std::min(p.w, room.width()), 1);
        p.h = std::max(std::min(p.h, room.height()), 1);
    }
    move(p.x, p.y);
    resize(p.w, p.h);
    BuildMenus();
    qApp->installEventFilter(this);
    UpdateAll();
}

QAction* CTessickMainWindow::Action(int iCommand) const {
    const auto it = actions_.find(iCommand);
    return it == actions_.end() ? nullptr : it->second;
}

QMdiSubWindow* CTessickMainWindow::AuxSubWindow(int iWindow) const {
    if (iWindow < 0 || iWindow >= kAuxWindows) return nullptr;
    return aux_[static_cast<size_t>(iWindow)];
}

CRealtimeViewWidget* CTessickMainWindow::AuxView(int iWindow) const {
    QMdiSubWindow* w = AuxSubWindow(iWindow);
    return w == nullptr ? nullptr : static_cast<CRealtimeViewWidget*>(w->widget());
}

void CTessickMainWindow::BuildMenus() {
    menuBar()->clear();
    actions_.clear();
    viewMenu_ = nullptr;
    const int language = doc_ ? doc_->Language() : 0;
    std::function<void(QMenu*, const std::vector<CMenuEntry>&)> fill =
        [&](QMenu* menu, const std::vector<CMenuEntry>& entries) {
            for (const CMenuEntry& e : entries) {
                if (e.IsSeparator()) {
                    menu->addSeparator();
                } else if (!e.items.empty()) {
                    QMenu* sub = menu->addMenu(Q(e.Text(language)));
                    fill(sub, e.items);
                    if (e.bAlwaysDisabled) sub->setEnabled(false);
                } else {
                    QAction* a = menu->addAction(Q(e.Text(language)));
                    a->setObjectName(QString::number(e.iCommand));
                    a->setCheckable(e.bCheckable);
                    const int id = e.iCommand;
                    connect(a, &QAction::triggered, this, [this, id] { RunCommand(id); });
                    actions_[id] = a;
                }
            }
        };
    for (const CMenuEntry& top : TessickMainMenu()) {
        QMenu* menu = menuBar()->addMenu(Q(top.Text(language)));
        fill(menu, top.items);
        connect(menu, &QMenu::aboutToShow, this, [this] { UpdateMenuStates(); });
    }
    ShowViewMenu(area_->activeSubWindow());
    UpdateMenuStates();
}

void CTessickMainWindow::UpdateMenuStates() {
    if (!doc_) return;
    for (auto& [id, action] : actions_) {
        action->setEnabled(doc_->IsEnabled(id));
        if (action->isCheckable()) action->setChecked(doc_->IsChecked(id));
    }
}

void CTessickMainWindow::ShowViewMenu(QMdiSubWindow* active) {
    if (viewMenu_ != nullptr) {
        menuBar()->removeAction(viewMenu_->menuAction());
        viewMenu_->deleteLater();
        viewMenu_ = nullptr;
    }
    if (active == nullptr || !doc_) return;
    for (int w = 0; w < kAuxWindows; ++w) {
        if (aux_[static_cast<size_t>(w)] != active || TessickViewMenu(w).empty()) continue;
        const CMenuEntry& top = TessickViewMenu(w).front();
        viewMenu_ = new QMenu(Q(top.Text(doc_->Language())), this);
        viewMenu_->setObjectName("viewMenu");
        CRealtimeViewWidget* view = AuxView(w);
        connect(viewMenu_, &QMenu::aboutToShow, this, [this, view] {
            viewMenu_->clear();
            view->FillViewMenu(*viewMenu_);
        });
        view->FillViewMenu(*viewMenu_);
        const QList<QAction*> tops = menuBar()->actions();
        // After "Window", as the auxiliary windows' menu resources place it.
        menuBar()->insertMenu(tops.size() > 1 ? tops[1] : nullptr, viewMenu_);
    }
}

bool CTessickMainWindow::OpenAuxWindow(int iWindow) {
    if (!doc_ || !doc_->OpenWindow(iWindow)) return false;
    auto* view = new CRealtimeViewWidget(*doc_, iWindow);
    QMdiSubWindow* sub = area_->addSubWindow(view);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setObjectName(QString("auxWindow%1").arg(iWindow));
    sub->setWindowTitle(AuxWindowTitle(iWindow));
    sub->setGeometry(AuxGeometry(iWindow));
    aux_[static_cast<size_t>(iWindow)] = sub;
    if (iWindow == kModelWindow) view->SetLiveSection(live_.get(), [this] { EditLiveSection(); });
    connect(sub, &QObject::destroyed, this, [this, iWindow] {
        aux_[static_cast<size_t>(iWindow)] = nullptr;
        if (!doc_) return;
        doc_->WindowClosed(iWindow);  // ignored while the program closes
        UpdateAll();
    });
    sub->show();
    UpdateAll();
    return true;
}

void CTessickMainWindow::EditLiveSection() {
    if (!live_) return;
    CDlgLiveSection dialog;
    dialog.values = live_->Settings();
    if (!prompter_.EditDialog(dialog)) return;
    WriteLiveViewSettings(dialog.values);
    live_->Apply(dialog.values);
    UpdateAll();
}

void CTessickMainWindow::ShowAbout() {
    prompter_.Message(std::string(kLoggingProgramTitle) + " Version " + SuiteVersion());
}

bool CTessickMainWindow::RunCommand(int iCommand) {
    if (!doc_) return false;
    if (!doc_->IsEnabled(iCommand)) return false;
    const int window = CTessickDoc::WindowOfCommand(iCommand);
    bool ran = true;
    if (window >= 0) {
        ran = OpenAuxWindow(window);
    } else {
        switch (iCommand) {
            case kCmdWindowCascade:
                area_->cascadeSubWindows();
                break;
            case kCmdWindowTile:
                area_->tileSubWindows();
                break;
            case kCmdExit:
                close();
                break;
            case kCmdAbout:
                ShowAbout();
                break;
            case kCmdPortTest: {
                CPortTestWindow test(ports_, doc_->loggerPrompter);
                if (test.Open() > 0) PortTestDialog(prompter_, test);
                break;
            }
            default:
                ran = doc_->Execute(iCommand);
                break;
        }
    }
    UpdateAll();
    return ran;
}

void CTessickMainWindow::UpdateAll() {
    if (!doc_) return;
    for (int w = 0; w < kAuxWindows; ++w)
        if (CRealtimeViewWidget* v = AuxView(w)) v->Redraw();
    if (form_) form_->Refresh();
    UpdateMenuStates();
}

bool CTessickMainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == formWindow_ && event->type() == QEvent::Close && doc_ && !doc_->IsClosing()) {
        // The control form lives as long as the document.
        event->ignore();
        prompter_.Message("OnClose in CControlForm");
        return true;
    }
    if (event->type() == QEvent::KeyPress && doc_) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        const Qt::KeyboardModifiers mods =
            key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
        // Taken before any control sees them, from the form and every view of this window;
        // a held key does not repeat the command.
        if (widget != nullptr && widget->window() == this && mods == Qt::NoModifier &&
            IsCommandKey(key->key())) {
            if (key->isAutoRepeat() && doc_->state.bGantrelStarted != 0) return true;
            const char c = key->key() == Qt::Key_M ? 'M' : key->key() == Qt::Key_E ? 'E' : 'P';
            if (doc_->OnKey(c)) {
                UpdateAll();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void CTessickMainWindow::closeEvent(QCloseEvent* event) {
    if (!doc_) {
        event->accept();
        return;
    }
    if (!doc_->ConfirmExit()) {
        event->ignore();
        return;
    }
    doc_->PrepareClose();
    const QRect frame = frameGeometry();
    SaveTessickPlacement({frame.x(), frame.y(), width(), height()});
    if (form_) form_->Refresh();
    event->accept();
}
