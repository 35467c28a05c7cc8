#include "live/live_section.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "analysis/gridding.h"
#include "analysis/initial_model.h"
#include "analysis/inversion.h"
#include "analysis/pseudo_section.h"
#include "common/nmea.h"
#include "common/resistivity.h"
#include "common/text_format.h"
#include "common/utm.h"
#include "positioning/positioning.h"
#include "sectionfiles/ovs_file.h"

namespace {

// The processing steps show their findings in message boxes; the live section has no one to
// show them to.
class CQuietPrompter : public CPrompter {
public:
    PromptAnswer Message(const std::string&, PromptButtons, const std::string&) override {
        return PromptAnswer::Ok;
    }
    int TwoButtonBox(const std::string&, const std::string&, const std::string&,
                     const std::string&) override {
        return 0;
    }
    std::optional<int> InputInt(const std::string&, const std::string&, int) override {
        return std::nullopt;
    }
    std::optional<double> InputReal(const std::string&, const std::string&, double,
                                    const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> InputText(const std::string&, const std::string&,
                                         const std::string&) override {
        return std::nullopt;
    }
    std::vector<std::filesystem::path> OpenFiles(const std::string&, const std::vector<FileFilter>&,
                                                 const std::filesystem::path&, bool) override {
        return {};
    }
    std::optional<std::filesystem::path> SaveFile(const std::string&,
                                                  const std::vector<FileFilter>&,
                                                  const std::filesystem::path&) override {
        return std::nullopt;
    }
    std::optional<std::filesystem::path> ChooseFolder(const std::string&,
                                                      const std::filesystem::path&) override {
        return std::nullopt;
    }
    bool EditDialog(CDialogValues&) override { return false; }
};

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}
bool Contains(std::string_view s, std::string_view part) {
    return s.find(part) != std::string_view::npos;
}

// Same array description and observed values in column c of both stores: the column's data,
// and with them its initial model (constant down the column from its own values), are equal.
bool SameColumnData(const CTrevascDataOhm& a, const CTrevascDataOhm& b, int c) {
    if (c >= a.nColumn || c >= b.nColumn || a.bGeneralArray != b.bGeneralArray ||
        a.nLayer != b.nLayer)
        return false;
    const auto i = static_cast<std::size_t>(c);
    if (a.fColumnX[i] != b.fColumnX[i] || a.nRow[i] != b.nRow[i]) return false;
    for (int k = 0; k < a.nRow[i]; ++k) {
        if (a.fObserved[c][k] != b.fObserved[c][k] || a.nAveraged[c][k] != b.nAveraged[c][k])
            return false;
        if (a.bGeneralArray == 1) {
            const auto& ea = a.pElectrode[c][k];
            const auto& eb = b.pElectrode[c][k];
            if (!ea || !eb || ea->fA != eb->fA || ea->fB != eb->fB || ea->fM != eb->fM ||
                ea->fN != eb->fN)
                return false;
        } else if (a.fDipoleSize[c][k] != b.fDipoleSize[c][k] ||
                   a.fNFactor[c][k] != b.fNFactor[c][k]) {
            return false;
        }
    }
    return true;
}

// Column c's inverted model and response from one store into another holding the same data.
void CopyColumnModel(const CTrevascDataOhm& from, CTrevascDataOhm& to, int c) {
    for (int k = 0; k < to.nRow[static_cast<std::size_t>(c)]; ++k)
        to.fCalculated[c][k] = from.fCalculated[c][k];
    for (int j = 0; j < to.nLayer; ++j) {
        to.fLayerResistivity[c][j] = from.fLayerResistivity[c][j];
        to.fBoundaryElevation[c][j] = from.fBoundaryElevation[c][j];
    }
}

bool WholeInt(const std::string& text, int& value) {
    std::size_t used = 0;
    return ScanInt(text, value, &used) && used == text.size();
}
bool WholeReal(const std::string& text, double& value) {
    std::size_t used = 0;
    return ScanDouble(text, value, &used) && used == text.size() && std::isfinite(value);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Settings

std::string LiveSectionSettings::Validate() const {
    if (!(fCellSize >= 0.01f && fCellSize <= 1000.0f))
        return "the cell size must be from 0.01 to 1000 m";
    if (nLayer < 1 || nLayer > kMaxInitialLayers)
        return FormatC("the number of layers must be from 1 to %d", kMaxInitialLayers);
    if (!(fDepth > 0.0f && fDepth <= 10000.0f))
        return "the depth must be above 0 and at most 10000 m";
    CDlgLsm lsm;
    lsm.nIteration = nIteration;
    lsm.dAlpha = dAlpha;
    lsm.dRegularization = dRegularization;
    lsm.dDamping = dDamping;
    if (nIteration < 1 || nIteration > kMaxInversionIterations)
        return FormatC("the iterations must be from 1 to %d", kMaxInversionIterations);
    if (const std::string why = lsm.Validate(); !why.empty()) return why;
    if (placement == LivePlacement::Markers &&
        !(dMarkerSpacing > 0.0 && IsMarkerDistance(dMarkerSpacing)))
        return FormatC("the marker spacing must be above 0 and at most %g m", kMaxMarkerDistance);
    return {};
}

std::optional<LiveSectionSettings> ParseLiveSettings(const std::string& text,
                                                     const LiveSectionSettings& base,
                                                     std::string& error) {
    std::vector<std::string> f;
    for (std::size_t start = 0;;) {
        const std::size_t colon = text.find(':', start);
        f.push_back(text.substr(start, colon == std::string::npos ? colon : colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    const std::string form = "\"" + text + "\": ";
    if (f.size() < 4 || f.size() > 7) {
        error =
            form + "four to seven fields CELL:LAYERS:DEPTH:ITER[:ALPHA[:REG[:DAMP]]] are needed";
        return std::nullopt;
    }
    LiveSectionSettings s = base;
    double cell = 0, depth = 0;
    if (!WholeReal(f[0], cell) || !WholeInt(f[1], s.nLayer) || !WholeReal(f[2], depth) ||
        !WholeInt(f[3], s.nIteration)) {
        error = form + "CELL and DEPTH are numbers of metres, LAYERS and ITER whole numbers";
        return std::nullopt;
    }
    double* const extra[] = {&s.dAlpha, &s.dRegularization, &s.dDamping};
    for (std::size_t k = 4; k < f.size(); ++k) {
        if (!WholeReal(f[k], *extra[k - 4])) {
            error = form + "ALPHA, REG and DAMP are numbers";
            return std::nullopt;
        }
    }
    constexpr double kFloatMax = std::numeric_limits<float>::max();
    s.fCellSize = static_cast<float>(std::clamp(cell, -kFloatMax, kFloatMax));
    s.fDepth = static_cast<float>(std::clamp(depth, -kFloatMax, kFloatMax));
    const std::string why = s.Validate();
    if (!why.empty()) {
        error = form + why;
        return std::nullopt;
    }
    return s;
}

// ---------------------------------------------------------------------------------------------
// The section

struct CLiveSection::State {
    CTrevascDataOhm store;
    CGantrelSurvey survey;
    std::vector<LiveColumn> columns;
    std::vector<char> bTried;  // inverted, or found to have nothing to invert
    int iNewestColumn = -1;
    std::uint64_t nRecords = 0;
    int nReading = 0, nPlaced = 0;
};

CLiveSection::CLiveSection(const LiveSectionSettings& settings) : settings_(settings) {
    // Every line the worker uses is made here: a new line reads its default geometry from the
    // settings store, which belongs to the calling thread.
    blank_ = std::make_unique<CGantrelSurvey>();
    parsed_ = std::make_unique<CGantrelSurvey>();
    scratch_ = std::make_unique<CGantrelSurvey>();
    blank_->AddLine();
    parsed_->CopyFrom(*blank_);
    scratch_->CopyFrom(*blank_);
    for (auto* s : {&next_, &shown_}) {
        *s = std::make_unique<State>();
        (*s)->survey.CopyFrom(*blank_);
        (*s)->survey.nLine = 0;
        if (!(*s)->store.Initialise(kStoreMaxColumn, kStoreMaxRow, kStoreMaxColumn, kStoreMaxLayer))
            throw std::bad_alloc();
    }
    worker_ = std::thread([this] { Run(); });
}

CLiveSection::~CLiveSection() {
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        bStop_ = true;
    }
    queueCv_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void CLiveSection::TakeRecord(std::string_view record) {
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        queue_.emplace_back(record);
        ++nTaken_;
        bIdle_ = false;
    }
    queueCv_.notify_one();
}

bool CLiveSection::WaitUntilCurrent(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(queueMutex_);
    return idleCv_.wait_for(lock, timeout, [this] { return bIdle_; });
}

void CLiveSection::Read(const std::function<void(const LiveSectionView&)>& reader) const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    const LiveSectionView view{shown_->store, shown_->survey, shown_->columns,
                               shown_->iNewestColumn, shown_->nRecords};
    reader(view);
}

LiveSectionSummary CLiveSection::Summary() const {
    LiveSectionSummary s;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        s.nRecordsTaken = nTaken_;
    }
    std::vector<float> misfits;
    std::lock_guard<std::mutex> lock(stateMutex_);
    s.nColumn = shown_->store.nColumn;
    s.nReading = shown_->nReading;
    s.nPlaced = shown_->nPlaced;
    s.iNewestColumn = shown_->iNewestColumn;
    s.nRecordsShown = shown_->nRecords;
    for (const LiveColumn& c : shown_->columns)
        if (c.bInverted) misfits.push_back(c.fMisfit);
    s.nInverted = static_cast<int>(misfits.size());
    if (!misfits.empty()) {
        std::sort(misfits.begin(), misfits.end());
        const std::size_t n = misfits.size();
        s.fMedianMisfit = n % 2 == 1 ? misfits[n / 2] : (misfits[n / 2 - 1] + misfits[n / 2]) / 2;
    }
    return s;
}

bool CLiveSection::WriteSectionFile(const std::filesystem::path& path,
                                    SurveySaveReport* report) const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return ::WriteSectionFile(shown_->store, path,
                              shown_->survey.nLine > 0 ? &shown_->survey : nullptr, report);
}

void CLiveSection::Run() {
    std::deque<std::string> records;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(queueMutex_);
            queueCv_.wait(lock,
                          [&] { return bStop_ || !queue_.empty() || NextColumnToInvert() >= 0; });
            if (bStop_) return;
            records.swap(queue_);
        }
        // Everything that came meanwhile at once: the columns of an older state are left.
        if (!records.empty()) {
            for (const std::string& r : records) Parse(r);
            nParsed_ += records.size();
            records.clear();
            try {
                Rebuild();
            } catch (const std::exception&) {
                // Only memory can run out here; the state shown stays as it was.
            }
        }
        const int c = NextColumnToInvert();
        if (c >= 0) InvertColumn(c);
        {
            std::lock_guard<std::mutex> lock(queueMutex_);
            if (queue_.empty() && NextColumnToInvert() < 0) {
                bIdle_ = true;
                idleCv_.notify_all();
            }
        }
    }
}

// The survey reader's rules for one record of a line.
void CLiveSection::Parse(std::string_view rec) {
    if (rec.empty() || rec.size() > kMaxRecordLength) return;
    if (StartsWith(rec, "33") && Contains(rec, "GOHM")) {
        GeometryRecord g;
        bLine_ = ParseGeometryRecord(rec, g);
        if (!bLine_) return;
        parsed_->CopyFrom(*blank_);
        CGantrelLine& line = parsed_->Line(0);
        g.ApplyTo(*line.pGeometry, &line);
        nSinceMarker_ = 0;
        return;
    }
    if (!bLine_) return;
    CGantrelLine& line = parsed_->Line(0);
    if (StartsWith(rec, "30")) {
        if (line.nData() >= kMaxDataPerLine) return;
        CGantrelData d;
        const int n = ParseReadingRecord(rec, d);
        if (n == 0) return;
        d.iMarkerIndex = std::max(line.nMarker() - 1, 0);
        line.nMaxReceiver = std::max(line.nMaxReceiver, n);
        ComputeResistivity(d, *line.pGeometry);
        *line.AddData() = d;
        ++nSinceMarker_;
    } else if (rec[0] == '3') {
        if (line.nMarker() >= kMaxMarkerPerLine) return;
        CMarkerData m;
        if (!ParseMarkerRecord(rec, m)) return;
        if (!line.pMarker.empty()) line.pMarker.back().nData = nSinceMarker_;
        nSinceMarker_ = 0;
        *line.AddMarker() = m;
    } else if (Contains(rec, "$GPGGA") || Contains(rec, "$GNGGA")) {
        if (line.nGPS() >= kMaxGPSPerLine) return;
        CGPSData g;
        const int zone = DecodeGGA(g, rec);
        if (zone >= 1 && zone <= 60 &&
            (Contains(g.sSentence, "$GPGGA") || Contains(g.sSentence, "$GNGGA")))
            *line.AddGPS() = g;
    }
}

void CLiveSection::Rebuild() {
    State& next = *next_;
    const State& shown = *shown_;
    CGantrelSurvey& s = *scratch_;
    s.CopyFrom(*parsed_);
    next.nRecords = nParsed_;
    next.nReading = bLine_ ? s.Line(0).nData() : 0;
    next.nPlaced = 0;
    next.iNewestColumn = -1;
    next.store.Reset();
    next.survey.nLine = 0;

    // What the processing program does on opening the file: the reader's completion, the
    // depths, one UTM zone and the positions from the fixes.
    const int nRealMarker = s.Line(0).nMarker();
    const bool bMarkers = settings_.placement == LivePlacement::Markers;
    bool bPlace = bLine_ && next.nReading > 0 && (!bMarkers || nRealMarker >= 2);
    if (bPlace) {
        CompleteLines(s);
        bPlace = s.nLine == 1;
    }
    CQuietPrompter quiet;
    if (bPlace) {
        s.UpdateBoundingBox();
        s.BuildDepthList();
        ProjectSurveyToOneZone(s);
        s.UpdateBoundingBox();
        CGantrelLine& line = s.Line(0);
        if (s.bGPS == 1 && line.nData() > 1 && line.nGPS() > 1) ComputePositions(line);
        s.UpdateBoundingBox();
        if (bMarkers) {
            // Not a number until a marker pair places the reading.
            for (CGantrelData& d : line.pData)
                d.fDistance = std::numeric_limits<float>::quiet_NaN();
            bPlace = SetMarkerSpacing(s, settings_.dMarkerSpacing);
            s.CheckMarkerDistance();
            SetDistanceFromMarkers(s);
            SetDistanceFromMarkers(s);
            s.CheckMarkerDistance();
            // Readings after the latest marker go ahead of it at the pace of the last pair.
            const auto& mk = line.pMarker;
            const CMarkerData& a = mk[mk.size() - 2];
            const CMarkerData& b = mk.back();
            const int m = b.iDataIndex - a.iDataIndex;
            const float pace = m > 0 ? (b.fDistance - a.fDistance) / static_cast<float>(m) : 0;
            for (int i = 0; i < line.nData(); ++i) {
                CGantrelData& d = line.pData[static_cast<std::size_t>(i)];
                if (std::isfinite(d.fDistance)) continue;
                if (m > 0 && i > b.iDataIndex) {
                    d.fDistance = b.fDistance + pace * static_cast<float>(i - b.iDataIndex);
                } else {
                    d.fDistance = b.fDistance;
                    for (int& v : d.bValid) v = 0;
                }
            }
            s.UpdateRanges();
        } else {
            bPlace = s.bGPS == 1 && FitSurveyLine(s) &&
                     SetDistanceFromGPS(s, {}, quiet, nullptr, false) > 0;
        }
    }
    if (bPlace) {
        for (const CGantrelData& d : s.Line(0).pData)
            if (std::any_of(d.bValid, d.bValid + kMaxReceiver, [](int v) { return v == 1; }))
                ++next.nPlaced;
    }

    // "Convert to grid data", then the initial model from each column's apparent
    // resistivities.
    PseudoSection section;
    bool bGrid = bPlace && s.HasDistances() &&
                 CollectPoints(s, section) == PseudoSectionStatus::Ok &&
                 ClassifyRowKinds(section, quiet) == PseudoSectionStatus::Ok &&
                 !section.points.empty() && section.RowKindCount() > 0;
    if (bGrid)
        bGrid = GridPseudoSection(section, settings_.fCellSize, next.store).status ==
                GriddingStatus::Ok;
    if (bGrid) {
        CDlgInitialModel values;
        values.iMode = kInitialConstantVertical;
        values.fResistivity = 100.0f;  // not used by this mode
        values.fDepth = settings_.fDepth;
        values.nLayer = settings_.nLayer;
        bGrid = BuildInitialModel(next.store, values);
    }
    if (!bGrid) next.store.Reset();
    const int nColumn = next.store.nColumn;
    next.columns.assign(static_cast<std::size_t>(nColumn), LiveColumn{});
    next.bTried.assign(static_cast<std::size_t>(nColumn), 0);
    if (nColumn > 0) {
        const float p = section.points.back().fPosition;
        const float w = settings_.fCellSize;
        const int c = static_cast<int>((p - section.fMinPosition) / w);
        next.iNewestColumn = std::clamp(c, 0, nColumn - 1);
        next.survey.CopyFrom(s);
    }
    // Columns whose data did not change keep what was found for them.
    for (int c = 0; c < nColumn; ++c) {
        const auto i = static_cast<std::size_t>(c);
        if (i >= shown.bTried.size() || shown.bTried[i] == 0 ||
            !SameColumnData(next.store, shown.store, c))
            continue;
        next.bTried[i] = 1;
        next.columns[i] = shown.columns[i];
        if (next.columns[i].bInverted) {
            CopyColumnModel(shown.store, next.store, c);
            next.store.iDataType = kDataTypeDipole;
        }
    }
    std::lock_guard<std::mutex> lock(stateMutex_);
    std::swap(next_, shown_);
}

int CLiveSection::NextColumnToInvert() const {
    const State& s = *shown_;
    const int newest = s.iNewestColumn;
    if (newest >= 0 && s.bTried[static_cast<std::size_t>(newest)] == 0) return newest;
    // Then from the newest backwards, where the line was recorded last.
    for (int c = static_cast<int>(s.bTried.size()) - 1; c >= 0; --c)
        if (s.bTried[static_cast<std::size_t>(c)] == 0) return c;
    return -1;
}

void CLiveSection::InvertColumn(int c) {
    // Only this thread writes the state shown, so it reads it without the lock.
    State& s = *shown_;
    const auto i = static_cast<std::size_t>(c);
    LayerModel model;
    SoundingData sounding;
    CSoundingInverter inverter;
    InversionSettings inversion;
    inversion.nIteration = settings_.nIteration;
    inversion.dAlpha = settings_.dAlpha;
    inversion.dRegularization = settings_.dRegularization;
    inversion.dDamping = settings_.dDamping;
    float misfit = -1.0f;
    bool bStore = false;
    try {
        if (SetUpSounding(c, s.store, model, sounding) == kColumnReady) {
            misfit = inverter.Invert(model, sounding, inversion);
            bStore = misfit >= 0.0f;
        }
    } catch (const std::exception&) {
        bStore = false;  // only memory can run out; the column keeps its initial model
    }
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        s.bTried[i] = 1;
        if (bStore) {
            StoreSoundingColumn(c, s.store, model, sounding);
            s.store.iDataType = kDataTypeDipole;
            s.columns[i] = LiveColumn{true, misfit};
        }
    }
    if (bStore && onColumnInverted) onColumnInverted(c, s.nRecords);
}
