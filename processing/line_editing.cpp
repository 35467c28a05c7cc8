#include "processing/line_editing.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "common/language.h"
#include "common/resistivity.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "positioning/positioning.h"
#include "processing/analysis_commands.h"
#include "processing/commands.h"

namespace {

size_t Index(int i) { return static_cast<size_t>(i); }

struct TextPair {
    EditText id;
    const char* en;
    const char* ja;
};

const TextPair kTexts[] = {
    {EditText::EditOriginalData, "Edit original data", "元データの編集"},
    {EditText::NumberOfLines, "Number of lines", "ライン数"},
    {EditText::Index, "Index", "番号"},
    {EditText::NumberOfMarker, "Number of marker", "マーカー数"},
    {EditText::Start, "Start (m)", "始点 (m)"},
    {EditText::End, "End (m)", "終点 (m)"},
    {EditText::NumberOfData, "Number of data", "データ数"},
    {EditText::DipoleSize, "Dipole size", "ダイポール長"},
    {EditText::RopeLengthColumn, "Rope length(m)", "ロープ長(m)"},
    {EditText::NumberOfReceivers, "Number of receivers", "受信器数"},
    {EditText::Forward, "Forward", "前方"},
    {EditText::Reverse, "Reverse", "後方"},
    {EditText::Delete, "Delete", "削除"},
    {EditText::Edit, "Edit", "編集"},
    {EditText::EditEachLine, "Edit each line", "ラインの編集"},
    {EditText::LineIndex, "Line index =", "ライン番号 ="},
    {EditText::MarkerCount, "Number of marker =", "マーカー数 ="},
    {EditText::Next, "Next", "次へ"},
    {EditText::Back, "Back", "戻る"},
    {EditText::Distance, "Distance(m)", "距離(m)"},
    {EditText::Active, "Active", "有効"},
    {EditText::Geometry, "Geometry", "配置"},
    {EditText::TransmitDipoleSize, "Transmit. dipole size", "送信ダイポール長"},
    {EditText::ReceiverDipoleSize, "Rec. dipole size", "受信ダイポール長"},
    {EditText::DifferentSizes, "Different transmitter and receiver dipole sizes",
     "送信と受信のダイポール長が異なる"},
    {EditText::ReceiverMultiplier, "Receiver multiplier", "受信器倍率"},
    {EditText::RopeLength, "Rope length", "ロープ長"},
    {EditText::OperatorOffset, "Operator offset", "オペレータオフセット"},
    {EditText::Set, "Set", "設定"},
    {EditText::View, "View", "表示"},
    {EditText::ShowAllReceivers, "Show all receivers", "全受信器を表示"},
    {EditText::Up, "Up", "上へ"},
    {EditText::Down, "Down", "下へ"},
    {EditText::EditMarker, "Edit marker", "マーカーの編集"},
    {EditText::MarkerDistance, "Distance =", "距離 ="},
    {EditText::ShiftFollowing, "Shift following marker distance", "後続のマーカー距離もずらす"},
    {EditText::NumberOfSampleForMedian, "Number of sample for median", "メディアンのサンプル数"},
    {EditText::CurrentLevel, "Current level", "電流レベル"},
};

constexpr const char* kReceiverLabels[kMaxReceiver][2] = {
    {"1st receiver", "受信器1"}, {"2nd receiver", "受信器2"}, {"3rd receiver", "受信器3"},
    {"4th receiver", "受信器4"}, {"5th receiver", "受信器5"},
};

constexpr const char* kDipoleSizeLabels[] = {"1m",  "2m",  "2.5m", "5m",  "10m", "15m",
                                             "20m", "25m", "30m",  "35m", "40m"};

constexpr int kMinMedian = 3, kMaxMedian = 11;
constexpr int kMaxCurrentLevel = static_cast<int>(kCurrentLevelTable.size()) - 1;

bool IsLevel(int level) { return level >= 0 && level <= kMaxCurrentLevel; }

// A stored filter length outside the spin range (edited by hand) is brought back into it; an
// even length becomes the next odd one so that the window stays centred.
int SanitiseMedianLength(int n) {
    n = std::clamp(n, kMinMedian, kMaxMedian);
    return n % 2 == 0 ? n + 1 : n;
}

bool HasLines(const CBrivaneContext& ctx) { return ctx.doc.survey.nLine > 0; }
bool InLineView(const CBrivaneContext& ctx) {
    return ctx.view.iViewMode == kViewLineResistivity || ctx.view.iViewMode == kViewLineResistance;
}
bool HasCurrentLine(const CBrivaneContext& ctx) {
    return ctx.view.iCurrentLine >= 0 && ctx.view.iCurrentLine < ctx.doc.survey.nLine;
}
CGantrelLine* CurrentLine(CBrivaneContext& ctx) {
    return HasCurrentLine(ctx) ? &ctx.doc.survey.Line(ctx.view.iCurrentLine) : nullptr;
}

void RecomputeSurvey(CGantrelSurvey& survey) {
    for (int l = 0; l < survey.nLine; ++l) {
        CGantrelLine& line = survey.Line(l);
        for (CGantrelData& d : line.pData) ComputeResistivity(d, *line.pGeometry);
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Texts

const char* EditDialogText(EditText id) {
    for (const TextPair& t : kTexts)
        if (t.id == id) return Tr(t.en, t.ja);
    return "";
}

const char* ReceiverLabel(int iReceiver) {
    if (iReceiver < 0 || iReceiver >= kMaxReceiver) return "";
    return Tr(kReceiverLabels[iReceiver][0], kReceiverLabels[iReceiver][1]);
}

const char* DipoleSizeLabel(int iIndex) {
    if (iIndex < 0 || iIndex >= static_cast<int>(std::size(kDipoleSizeLabels))) return "";
    return kDipoleSizeLabels[iIndex];
}

std::string CSpinValues::Refusal(int v) const {
    const int step = std::max(iStep, 1);
    if (v >= iMin && v <= iMax && (v - iMin) % step == 0) return {};
    std::string list;
    for (int k = iMin; k <= iMax && list.size() < 80; k += step) {
        if (!list.empty()) list += k + step > iMax ? Tr(" or ", " または ") : ", ";
        list += std::to_string(k);
    }
    return FormatC(Tr("Enter %s.", "%s のいずれかを入力してください。"), list.c_str());
}

const char* DeleteLineQuestion() {
    return Tr("Are you sure you want to delete a line?", "ﾗｲﾝを削除しますか?");
}

const char* CannotDeleteMarker() {
    return Tr("Cannot delete this marker", "このマーカーは削除できません");
}

const char* GateSelectedMessage() {
    return Tr("Hit 'Delete' key to remove selected data.",
              "選択されたデータを消すには「Delete」キーを押してください");
}

// ---------------------------------------------------------------------------------------------
// Line operations

void ReinterpolateLine(CGantrelLine& line, int bByTime) {
    // The marker interpolation works on a survey: lend it the line as a one-line survey of its
    // own (no GPS distances, so it always runs). The guard hands the line back before the
    // borrowed survey is destroyed, whatever happens.
    CGantrelSurvey single;
    single.bInterpolateByTime = bByTime;
    single.pLine.emplace_back(&line);
    single.nLine = 1;
    struct GiveBack {
        CGantrelSurvey& survey;
        ~GiveBack() { (void)survey.pLine.front().release(); }
    } giveBack{single};
    SetDistanceFromMarkers(single);
}

void ReverseLine(CGantrelLine& line, int bByTime) {
    const int n = line.nMarker();
    for (int j = 0; j < n / 2; ++j) {
        CMarkerData& a = line.pMarker[Index(j)];
        CMarkerData& b = line.pMarker[Index(n - 1 - j)];
        std::swap(a.dY, b.dY);
        std::swap(a.fDistance, b.fDistance);
    }
    const int bReverse = line.bReverse == 1 ? 0 : 1;
    ReinterpolateLine(line, bByTime);
    // The toggle stands even when the first and last markers share a position.
    line.bReverse = bReverse;
}

bool DeleteLine(CGantrelSurvey& survey, int iLine) {
    if (iLine < 0 || iLine >= survey.nLine) return false;
    // The line object moves to the first unused slot, where it is kept for reuse.
    auto first = survey.pLine.begin() + iLine;
    std::rotate(first, first + 1, survey.pLine.begin() + survey.nLine);
    --survey.nLine;
    survey.Line(survey.nLine).Reset();
    return true;
}

bool MoveMarker(CGantrelLine& line, int j, double dDistance, bool bShift) {
    if (j < 0 || j >= line.nMarker() || !IsMarkerDistance(dDistance)) return false;
    CMarkerData& m = line.pMarker[Index(j)];
    const double dShift = dDistance - m.dY;
    if (bShift) {
        for (int k = j + 1; k < line.nMarker(); ++k)
            if (!IsMarkerDistance(line.pMarker[Index(k)].dY + dShift)) return false;
    }
    m.dY = dDistance;
    m.fDistance = static_cast<float>(dDistance);
    if (bShift) {
        for (int k = j + 1; k < line.nMarker(); ++k) {
            CMarkerData& later = line.pMarker[Index(k)];
            later.dY += dShift;
            later.fDistance = static_cast<float>(later.dY);
        }
    }
    ReinterpolateLine(line, 0);
    return true;
}

void UpdateReceiverShown(CGantrelLine& line) {
    for (int i = 0; i < kMaxReceiver; ++i)
        line.bReceiverShown[i] = line.bShowAllReceivers == 1 || i == line.iShownReceiver ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// "Edit each line"

CEditEachLineModel::CEditEachLineModel(CGantrelSurvey& survey, int iLine, CPrompter& prompter)
    : survey_(survey), prompter_(prompter), copies_(Index(std::max(survey.nLine, 1))) {
    Show(std::clamp(iLine, 0, std::max(survey.nLine - 1, 0)));
}

void CEditEachLineModel::Show(int iLine) {
    iLine_ = iLine;
    auto& copy = copies_[Index(iLine)];
    if (!copy) {
        // An empty survey still gets a line to show, which Commit() never writes back.
        copy = iLine < survey_.nLine ? std::make_unique<CGantrelLine>(survey_.Line(iLine))
                                     : std::make_unique<CGantrelLine>();
    }
    iFirstMarkerRow_ = 0;
    const CGantrelGeometry& g = *copy->pGeometry;
    CGantrelGeometry probe = g;
    controls.iDipoleIndex = probe.IndexFromSize();
    probe.fTransmitterDipole = g.fReceiverDipole;
    controls.iDipoleIndexReceiver = probe.IndexFromSize();
    controls.bDifferentSize = g.bDifferentSize;
    controls.pReceiverFactor = g.pReceiverFactor;
    controls.fRopeLength = g.fRopeLength;
    controls.fOffset = g.fOffset;
    PreviewChanged();
}

bool CEditEachLineModel::Next() {
    if (iLine_ + 1 >= survey_.nLine) return false;
    Show(iLine_ + 1);
    return true;
}

bool CEditEachLineModel::Back() {
    if (iLine_ <= 0) return false;
    Show(iLine_ - 1);
    return true;
}

void CEditEachLineModel::SetFirstMarkerRow(int iRow) {
    iFirstMarkerRow_ = std::clamp(iRow, 0, std::max(Line().nMarker() - kMarkerRows, 0));
}

bool CEditEachLineModel::DeleteMarker(int j) {
    CGantrelLine& line = Line();
    const int n = line.nMarker();
    if (j < 0 || j >= n) return false;
    if (j == 0 || j == n - 1) {
        prompter_.Message(CannotDeleteMarker());
        return false;
    }
    line.pMarker.erase(line.pMarker.begin() + j);
    ReinterpolateLine(line, 0);
    SetFirstMarkerRow(iFirstMarkerRow_);
    PreviewChanged();
    return true;
}

bool CEditEachLineModel::EditMarker(int j) {
    CGantrelLine& line = Line();
    if (j < 0 || j >= line.nMarker()) return false;
    CEditMarkerValues values;
    values.dDistance = line.pMarker[Index(j)].dY;
    if (!prompter_.EditDialog(values)) return false;
    if (!MoveMarker(line, j, values.dDistance, values.bShiftFollowing == 1)) {
        prompter_.Message(FormatC(Tr("The distance must be a number within %g m of 0, for this "
                                     "marker and for every marker it shifts.",
                                     "距離には 0 から %g m 以内の数値を入力してください (ずらす"
                                     "マーカーも含みます)。"),
                                  kMaxMarkerDistance));
        return false;
    }
    PreviewChanged();
    return true;
}

void CEditEachLineModel::SetReceiverUse(int iReceiver, bool bUse) {
    if (iReceiver < 0 || iReceiver >= kMaxReceiver) return;
    Line().bReceiverUse[iReceiver] = bUse ? 1 : 0;
    PreviewChanged();
}

const char* CEditEachLineModel::TransmitterGroupCaption() const {
    return EditDialogText(controls.bDifferentSize == 1 ? EditText::TransmitDipoleSize
                                                       : EditText::DipoleSize);
}

bool CEditEachLineModel::SetGeometry() {
    const CGeometryControls& c = controls;
    // A negative rope puts the receivers over the transmitter, where the line-antenna formula
    // takes logarithms of negative numbers.
    if (!std::isfinite(c.fRopeLength) || c.fRopeLength < 0.0f) {
        prompter_.Message(Tr("Rope length must be a number of 0 m or more.",
                             "ロープ長には0m以上の数値を入力してください"));
        return false;
    }
    if (!std::isfinite(c.fOffset)) {
        prompter_.Message(Tr("Operator offset must be a number.",
                             "オペレータオフセットには数値を入力してください"));
        return false;
    }
    for (float f : c.pReceiverFactor) {
        if (!std::isfinite(f) || f <= 0.0f) {
            prompter_.Message(Tr("Receiver multiplier must be a number greater than 0.",
                                 "受信器倍率には0より大きい数値を入力してください"));
            return false;
        }
    }
    CGantrelLine& line = Line();
    CGantrelGeometry& g = *line.pGeometry;
    const int last = static_cast<int>(kDipoleSizeTable.size()) - 1;
    g.iDipoleIndex = std::clamp(c.iDipoleIndex, 0, last);
    g.iDipoleIndexReceiver = std::clamp(c.iDipoleIndexReceiver, 0, last);
    g.bDifferentSize = c.bDifferentSize == 1 ? 1 : 0;
    g.pReceiverFactor = c.pReceiverFactor;
    g.fRopeLength = c.fRopeLength;
    g.fOffset = c.fOffset;
    g.SizeFromIndex();
    for (CGantrelData& d : line.pData) ComputeResistivity(d, g);
    PreviewChanged();
    return true;
}

void CEditEachLineModel::SetShowAllReceivers(bool bAll) {
    Line().bShowAllReceivers = bAll ? 1 : 0;
    UpdateReceiverShown(Line());
    PreviewChanged();
}

void CEditEachLineModel::ShownReceiverUp() {
    CGantrelLine& line = Line();
    line.iShownReceiver = std::clamp(line.iShownReceiver + 1, 0,
                                     std::clamp(line.nMaxReceiver - 1, 0, kMaxReceiver - 1));
    UpdateReceiverShown(line);
    PreviewChanged();
}

void CEditEachLineModel::ShownReceiverDown() {
    CGantrelLine& line = Line();
    line.iShownReceiver = std::clamp(line.iShownReceiver - 1, 0,
                                     std::clamp(line.nMaxReceiver - 1, 0, kMaxReceiver - 1));
    UpdateReceiverShown(line);
    PreviewChanged();
}

void CEditEachLineModel::PreviewChanged() {
    ++nPreviewRedraw;
    if (onPreviewChanged) onPreviewChanged();
}

void CEditEachLineModel::Commit() {
    for (int i = 0; i < survey_.nLine && Index(i) < copies_.size(); ++i)
        if (copies_[Index(i)]) survey_.Line(i).CopyFrom(*copies_[Index(i)]);
}

// ---------------------------------------------------------------------------------------------
// "Edit original data"

CEditOriginalDataModel::CEditOriginalDataModel(CGantrelSurvey& survey, CPrompter& prompter)
    : survey_(survey), prompter_(prompter) {}

void CEditOriginalDataModel::SetFirstRow(int iRow) {
    iFirstRow_ = std::clamp(iRow, 0, std::max(survey_.nLine - kRows, 0));
}

CLineRow CEditOriginalDataModel::Row(int iLine) const {
    CLineRow row;
    if (iLine < 0 || iLine >= survey_.nLine) return row;
    const CGantrelLine& line = survey_.Line(iLine);
    row.iIndex = iLine;
    row.nMarker = line.nMarker();
    if (line.nMarker() > 0) {
        row.fStart = static_cast<float>(line.pMarker.front().dY);
        row.fEnd = static_cast<float>(line.pMarker.back().dY);
    }
    row.nData = line.nData();
    row.fDipoleSize = line.pGeometry->fTransmitterDipole;
    row.fRopeLength = line.pGeometry->fRopeLength;
    row.nReceiver = line.nMaxReceiver;
    row.sDirection = EditDialogText(line.bReverse == 1 ? EditText::Reverse : EditText::Forward);
    return row;
}

bool CEditOriginalDataModel::Reverse(int iLine) {
    if (iLine < 0 || iLine >= survey_.nLine) return false;
    ReverseLine(survey_.Line(iLine), survey_.bInterpolateByTime);
    return true;
}

bool CEditOriginalDataModel::Delete(int iLine) {
    if (iLine < 0 || iLine >= survey_.nLine || IsLineOpen(iLine)) return false;
    if (prompter_.Message(DeleteLineQuestion(), PromptButtons::OkCancel) != PromptAnswer::Ok)
        return false;
    DeleteLine(survey_, iLine);
    SetFirstRow(iFirstRow_);
    return true;
}

bool CEditOriginalDataModel::Edit(int iLine) {
    if (iLine < 0 || iLine >= survey_.nLine || pOpen_ != nullptr) return false;
    CEditEachLineModel model(survey_, iLine, prompter_);
    CEditEachLineValues values;
    values.pModel = &model;
    pOpen_ = &model;
    const bool ok = prompter_.EditDialog(values);
    pOpen_ = nullptr;
    if (ok) model.Commit();
    return ok;
}

bool CEditOriginalDataModel::IsLineOpen(int iLine) const {
    return pOpen_ != nullptr && pOpen_->LineIndex() == iLine;
}

bool RunEditOriginalData(CGantrelSurvey& survey, CPrompter& prompter) {
    CEditOriginalDataModel model(survey, prompter);
    CEditOriginalDataValues values;
    values.pModel = &model;
    return prompter.EditDialog(values);
}

// ---------------------------------------------------------------------------------------------
// Median filter

float MedianOfWindow(const float* values, int count) {
    std::vector<float> distinct;
    for (int i = 0; i < count; ++i)
        if (values[i] >= 0.0f) InsertDistinct(distinct, values[i]);
    const size_t k = distinct.size();
    if (k == 0) return 0.01f;
    if (k % 2 == 1) return distinct[k / 2];
    return (distinct[k / 2 - 1] + distinct[k / 2]) / 2.0f;
}

std::vector<float> MedianFilterSequence(const std::vector<float>& values, int n) {
    const int N = static_cast<int>(values.size());
    std::vector<float> out = values;
    if (n < 1 || n >= N) return out;
    for (int p = 1; p <= N - 2; ++p) {
        // Near the ends the window narrows so that it never reaches past the sequence.
        const int fromEnd = std::min(p, N - 1 - p);
        const int w = std::min({n, 2 * fromEnd + 1, kMaxMedian});
        const int start = p - (w - 1) / 2;
        out[Index(p)] = MedianOfWindow(values.data() + start, w);
    }
    return out;
}

int MedianFilterLine(CGantrelLine& line, int n) {
    int filtered = 0;
    const int receivers = std::clamp(line.nMaxReceiver, 0, kMaxReceiver);
    std::vector<float> values;
    for (int j = 0; j < receivers; ++j) {
        if (line.bReceiverShown[j] != 1) continue;
        values.clear();
        for (const CGantrelData& d : line.pData)
            if (d.nReceiver > j) values.push_back(d.fResistance[j]);
        if (n >= static_cast<int>(values.size())) continue;
        const std::vector<float> out = MedianFilterSequence(values, n);
        size_t k = 0;
        for (CGantrelData& d : line.pData)
            if (d.nReceiver > j) d.fResistance[j] = out[k++];
        ++filtered;
    }
    return filtered;
}

// ---------------------------------------------------------------------------------------------
// Current level limits

int ProposedCurrentLevel(const CGantrelLine& line, bool bMaximum) {
    int proposal = bMaximum ? kMaxCurrentLevel : 1;
    for (const CGantrelData& d : line.pData) {
        for (int j = 0; j < std::clamp(d.nReceiver, 0, kMaxReceiver); ++j) {
            const int level = d.iCurrentLevel[j];
            if (!IsLevel(level)) continue;
            proposal = bMaximum ? std::min(proposal, level) : std::max(proposal, level);
        }
    }
    return proposal;
}

int LimitCurrentLevel(CGantrelLine& line, int iLevel, bool bMaximum) {
    if (!IsLevel(iLevel)) return 0;
    int changed = 0;
    for (CGantrelData& d : line.pData) {
        for (int j = 0; j < std::clamp(d.nReceiver, 0, kMaxReceiver); ++j) {
            const int old = d.iCurrentLevel[j];
            if (!IsLevel(old)) continue;
            const int level = bMaximum ? std::max(old, iLevel) : std::min(old, iLevel);
            if (level == old) continue;
            const float factor = kCurrentLevelTable[Index(old)] / kCurrentLevelTable[Index(level)];
            d.iCurrentLevel[j] = level;
            d.fResistance[j] *= factor;
            d.fResistivity[j] *= factor;
            ++changed;
        }
    }
    return changed;
}

// ---------------------------------------------------------------------------------------------
// Gate

CGate& ShownGate(CBrivaneViewState& view) {
    return view.iViewMode == kViewLineResistance ? view.gateResistance : view.gateResistivity;
}

void StartGate(CBrivaneContext& ctx) {
    if (!InLineView(ctx)) return;
    CBrivaneViewState& view = ctx.view;
    view.gateResistivity.iGateState = 0;
    view.gateResistance.iGateState = 0;
    view.iMouseMode = kMouseGate;
    CGate& gate = ShownGate(view);
    gate.iGateState = 1;
    gate.fGateStep = std::fabs(view.fAxisMax - view.fAxisMin) / 50.0f;
    gate.fGateLeft = view.fAxisMin;
    gate.fGateRight = view.fAxisMax;
    ctx.Redraw();
}

namespace {

// Marks every shown receiver value of the current line between the gates for deletion.
int MarkBetweenGates(CBrivaneContext& ctx, const CGate& gate) {
    CGantrelLine* line = CurrentLine(ctx);
    if (line == nullptr) return 0;
    int marked = 0;
    for (CGantrelData& d : line->pData) {
        if (d.fDistance < gate.fGateLeft || d.fDistance > gate.fGateRight) continue;
        for (int j = 0; j < std::clamp(d.nReceiver, 0, kMaxReceiver); ++j) {
            if (line->bReceiverShown[j] != 1) continue;
            d.bDeleted[j] = 1;
            ++marked;
        }
    }
    return marked;
}

}  // namespace

bool OnGateKey(CBrivaneContext& ctx, GateKey key) {
    CBrivaneViewState& view = ctx.view;
    if (view.iMouseMode != kMouseGate || !InLineView(ctx)) return false;
    CGate& gate = ShownGate(view);
    const float step = view.bFineStep == 1 ? gate.fGateStep / 10.0f : gate.fGateStep;
    switch (key) {
        case GateKey::Left:
            if (gate.iGateState == 1)
                gate.fGateLeft = std::max(gate.fGateLeft - step, view.fAxisMin);
            else if (gate.iGateState == 2)
                gate.fGateRight = std::max(gate.fGateRight - step, gate.fGateLeft);
            break;
        case GateKey::Right:
            if (gate.iGateState == 1)
                gate.fGateLeft = std::min(gate.fGateLeft + step, gate.fGateRight);
            else if (gate.iGateState == 2)
                gate.fGateRight = std::min(gate.fGateRight + step, view.fAxisMax);
            break;
        case GateKey::Enter:
            if (gate.iGateState == 1) {
                gate.iGateState = 2;
            } else {
                gate.iGateState = 0;
                MarkBetweenGates(ctx, gate);
                view.iMouseMode = kMouseNormal;
                ctx.prompter.Message(GateSelectedMessage());
            }
            break;
        case GateKey::Escape:
            gate.iGateState = 0;
            view.iMouseMode = kMouseNormal;
            break;
    }
    ctx.Redraw();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Commands

void EditLines(CBrivaneContext& ctx) {
    CBrivaneDoc& doc = ctx.doc;
    auto scratch = std::make_unique<CGantrelSurvey>();
    scratch->CopyFrom(doc.survey);
    if (!RunEditOriginalData(*scratch, ctx.prompter)) return;
    doc.SaveSurveyForUndo();
    doc.survey.CopyFrom(*scratch);
    if (ctx.view.iSurveyConfiguration == 0) SetDistanceFromMarkers(doc.survey);
    // Deleted lines and new geometries change the totals later commands size their work by.
    doc.survey.CountValues();
    doc.survey.BuildDepthList();
    doc.survey.UpdateRanges();
    ctx.view.iCurrentLine = std::clamp(ctx.view.iCurrentLine, 0, std::max(doc.survey.nLine - 1, 0));
    ctx.Redraw();
}

void MedianFilter(CBrivaneContext& ctx) {
    if (CurrentLine(ctx) == nullptr) return;
    CSpinValues spin;
    spin.sCaption = Tr("Median filter (de-spike)", "メディアンフィルタ (スパイク除去)");
    spin.sLabel = EditDialogText(EditText::NumberOfSampleForMedian);
    spin.iMin = kMinMedian;
    spin.iMax = kMaxMedian;
    spin.iStep = 2;
    spin.iValue = SanitiseMedianLength(ReadSettingInt(kMedianFilterKey, kMinMedian));
    if (!ctx.prompter.EditDialog(spin)) return;
    const int n = SanitiseMedianLength(spin.iValue);
    WriteSettingInt(kMedianFilterKey, n);
    ctx.doc.SaveSurveyForUndo();
    if (MedianFilterLine(*CurrentLine(ctx), n) > 0) RecomputeSurvey(ctx.doc.survey);
    ctx.Redraw();
}

// The one-dimensional display shows the store's columns when it has any, else the averaged
// sounding of a one-dimensional survey.
bool ShowsStoreColumns(const CBrivaneDoc& doc) {
    return doc.store.IsAllocated() && doc.store.nColumn > 0;
}

bool AnyMarkedObservation(const CBrivaneDoc& doc) {
    if (ShowsStoreColumns(doc)) {
        const CTrevascDataOhm& s = doc.store;
        for (int c = 0; c < std::min(s.nColumn, s.MaxColumn()); ++c)
            for (int k = 0; k < std::clamp(s.nRow[static_cast<size_t>(c)], 0, s.MaxRow()); ++k)
                if (s.iMarked[c][k] != 0) return true;
        return false;
    }
    return std::any_of(doc.sounding.points.begin(), doc.sounding.points.end(),
                       [](const CSoundingPoint& p) { return p.bMarked != 0; });
}

// Delete in the one-dimensional display: the observations marked with the mouse go.
void RemoveMarkedObservations(CBrivaneContext& ctx) {
    CBrivaneDoc& doc = ctx.doc;
    if (!AnyMarkedObservation(doc)) return;
    if (ShowsStoreColumns(doc)) {
        if (doc.store.bGeneralArray != 0) {
            // The undo copy holds no electrode geometries: restoring the rows would pair
            // them with the wrong arrays, so this removal cannot be undone.
            doc.bModelUndo = 0;
        } else {
            SaveModelForUndo(doc);
        }
        doc.store.RemoveMarkedRows();
    } else {
        std::erase_if(doc.sounding.points, [](const CSoundingPoint& p) { return p.bMarked != 0; });
    }
    ctx.Redraw();
}

void CutSelectedData(CBrivaneContext& ctx) {
    if (ctx.view.iViewMode == kViewModel1D) {
        RemoveMarkedObservations(ctx);
        return;
    }
    // Nothing marked: nothing to cut, and the undo copy of the last edit stays.
    const CGantrelSurvey& survey = ctx.doc.survey;
    bool marked = false;
    for (int l = 0; l < survey.nLine && !marked; ++l)
        for (const CGantrelData& d : survey.Line(l).pData)
            for (int j = 0; j < kMaxReceiver; ++j) marked = marked || (d.bDeleted[j] == 1 && d.bValid[j] == 1);
    if (!marked) return;
    ctx.doc.SaveSurveyForUndo();
    ctx.doc.survey.ApplyDeletions();
    ctx.Redraw();
}

void SetCurrentLevelLimit(CBrivaneContext& ctx, bool bMaximum) {
    CGantrelLine* line = CurrentLine(ctx);
    if (line == nullptr) return;
    const char* caption = bMaximum ? Tr("Set maximum current level", "最大電流レベルを設定")
                                   : Tr("Set minimum current level", "最小電流レベルを設定");
    const std::optional<int> level = ctx.prompter.InputInt(
        caption, EditDialogText(EditText::CurrentLevel), ProposedCurrentLevel(*line, bMaximum));
    if (!level) return;
    if (!IsLevel(*level)) {
        ctx.prompter.Message(Tr("The current level must be between 0 and 7.",
                                "電流レベルは0から7の間で入力してください"));
        return;
    }
    ctx.doc.SaveSurveyForUndo();
    LimitCurrentLevel(*line, *level, bMaximum);
    ctx.Redraw();
}

void RegisterEditCommands(CCommandTable& table) {
    table.Bind(kCmdEditLines, EditLines, HasLines);
    table.Bind(kCmdMedianFilter, MedianFilter, HasCurrentLine);
    table.Bind(
        kCmdGate, StartGate,
        [](const CBrivaneContext& ctx) {
            return InLineView(ctx) && HasLines(ctx) && ctx.view.iMouseMode != kMouseGate;
        },
        [](const CBrivaneContext& ctx) { return ctx.view.iMouseMode == kMouseGate; });
    table.Bind(kCmdCut, CutSelectedData, [](const CBrivaneContext& ctx) {
        return (InLineView(ctx) && HasLines(ctx)) ||
               (ctx.view.iViewMode == kViewModel1D && AnyMarkedObservation(ctx.doc));
    });
    table.Bind(kCmdMaxCurrentLevel, [](CBrivaneContext& ctx) { SetCurrentLevelLimit(ctx, true); },
               HasCurrentLine);
    table.Bind(kCmdMinCurrentLevel, [](CBrivaneContext& ctx) { SetCurrentLevelLimit(ctx, false); },
               HasCurrentLine);
}
