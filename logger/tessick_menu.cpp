#include "logger/tessick_menu.h"

#include "logger/tessick_doc.h"

namespace {

CMenuEntry Item(const char* en, const char* ja, int id, bool checkable = false) {
    CMenuEntry e;
    e.sEnglish = en;
    e.sJapanese = ja;
    e.iCommand = id;
    e.bCheckable = checkable;
    return e;
}

CMenuEntry Separator() {
    return CMenuEntry{};
}

CMenuEntry Sub(const char* en, const char* ja, std::vector<CMenuEntry> items) {
    CMenuEntry e;
    e.sEnglish = en;
    e.sJapanese = ja;
    e.items = std::move(items);
    return e;
}

std::vector<CMenuEntry> BuildMainMenu() {
    CMenuEntry thread = Sub("Data acquisition (thread)", "データ収録 (スレッド)",
                            {
                                Item("Start Gantrel data acquisition", "ｶﾞﾝﾄﾚﾙの受信開始",
                                     kCmdThreadStartGantrel),
                                Item("Stop Gantrel data acquisition", "ｶﾞﾝﾄﾚﾙの受信終了",
                                     kCmdThreadStopGantrel),
                                Item("Start GPS", "GPSの受信開始", kCmdThreadStartGPS),
                                Item("Stop GPS", "GPSの受信終了", kCmdThreadStopGPS),
                                Item("Gantrel demonstration (thread)", "ｶﾞﾝﾄﾚﾙ・デモ (スレッド)",
                                     kCmdThreadDemonstration),
                            });
    thread.bAlwaysDisabled = true;
    return {
        Sub("Window", "ウィンドウ",
            {
                Item("Show profile window", "プロファイル・ウィンドウを表示", kCmdShowProfileWindow),
                Item("Show GPS window", "GPSウィンドウを表示", kCmdShowGPSWindow),
                Item("Show resistivity model window", "比抵抗モデル・ウィンドウを表示",
                     kCmdShowModelWindow),
                Item("Show logging winodw", "ログ・ウィンドウを表示", kCmdShowLoggingWindow),
                Separator(),
                Item("&Cascade", "重ねて表示(&C)", kCmdWindowCascade),
                Item("&Tile", "並べて表示(&T)", kCmdWindowTile),
            }),
        Sub("Data acquisition", "データ収録",
            {
                Item("END LINE", "測定終了", kCmdEndLine),
                Item("MARK", "マーカー", kCmdMark),
                Item("PAUSE", "一時停止", kCmdPause),
                Separator(),
                Item("Set up geometry", "電極配置の設定", kCmdSetUpGeometry),
                Item("Increment File ID", "ファイルIDを進める", kCmdIncrementFileID),
                Separator(),
                Sub("Options", "オプション",
                    {
                        Item("Data file name and folder", "データファイル名とフォルダ",
                             kCmdDataFileNameAndFolder),
                        Item("Get GPS from registry", "レジストリからGPSを取得", kCmdRegistryGPS,
                             true),
                        Item("Set up geometry (2nd Gantrel)", "電極配置の設定 (2台目のｶﾞﾝﾄﾚﾙ)",
                             kCmdSetUpGeometry2),
                    }),
            }),
        Sub("Serial port", "シリアルポート",
            {
                Item("Start Gantrel data acquisition", "ｶﾞﾝﾄﾚﾙの受信開始", kCmdStartGantrel),
                Item("Stop Gantrel data acquisition", "ｶﾞﾝﾄﾚﾙの受信終了", kCmdStopGantrel),
                Separator(),
                Item("Start GPS", "GPSの受信開始", kCmdStartGPS),
                Item("Stop GPS", "GPSの受信終了", kCmdStopGPS),
                Separator(),
                Item("Show available serial ports", "使用可能なシリアルポートを表示",
                     kCmdShowSerialPorts),
                Item("Receiver data from all serial ports", "全シリアルポートからの受信",
                     kCmdPortTest),
                Separator(),
                Sub("Options", "オプション",
                    {
                        Item("Start 2nd Gantrel data acquisition", "2台目のｶﾞﾝﾄﾚﾙの受信開始",
                             kCmdStartGantrel2),
                        Item("Stop 2nd Gantrel data acquisition", "2台目のｶﾞﾝﾄﾚﾙの受信終了",
                             kCmdStopGantrel2),
                    }),
            }),
        Sub("System", "システム",
            {
                Item("Japanese", "日本語", kCmdJapanese, true),
                Separator(),
                Sub("Advanced options", "詳細オプション",
                    {
                        Sub("Demonstration", "デモンストレーション",
                            {
                                Item("Gantrel demonstration (read file)",
                                     "ｶﾞﾝﾄﾚﾙ・デモ (ファイル読込)", kCmdDemoReadFile),
                                Item("Gantrel demonstration (generate constant resistivity "
                                     "model data)",
                                     "ｶﾞﾝﾄﾚﾙ・デモ (均質比抵抗モデルのデータ生成)",
                                     kCmdDemoConstantModel),
                                Item("Gantrel demonstration (generate 2 layer resistivity "
                                     "model data)",
                                     "ｶﾞﾝﾄﾚﾙ・デモ (2層比抵抗モデルのデータ生成)",
                                     kCmdDemoTwoLayerModel),
                                Separator(),
                                Item("GPS demonstration (read file)", "GPSデモ (ファイル読込)",
                                     kCmdDemoGPSReadFile),
                                Item("GPS demonstration (generated track near Gifu)",
                                     "GPSデモ (岐阜付近の航跡を生成)", kCmdDemoGPSTrack),
                            }),
                        Sub("Database", "データベース",
                            {
                                Item("Upload  data to database", "データベースへアップロード",
                                     kCmdUpload, true),
                                Item("Setup Brivane database", "Brivaneデータベースの設定",
                                     kCmdSetupDatabase),
                            }),
                        Item("Save serial port log", "シリアルポートのログを保存",
                             kCmdSaveSerialPortLog, true),
                        thread,
                    }),
                Separator(),
                Item("E&xit", "終了(&X)", kCmdExit),
            }),
        Sub("Help", "ヘルプ",
            {
                Item("&About Tessick...", "Tessickについて(&A)...", kCmdAbout),
            }),
    };
}

std::vector<CMenuEntry> BuildProfileMenu() {
    return {Sub("View", "表示",
                {
                    Item("Show text data", "テキスト表示", kCmdViewText, true),
                    Item("Show measured resistance (V/I) vs. time", "測定抵抗 (V/I) - 時間",
                         kCmdViewResistance, true),
                    Item("Show apparent resistivity vs. time", "見掛比抵抗 - 時間",
                         kCmdViewResistivity, true),
                    Item("Show apparent resistivity model", "見掛比抵抗モデル", kCmdViewModel,
                         true),
                    Separator(),
                    Sub("Color", "カラー",
                        {
                            Item("Default", "標準", kCmdColorDefault, true),
                            Item("Automatic (linear)", "自動 (線形)", kCmdColorLinear, true),
                            Item("Automatic (log)", "自動 (対数)", kCmdColorLog, true),
                            Item("Manual", "手動", kCmdColorManual, true),
                        }),
                })};
}

std::vector<CMenuEntry> BuildModelMenu() {
    return {Sub("View", "表示",
                {
                    Item("Show text data", "テキスト表示", kCmdViewText, true),
                    Item("Show apparent resistivity vs. depth", "見掛比抵抗 - 深度", kCmdViewDepth,
                         true),
                    Item("Inverted section", "逆解析断面", kCmdViewInvertedSection, true),
                    Item("Inverted section parameters...", "逆解析断面のパラメータ...",
                         kCmdLiveSectionParameters, false),
                })};
}

std::vector<CMenuEntry> BuildGPSMenu() {
    return {Sub("View", "表示",
                {
                    Item("Show text data", "テキスト表示", kCmdViewText, true),
                    Item("Show GPS map", "GPSマップ表示", kCmdViewGPSMap, true),
                })};
}

const CMenuEntry* FindIn(const std::vector<CMenuEntry>& entries, int id) {
    for (const CMenuEntry& e : entries) {
        if (e.iCommand == id && id != 0) return &e;
        if (const CMenuEntry* f = FindIn(e.items, id)) return f;
    }
    return nullptr;
}

void Collect(const std::vector<CMenuEntry>& entries, std::vector<int>& ids) {
    for (const CMenuEntry& e : entries) {
        if (e.iCommand != 0) ids.push_back(e.iCommand);
        Collect(e.items, ids);
    }
}

}  // namespace

const std::vector<CMenuEntry>& TessickMainMenu() {
    static const std::vector<CMenuEntry> menu = BuildMainMenu();
    return menu;
}

const std::vector<CMenuEntry>& TessickViewMenu(int iWindow) {
    static const std::vector<CMenuEntry> profile = BuildProfileMenu();
    static const std::vector<CMenuEntry> model = BuildModelMenu();
    static const std::vector<CMenuEntry> gps = BuildGPSMenu();
    static const std::vector<CMenuEntry> none;
    switch (iWindow) {
        case kProfileWindow:
            return profile;
        case kModelWindow:
            return model;
        case kGPSWindow:
            return gps;
        default:
            return none;
    }
}

const CMenuEntry* FindMenuEntry(int iCommand) {
    if (const CMenuEntry* e = FindIn(TessickMainMenu(), iCommand)) return e;
    for (int w : {kProfileWindow, kModelWindow, kGPSWindow})
        if (const CMenuEntry* e = FindIn(TessickViewMenu(w), iCommand)) return e;
    return nullptr;
}

std::vector<int> MainMenuCommands() {
    std::vector<int> ids;
    Collect(TessickMainMenu(), ids);
    return ids;
}
