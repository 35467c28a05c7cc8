#include "processing/commands.h"

#include <algorithm>

#include "common/language.h"
#include "common/side_file.h"

void CCommandTable::Register(CCommand command) {
    for (auto& c : commands_) {
        if (c.id == command.id) {
            c = std::move(command);
            return;
        }
    }
    commands_.push_back(std::move(command));
}

void CCommandTable::Bind(int id, std::function<void(CBrivaneContext&)> handler,
                         std::function<bool(const CBrivaneContext&)> enabled,
                         std::function<bool(const CBrivaneContext&)> checked) {
    for (auto& c : commands_) {
        if (c.id == id) {
            c.handler = std::move(handler);
            c.enabled = std::move(enabled);
            c.checked = std::move(checked);
            return;
        }
    }
}

const CCommand* CCommandTable::Find(int id) const {
    for (const auto& c : commands_)
        if (c.id == id) return &c;
    return nullptr;
}

bool CCommandTable::IsEnabled(const CBrivaneContext& ctx, int id) const {
    const CCommand* c = Find(id);
    if (c == nullptr || !c->handler) return false;
    return !c->enabled || c->enabled(ctx);
}

bool CCommandTable::IsChecked(const CBrivaneContext& ctx, int id) const {
    const CCommand* c = Find(id);
    return c != nullptr && c->checked && c->checked(ctx);
}

bool CCommandTable::Invoke(CBrivaneContext& ctx, int id) const {
    if (!IsEnabled(ctx, id)) return false;
    ctx.leftOut.clear();
    TakeSideFileRefusals();  // notes of writes outside any command are not this one's
    {
        // Side files the command writes leave the files of the session alone.
        const CSideFileGuard guard(ctx.doc.inputFiles);
        Find(id)->handler(ctx);
    }
    for (const std::string& text : TakeSideFileRefusals()) ctx.prompter.Message(text);
    return true;
}

std::string CCommandTable::Text(int id) const {
    const CCommand* c = Find(id);
    if (c == nullptr) return {};
    return IsJapanese() && !c->sTextJa.empty() ? c->sTextJa : c->sText;
}

namespace {

struct Entry {
    int id;
    const char* en;
    const char* ja;
    const char* accel;
    const char* menu;
};

// Menu order within each menu follows this list.
const Entry kEntries[] = {
    {kCmdOpenGantrel, "Open Gantrel data file (*.sto, *.stn)", "Gantrelデータファイルを開く (*.sto, *.stn)", "", "File"},
    {kCmdSaveGantrel, "Save Gantrel data file (*.sto)", "Gantrelデータファイルを保存 (*.sto)", "", "File"},
    {kCmdOpenSection, "Open resistivity data and model file (.ovs)", "比抵抗データ・モデルファイルを開く (.ovs)", "", "File"},
    {kCmdSaveSection, "Save resistivity data and model file (.ovs)", "比抵抗データ・モデルファイルを保存 (.ovs)", "", "File"},
    {kCmdImportR731, "Import R731 data by manual transfer", "R731データを手動転送で取り込む", "", "File"},
    {kCmdSaveSTN, "Save data file (*.stn) for Selket", "Selket用データファイルを保存 (*.stn)", "", "File"},
    {kCmdConvertSTOtoSTN, "Convert .sto file to .stn file", ".stoファイルを.stnファイルに変換", "", "File"},
    {kCmdImportRes2dinv, "Import  RES2DINV file (*.dat)", "RES2DINVファイルを取り込む (*.dat)", "", "File"},
    {kCmdExportRes2dinv, "Export RES2DINV file (*.dat) ", "RES2DINVファイルに書き出す (*.dat)", "", "File"},
    {kCmdSaveST1, "Save data file (*.st1) for Dunvar", "Dunvar用データファイルを保存 (*.st1)", "", "File"},
    {kCmdSaveST4, "Save data and model file (*.st4) for Dunvar", "Dunvar用データ・モデルファイルを保存 (*.st4)", "", "File"},
    {kCmdExportSurfer, "Export a Surfer file format data", "Surfer形式のデータを書き出す", "", "File"},
    {kCmdSaveCurrentLevel, "Save current level information", "電流レベル情報を保存", "", "File"},
    {kCmdSaveXMLRaw, "Save XML file (raw data)", "XMLファイルを保存 (生データ)", "", "File"},
    {kCmdSaveXMLProcessed, "Save XML file (processed result)", "XMLファイルを保存 (解析結果)", "", "File"},
    {kCmdApplyNewGPS, "Apply new GPS data", "新しいGPSデータを適用", "", "File"},
    {kCmdPrint, "&Print...", "印刷(&P)...", "Ctrl+P", "File"},
    {kCmdPrintPreview, "Print Pre&view", "印刷プレビュー(&V)", "", "File"},
    {kCmdPrintSetup, "P&rint Setup...", "プリンタの設定(&R)...", "", "File"},
    {kCmdPrintTrueScale, "Print at true scale", "実寸で印刷", "", "File"},
    {kCmdExit, "E&xit", "終了(&X)", "", "File"},

    {kCmdUndo, "&Undo", "元に戻す(&U)", "Ctrl+Z", "Edit"},
    {kCmdCut, "Cu&t", "切り取り(&T)", "Ctrl+X", "Edit"},
    {kCmdCopy, "&Copy to clipboard", "クリップボードにコピー(&C)", "Ctrl+C", "Edit"},
    {kCmdSaveImage, "Save display image to a file (&I)", "表示画像をファイルに保存(&I)", "Ctrl+I", "Edit"},
    {kCmdEditLines, "Edit lines", "測線の編集", "Ctrl+E", "Edit"},
    {kCmdMedianFilter, "Median filter (de-spike)", "メディアンフィルタ (スパイク除去)", "", "Edit"},
    {kCmdGate, "Select data between gate", "ゲート間のデータを選択", "Ctrl+B", "Edit"},
    {kCmdMaxCurrentLevel, "Set maximum current level", "最大電流レベルを設定", "", "Edit"},
    {kCmdMinCurrentLevel, "Set minimum current level", "最小電流レベルを設定", "", "Edit"},
    {kCmdSaveLineASCII, "Save current line to ASCII file", "現在の測線をASCIIファイルに保存", "", "Edit"},

    {kCmdShowLineResistance, "Show Gantrel line (measured resistance:V/I) ", "Gantrel測線を表示 (測定抵抗:V/I)", "", "View"},
    {kCmdShowLineResistivity, "Show Gantrel line (apparent resistivity)", "Gantrel測線を表示 (見掛比抵抗)", "", "View"},
    {kCmdShowAllReceivers, "Show all receivers", "全受信器を表示", "", "View"},
    {kCmdShowCurrentLevel, "Show transmitter current level", "送信電流レベルを表示", "", "View"},
    {kCmdShowSectionOriginal, "Show 2D apparent resistivity data (original data)", "2次元見掛比抵抗を表示 (元データ)", "", "View"},
    {kCmdShowSectionGridded, "Show 2D apparent resistivity data (gridded data)", "2次元見掛比抵抗を表示 (グリッドデータ)", "", "View"},
    {kCmdShowModel1D, "Show 1D resistivity model", "1次元比抵抗モデルを表示", "", "View"},
    {kCmdShowModel2D, "Show 2D resistivity model", "2次元比抵抗モデルを表示", "", "View"},
    {kCmdShowColumnMisfit, "Show misfit per column", "列ごとのミスフィットを表示", "", "View"},
    {kCmdShowModelPlotter, "Show 2D resistivity model <launches Marbeck>", "2次元比抵抗モデルを表示 <Marbeckを起動>", "", "View"},
    {kCmdShowMapGPS, "Show GPS map (GPS data)", "GPSマップを表示 (GPSデータ)", "", "View"},
    {kCmdShowMapArray, "Show GPS map (transmitter and receiver)", "GPSマップを表示 (送信器と受信器)", "", "View"},
    {kCmdShowMapResistivity, "Show GPS map (apparent resistivity)", "GPSマップを表示 (見掛比抵抗)", "", "View"},
    {kCmdShowMapInterpolated, "Show GPS map (interpolated apparent resistivity)", "GPSマップを表示 (補間見掛比抵抗)", "", "View"},
    {kCmdShowFlagsAndLines, "Show flags and lines", "フラグと測線を表示", "", "Option"},
    {kCmdMapMosaic, "Mosaique", "モザイク", "", "Option"},
    {kCmdMapContourNoLine, "Contour without line", "コンター (線なし)", "", "Option"},
    {kCmdMapContourLine, "Contour with line", "コンター (線あり)", "", "Option"},
    {kCmdAxisConfiguration, "Axis configuration", "軸の設定", "Ctrl+A", "View"},
    {kCmdContourDefault, "Default", "既定", "", "View"},
    {kCmdContourLinear, "Automatic (linear)", "自動 (線形)", "", "View"},
    {kCmdContourLog, "Automatic (log)", "自動 (対数)", "", "View"},
    {kCmdContourManual, "Manual", "手動", "", "View"},
    {kCmdShowLayerBoundary, "Show layer boundary", "層境界を表示", "", "View"},
    {kCmdToolbar, "&Toolbar", "ツールバー(&T)", "", "View"},
    {kCmdStatusBar, "&Status Bar", "ステータスバー(&S)", "", "View"},

    {kCmdInterpolatedByTime, "Interpolated by time", "時間で補間", "", "GPS"},
    {kCmdSetFlags, "Set flags", "フラグを設定", "", "GPS"},
    {kCmdSetFlagLatLon, "Set a flag from lat-lon", "緯度経度からフラグを設定", "", "GPS"},
    {kCmdSetDistance, "Set distance", "距離を設定", "", "GPS"},
    {kCmdClearFlags, "Clear all flags", "全フラグを消去", "", "GPS"},
    {kCmdSaveMapKML, "Save current map to a KML file ", "現在のマップをKMLファイルに保存", "", "GPS"},
    {kCmdSaveMapGrid, "Save current map as a GIS grid", "現在のマップをGISグリッドとして保存", "", "GPS"},

    {kCmdConvertToGrid, "Convert to grid data", "グリッドデータに変換", "", "Analysis"},
    {kCmdInitialModel, "Initial model", "初期モデル", "", "Analysis"},
    {kCmdInversion, "Non-linear inversion (continuous 1D analysis)", "非線形インバージョン (連続1次元解析)", "", "Analysis"},
    {kCmdSmoothHMedian, "Horizontal(median filter)", "水平方向 (メディアンフィルタ)", "", "Analysis"},
    {kCmdSmoothHAverage, "Horizontal(moving average)", "水平方向 (移動平均)", "", "Analysis"},
    {kCmdSmoothVAverage, "Vertical(moving average)", "鉛直方向 (移動平均)", "", "Analysis"},
    {kCmdInterpolation, "Interpolation", "補間", "", "Analysis"},
    {kCmdMaxContourDistance, "Set up maximum distance to be contoured", "コンターを描く最大距離の設定", "", "Analysis"},

    {kCmdJapanese, "Japanese", "Japanese", "", "Option"},
    {kCmdReverseYText, "Reverse Y axis text for clipboard copy", "クリップボードコピーでY軸の文字を反転", "", "Option"},
    {kCmdConvertTextToSTN, "Convert text data to STN", "テキストデータをSTNに変換", "", "Option"},
    {kCmdOpenBinary, "Open binary file", "バイナリファイルを開く", "", "Option"},

    {kCmdUploadDatabase, "Upload data to database", "データベースにデータをアップロード", "", "Option"},
    {kCmdSurveyProperty, "Survey property", "調査の属性", "", "Option"},

    {kCmdAbout, "&About Brivane...", "Brivaneのバージョン情報(&A)...", "", "Help"},

    // Toolbar-only buttons (tool tips).
    {kCmdNew, "New", "新規", "", ""},
    {kCmdHScaleDown, "Horizontal scale down", "横縮尺を縮小", "", ""},
    {kCmdHScaleUp, "Horizontal scale up", "横縮尺を拡大", "", ""},
    {kCmdVScaleUp, "Vertical scale up", "縦縮尺を拡大", "", ""},
    {kCmdVScaleDown, "Vertical scale down", "縦縮尺を縮小", "", ""},
    {kCmdPreviousLine, "Previous line", "前の測線", "", ""},
    {kCmdNextLine, "Next line", "次の測線", "", ""},
    {kCmdSoundingBack10, "Back ten soundings", "10測点戻る", "", ""},
    {kCmdSoundingForward10, "Forward ten soundings", "10測点進む", "", ""},
    {kCmdPreviousReceiver, "Previous receiver", "前の受信器", "", ""},
    {kCmdNextReceiver, "Next receiver", "次の受信器", "", ""},
    {kCmdDisplayToggle, "Show calculated data (1D model)", "計算値を表示 (1次元モデル)", "", ""},
    {kCmdShowAllReceiversButton, "Show all receivers", "全受信器を表示", "", ""},
    {kCmdShowOneReceiver, "Show one receiver", "受信器を1つ表示", "", ""},
    {kCmdDisplayMode, "Columns shown: 1, 5 or 10 (1D model)", "表示する列数: 1, 5, 10 (1次元モデル)", "", ""},
    {kCmdStopSerialTransfer, "Stop serial transfer", "シリアル転送を停止", "", ""},
    {kCmdMouseMode1, "Mark a value with a click (Delete removes the marked values)", "クリックでデータを選択 (Deleteキーで削除)", "", ""},
    {kCmdMouseMode4, "Mark the values inside a dragged rectangle", "ドラッグした四角形の中のデータを選択", "", ""},
    {kCmdMouseMode5, "Mouse mode 5 (not available)", "マウスモード5 (未対応)", "", ""},
    {kCmdMouseMode5Option, "Mouse mode 5 option (not available)", "マウスモード5のオプション (未対応)", "", ""},
};

// Toolbar in its order (separators omitted).
const int kToolbar[] = {
    kCmdOpenSection,  kCmdSaveSection,         kCmdPrint,           kCmdUndo,
    kCmdHScaleDown,   kCmdHScaleUp,            kCmdVScaleUp,        kCmdVScaleDown,
    kCmdPreviousLine, kCmdNextLine,            kCmdSoundingBack10,  kCmdSoundingForward10,
    kCmdPreviousReceiver, kCmdNextReceiver,    kCmdDisplayToggle,   kCmdShowLineResistance,
    kCmdShowLineResistivity, kCmdShowSectionOriginal, kCmdShowSectionGridded, kCmdShowModel1D,
    kCmdShowModel2D,  kCmdShowMapGPS,          kCmdShowAllReceiversButton, kCmdShowOneReceiver,
    kCmdDisplayMode,  kCmdEditLines,           kCmdConvertToGrid,   kCmdStopSerialTransfer,
    kCmdMouseMode1,   kCmdMouseMode4,          kCmdMouseMode5,      kCmdMouseMode5Option,
    kCmdMapMosaic,    kCmdMapContourNoLine,    kCmdMapContourLine,  kCmdNew,
};

}  // namespace

CCommandTable BuildBrivaneCommands() {
    CCommandTable table;
    for (const Entry& e : kEntries) {
        CCommand c;
        c.id = e.id;
        c.sText = e.en;
        c.sTextJa = e.ja;
        c.sAccelerator = e.accel;
        c.sMenu = e.menu;
        c.bJapaneseMenuOnly = c.id == kCmdUploadDatabase || c.id == kCmdSurveyProperty;
        table.Register(std::move(c));
    }
    int position = 0;
    for (int id : kToolbar) {
        CCommand c = *table.Find(id);
        c.iToolbar = position++;
        table.Register(std::move(c));
    }
    RegisterShellCommands(table);
    RegisterOpenCommands(table);
    RegisterSaveCommands(table);
    RegisterGridCommands(table);
    RegisterEditCommands(table);
    RegisterDisplayCommands(table);
    RegisterAnalysisCommands(table);
    RegisterSectionCommands(table);
    RegisterSideExportCommands(table);
    RegisterConversionCommands(table);
    RegisterExchangeCommands(table);
    RegisterDatabaseCommands(table);
    RegisterMapCommands(table);
    RegisterTransferCommands(table);
    return table;
}
