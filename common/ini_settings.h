// The settings store in INI files, without Qt, for the programs that run without a window. It
// uses the very files the windowed programs' store uses (SettingsFilePath below is the one
// place that says where they are) and writes values the way that store reads them, so a
// headless run and the window share their settings.
//
// Every read looks at the file as it is now (another program may have written it since);
// every write replaces the file through a temporary beside it, so a failed write leaves the
// file as it was. A write that changes nothing writes nothing.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/settings.h"

// Where a scope's values live for a program ("Brivane" or "Tessick"):
//   profile        <config>/Sarovin Applications/<program>.ini   (section [General])
//   suite, user    <config>/Sarovin Applications.ini
//   plotter        <config>/Rundle/Setting.ini
//   suite, machine <system config>/Pelmo/Setting.ini
// with <config> = $XDG_CONFIG_HOME or ~/.config, and <system config> = the first folder of
// $XDG_CONFIG_DIRS or /etc/xdg.
std::filesystem::path SettingsFilePath(SettingsScope scope, std::string_view programTitle);

// The text of an INI file in memory: sections of keys, in file order. Values are kept as
// their decoded text.
class CIniDocument {
public:
    // Reads the text (CR LF or LF); lines that are neither sections nor keys are dropped.
    void Parse(std::string_view text);
    // CR LF line ends; values encoded so that they read back as they were.
    std::string Text() const;

    const std::string* Find(std::string_view section, std::string_view key) const;
    void Set(std::string_view section, std::string_view key, std::string_view value);

    // A value as the file holds it: quoted when it has blanks at either end or a character
    // the format gives a meaning (, ; = " \), with backslash escapes for quotes, backslashes
    // and control characters.
    static std::string EncodeValue(std::string_view value);
    static std::string DecodeValue(std::string_view text);

private:
    struct Section {
        std::string sName;
        std::vector<std::pair<std::string, std::string>> keys;
    };
    std::vector<Section> sections_;
};

class CIniSettingsBackend : public CSettingsBackend {
public:
    explicit CIniSettingsBackend(std::string programTitle)
        : programTitle_(std::move(programTitle)) {}

    std::optional<int> ReadInt(SettingsScope scope, std::string_view key) override;
    std::optional<std::string> ReadString(SettingsScope scope, std::string_view key) override;
    bool WriteInt(SettingsScope scope, std::string_view key, int value) override;
    bool WriteString(SettingsScope scope, std::string_view key, std::string_view value) override;

    std::filesystem::path FileOf(SettingsScope scope) const {
        return SettingsFilePath(scope, programTitle_);
    }

private:
    std::string programTitle_;
};
