// Every message box and dialog a command shows goes through this interface. The windowed
// program shows real dialogs; tests and the batch command line answer from a script and keep
// every text shown, so a command's whole sequence runs headless through the same code.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Cancel, Yes, No };

struct FileFilter {
    std::string sDescription;  // "Gantrel data file (*.sto, *.stn)"
    std::vector<std::string> patterns;  // {"*.sto", "*.stn"}
};

// Values of a command-specific dialog (survey configuration, initial model, inversion
// parameters, ...): a plain struct deriving from this, carrying the initial values in and the
// user's answers out. DialogName() is the dialog's caption, e.g. "Initial model".
struct CDialogValues {
    virtual ~CDialogValues() = default;
    virtual std::string DialogName() const = 0;
};

class CPrompter {
public:
    virtual ~CPrompter() = default;

    // A modal message box; with PromptButtons::Ok the answer is always Ok.
    virtual PromptAnswer Message(const std::string& text,
                                 PromptButtons buttons = PromptButtons::Ok,
                                 const std::string& caption = "") = 0;
    // The custom two-button box: returns 0 for the first button, 1 for the second.
    virtual int TwoButtonBox(const std::string& caption, const std::string& text,
                             const std::string& button0, const std::string& button1) = 0;
    // Number and text inputs; nullopt when cancelled. A real number may show a read-only unit
    // after its field ("m").
    virtual std::optional<int> InputInt(const std::string& caption, const std::string& label,
                                        int initial) = 0;
    virtual std::optional<double> InputReal(const std::string& caption, const std::string& label,
                                            double initial, const std::string& unit = "") = 0;
    virtual std::optional<std::string> InputText(const std::string& caption,
                                                 const std::string& label,
                                                 const std::string& initial) = 0;
    // File choices; an empty list or nullopt when cancelled.
    virtual std::vector<std::filesystem::path> OpenFiles(const std::string& caption,
                                                         const std::vector<FileFilter>& filters,
                                                         const std::filesystem::path& folder,
                                                         bool multiple) = 0;
    virtual std::optional<std::filesystem::path> SaveFile(const std::string& caption,
                                                          const std::vector<FileFilter>& filters,
                                                          const std::filesystem::path& initial) = 0;
    // True when SaveFile itself has the user confirm before an existing file is chosen, so a
    // command's own "overwrite?" question would only ask a second time.
    virtual bool ConfirmsOverwrite() const { return false; }
    virtual std::optional<std::filesystem::path> ChooseFolder(
        const std::string& caption, const std::filesystem::path& initial) = 0;
    // Shows a command-specific dialog; false when cancelled (values are then unchanged).
    virtual bool EditDialog(CDialogValues& values) = 0;
};
