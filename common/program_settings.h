// Settings every program of the suite keeps the same way: where its main window was, and the
// language chosen for the whole suite.
#pragma once

// Main frame placement, pixels: X and Y clamped to 0..200, width to 768..2000, height to
// 537..2000. The defaults of w and h are each program's own (see LoadWindowPlacement).
struct WindowPlacement {
    int x = 0, y = 0, w = 0, h = 0;
    friend bool operator==(const WindowPlacement&, const WindowPlacement&) = default;
};
WindowPlacement ClampWindowPlacement(WindowPlacement p);
// "WindowX", "WindowY", "WindowW", "WindowH" of the program's settings, clamped; the size
// defaults to the program's first-start size.
WindowPlacement LoadWindowPlacement(int defaultWidth, int defaultHeight);
void SaveWindowPlacement(const WindowPlacement& p);

// Stores the language ("Language", and "LanguageRegister" 1 so no program asks again) for the
// machine and for the user.
void StoreSuiteLanguage(int language);
