// The demonstrations: replayed log files, the two synthetic earths, the generated GPS track,
// their start command and their steps on the acquisition's ticks.
#include "acquisition/demonstration.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "acquisition/acquisition_state.h"
#include "common/forward_model.h"
#include "common/language.h"
#include "common/record_time.h"
#include "common/text_format.h"
#include "common/utm.h"

namespace {
// A line as a port's line assembler would hand it on: without its line end.
std::string_view WithoutLineEnd(std::string_view line) {
    const size_t end = line.find_first_of("\r\n");
    return end == std::string_view::npos ? line : line.substr(0, end);
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Replayed files

bool CDemonstrationFile::Open(const std::filesystem::path& path) {
    file_.reset(std::fopen(path.c_str(), "rb"));
    path_ = file_ ? path : std::filesystem::path();
    return file_ != nullptr;
}

bool CDemonstrationFile::NextLine(std::string& line) {
    if (!file_) return false;
    std::FILE* f = file_.get();
    char buf[kDemoPieceLength + 1];
    bool bRewound = false;
    for (;;) {
        if (std::fgets(buf, sizeof buf, f) == nullptr) {
            // End of the file (or a read error): from the start again, but only once per line
            // asked for, so a file without lines yields nothing instead of spinning.
            if (bRewound) return false;
            std::rewind(f);
            bRewound = true;
            continue;
        }
        const std::string_view piece = WithoutLineEnd(std::string_view(buf, std::strlen(buf)));
        if (piece.empty()) continue;
        line.assign(piece);
        return true;
    }
}

// ---------------------------------------------------------------------------------------------
// Synthetic earths

std::string SyntheticConsoleLine(const std::array<float, kDemoReceivers>& vi) {
    std::string s = FormatC(" %f,131,135,%d%d", static_cast<double>(vi[0]), 2, 4);
    for (int i = 1; i < kDemoReceivers; ++i)
        s += FormatC(" ,%f,131,%d%d", static_cast<double>(vi[static_cast<size_t>(i)]), 2, 4);
    return s;
}

std::array<float, kDemoReceivers> ConstantModelVI(const CGantrelGeometry& g) {
    std::array<float, kDemoReceivers> vi{};
    for (int i = 0; i < kDemoReceivers; ++i)
        vi[static_cast<size_t>(i)] = 100.0f / LoggerUnequalDipoleFactor(g, i) * 20.0f;
    return vi;
}

std::array<float, kDemoReceivers> TwoLayerModelVI(const CGantrelGeometry& g,
                                                  std::array<float, kDemoReceivers>* rhoa) {
    LayerModel model;
    model.nLayer = 2;
    model.fThickness[0] = 5.0f;
    model.fThickness[1] = 1000.0f;  // the half-space: never read
    model.fResistivity[0] = 500.0f;
    model.fResistivity[1] = 50.0f;
    model.fLogResistivity[0] = std::log10(500.0f);
    model.fLogResistivity[1] = std::log10(50.0f);

    // The transmitter dipole from 0 to T/2, receiver i's dipole of R/2 behind the rope.
    const float T = g.fTransmitterDipole, R = g.fReceiverDipole, L = g.fRopeLength;
    SoundingData sounding;
    sounding.nData = kDemoReceivers;
    sounding.bGeneralArray = 1;
    for (int i = 0; i < kDemoReceivers; ++i) {
        FourElectrodeGeometry& e = sounding.row[static_cast<size_t>(i)].electrode;
        e.fA = 0.0f;
        e.fB = T / 2.0f;
        e.fM = 0.75f * T + L + static_cast<float>(2 * i + 1) * R / 4.0f;
        e.fN = e.fM + R / 2.0f;
        e.fAN = std::fabs(e.fA - e.fN);
        e.fAM = std::fabs(e.fA - e.fM);
        e.fBN = std::fabs(e.fB - e.fN);
        e.fBM = std::fabs(e.fB - e.fM);
    }
    SetSoundingDistances(sounding);
    ForwardModel(model, sounding);

    std::array<float, kDemoReceivers> vi{};
    for (int i = 0; i < kDemoReceivers; ++i) {
        const float rho = sounding.row[static_cast<size_t>(i)].fCalculated;
        if (rhoa != nullptr) (*rhoa)[static_cast<size_t>(i)] = rho;
        vi[static_cast<size_t>(i)] = rho / LoggerUnequalDipoleFactor(g, i) * 20.0f;
    }
    return vi;
}

// ---------------------------------------------------------------------------------------------
// Generated track

CDemonstrationTrack::Sentences CDemonstrationTrack::Step(CClockTime t) {
    RecordClock c;
    if (!LocalClock(t.time, t.iMilliSecond, c)) c = RecordClock{};
    CDemoRandom random(static_cast<std::uint32_t>(t.time));

    const bool bSouth = dLatitude < 0.0;
    double dEasting = 0.0, dNorthing = 0.0;
    const int iZone = ToUTM(dLatitude, dLongitude, dEasting, dNorthing);
    constexpr double kPi = 3.1415926535;
    const double angle = (90.0 - static_cast<double>(fHeading)) * kPi / 180.0;
    dEasting += static_cast<double>(fStepLength) * std::cos(angle);
    dNorthing += static_cast<double>(fStepLength) * std::sin(angle);
    FromUTM(iZone, dEasting, dNorthing, bSouth, dLatitude, dLongitude);

    // The reported position carries up to half a metre of noise either way; the track not.
    const double noiseEast = static_cast<double>(random.Noise());
    const double noiseNorth = static_cast<double>(random.Noise());
    double lat = 0.0, lon = 0.0;
    FromUTM(iZone, dEasting + noiseEast, dNorthing + noiseNorth, bSouth, lat, lon);

    const std::string sTime =
        FormatC("%02d%02d%02d.%03d", c.iHour, c.iMinute, c.iSecond, t.iMilliSecond);
    const std::string sDate = FormatC("%02d%02d%02d", c.iDay, c.iMonth, c.iYear - 2000);
    const int iLatDegree = static_cast<int>(lat);
    const float fLatMinute = static_cast<float>((lat - iLatDegree) * 60.0);
    const int iLonDegree = std::abs(static_cast<int>(lon));
    const float fLonMinute = static_cast<float>(std::fabs(lon - static_cast<int>(lon)) * 60.0);
    float fCourse = std::fmod(fHeading, 360.0f);
    if (fCourse < 0.0f) fCourse += 360.0f;

    Sentences s;
    s.sRMC = FormatC("$GPRMC,%s,A,%02d%08.5f,N,%03d%08.5f,E,0.0,%05.1f,%s,0.0,W*66\n",
                     sTime.c_str(), iLatDegree, static_cast<double>(fLatMinute), iLonDegree,
                     static_cast<double>(fLonMinute), static_cast<double>(fCourse), sDate.c_str());
    const float fAltitude = 10.26f + random.Noise();
    s.sGGA = FormatC("$GPGGA,%s,%02d%08.5f,N,%03d%08.5f,E,2,08,0.6,%.3f,M,0.0,M,,0000*5E\n",
                     sTime.c_str(), iLatDegree, static_cast<double>(fLatMinute), iLonDegree,
                     static_cast<double>(fLonMinute), static_cast<double>(fAltitude));
    fHeading += 0.5f;
    return s;
}

// ---------------------------------------------------------------------------------------------
// Schedules

void CDemonstrationSchedule::Start(CClockTime now, int iPeriodMs) {
    bRunning = true;
    iNextMs = now.time * 1000 + now.iMilliSecond + iPeriodMs;
}

bool CDemonstrationSchedule::Due(CClockTime now, int iPeriodMs) {
    if (!bRunning) return false;
    const std::int64_t ms = now.time * 1000 + now.iMilliSecond;
    if (ms < iNextMs) return false;
    iNextMs += iPeriodMs;
    if (iNextMs <= ms) iNextMs = ms + iPeriodMs;
    return true;
}

// ---------------------------------------------------------------------------------------------
// The acquisition state's demonstration commands and steps

bool CAcquisitionState::StartDemonstration(int device, int kind) {
    const bool bGantrel = device == kSlotGantrel;
    if (bGantrel ? (kind < kDemoReadFile || kind > kDemoTwoLayerModel)
                 : (device != kSlotGPS || (kind != kDemoGPSReadFile && kind != kDemoGPSTrack)))
        return false;
    (bGantrel ? demo.iGantrelKind : demo.iGPSKind) = kind;
    int& started = bGantrel ? bGantrelStarted : bGPSStarted;
    if (started != 0) return false;  // the kind is kept all the same

    if (kind == kDemoReadFile || kind == kDemoGPSReadFile) {
        CDlgOpenLogFile dlg;
        dlg.sFilter = bGantrel ? "Gantrel log file(*.*)" : "GPS log file(*.*)";
        CDemonstrationFile file;
        if (!prompter_.EditDialog(dlg) || dlg.sPath.empty() || !file.Open(dlg.sPath)) {
            prompter_.Message(kCouldNotOpenLogFile);
            return false;
        }
        demo.file[bGantrel ? 0 : 1] = std::move(file);
    }
    serialLogs.FixPaths(sDataFolder);
    started = 1;
    (bGantrel ? bGantrelDemonstration : bGPSDemonstration) = 1;
    demo.bTimer = 1;
    demo.schedule[bGantrel ? 0 : 1].Start(clock_.Now(), kDemonstrationPeriod);
    StartPollTimerIfNeeded();  // the shell's ticks drive the schedules
    if (bGantrel)
        form.startMark = {Tr("START (M)", "測定開始 (M)"), kButtonGreen, form.startMark.bEnabled};
    RefreshForm();
    return true;
}

bool CAcquisitionState::RunDemonstrationStep(int slot) {
    const size_t s = slot == kSlotGantrel ? 0 : 1;
    if (!demo.schedule[s].Due(clock_.Now(), kDemonstrationPeriod)) return false;
    if (slot == kSlotGantrel) {
        switch (demo.iGantrelKind) {
            case kDemoConstantModel:
                return GenerateConstantModelLine();
            case kDemoTwoLayerModel:
                return GenerateTwoLayerLine();
            default:
                return ReplayDemoLine(kSlotGantrel);
        }
    }
    return demo.iGPSKind == kDemoGPSTrack ? GenerateGpsTrackSentence() : ReplayDemoLine(kSlotGPS);
}

void CAcquisitionState::LogDemonstrationLine(const std::string& line, int kind) {
    receivedLines.Append(line);
    if (kind == kLineGantrel || kind == kLineGGA) {
        dataLines.Append(line);
    } else if (kind == kLineNotSaved) {
        dataLines.Append(line);
        CautionNotSaved();
    } else if (kind == kLineOutOfRange) {
        dataLines.Append(line);
        CautionOutOfRange();
    }
}

bool CAcquisitionState::ReplayDemoLine(int slot) {
    if (slot != kSlotGantrel && slot != kSlotGPS) return false;
    std::string line;
    if (!demo.file[slot == kSlotGantrel ? 0 : 1].NextLine(line)) return false;
    const int kind = DispatchLine(line, slot, clock_.Now(), 1);
    LogDemonstrationLine(line, kind);
    return true;
}

bool CAcquisitionState::GenerateConstantModelLine() {
    const std::string line = SyntheticConsoleLine(ConstantModelVI(geometry[kFirstInstrument]));
    LogDemonstrationLine(line, DispatchLine(line, kSlotGantrel, clock_.Now(), 1));
    return true;
}

bool CAcquisitionState::GenerateTwoLayerLine() {
    const std::string line = SyntheticConsoleLine(TwoLayerModelVI(geometry[kFirstInstrument]));
    LogDemonstrationLine(line, DispatchLine(line, kSlotGantrel, clock_.Now(), 1));
    return true;
}

bool CAcquisitionState::GenerateGpsTrackSentence() {
    const CClockTime t = clock_.Now();
    const CDemonstrationTrack::Sentences s = demo.track.Step(t);
    // Handed on as a port hands on its lines: without the line end, which would otherwise
    // split the "21" record of the fix in the survey file.
    const std::string gga(WithoutLineEnd(s.sGGA));
    const std::string rmc(WithoutLineEnd(s.sRMC));
    const int kind = DispatchLine(gga, kSlotGPS, t, 1);
    receivedLines.Append(gga);
    receivedLines.Append(rmc);
    if (kind == kLineGantrel || kind == kLineGGA) dataLines.Append(gga);
    return true;
}
