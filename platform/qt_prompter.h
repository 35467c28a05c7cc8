// The prompter of the windowed programs: every message, input and file choice as a real Qt
// dialog, with its texts in the program's language; each program adds its own dialogs through
// SetDialogHandler.
//
// Every dialog goes through Exec(). A test (or a demonstration script) queues answers with
// PushAnswer: the next dialog is then handed to the answer fully built, and the answer sets
// its fields and presses its buttons instead of a person; the dialog is never shown. In
// scripted mode a dialog without a queued answer is cancelled at once (a plain message is
// acknowledged), so a script that forgot an answer fails instead of waiting forever.
#pragma once

#include <QString>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "common/prompter.h"

class QDialog;
class QWidget;

class CQtPrompter : public CPrompter {
public:
    explicit CQtPrompter(QWidget* parent = nullptr);
    ~CQtPrompter() override;
    CQtPrompter(const CQtPrompter&) = delete;
    CQtPrompter& operator=(const CQtPrompter&) = delete;

    // The window the dialogs are modal to.
    void SetParent(QWidget* parent) { parent_ = parent; }
    QWidget* Parent() const { return parent_; }

    // Shows a dialog modally (or hands it to the next queued answer) and returns its result
    // (QDialog::Accepted, QDialog::Rejected or the code the dialog closed with). The prompt is
    // recorded in History() with its kind and text (the window title when text is empty).
    int Exec(QDialog& dialog, const std::string& kind = "dialog", const std::string& text = "");

    // The program's own dialogs: the handler shows the dialog of values it knows and returns
    // whether it was accepted, or nullopt for values it does not know (EditDialog then says
    // the dialog is not available).
    using DialogHandler = std::function<std::optional<bool>(CQtPrompter&, CDialogValues&)>;
    void SetDialogHandler(DialogHandler handler) { dialogs_ = std::move(handler); }

    // Called before every dialog (the window closes a long command's progress with it).
    void SetBeforeDialog(std::function<void()> before) { before_ = std::move(before); }

    using DialogAnswer = std::function<void(QDialog&)>;
    void PushAnswer(DialogAnswer answer) { answers_.push_back(std::move(answer)); }
    void SetScripted(bool bScripted) { bScripted_ = bScripted; }
    bool IsScripted() const { return bScripted_; }
    size_t Pending() const { return answers_.size(); }

    // Every prompt shown, in order.
    struct Shown {
        std::string sKind;  // "message", "two-button", "int", "real", "text", "open", "save",
                            // "folder", "dialog"
        std::string sText;  // the message, the input's label, or the dialog's caption
        bool bAnswered;     // false when a scripted prompt had no queued answer
    };
    const std::vector<Shown>& History() const { return shown_; }
    std::vector<std::string> Messages() const;  // texts of the message boxes only
    void ClearHistory() { shown_.clear(); }

    // The next OpenFiles call returns these files without a dialog (files dropped on the
    // window, an entry of the recent-file list).
    void PresetOpenFiles(std::vector<std::filesystem::path> files);
    void ClearPresetOpenFiles() {
        preset_.clear();
        bPreset_ = false;
    }
    // What the OpenFiles calls returned since the last ClearOpened.
    const std::vector<std::filesystem::path>& Opened() const { return opened_; }
    void ClearOpened() { opened_.clear(); }

    PromptAnswer Message(const std::string& text, PromptButtons buttons = PromptButtons::Ok,
                         const std::string& caption = "") override;
    int TwoButtonBox(const std::string& caption, const std::string& text,
                     const std::string& button0, const std::string& button1) override;
    std::optional<int> InputInt(const std::string& caption, const std::string& label,
                                int initial) override;
    std::optional<double> InputReal(const std::string& caption, const std::string& label,
                                    double initial, const std::string& unit = "") override;
    std::optional<std::string> InputText(const std::string& caption, const std::string& label,
                                         const std::string& initial) override;
    std::vector<std::filesystem::path> OpenFiles(const std::string& caption,
                                                 const std::vector<FileFilter>& filters,
                                                 const std::filesystem::path& folder,
                                                 bool multiple) override;
    std::optional<std::filesystem::path> SaveFile(const std::string& caption,
                                                  const std::vector<FileFilter>& filters,
                                                  const std::filesystem::path& initial) override;
    bool ConfirmsOverwrite() const override { return true; }
    std::optional<std::filesystem::path> ChooseFolder(
        const std::string& caption, const std::filesystem::path& initial) override;
    bool EditDialog(CDialogValues& values) override;

private:
    QWidget* parent_;
    DialogHandler dialogs_;
    std::function<void()> before_;
    bool bScripted_ = false;
    std::deque<DialogAnswer> answers_;
    std::vector<Shown> shown_;
    std::vector<std::filesystem::path> preset_;
    bool bPreset_ = false;
    std::vector<std::filesystem::path> opened_;
};

// The file dialog's name filter of one FileFilter: "Gantrel file (*.sto)" for "Gantrel file";
// a description ending in its patterns ("Gantrel file(*.sto)") stands as it is.
QString NameFilterOf(const FileFilter& filter);
// Parses a number field as the dialogs do (C locale, the whole text after trimming blanks).
bool ParseIntField(const QString& text, int& value);
bool ParseFloatField(const QString& text, float& value);
bool ParseDoubleField(const QString& text, double& value);
// How the dialogs fill number fields.
QString FloatFieldText(float value);
QString DoubleFieldText(double value);

// Operating a dialog from a queued answer. Widgets are found by object name (the dialogs name
// their fields after the members they edit: "fDepth", "nLayer", ...) or, for buttons, by their
// text without the '&' of the mnemonic. Each returns false when nothing matched.
bool ClickButton(QWidget& root, const QString& text);
bool ClickNamed(QWidget& root, const QString& objectName);
bool SetFieldText(QWidget& root, const QString& objectName, const QString& text);
QString FieldText(QWidget& root, const QString& objectName);
bool SetChecked(QWidget& root, const QString& objectName, bool bChecked);
bool IsChecked(QWidget& root, const QString& objectName);
// True when the widget exists and is not hidden (the dialog itself is never shown in a
// scripted run, so visibility is read as "not explicitly hidden").
bool IsShownIn(QWidget& root, const QString& objectName);
// The localised texts of the standard buttons.
QString OkText();
QString CancelText();
