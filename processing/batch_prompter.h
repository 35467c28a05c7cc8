// The prompter of the batch command line: answers every question from the command line's
// options instead of a person, and prints every text the program shows to standard error,
// one line each, prefixed "message: ".
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "common/prompter.h"

class CBatchPrompter : public CPrompter {
public:
    explicit CBatchPrompter(std::ostream& log) : log_(log) {}

    // Answers keyed by the prompt's label (InputInt / InputReal) or message text (questions).
    std::map<std::string, int> intAnswers;
    std::map<std::string, double> realAnswers;
    std::map<std::string, PromptAnswer> questionAnswers;
    // Dialog responders: each returns 0 when it does not handle the dialog, 1 to answer OK
    // (after editing the values) and -1 to cancel. Tried in order.
    std::vector<std::function<int(CDialogValues&)>> dialogResponders;
    // What the next file dialogs return: the queued answers first, one per open dialog, then
    // openFiles for every further one.
    std::deque<std::vector<std::filesystem::path>> openQueue;
    std::vector<std::filesystem::path> openFiles;
    std::optional<std::filesystem::path> saveFile;

    // Prompts that could not be answered from the options, or were asked again and again
    // (a refused answer): the batch run fails with these texts.
    const std::vector<std::string>& Failures() const { return failures_; }
    // Before each command: forgets earlier failures and the repeated-prompt count.
    void ClearFailures() {
        failures_.clear();
        lastPrompt_.clear();
        repeats_ = 0;
        refusal_.clear();
    }
    // Every plain message shown, in order.
    const std::vector<std::string>& Shown() const { return shown_; }

    PromptAnswer Message(const std::string& text, PromptButtons buttons,
                         const std::string& caption) override;
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
    bool EditDialog(CDialogValues& values) override;

private:
    // False (and a failure noted) when the same prompt comes back more than a few times in a
    // row: the command refused the answer and would ask forever.
    bool Admit(const std::string& prompt);
    void Fail(const std::string& text);

    std::ostream& log_;
    std::vector<std::string> failures_;
    std::vector<std::string> shown_;
    std::string lastPrompt_;
    int repeats_ = 0;
    std::string refusal_;  // the last message since the last prompt
};
