#include "platform/qt_settings.h"

#include <QSettings>
#include <QString>

#include <cstdlib>

namespace {
std::filesystem::path UserConfigFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0')
        return xdg;
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::filesystem::path(home) / ".config";
    return std::filesystem::current_path();
}

std::filesystem::path SystemConfigFolder() {
    if (const char* dirs = std::getenv("XDG_CONFIG_DIRS"); dirs != nullptr && *dirs != '\0') {
        std::string first(dirs);
        first = first.substr(0, first.find(':'));
        if (!first.empty()) return first;
    }
    return "/etc/xdg";
}

// The profile's keys all belong to the registry's section "General". QSettings writes keys
// without a group into the INI section [General] (a group named "General" would become
// "[%General]"), so the keys stay ungrouped and the file reads as the section it stands for.
QString Key(SettingsScope, std::string_view key) {
    return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

// The suite-wide values are shared between the programs while they run: a read must see what
// the other program wrote since.
bool SharedBetweenProcesses(SettingsScope scope) {
    return scope == SettingsScope::SuiteUser || scope == SettingsScope::SuiteMachine;
}
}  // namespace

CQtSettingsBackend::CQtSettingsBackend(std::string programTitle)
    : programTitle_(std::move(programTitle)) {}

CQtSettingsBackend::~CQtSettingsBackend() = default;

std::filesystem::path CQtSettingsBackend::FileOf(SettingsScope scope) const {
    switch (scope) {
        case SettingsScope::Profile:
            return UserConfigFolder() / kSuiteProfileName / (programTitle_ + ".ini");
        case SettingsScope::SuiteUser:
            return UserConfigFolder() / (std::string(kSuiteProfileName) + ".ini");
        case SettingsScope::Plotter:
            return UserConfigFolder() / "Rundle" / "Setting.ini";
        case SettingsScope::SuiteMachine:
            return SystemConfigFolder() / "Pelmo" / "Setting.ini";
    }
    return {};
}

QSettings& CQtSettingsBackend::Store(SettingsScope scope) {
    auto& slot = stores_[static_cast<int>(scope)];
    if (!slot) {
        const auto file = FileOf(scope);
        slot = std::make_unique<QSettings>(QString::fromStdString(file.string()),
                                           QSettings::IniFormat);
    }
    return *slot;
}

QVariant CQtSettingsBackend::Value(SettingsScope scope, std::string_view key) {
    QSettings& s = Store(scope);
    if (SharedBetweenProcesses(scope)) s.sync();
    return s.value(Key(scope, key));
}

std::optional<int> CQtSettingsBackend::ReadInt(SettingsScope scope, std::string_view key) {
    QVariant v = Value(scope, key);
    if (!v.isValid()) return std::nullopt;
    bool ok = false;
    int i = v.toString().trimmed().toInt(&ok);
    if (!ok) return std::nullopt;
    return i;
}

std::optional<std::string> CQtSettingsBackend::ReadString(SettingsScope scope,
                                                          std::string_view key) {
    QVariant v = Value(scope, key);
    if (!v.isValid()) return std::nullopt;
    return v.toString().toStdString();
}

bool CQtSettingsBackend::WriteInt(SettingsScope scope, std::string_view key, int value) {
    QSettings& s = Store(scope);
    if (!s.isWritable()) return false;
    s.setValue(Key(scope, key), value);
    s.sync();
    return s.status() == QSettings::NoError;
}

bool CQtSettingsBackend::WriteString(SettingsScope scope, std::string_view key,
                                     std::string_view value) {
    QSettings& s = Store(scope);
    if (!s.isWritable()) return false;
    s.setValue(Key(scope, key),
               QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
    s.sync();
    return s.status() == QSettings::NoError;
}
