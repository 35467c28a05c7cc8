#include "common/settings.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/memory_settings.h"
#include "common/text_format.h"

namespace {
CSettingsBackend* g_backend = nullptr;

CMemorySettingsBackend& DefaultBackend() {
    static CMemorySettingsBackend backend;
    return backend;
}
}  // namespace

void SetSettingsBackend(CSettingsBackend* backend) { g_backend = backend; }

CSettingsBackend& SettingsBackend() {
    return g_backend != nullptr ? *g_backend : DefaultBackend();
}

std::string SettingsProblem() { return SettingsBackend().FileProblem(SettingsScope::Profile); }

int ReadSettingInt(std::string_view key, int iDefault) {
    return SettingsBackend().ReadInt(SettingsScope::Profile, key).value_or(iDefault);
}

void WriteSettingInt(std::string_view key, int value) {
    SettingsBackend().WriteInt(SettingsScope::Profile, key, value);
}

std::string FormatSettingReal(double value) { return FormatC("%f", value); }

std::optional<double> ParseSettingReal(std::string_view text) {
    // sscanf("%f") skips leading blanks and reads the longest number prefix.
    double d = 0.0;
    if (ScanDouble(text, d)) return d;
    return std::nullopt;
}

double ReadSettingReal(std::string_view key, double dDefault) {
    auto text = SettingsBackend().ReadString(SettingsScope::Profile, key);
    if (!text) return dDefault;
    return ParseSettingReal(*text).value_or(dDefault);
}

void WriteSettingReal(std::string_view key, double value) {
    SettingsBackend().WriteString(SettingsScope::Profile, key, FormatSettingReal(value));
}

std::string ReadSettingString(std::string_view key, std::string_view sDefault) {
    auto text = SettingsBackend().ReadString(SettingsScope::Profile, key);
    return text ? *text : std::string(sDefault);
}

void WriteSettingString(std::string_view key, std::string_view value) {
    SettingsBackend().WriteString(SettingsScope::Profile, key, value);
}

std::string ReadSuiteValue(std::string_view name, std::string_view sDefault) {
    auto text = SettingsBackend().ReadString(SettingsScope::SuiteUser, name);
    return text ? *text : std::string(sDefault);
}

int ReadSuiteInt(std::string_view name, int iDefault) {
    auto text = SettingsBackend().ReadString(SettingsScope::SuiteUser, name);
    if (!text) return iDefault;
    int value = 0;
    return ScanInt(*text, value) ? value : iDefault;
}

void WriteSuiteValue(std::string_view name, std::string_view text) {
    SettingsBackend().WriteString(SettingsScope::SuiteUser, name, text);
}

void WriteSuiteInt(std::string_view name, int value) {
    WriteSuiteValue(name, std::to_string(value));
}

void WriteMachineSuiteValue(std::string_view name, std::string_view text) {
    SettingsBackend().WriteString(SettingsScope::SuiteMachine, name, text);
}

void WriteFlatFileName(std::string_view path) {
    SettingsBackend().WriteString(SettingsScope::Plotter, "Marbeck_flat_file_name", path);
}

std::string ReadFlatFileName(std::string_view sDefault) {
    auto text = SettingsBackend().ReadString(SettingsScope::Plotter, "Marbeck_flat_file_name");
    return text ? *text : std::string(sDefault);
}
