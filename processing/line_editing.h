// Line editing and filters of the processing program: "Edit lines" (the "Edit original data",
// "Edit each line" and "Edit marker" dialogs), "Median filter (de-spike)", "Select data between
// gate", "Cut"/Delete and the current level limits.
//
// The dialogs are headless models: plain classes with one operation per button. A dialog is a
// single CPrompter::EditDialog call on a CDialogValues struct that points at its model; the Qt
// dialog (or a test script) presses the model's buttons while the call lasts, and the command
// applies or discards the result when the call returns. Prompts a button raises (the delete
// question, "Cannot delete this marker", "Edit marker") go through the same prompter.
//
// Distances are metres along the line; receiver indexes are 0-based (0 nearest the
// transmitter); current levels index kCurrentLevelTable (0..7).
#pragma once

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/prompter.h"
#include "common/survey.h"
#include "processing/document.h"

// ---------------------------------------------------------------------------------------------
// Texts of the editing dialogs, in the current language.

enum class EditText {
    // "Edit original data"
    EditOriginalData,
    NumberOfLines,
    Index,
    NumberOfMarker,
    Start,
    End,
    NumberOfData,
    DipoleSize,
    RopeLengthColumn,
    NumberOfReceivers,
    Forward,
    Reverse,
    Delete,
    Edit,
    // "Edit each line"
    EditEachLine,
    LineIndex,
    MarkerCount,
    Next,
    Back,
    Distance,
    Active,
    Geometry,
    TransmitDipoleSize,
    ReceiverDipoleSize,
    DifferentSizes,
    ReceiverMultiplier,
    RopeLength,
    OperatorOffset,
    Set,
    View,
    ShowAllReceivers,
    Up,
    Down,
    // "Edit marker"
    EditMarker,
    MarkerDistance,
    ShiftFollowing,
    // Median filter spin dialog
    NumberOfSampleForMedian,
    // Current level input
    CurrentLevel,
};

const char* EditDialogText(EditText id);
// "1st receiver" .. "5th receiver" for receiver index 0..4.
const char* ReceiverLabel(int iReceiver);
// "1m" .. "40m" for dipole size index 0..10 (empty outside).
const char* DipoleSizeLabel(int iIndex);

// The messages of this module, exposed for the windowed shell and the tests.
const char* DeleteLineQuestion();    // "Are you sure you want to delete a line?"
const char* CannotDeleteMarker();    // "Cannot delete this marker"
const char* GateSelectedMessage();   // "Hit 'Delete' key to remove selected data."

// ---------------------------------------------------------------------------------------------
// Line operations (used by the dialogs and commands; usable on their own)

// Distances of the line's readings again from its markers, by time (bByTime 1) or by reading
// count, and the line's range (bReverse, fMinDistance, fMaxDistance).
void ReinterpolateLine(CGantrelLine& line, int bByTime);
// Mirrors the marker positions (marker j takes the old dY and fDistance of marker n-1-j),
// toggles bReverse and interpolates the readings again.
void ReverseLine(CGantrelLine& line, int bByTime);
// Removes line iLine with its records; later lines move up one place. False when iLine is not
// a line of the survey.
bool DeleteLine(CGantrelSurvey& survey, int iLine);
// Sets marker j to a new position (dY, and fDistance in single precision); with bShift every
// later marker moves by the same difference. Then readings are interpolated by reading count
// and the range updated. False (nothing changed) for a bad index or a distance that is not a
// finite number.
bool MoveMarker(CGantrelLine& line, int j, double dDistance, bool bShift);
// bReceiverShown from bShowAllReceivers and iShownReceiver.
void UpdateReceiverShown(CGantrelLine& line);

// ---------------------------------------------------------------------------------------------
// "Edit marker"

struct CEditMarkerValues : CDialogValues {
    double dDistance = 0.0;  // "Distance =", m
    int bShiftFollowing = 0;  // "Shift following marker distance"
    std::string DialogName() const override { return "Edit marker"; }
};

// ---------------------------------------------------------------------------------------------
// "Edit each line"

// The controls of the "Geometry" group.
struct CGeometryControls {
    int iDipoleIndex = 2;          // transmitter radio (or the common size), 0..10
    int iDipoleIndexReceiver = 2;  // "Rec. dipole size" radio, 0..10
    int bDifferentSize = 0;
    std::array<float, kMaxReceiver> pReceiverFactor = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    float fRopeLength = 0.0f;  // m
    float fOffset = 7.5f;      // operator offset, m
};

// Edits copies of the survey's lines; Commit() writes every line visited back.
class CEditEachLineModel {
public:
    static constexpr int kMarkerRows = 20;

    CEditEachLineModel(CGantrelSurvey& survey, int iLine, CPrompter& prompter);

    // "Line index =", "Next", "Back" (within the survey's lines).
    int LineIndex() const { return iLine_; }
    int LineCount() const { return survey_.nLine; }
    bool Next();
    bool Back();
    // The copy being edited (what the preview draws).
    CGantrelLine& Line() { return *copies_[static_cast<size_t>(iLine_)]; }
    const CGantrelLine& Line() const { return *copies_[static_cast<size_t>(iLine_)]; }

    // Marker rows: kMarkerRows shown from FirstMarkerRow().
    int FirstMarkerRow() const { return iFirstMarkerRow_; }
    void SetFirstMarkerRow(int iRow);
    // "Delete" of marker j: refused with "Cannot delete this marker" for the first and the last.
    bool DeleteMarker(int j);
    // "Edit" of marker j: shows "Edit marker"; true when the marker was moved.
    bool EditMarker(int j);

    // "Active": bReceiverUse of the line.
    void SetReceiverUse(int iReceiver, bool bUse);

    // "Geometry": the controls, loaded from the line's geometry when a line is shown.
    CGeometryControls controls;
    // "Dipole size", or "Transmit. dipole size" while different sizes are checked.
    const char* TransmitterGroupCaption() const;
    // "Set": applies the controls and recomputes every reading. False (nothing changed, the
    // reason shown) when a control holds a value no array can have.
    bool SetGeometry();

    // "View".
    void SetShowAllReceivers(bool bAll);
    void ShownReceiverUp();
    void ShownReceiverDown();
    // Controls for receivers beyond the line's nMaxReceiver are hidden.
    bool ReceiverControlVisible(int iReceiver) const { return iReceiver < Line().nMaxReceiver; }

    // Counts the preview redraws asked for; onPreviewChanged, when set, is called each time.
    int nPreviewRedraw = 0;
    std::function<void()> onPreviewChanged;

    // OK: the edited copies replace the survey's lines.
    void Commit();

private:
    void Show(int iLine);
    void PreviewChanged();

    CGantrelSurvey& survey_;
    CPrompter& prompter_;
    int iLine_ = 0;
    int iFirstMarkerRow_ = 0;
    std::vector<std::unique_ptr<CGantrelLine>> copies_;  // per line, made when first shown
};

struct CEditEachLineValues : CDialogValues {
    CEditEachLineModel* pModel = nullptr;
    std::string DialogName() const override { return "Edit each line"; }
};

// ---------------------------------------------------------------------------------------------
// "Edit original data"

// One line row of the dialog.
struct CLineRow {
    int iIndex = 0;
    int nMarker = 0;
    float fStart = 0.0f, fEnd = 0.0f;  // first and last marker positions, m
    int nData = 0;
    float fDipoleSize = 0.0f;   // transmitter dipole, m
    float fRopeLength = 0.0f;   // m
    int nReceiver = 0;          // the line's nMaxReceiver
    const char* sDirection = "";  // "Forward" or "Reverse" button label
};

// Edits a survey in place (the command hands it a scratch copy).
class CEditOriginalDataModel {
public:
    static constexpr int kRows = 10;

    CEditOriginalDataModel(CGantrelSurvey& survey, CPrompter& prompter);

    int LineCount() const { return survey_.nLine; }
    // First line row shown; kept so that the last rows stay filled.
    int FirstRow() const { return iFirstRow_; }
    void SetFirstRow(int iRow);
    CLineRow Row(int iLine) const;

    // "Forward"/"Reverse".
    bool Reverse(int iLine);
    // "Delete": asks first; refused while the line is open in "Edit each line".
    bool Delete(int iLine);
    // "Edit": shows "Edit each line" for the line; true when it was confirmed.
    bool Edit(int iLine);
    bool IsLineOpen(int iLine) const;

    CGantrelSurvey& Survey() { return survey_; }

private:
    CGantrelSurvey& survey_;
    CPrompter& prompter_;
    int iFirstRow_ = 0;
    const CEditEachLineModel* pOpen_ = nullptr;
};

struct CEditOriginalDataValues : CDialogValues {
    CEditOriginalDataModel* pModel = nullptr;
    std::string DialogName() const override { return "Edit original data"; }
};

// Shows "Edit original data" on a survey, which it edits in place; true on OK.
bool RunEditOriginalData(CGantrelSurvey& survey, CPrompter& prompter);

// ---------------------------------------------------------------------------------------------
// Spin-value dialog (median filter length)

struct CSpinValues : CDialogValues {
    std::string sCaption;
    std::string sLabel;
    int iValue = 3;
    int iMin = 3, iMax = 11, iStep = 2;
    void Up() { iValue = std::min(iValue + iStep, iMax); }
    void Down() { iValue = std::max(iValue - iStep, iMin); }
    // Why a typed value is not one the buttons reach (iMin, iMin + iStep, ... up to iMax), in
    // the current language; empty when it is.
    std::string Refusal(int v) const;
    std::string DialogName() const override { return sCaption; }
};

// ---------------------------------------------------------------------------------------------
// Median filter

inline constexpr const char* kMedianFilterKey = "nMedianFilter";

// Median of the values >= 0 among count values, taken as distinct values (tolerance 0.01):
// the middle entry, or the mean of the two middle entries; 0.01 when no value is >= 0.
float MedianOfWindow(const float* values, int count);
// Filters a sequence with a window of n values, narrowed near the ends; the first and the last
// value stay. A sequence not longer than n is returned unchanged.
std::vector<float> MedianFilterSequence(const std::vector<float>& values, int n);
// Filters fResistance of every shown receiver of the line; returns how many receivers were
// filtered. Apparent resistivities are not recomputed here.
int MedianFilterLine(CGantrelLine& line, int n);

// ---------------------------------------------------------------------------------------------
// Current level limits

// Proposal of "Set maximum current level" (bMaximum) or "Set minimum current level": the
// smallest level of the line's values starting from 7, or the largest starting from 1.
// Values whose level is not 0..7 (never read) take no part.
int ProposedCurrentLevel(const CGantrelLine& line, bool bMaximum);
// New level max(old, L) (bMaximum) or min(old, L) for every value of the line with a level
// 0..7, fResistance and fResistivity scaled by table[old] / table[new]. Returns the number of
// values changed; 0 when L is not 0..7.
int LimitCurrentLevel(CGantrelLine& line, int iLevel, bool bMaximum);

// ---------------------------------------------------------------------------------------------
// Gate

enum class GateKey { Left, Right, Enter, Escape };

// The gate of the line view shown (apparent resistivity or resistance).
CGate& ShownGate(CBrivaneViewState& view);
// Starts the gate of the shown line view over its distance axis (view.fAxisMin..fAxisMax).
void StartGate(CBrivaneContext& ctx);
// A key in gate mode; false (nothing done) when the view is not in gate mode, so the window
// handles the key itself. Shift is view.bFineStep.
bool OnGateKey(CBrivaneContext& ctx, GateKey key);

// ---------------------------------------------------------------------------------------------
// Commands

void EditLines(CBrivaneContext& ctx);
void MedianFilter(CBrivaneContext& ctx);
// "Cut" and the Delete key in the line views.
void CutSelectedData(CBrivaneContext& ctx);
void SetCurrentLevelLimit(CBrivaneContext& ctx, bool bMaximum);
