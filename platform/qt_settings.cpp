#include "platform/qt_settings.h"

#include <QSettings>
#include <QString>

#include "common/ini_settings.h"

namespace {
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
    return SettingsFilePath(scope, programTitle_);
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
    // Not even opened when it cannot be read: a pipe in its place would block the read.
    if (!FileProblem(scope).empty()) return {};
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

std::string CQtSettingsBackend::FileProblem(SettingsScope scope) {
    return SettingsFileProblem(FileOf(scope));
}

bool CQtSettingsBackend::WriteInt(SettingsScope scope, std::string_view key, int value) {
    // Writing over a file that could not be read would lose every value it holds (and the
    // store is not even made: it reads the file, and a pipe in its place would block).
    if (!FileProblem(scope).empty()) return false;
    QSettings& s = Store(scope);
    if (!s.isWritable()) return false;
    s.setValue(Key(scope, key), value);
    s.sync();
    return s.status() == QSettings::NoError;
}

bool CQtSettingsBackend::WriteString(SettingsScope scope, std::string_view key,
                                     std::string_view value) {
    if (!FileProblem(scope).empty()) return false;
    QSettings& s = Store(scope);
    if (!s.isWritable()) return false;
    s.setValue(Key(scope, key),
               QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
    s.sync();
    return s.status() == QSettings::NoError;
}
