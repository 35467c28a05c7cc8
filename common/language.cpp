#include "common/language.h"

#include <atomic>

namespace {
std::atomic<int> g_language{kLanguageEnglish};
}

int GetLanguage() { return g_language.load(std::memory_order_relaxed); }
void SetLanguage(int iLanguage) {
    g_language.store(iLanguage == kLanguageJapanese ? kLanguageJapanese : kLanguageEnglish,
                     std::memory_order_relaxed);
}
