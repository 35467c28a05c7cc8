#include "common/scripted_prompter.h"

template <typename T>
std::optional<T> CScriptedPrompter::Take(bool& cancelled) {
    cancelled = false;
    if (answers_.empty()) return std::nullopt;
    if (std::holds_alternative<std::nullopt_t>(answers_.front())) {
        answers_.pop_front();
        cancelled = true;
        return std::nullopt;
    }
    if (const T* v = std::get_if<T>(&answers_.front())) {
        T value = *v;
        answers_.pop_front();
        return value;
    }
    return std::nullopt;
}

void CScriptedPrompter::Record(std::string kind, std::string text, bool answered) {
    shown_.push_back({std::move(kind), std::move(text), answered});
    if (onShown) onShown(shown_.back());
}

std::vector<std::string> CScriptedPrompter::Messages() const {
    std::vector<std::string> out;
    for (const auto& s : shown_)
        if (s.sKind == "message") out.push_back(s.sText);
    return out;
}

bool CScriptedPrompter::AnyUnanswered() const {
    for (const auto& s : shown_)
        if (!s.bAnswered) return true;
    return false;
}

PromptAnswer CScriptedPrompter::Message(const std::string& text, PromptButtons buttons,
                                        const std::string&) {
    if (buttons == PromptButtons::Ok) {
        Record("message", text, true);
        return PromptAnswer::Ok;
    }
    bool cancelled = false;
    auto a = Take<PromptAnswer>(cancelled);
    Record("message", text, a.has_value() || cancelled);
    if (a) return *a;
    return buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Cancel;
}

int CScriptedPrompter::TwoButtonBox(const std::string&, const std::string& text,
                                    const std::string&, const std::string&) {
    bool cancelled = false;
    auto a = Take<int>(cancelled);
    Record("two-button", text, a.has_value());
    return a && (*a == 0 || *a == 1) ? *a : 0;
}

std::optional<int> CScriptedPrompter::InputInt(const std::string&, const std::string& label,
                                               int) {
    bool cancelled = false;
    auto a = Take<int>(cancelled);
    Record("int", label, a.has_value() || cancelled);
    return a;
}

std::optional<double> CScriptedPrompter::InputReal(const std::string&, const std::string& label,
                                                   double, const std::string&) {
    bool cancelled = false;
    auto a = Take<double>(cancelled);
    Record("real", label, a.has_value() || cancelled);
    return a;
}

std::optional<std::string> CScriptedPrompter::InputText(const std::string&,
                                                        const std::string& label,
                                                        const std::string&) {
    bool cancelled = false;
    auto a = Take<std::string>(cancelled);
    Record("text", label, a.has_value() || cancelled);
    return a;
}

std::vector<std::filesystem::path> CScriptedPrompter::OpenFiles(const std::string& caption,
                                                                const std::vector<FileFilter>&,
                                                                const std::filesystem::path&,
                                                                bool) {
    bool cancelled = false;
    auto a = Take<std::vector<std::filesystem::path>>(cancelled);
    Record("open", caption, a.has_value() || cancelled);
    return a ? *a : std::vector<std::filesystem::path>{};
}

std::optional<std::filesystem::path> CScriptedPrompter::SaveFile(const std::string& caption,
                                                                 const std::vector<FileFilter>&,
                                                                 const std::filesystem::path&) {
    bool cancelled = false;
    auto a = Take<std::filesystem::path>(cancelled);
    Record("save", caption, a.has_value() || cancelled);
    return a;
}

std::optional<std::filesystem::path> CScriptedPrompter::ChooseFolder(
    const std::string& caption, const std::filesystem::path&) {
    bool cancelled = false;
    auto a = Take<std::filesystem::path>(cancelled);
    Record("folder", caption, a.has_value() || cancelled);
    return a;
}

bool CScriptedPrompter::EditDialog(CDialogValues& values) {
    bool cancelled = false;
    auto a = Take<DialogAnswer>(cancelled);
    Record("dialog", values.DialogName(), a.has_value() || cancelled);
    if (!a) return false;
    return (*a)(values);
}
