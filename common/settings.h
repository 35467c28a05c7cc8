// Settings store: each program's profile (section "General") and the values the suite's
// programs share. The raw storage is a backend the shell installs at startup (QSettings in
// the programs, an in-memory map in unit tests); the encodings live here, once, so every
// backend stores integers, reals and strings the same way.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Where a value lives. On Windows these are the registry keys
//   Profile       HKCU\Software\Sarovin Applications\<program>\General
//   SuiteUser     HKCU\SOFTWARE\Sarovin Applications
//   SuiteMachine  HKLM\SOFTWARE\Pelmo\Setting
//   Plotter       HKCU\SOFTWARE\Rundle\Setting
enum class SettingsScope { Profile, SuiteUser, SuiteMachine, Plotter };

inline constexpr const char* kSuiteProfileName = "Sarovin Applications";
inline constexpr const char* kProcessingProgramTitle = "Brivane";
inline constexpr const char* kLoggingProgramTitle = "Tessick";

class CSettingsBackend {
public:
    virtual ~CSettingsBackend() = default;
    // Reads return nullopt when the value is absent or cannot be read as the kind asked for.
    virtual std::optional<int> ReadInt(SettingsScope scope, std::string_view key) = 0;
    virtual std::optional<std::string> ReadString(SettingsScope scope, std::string_view key) = 0;
    // Writes return false when refused (no rights, unwritable file); callers ignore it.
    virtual bool WriteInt(SettingsScope scope, std::string_view key, int value) = 0;
    virtual bool WriteString(SettingsScope scope, std::string_view key, std::string_view value) = 0;
    // Why the scope's values cannot be read from where they are kept, naming the file and the
    // reason ("" when they can, or when nothing is kept yet). The reads of such a scope give
    // the defaults and its writes are refused.
    virtual std::string FileProblem(SettingsScope /*scope*/) { return {}; }
};

// Installs the backend used by the operations below; the caller keeps ownership. Passing
// nullptr restores the built-in in-memory store (what unit tests of other layers get).
void SetSettingsBackend(CSettingsBackend* backend);
CSettingsBackend& SettingsBackend();

// Section "General" of the running program's profile.
int ReadSettingInt(std::string_view key, int iDefault);
void WriteSettingInt(std::string_view key, int value);
// Reals are stored as text formatted "%f" in the C locale (six decimals).
double ReadSettingReal(std::string_view key, double dDefault);
void WriteSettingReal(std::string_view key, double value);
std::string ReadSettingString(std::string_view key, std::string_view sDefault);
void WriteSettingString(std::string_view key, std::string_view value);

// Why the running program's profile cannot be read; "" when it can.
std::string SettingsProblem();

// Current-user suite-wide values ("Language", "LanguageRegister", "iUTMZone", "GPS_..."),
// stored as text.
std::string ReadSuiteValue(std::string_view name, std::string_view sDefault = "");
int ReadSuiteInt(std::string_view name, int iDefault);
void WriteSuiteValue(std::string_view name, std::string_view text);
void WriteSuiteInt(std::string_view name, int value);
// Machine-wide "Language" and "LanguageRegister"; a refused write is silent.
void WriteMachineSuiteValue(std::string_view name, std::string_view text);
// Path of the external plotter's flat file.
void WriteFlatFileName(std::string_view path);
std::string ReadFlatFileName(std::string_view sDefault = "");

// Formats a real as the store keeps it: "%f" in the C locale whatever the process locale.
std::string FormatSettingReal(double value);
// Parses "%f" text as the store reads it; nullopt when no number can be read.
std::optional<double> ParseSettingReal(std::string_view text);
