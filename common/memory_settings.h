// In-memory settings backend: the default store, and the one unit tests install.
#pragma once

#include <map>
#include <string>
#include <variant>

#include "common/settings.h"

class CMemorySettingsBackend : public CSettingsBackend {
public:
    std::optional<int> ReadInt(SettingsScope scope, std::string_view key) override;
    std::optional<std::string> ReadString(SettingsScope scope, std::string_view key) override;
    bool WriteInt(SettingsScope scope, std::string_view key, int value) override;
    bool WriteString(SettingsScope scope, std::string_view key, std::string_view value) override;

    // Simulates a user without rights on the machine-wide key.
    bool bRefuseMachineWrites = false;
    void Clear() { values_.clear(); }
    bool Contains(SettingsScope scope, std::string_view key) const;

private:
    using Value = std::variant<int, std::string>;
    std::map<std::pair<SettingsScope, std::string>, Value> values_;
};
