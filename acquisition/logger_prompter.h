// What the field logger asks the user: plain messages and its dialogs (serial port, geometry,
// file name and folder), each taking and returning a plain struct of values. The window shows
// real dialogs; tests and the headless logger answer from a script.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/prompter.h"
#include "common/scripted_prompter.h"

class CLoggerPrompter {
public:
    virtual ~CLoggerPrompter() = default;
    // A modal message with an OK button: only for what the operator asked for (a menu
    // command, a dialog, the exit), never from the poll.
    virtual void Message(const std::string& text) = 0;
    // What the operator must know while recording goes on (an upload switched off, data not
    // saved, a device lost): shown without waiting for anybody. The state has put it in the
    // logs and the control form's status already; this is for shells that show more.
    virtual void Notice(const std::string& text) { (void)text; }
    // One of the logger's dialogs; false when cancelled (values then unchanged).
    virtual bool EditDialog(CDialogValues& values) = 0;
    // A one-line text input showing initial; nullopt when cancelled.
    virtual std::optional<std::string> InputText(const std::string& caption,
                                                 const std::string& label,
                                                 const std::string& initial) {
        (void)caption, (void)label, (void)initial;
        return std::nullopt;
    }
    // A question with Yes and No; true on Yes.
    virtual bool Ask(const std::string& text) {
        Message(text);
        return false;
    }
    // A survey file to save to; nullopt when cancelled.
    virtual std::optional<std::filesystem::path> SaveFile(const std::string& caption,
                                                          const std::filesystem::path& initial) {
        (void)caption, (void)initial;
        return std::nullopt;
    }
};

// The logger's prompts on any of the suite's prompters (the window's real dialogs).
class CLoggerPrompterOn : public CLoggerPrompter {
public:
    explicit CLoggerPrompterOn(CPrompter& prompter) : prompter_(prompter) {}
    void Message(const std::string& text) override { prompter_.Message(text); }
    bool EditDialog(CDialogValues& values) override { return prompter_.EditDialog(values); }
    std::optional<std::string> InputText(const std::string& caption, const std::string& label,
                                         const std::string& initial) override {
        return prompter_.InputText(caption, label, initial);
    }
    bool Ask(const std::string& text) override {
        return prompter_.Message(text, PromptButtons::YesNo) == PromptAnswer::Yes;
    }
    std::optional<std::filesystem::path> SaveFile(const std::string& caption,
                                                  const std::filesystem::path& initial) override {
        return prompter_.SaveFile(caption, {{"Gantrel data file (*.sto)", {"*.sto"}}}, initial);
    }

private:
    CPrompter& prompter_;
};

// Answers from a script and keeps every text shown (see CScriptedPrompter): queue dialog
// answers with script.PushDialog<CDlgRS232C>(...), read messages with script.Messages().
class CScriptedLoggerPrompter : public CLoggerPrompter {
public:
    void Message(const std::string& text) override { script.Message(text); }
    bool EditDialog(CDialogValues& values) override { return script.EditDialog(values); }
    std::optional<std::string> InputText(const std::string& caption, const std::string& label,
                                         const std::string& initial) override {
        return script.InputText(caption, label, initial);
    }
    void Notice(const std::string& text) override { notices_.push_back(text); }
    bool Ask(const std::string& text) override {
        return script.Message(text, PromptButtons::YesNo) == PromptAnswer::Yes;
    }
    std::optional<std::filesystem::path> SaveFile(const std::string& caption,
                                                  const std::filesystem::path& initial) override {
        return script.SaveFile(caption, {}, initial);
    }
    std::vector<std::string> Messages() const { return script.Messages(); }
    const std::vector<std::string>& Notices() const { return notices_; }

    CScriptedPrompter script;

private:
    std::vector<std::string> notices_;
};
