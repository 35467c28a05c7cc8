#include "common/program_settings.h"

#include <algorithm>
#include <string>

#include "common/settings.h"

WindowPlacement ClampWindowPlacement(WindowPlacement p) {
    p.x = std::clamp(p.x, 0, 200);
    p.y = std::clamp(p.y, 0, 200);
    p.w = std::clamp(p.w, 768, 2000);
    p.h = std::clamp(p.h, 537, 2000);
    return p;
}

WindowPlacement LoadWindowPlacement(int defaultWidth, int defaultHeight) {
    WindowPlacement p;
    p.x = ReadSettingInt("WindowX", 0);
    p.y = ReadSettingInt("WindowY", 0);
    p.w = ReadSettingInt("WindowW", defaultWidth);
    p.h = ReadSettingInt("WindowH", defaultHeight);
    return ClampWindowPlacement(p);
}

void SaveWindowPlacement(const WindowPlacement& p) {
    WriteSettingInt("WindowX", p.x);
    WriteSettingInt("WindowY", p.y);
    WriteSettingInt("WindowW", p.w);
    WriteSettingInt("WindowH", p.h);
}

void StoreSuiteLanguage(int language) {
    const std::string value = std::to_string(language);
    WriteMachineSuiteValue("LanguageRegister", "1");
    WriteMachineSuiteValue("Language", value);
    WriteSuiteValue("LanguageRegister", "1");
    WriteSuiteValue("Language", value);
}
