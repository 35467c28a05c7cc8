#include "platform/qt_prompter.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "common/language.h"
#include "common/text_format.h"
#include "platform/qt_form.h"

namespace {

// The number input ("Enter number") and the text input.
template <typename T>
std::optional<T> InputNumber(CQtPrompter& prompter, const char* kind, const std::string& caption,
                             const std::string& label, const QString& initial,
                             bool (*parse)(const QString&, T&), const QString& error,
                             const std::string& unit = "") {
    CForm f(prompter.Parent(), caption.empty() ? QString("Enter number") : Q(caption));
    auto* text = new QLabel(Q(label));
    text->setWordWrap(true);
    text->setObjectName("label");
    f.layout->addWidget(text);
    auto* edit = new QLineEdit(initial);
    edit->setObjectName("value");
    if (unit.empty()) {
        f.layout->addWidget(edit);
    } else {
        auto* row = new QHBoxLayout;
        row->addWidget(edit);
        auto* unitLabel = new QLabel(Q(unit));
        unitLabel->setObjectName("unit");
        row->addWidget(unitLabel);
        f.layout->addLayout(row);
    }
    T value{};
    f.Finish([&] {
        if (parse(edit->text(), value)) return true;
        prompter.Message(S(error));
        return false;
    });
    if (prompter.Exec(f.dialog, kind, label) != QDialog::Accepted) return std::nullopt;
    return value;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

CQtPrompter::CQtPrompter(QWidget* parent) : parent_(parent) {}
CQtPrompter::~CQtPrompter() = default;

int CQtPrompter::Exec(QDialog& dialog, const std::string& kind, const std::string& textIn) {
    const std::string text = textIn.empty() ? S(dialog.windowTitle()) : textIn;
    if (before_) before_();
    if (!answers_.empty()) {
        DialogAnswer answer = std::move(answers_.front());
        answers_.pop_front();
        shown_.push_back({kind, text, true});
        answer(dialog);
        return dialog.result();
    }
    if (bScripted_) {
        shown_.push_back({kind, text, false});
        dialog.reject();
        return QDialog::Rejected;
    }
    shown_.push_back({kind, text, true});
    return dialog.exec();
}

std::vector<std::string> CQtPrompter::Messages() const {
    std::vector<std::string> out;
    for (const Shown& s : shown_)
        if (s.sKind == "message") out.push_back(s.sText);
    return out;
}

void CQtPrompter::PresetOpenFiles(std::vector<std::filesystem::path> files) {
    preset_ = std::move(files);
    bPreset_ = true;
}

PromptAnswer CQtPrompter::Message(const std::string& text, PromptButtons buttons,
                                  const std::string& caption) {
    // A script acknowledges plain messages itself; only questions take queued answers.
    if (bScripted_ && buttons == PromptButtons::Ok) {
        shown_.push_back({"message", text, true});
        return PromptAnswer::Ok;
    }
    QMessageBox box(parent_);
    box.setWindowTitle(caption.empty() ? QCoreApplication::applicationName() : Q(caption));
    box.setText(Q(text));
    box.setIcon(buttons == PromptButtons::Ok ? QMessageBox::Information : QMessageBox::Question);
    struct Choice {
        QMessageBox::StandardButton button;
        PromptAnswer answer;
        QString text;
    };
    std::vector<Choice> choices;
    const QString yes = Q(Tr("&Yes", "はい(&Y)"));
    const QString no = Q(Tr("&No", "いいえ(&N)"));
    switch (buttons) {
        case PromptButtons::Ok:
            choices = {{QMessageBox::Ok, PromptAnswer::Ok, OkText()}};
            break;
        case PromptButtons::OkCancel:
            choices = {{QMessageBox::Ok, PromptAnswer::Ok, OkText()},
                       {QMessageBox::Cancel, PromptAnswer::Cancel, CancelText()}};
            break;
        case PromptButtons::YesNo:
            choices = {{QMessageBox::Yes, PromptAnswer::Yes, yes},
                       {QMessageBox::No, PromptAnswer::No, no}};
            break;
        case PromptButtons::YesNoCancel:
            choices = {{QMessageBox::Yes, PromptAnswer::Yes, yes},
                       {QMessageBox::No, PromptAnswer::No, no},
                       {QMessageBox::Cancel, PromptAnswer::Cancel, CancelText()}};
            break;
    }
    for (const Choice& c : choices) box.addButton(c.button)->setText(c.text);
    box.setDefaultButton(choices.front().button);
    box.setEscapeButton(choices.back().button);
    Exec(box, "message", text);
    const QAbstractButton* clicked = box.clickedButton();
    for (const Choice& c : choices)
        if (clicked != nullptr && clicked == box.button(c.button)) return c.answer;
    // Closed without a button: the answer of the escape button.
    return choices.back().answer;
}

int CQtPrompter::TwoButtonBox(const std::string& caption, const std::string& text,
                              const std::string& button0, const std::string& button1) {
    QDialog dialog(parent_);
    dialog.setWindowTitle(caption.empty() ? QString("Fennick") : Q(caption));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(Q(text));
    label->setObjectName("label");
    layout->addWidget(label);
    auto* row = new QHBoxLayout;
    auto* first = new QPushButton(button0.empty() ? QString("OK(Enter)") : Q(button0));
    auto* second = new QPushButton(button1.empty() ? QString("Cancel(Escape)") : Q(button1));
    first->setObjectName("button0");
    second->setObjectName("button1");
    first->setDefault(true);
    row->addWidget(first);
    row->addWidget(second);
    layout->addLayout(row);
    constexpr int kFirst = 10, kSecond = 11;
    QObject::connect(first, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(kFirst); });
    QObject::connect(second, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(kSecond); });
    const size_t before = shown_.size();
    const int result = Exec(dialog, "two-button", text);
    // A script that gave no answer takes the first button, as the batch programs do; a person
    // who closes the box (Escape) chose the second, the box's cancel button.
    if (shown_.size() > before && !shown_.back().bAnswered) return 0;
    return result == kFirst ? 0 : 1;
}

std::optional<int> CQtPrompter::InputInt(const std::string& caption, const std::string& label,
                                         int initial) {
    return InputNumber<int>(*this, "int", caption, label, QString::number(initial), &ParseIntField,
                            IntegerRequired());
}

std::optional<double> CQtPrompter::InputReal(const std::string& caption, const std::string& label,
                                             double initial, const std::string& unit) {
    return InputNumber<double>(*this, "real", caption, label, DoubleFieldText(initial),
                               &ParseDoubleField, NumberRequired(), unit);
}

std::optional<std::string> CQtPrompter::InputText(const std::string& caption,
                                                  const std::string& label,
                                                  const std::string& initial) {
    CForm f(parent_, Q(caption));
    auto* text = new QLabel(Q(label));
    text->setObjectName("label");
    f.layout->addWidget(text);
    auto* edit = new QLineEdit(Q(initial));
    edit->setObjectName("value");
    f.layout->addWidget(edit);
    f.Finish({});
    if (Exec(f.dialog, "text", label) != QDialog::Accepted) return std::nullopt;
    return S(edit->text());
}

namespace {

void PrepareFileDialog(QFileDialog& dialog, const std::vector<FileFilter>& filters,
                       const std::filesystem::path& initial, bool bScripted) {
    QStringList names;
    for (const FileFilter& f : filters) names << NameFilterOf(f);
    if (!names.isEmpty()) dialog.setNameFilters(names);
    // The initial path is a folder, or a folder and a name; a name with a wildcard only says
    // which files to list, which the filters already do.
    std::filesystem::path folder = initial;
    std::string name;
    if (!initial.empty() && !std::filesystem::is_directory(initial)) {
        folder = initial.parent_path();
        name = initial.filename().string();
    }
    if (!folder.empty()) dialog.setDirectory(QPath(folder));
    if (!name.empty() && name.find_first_of("*?") == std::string::npos)
        dialog.selectFile(QPath(initial));
    if (bScripted) dialog.setOption(QFileDialog::DontUseNativeDialog, true);
}

}  // namespace

std::vector<std::filesystem::path> CQtPrompter::OpenFiles(const std::string& caption,
                                                          const std::vector<FileFilter>& filters,
                                                          const std::filesystem::path& folder,
                                                          bool multiple) {
    if (bPreset_) {
        bPreset_ = false;
        shown_.push_back({"open", caption, true});
        std::vector<std::filesystem::path> files = std::move(preset_);
        preset_.clear();
        if (!multiple && files.size() > 1) files.resize(1);
        opened_.insert(opened_.end(), files.begin(), files.end());
        return files;
    }
    QFileDialog dialog(parent_, Q(caption));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    PrepareFileDialog(dialog, filters, folder, bScripted_);
    if (Exec(dialog, "open", caption) != QDialog::Accepted) return {};
    std::vector<std::filesystem::path> files;
    for (const QString& s : dialog.selectedFiles()) files.push_back(PathOf(s));
    opened_.insert(opened_.end(), files.begin(), files.end());
    return files;
}

std::optional<std::filesystem::path> CQtPrompter::SaveFile(const std::string& caption,
                                                           const std::vector<FileFilter>& filters,
                                                           const std::filesystem::path& initial) {
    std::filesystem::path start = initial;
    for (;;) {
        QFileDialog dialog(parent_, Q(caption));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        PrepareFileDialog(dialog, filters, start, bScripted_);
        // The question below asks before a file is replaced, with the system's dialog and
        // Qt's own alike, scripted or not; the dialogs' own question would come on top.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        // The default extension is the first filter's first pattern ("*.png" gives "png").
        if (!filters.empty() && !filters.front().patterns.empty()) {
            const std::string& p = filters.front().patterns.front();
            if (p.rfind("*.", 0) == 0 && p.find_first_of("*?", 2) == std::string::npos)
                dialog.setDefaultSuffix(Q(p.substr(2)));
        }
        if (Exec(dialog, "save", caption) != QDialog::Accepted) return std::nullopt;
        const QStringList files = dialog.selectedFiles();
        if (files.isEmpty()) return std::nullopt;
        const std::filesystem::path chosen = PathOf(files.front());
        std::error_code ec;
        if (!std::filesystem::exists(chosen, ec)) return chosen;
        // A good file saved over by accident is lost: the user confirms, or picks again.
        const std::string question =
            FormatC(Tr("%s already exists.\nDo you want to replace it?",
                       "%s は既に存在します。\n置き換えますか?"),
                    chosen.filename().string().c_str());
        if (Message(question, PromptButtons::YesNo) == PromptAnswer::Yes) return chosen;
        start = chosen;
    }
}

std::optional<std::filesystem::path> CQtPrompter::ChooseFolder(
    const std::string& caption, const std::filesystem::path& initial) {
    QFileDialog dialog(parent_, Q(caption));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (!initial.empty()) dialog.setDirectory(QPath(initial));
    if (bScripted_) dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (Exec(dialog, "folder", caption) != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return PathOf(files.front());
}

bool CQtPrompter::EditDialog(CDialogValues& values) {
    if (dialogs_) {
        if (const std::optional<bool> accepted = dialogs_(*this, values)) return *accepted;
    }
    // A dialog this shell does not know yet: say so rather than pretend it was cancelled.
    shown_.push_back({"dialog", values.DialogName(), false});
    Message(FormatC("The dialog \"%s\" is not available in this version.",
                    values.DialogName().c_str()));
    return false;
}

// ---------------------------------------------------------------------------------------------

QString NameFilterOf(const FileFilter& filter) {
    QStringList patterns;
    for (const std::string& p : filter.patterns) patterns << Q(p);
    if (patterns.isEmpty()) patterns << "*";
    const QString description = Q(filter.sDescription);
    // A description that shows its patterns already filters by them.
    if (description.endsWith('(' + patterns.join(' ') + ')')) return description;
    return QString("%1 (%2)").arg(description, patterns.join(' '));
}

namespace {
template <typename T>
bool ParseWhole(const QString& text, T& value, bool (*scan)(std::string_view, T&, size_t*)) {
    const std::string s = S(text.trimmed());
    if (s.empty()) return false;
    size_t consumed = 0;
    T v{};
    if (!scan(s, v, &consumed) || consumed != s.size()) return false;
    value = v;
    return true;
}
}  // namespace

bool ParseIntField(const QString& text, int& value) {
    return ParseWhole(text, value, &ScanInt);
}
bool ParseFloatField(const QString& text, float& value) {
    return ParseWhole(text, value, &ScanFloat);
}
bool ParseDoubleField(const QString& text, double& value) {
    return ParseWhole(text, value, &ScanDouble);
}

QString FloatFieldText(float value) {
    return Q(FormatC("%.7g", static_cast<double>(value)));
}
QString DoubleFieldText(double value) {
    return Q(FormatC("%.15g", value));
}

namespace {
template <typename T>
T* Named(QWidget& root, const QString& name) {
    if (root.objectName() == name) {
        if (auto* self = qobject_cast<T*>(&root)) return self;
    }
    return root.findChild<T*>(name);
}
}  // namespace

bool ClickButton(QWidget& root, const QString& text) {
    for (QAbstractButton* b : root.findChildren<QAbstractButton*>()) {
        if (StripMnemonic(b->text()) == StripMnemonic(text) && b->isEnabled() && !b->isHidden()) {
            b->click();
            return true;
        }
    }
    return false;
}

bool ClickNamed(QWidget& root, const QString& objectName) {
    QAbstractButton* b = Named<QAbstractButton>(root, objectName);
    if (b == nullptr || !b->isEnabled()) return false;
    b->click();
    return true;
}

bool SetFieldText(QWidget& root, const QString& objectName, const QString& text) {
    QLineEdit* edit = Named<QLineEdit>(root, objectName);
    if (edit == nullptr) return false;
    edit->setText(text);
    return true;
}

QString FieldText(QWidget& root, const QString& objectName) {
    if (QLineEdit* edit = Named<QLineEdit>(root, objectName)) return edit->text();
    if (QLabel* label = Named<QLabel>(root, objectName)) return label->text();
    if (QAbstractButton* b = Named<QAbstractButton>(root, objectName)) return b->text();
    return {};
}

bool SetChecked(QWidget& root, const QString& objectName, bool bChecked) {
    QAbstractButton* b = Named<QAbstractButton>(root, objectName);
    if (b == nullptr || !b->isCheckable()) return false;
    // A click, so that the dialog reacts as to the user's.
    if (b->isChecked() != bChecked) b->click();
    return b->isChecked() == bChecked;
}

bool IsChecked(QWidget& root, const QString& objectName) {
    QAbstractButton* b = Named<QAbstractButton>(root, objectName);
    return b != nullptr && b->isChecked();
}

bool IsShownIn(QWidget& root, const QString& objectName) {
    QWidget* w = Named<QWidget>(root, objectName);
    if (w == nullptr) return false;
    for (QWidget* p = w; p != nullptr && p != &root; p = p->parentWidget())
        if (p->isHidden()) return false;
    return true;
}

QString OkText() {
    return QString::fromUtf8(Tr("OK", "OK"));
}
QString CancelText() {
    return QString::fromUtf8(Tr("Cancel", "キャンセル"));
}
