#include "processing/batch_prompter.h"

namespace {
constexpr int kMaxRepeats = 3;
}

bool CBatchPrompter::Admit(const std::string& prompt) {
    if (prompt == lastPrompt_) {
        if (++repeats_ >= kMaxRepeats) {
            // The message shown before the prompt came back says why.
            Fail("the answer to \"" + prompt + "\" was refused" +
                 (refusal_.empty() ? "" : ": " + refusal_));
            return false;
        }
    } else {
        lastPrompt_ = prompt;
        repeats_ = 0;
    }
    refusal_.clear();
    return true;
}

void CBatchPrompter::Fail(const std::string& text) { failures_.push_back(text); }

PromptAnswer CBatchPrompter::Message(const std::string& text, PromptButtons buttons,
                                     const std::string&) {
    log_ << "message: " << text << "\n";
    shown_.push_back(text);
    refusal_ = text;
    if (buttons == PromptButtons::Ok) return PromptAnswer::Ok;
    if (auto it = questionAnswers.find(text); it != questionAnswers.end()) return it->second;
    // Questions the options do not name are answered as a person who goes on would.
    return buttons == PromptButtons::OkCancel ? PromptAnswer::Ok : PromptAnswer::Yes;
}

int CBatchPrompter::TwoButtonBox(const std::string&, const std::string& text, const std::string&,
                                 const std::string&) {
    log_ << "message: " << text << "\n";
    return 0;
}

std::optional<int> CBatchPrompter::InputInt(const std::string&, const std::string& label,
                                            int initial) {
    if (!Admit(label)) return std::nullopt;
    if (auto it = intAnswers.find(label); it != intAnswers.end()) return it->second;
    for (const auto& [prefix, value] : intAnswers)
        if (label.rfind(prefix, 0) == 0) return value;
    (void)initial;
    Fail("no answer given for \"" + label + "\"");
    return std::nullopt;
}

std::optional<double> CBatchPrompter::InputReal(const std::string&, const std::string& label,
                                                double initial, const std::string&) {
    if (!Admit(label)) return std::nullopt;
    if (auto it = realAnswers.find(label); it != realAnswers.end()) return it->second;
    (void)initial;
    Fail("no answer given for \"" + label + "\"");
    return std::nullopt;
}

std::optional<std::string> CBatchPrompter::InputText(const std::string&, const std::string& label,
                                                     const std::string& initial) {
    if (!Admit(label)) return std::nullopt;
    return initial;
}

std::vector<std::filesystem::path> CBatchPrompter::OpenFiles(const std::string&,
                                                             const std::vector<FileFilter>&,
                                                             const std::filesystem::path&, bool) {
    if (!openQueue.empty()) {
        std::vector<std::filesystem::path> files = std::move(openQueue.front());
        openQueue.pop_front();
        return files;
    }
    return openFiles;
}

std::optional<std::filesystem::path> CBatchPrompter::SaveFile(const std::string& caption,
                                                              const std::vector<FileFilter>&,
                                                              const std::filesystem::path&) {
    // A command that refuses the file asks again; the same answer would come back forever.
    if (!Admit(caption)) return std::nullopt;
    if (!saveFile) Fail("no file name given for \"" + caption + "\"");
    return saveFile;
}

std::optional<std::filesystem::path> CBatchPrompter::ChooseFolder(
    const std::string& caption, const std::filesystem::path& initial) {
    if (!Admit(caption)) return std::nullopt;
    return initial;
}

bool CBatchPrompter::EditDialog(CDialogValues& values) {
    const std::string name = values.DialogName();
    if (!Admit(name)) return false;
    for (const auto& respond : dialogResponders) {
        const int r = respond(values);
        if (r != 0) return r > 0;
    }
    // A dialog the options say nothing about is accepted with its initial values.
    return true;
}
