#include "logger/tessick_texts.h"

#include <iterator>

namespace {
const CTessickText kTexts[] = {
    {"Start Gantrel", "ｶﾞﾝﾄﾚﾙの受信"},
    {"Stop Gantrel", "ｶﾞﾝﾄﾚﾙの終了"},
    {"Start GPS", "GPSの受信"},
    {"Stop GPS", "GPSの終了"},
    {"START (M)", "測定開始 (M)"},
    {"MARK (M)", "マーカー (M)"},
    {"END LINE (E)", "測定終了 (E)"},
    {"PAUSE (P)", "一時停止 (P)"},
    {"Re-START (P)", "再開 (P)"},
    {">>Start acquisition", ">>測定開始"},
    {">>Marker (%d)", ">>ﾏｰｶｰ (%d)"},
    {">>Pause start", ">>一時停止"},
    {">>Pause end", ">>再開"},
    {">>End line", ">>測定終了"},
    {">>Incremented File ID (ID=%d)", ">>ﾌｧｲﾙIDを進めました (ID=%d)"},
    {"Dipole size", "ﾀﾞｲﾎﾟｰﾙ・ｻｲｽﾞ"},
    {"Transmitter dipole size", "送信ﾀﾞｲﾎﾟｰﾙ・ｻｲｽﾞ"},
    {"Dipole size (cable length)", "ﾀﾞｲﾎﾟｰﾙｻｲｽﾞ (ｹｰﾌﾞﾙ長)"},
    {"Transmitter dipole size (cable length)", "送信ﾀﾞｲﾎﾟｰﾙｻｲｽﾞ (ｹｰﾌﾞﾙ長)"},
    {"Are you sure you want to exit?", "終了しますか?"},
    {"Resistivity", "比抵抗"},
    {"Distance (m)", "距離 (m)"},
    {"Apparent depth (m)", "見掛深度 (m)"},
    {"N-space", "隔離係数"},
    {"Unit", "単位"},
};
}  // namespace

const CTessickText* TessickTexts(int& n) {
    n = static_cast<int>(std::size(kTexts));
    return kTexts;
}

std::string TessickText(std::string_view english, int language) {
    if (language != 1) return std::string(english);
    for (const CTessickText& t : kTexts)
        if (english == t.sEnglish) return t.sJapanese;
    return std::string(english);
}

std::string TranslateCaption(std::string_view caption, int language) {
    for (const CTessickText& t : kTexts)
        if (caption == t.sEnglish || caption == t.sJapanese)
            return language == 1 ? t.sJapanese : t.sEnglish;
    return std::string(caption);
}
