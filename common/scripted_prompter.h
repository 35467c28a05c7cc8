// A prompter that answers from a queue and records every text shown. Used by the tests and
// by the batch command line. When the queue is empty a prompt gets its safe answer (OK for a
// plain message, Cancel or "no choice" for everything else) and is recorded as unanswered.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <variant>

#include "common/prompter.h"

class CScriptedPrompter : public CPrompter {
public:
    // Answers a command-specific dialog: edits the values and returns false to cancel.
    using DialogAnswer = std::function<bool(CDialogValues&)>;
    using Answer = std::variant<PromptAnswer, int, double, std::string,
                                std::vector<std::filesystem::path>, std::filesystem::path,
                                DialogAnswer, std::nullopt_t>;

    // What was shown, in order: "kind: caption | text" is not needed by tests, so each entry
    // holds the kind of prompt and its main text separately.
    struct Shown {
        std::string sKind;  // "message", "two-button", "int", "real", "text", "open", "save",
                            // "folder", "dialog"
        std::string sText;  // the message, or the label / caption of an input
        bool bAnswered;     // false when the queue had no fitting answer
    };

    void Push(Answer answer) { answers_.push_back(std::move(answer)); }
    void PushCancel() { answers_.push_back(std::nullopt); }
    // Answers the next dialog with OK on its initial values.
    void PushAccept() { answers_.push_back(DialogAnswer([](CDialogValues&) { return true; })); }
    // Answers the next dialog of type T by editing its values; OK unless edit returns false.
    template <typename T, typename F>
    void PushDialog(F edit) {
        answers_.push_back(DialogAnswer([edit](CDialogValues& v) {
            T* typed = dynamic_cast<T*>(&v);
            if (typed == nullptr) return false;
            if constexpr (std::is_same_v<decltype(edit(*typed)), bool>) {
                return edit(*typed);
            } else {
                edit(*typed);
                return true;
            }
        }));
    }
    size_t Pending() const { return answers_.size(); }

    const std::vector<Shown>& History() const { return shown_; }
    std::vector<std::string> Messages() const;  // the texts of plain messages only
    bool AnyUnanswered() const;
    void ClearHistory() { shown_.clear(); }

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
    std::optional<std::filesystem::path> ChooseFolder(const std::string& caption,
                                                      const std::filesystem::path& initial) override;
    // Without a queued DialogAnswer the dialog counts as cancelled.
    bool EditDialog(CDialogValues& values) override;

    // Called for every prompt with its kind and text (the batch command line prints them).
    std::function<void(const Shown&)> onShown;

protected:
    // Takes the next answer if it holds a T; otherwise leaves the queue and returns nullopt.
    // A queued cancel (nullopt) is consumed and reported through cancelled.
    template <typename T>
    std::optional<T> Take(bool& cancelled);
    void Record(std::string kind, std::string text, bool answered);

private:
    std::deque<Answer> answers_;
    std::vector<Shown> shown_;
};
