// Settings backend on QSettings. On Windows the values would live in the registry keys the
// programs have always used; elsewhere they are the INI files of SettingsFilePath
// (common/ini_settings.h), which the headless programs read and write without Qt.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "common/settings.h"

class QSettings;
class QVariant;

class CQtSettingsBackend : public CSettingsBackend {
public:
    // programTitle: "Brivane" or "Tessick".
    explicit CQtSettingsBackend(std::string programTitle);
    ~CQtSettingsBackend() override;

    std::optional<int> ReadInt(SettingsScope scope, std::string_view key) override;
    std::optional<std::string> ReadString(SettingsScope scope, std::string_view key) override;
    bool WriteInt(SettingsScope scope, std::string_view key, int value) override;
    bool WriteString(SettingsScope scope, std::string_view key, std::string_view value) override;
    std::string FileProblem(SettingsScope scope) override;

    // The file that holds a scope's values (for the user's information and for tests).
    std::filesystem::path FileOf(SettingsScope scope) const;

private:
    QSettings& Store(SettingsScope scope);
    QVariant Value(SettingsScope scope, std::string_view key);
    std::string programTitle_;
    std::unique_ptr<QSettings> stores_[4];
};
