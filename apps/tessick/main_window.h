// The logging program's main frame: a multiple-document area holding the control form first
// and at most one of each auxiliary window (profile, GPS, resistivity model, logging), the
// menus in the program's language, the 100 ms poll timer (it reads the ports, steps the
// running demonstrations on their own schedules and takes the upload outcomes), the keys M,
// E and P, the window placement and the exit. Recorded readings are uploaded by a worker
// thread, so a slow collecting service never holds the window up.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <map>
#include <memory>

#include "common/clock.h"
#include "common/serial_port.h"
#include "live/live_view.h"
#include "logger/tessick_doc.h"
#include "platform/curl_http_client.h"
#include "platform/qt_prompter.h"
#include "upload/reading_uploader.h"

class CControlFormWidget;
class CRealtimeViewWidget;
class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

class CTessickMainWindow : public QMainWindow {
public:
    CTessickMainWindow(CSerialPortSystem& ports, CClock& clock, QWidget* parent = nullptr);
    ~CTessickMainWindow() override;

    // The start: the language question on the first start of the suite, the document, the
    // control form and the menus; the frame at its stored, clamped placement. Kept out of
    // the constructor so that a script can answer the question.
    void Start();

    // A menu command as its item does it (nothing when disabled); true when it ran.
    bool RunCommand(int iCommand);
    // The auxiliary window (opened once; its button and menu item disabled while open).
    bool OpenAuxWindow(int iWindow);
    QMdiSubWindow* AuxSubWindow(int iWindow) const;
    CRealtimeViewWidget* AuxView(int iWindow) const;

    CTessickDoc& Doc() { return *doc_; }
    CQtPrompter& Prompter() { return prompter_; }
    CControlFormWidget* Form() const { return form_; }
    QMdiArea* Area() const { return area_; }
    // The main menu's item of a command (nullptr when there is none).
    QAction* Action(int iCommand) const;
    bool IsPollTimerRunning() const { return poll_.isActive(); }
    // The upload of recorded readings ("Upload  data to database", "Setup Brivane database").
    CReadingUploader* Uploader() const { return uploader_.get(); }

    // Form refresh, every view redrawn, menu states updated.
    void UpdateAll();

    // The live inverted section's owner (its worker runs only while it is on).
    const CLiveSectionHost* LiveSection() const { return live_.get(); }
    // "Inverted section parameters...": the dialog, and on OK the settings stored and the
    // worker started, restarted or stopped.
    void EditLiveSection();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenus();
    void UpdateMenuStates();
    void ShowViewMenu(QMdiSubWindow* active);
    void ShowAbout();

    CSerialPortSystem& ports_;
    CClock& clock_;
    CQtPrompter prompter_;
    // Before the document: the state lets go of the uploader before they go.
    CCurlHttpClient http_;
    std::unique_ptr<CReadingUploader> uploader_;
    std::unique_ptr<CTessickDoc> doc_;
    // After the document: it goes first and lets go of the state's record hook.
    std::unique_ptr<CLiveSectionHost> live_;
    QMdiArea* area_ = nullptr;
    QMdiSubWindow* formWindow_ = nullptr;
    CControlFormWidget* form_ = nullptr;
    std::array<QMdiSubWindow*, kAuxWindows> aux_{};
    std::map<int, QAction*> actions_;
    QMenu* viewMenu_ = nullptr;
    QTimer poll_;
};
