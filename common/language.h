// The process-wide user-interface language: 0 English, 1 Japanese.
#pragma once

#include <filesystem>
#include <string>

inline constexpr int kLanguageEnglish = 0;
inline constexpr int kLanguageJapanese = 1;

int GetLanguage();
void SetLanguage(int iLanguage);
inline bool IsJapanese() { return GetLanguage() == kLanguageJapanese; }
// The text of the current language (both are UTF-8 literals).
inline const char* Tr(const char* english, const char* japanese) {
    return IsJapanese() ? japanese : english;
}

// The messages of a file that cannot be opened or written, in the current language.
std::string CannotOpenFileMessage(const std::filesystem::path& path);
std::string CannotWriteFileMessage(const std::filesystem::path& path);
