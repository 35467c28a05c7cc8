#include "common/language.h"

#include <atomic>

#include "common/text_format.h"

namespace {
std::atomic<int> g_language{kLanguageEnglish};
}

int GetLanguage() { return g_language.load(std::memory_order_relaxed); }
void SetLanguage(int iLanguage) {
    g_language.store(iLanguage == kLanguageJapanese ? kLanguageJapanese : kLanguageEnglish,
                     std::memory_order_relaxed);
}

std::string CannotOpenFileMessage(const std::filesystem::path& path) {
    return FormatC(Tr("Cannot open the file %s", "ファイル %s を開けません"), path.string().c_str());
}

std::string CannotWriteFileMessage(const std::filesystem::path& path) {
    return FormatC(Tr("Cannot write the file %s", "ファイル %s に書き込めません"),
                   path.string().c_str());
}
