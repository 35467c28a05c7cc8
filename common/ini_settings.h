// The settings store in INI files, without Qt, for the programs that run without a window. It
// uses the very files the windowed programs' store uses (SettingsFilePath below is the one
// place that says where they are) and writes values the way that store reads them, so a
// headless run and the window share their settings.
//
// A file is parsed once and kept in memory; every read checks (one stat) that the file is
// still the one parsed, so what another program wrote since is seen. Every write replaces the
// file through a temporary beside it, so a failed write leaves the file as it was. A write
// that changes nothing writes nothing. A file that exists but cannot be read is never
// written over: its reads give the defaults and its writes are refused.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
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

// Why the settings file at `path` cannot be read ("<path>: <reason>"), or "" when it can or
// does not exist yet: a folder or a device in its place, no read permission.
std::string SettingsFileProblem(const std::filesystem::path& path);

// The text of an INI file in memory: sections of keys, in file order. Values are kept as
// their decoded text. Reading, finding and setting take time in proportion to the text.
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

    size_t KeyCount() const;

private:
    struct Section {
        std::string sName;
        std::vector<std::pair<std::string, std::string>> keys;  // file order
        std::unordered_map<std::string, size_t> index;         // key -> place in keys
    };
    Section& SectionNamed(std::string_view name);
    std::vector<Section> sections_;
    std::unordered_map<std::string, size_t> sectionIndex_;  // name -> place in sections_
};

class CIniSettingsBackend : public CSettingsBackend {
public:
    explicit CIniSettingsBackend(std::string programTitle)
        : programTitle_(std::move(programTitle)) {}

    std::optional<int> ReadInt(SettingsScope scope, std::string_view key) override;
    std::optional<std::string> ReadString(SettingsScope scope, std::string_view key) override;
    bool WriteInt(SettingsScope scope, std::string_view key, int value) override;
    bool WriteString(SettingsScope scope, std::string_view key, std::string_view value) override;

    std::string FileProblem(SettingsScope scope) override;

    std::filesystem::path FileOf(SettingsScope scope) const {
        return SettingsFilePath(scope, programTitle_);
    }

private:
    // What identifies one version of a file: a rename over it gives a new inode, a write in
    // place a new change time or size.
    struct FileStamp {
        bool bExists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec changed{};
        timespec modified{};
        bool operator==(const FileStamp& o) const;
    };
    struct Cached {
        std::string sEnvironment;    // what the file's path was made from
        std::filesystem::path path;  // FileOf(scope) then
        bool bLoaded = false;
        FileStamp stamp;
        CIniDocument doc;
        std::string sProblem;  // why the file could not be read; "" when it could
    };
    static FileStamp StampOf(const std::filesystem::path& path);
    // The scope's document, parsed again only when the file changed since.
    Cached& Current(SettingsScope scope);

    std::string programTitle_;
    Cached cache_[4];
};
