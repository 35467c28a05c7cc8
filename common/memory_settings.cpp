#include "common/memory_settings.h"

std::optional<int> CMemorySettingsBackend::ReadInt(SettingsScope scope, std::string_view key) {
    auto it = values_.find({scope, std::string(key)});
    if (it == values_.end()) return std::nullopt;
    if (const int* v = std::get_if<int>(&it->second)) return *v;
    return std::nullopt;
}

std::optional<std::string> CMemorySettingsBackend::ReadString(SettingsScope scope,
                                                              std::string_view key) {
    auto it = values_.find({scope, std::string(key)});
    if (it == values_.end()) return std::nullopt;
    if (const std::string* v = std::get_if<std::string>(&it->second)) return *v;
    return std::nullopt;
}

bool CMemorySettingsBackend::WriteInt(SettingsScope scope, std::string_view key, int value) {
    if (scope == SettingsScope::SuiteMachine && bRefuseMachineWrites) return false;
    values_[{scope, std::string(key)}] = value;
    return true;
}

bool CMemorySettingsBackend::WriteString(SettingsScope scope, std::string_view key,
                                         std::string_view value) {
    if (scope == SettingsScope::SuiteMachine && bRefuseMachineWrites) return false;
    values_[{scope, std::string(key)}] = std::string(value);
    return true;
}

bool CMemorySettingsBackend::Contains(SettingsScope scope, std::string_view key) const {
    return values_.count({scope, std::string(key)}) != 0;
}
