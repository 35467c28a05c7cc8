// The texts the logging program chooses by language itself (button captions, log lines, form
// labels, the exit question, legend labels); every other text comes with its menu or dialog.
#pragma once

#include <string>
#include <string_view>

struct CTessickText {
    const char* sEnglish;
    const char* sJapanese;
};

// The whole table, English first.
const CTessickText* TessickTexts(int& n);
// The text in the language (0 English, 1 Japanese); a text the table does not hold is given
// back as it is (captions such as "N/A" read the same in both languages).
std::string TessickText(std::string_view english, int language);
// A caption shown in either language, in the given one: a language switch re-captions the
// buttons without knowing which command set them.
std::string TranslateCaption(std::string_view caption, int language);
