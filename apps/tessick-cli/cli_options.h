// The headless logger's command line: what to read (ports, demonstrations, the GPS registry),
// where to record, how fast the demonstration clock runs, where to upload, and the keys of a
// script.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "live/live_section.h"

// A serial device as "DEV[:BAUD]"; baud index -1 keeps the stored line settings.
struct CCliDevice {
    std::string sPath;
    int iBaudIndex = -1;  // into kBaudRateTable
};

// One key of --script: at iMs of the logger's clock since the start.
struct CCliScriptKey {
    long long iMs = 0;
    char key = 0;  // 'm', 'p', 'e' or 'q'
};

// The first instrument's array: transmitter and receiver cable lengths (indexes into the
// dipole size table) and the rope length, m.
struct CCliGeometry {
    int iTransmitterIndex = 3;
    int iReceiverIndex = 3;
    float fRopeLength = 5.0f;
};

enum class CliInstrumentDemo { None, Constant, TwoLayer, Replay };
enum class CliGPSDemo { None, Track, Replay };

struct CCliOptions {
    bool bHelp = false;
    std::optional<CCliDevice> port, port2, gps;
    bool bGPSRegistry = false;
    CliInstrumentDemo demo = CliInstrumentDemo::None;
    std::filesystem::path demoFile;
    CliGPSDemo gpsDemo = CliGPSDemo::None;
    std::filesystem::path gpsDemoFile;
    std::optional<std::filesystem::path> folder;
    std::optional<std::string> prefix;
    std::optional<int> fileID;
    std::optional<CCliGeometry> geometry;
    double dSpeed = 0.0;  // 0: the computer's clock; else a simulated clock this many times as fast
    std::optional<std::string> uploadURL;
    bool bSerialLog = false;
    std::vector<CCliScriptKey> script;  // in time order
    int iLanguage = 0;                  // kLanguageEnglish or kLanguageJapanese
    bool bEcho = false;                 // every data line, not only the events
    // The live section of the line being recorded: on with --live-model or --live; its
    // section and model file, written at END LINE and at quit.
    bool bLive = false;
    LiveSectionSettings live;
    std::optional<std::filesystem::path> liveModel;
};

// Parses the arguments (without the program name). nullopt with error set when they cannot
// be used; the error names the option and what was wrong.
std::optional<CCliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                           std::string& error);
// "DEV[:BAUD]": text after the last colon is the baud rate, which must be one of the logger's
// 15, unless the whole text names an existing device (a by-path name holds colons).
std::optional<CCliDevice> ParseCliDevice(const std::string& text, std::string& error);
// "SECONDS KEY; SECONDS KEY; ...", sorted by time (keys of the same second keep their order).
std::optional<std::vector<CCliScriptKey>> ParseCliScript(const std::string& text,
                                                         std::string& error);
// "TX:RX:ROPE": cable lengths of the dipole size table (1 to 40 m) and the rope length.
std::optional<CCliGeometry> ParseCliGeometry(const std::string& text, std::string& error);
std::string CliUsage();
