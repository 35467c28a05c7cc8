// The field logger's array geometry of each instrument: its settings, the formulas the
// logger uses for every reading as it arrives (its own, not the processing program's), the
// "33" geometry record and the values and preview diagrams of the "Gantrel geometry" dialog.
// Lengths in metres, single precision throughout.
#pragma once

#include <array>
#include <string>

#include "common/canvas.h"
#include "common/prompter.h"
#include "common/survey.h"

// The first instrument is 0, the second 1.
inline constexpr int kFirstInstrument = 0;
inline constexpr int kSecondInstrument = 1;

// "GeometryOffset" for the first instrument, "GeometryOffset_1" for the second.
std::string LoggerGeometryKey(const char* base, int instrument);

// The logger's starting values (offset 7.5, rope 5.0, both indexes 3, same sizes), then the
// instrument's stored values, then the dipole sizes from the indexes. The second instrument
// falls back to the first's stored values for keys it has never stored.
CGantrelGeometry LoadLoggerGeometry(int instrument);
// The five keys of the instrument.
void SaveLoggerGeometry(const CGantrelGeometry& g, int instrument);

// Apparent resistivity, apparent depth and n-space of receivers 0..nReceiver-1 from their
// V/I. Different transmitter and receiver sizes set the geometry's bDifferentSize and leave
// the n-space 0.
void ComputeLoggerResistivity(CGantrelData& data, CGantrelGeometry& g);
// The geometric factor of receiver i (what ComputeLoggerResistivity divides V/I by 20 with).
float LoggerGeometricFactor(const CGantrelGeometry& g, int i);
// The four-electrode factor of receiver i, whatever the dipole sizes (what the logger uses
// for different sizes; for equal sizes it differs from the equal-dipole factor above).
float LoggerUnequalDipoleFactor(const CGantrelGeometry& g, int i);

// "33  GOHM offset tx rope rx time date 1 " with the geometry's time (that of the START).
std::string LoggerGeometryRecord(const CGantrelGeometry& g);

enum class GeometryPreview { Geometry, ApparentDepth, NSpace };

// "Gantrel geometry" dialog (resource 133).
struct CDlgGantrelGeometry : CDialogValues {
    std::string DialogName() const override { return "Gantrel geometry"; }

    // The radio buttons of both groups, index 0 to 10.
    static const std::array<const char*, 11> kDipoleButtons;

    static CDlgGantrelGeometry From(const CGantrelGeometry& g);
    // OK: indexes, lengths (edits taken first) and the check box into g, sizes derived.
    void ApplyTo(CGantrelGeometry& g) const;

    int iDipoleIndex = 3;          // "Dipole size (cable length)" / transmitter group
    int iDipoleIndexReceiver = 3;  // "Receiver dipole size (cable length)"
    std::string sRopeLength;       // edit "Rope length", m
    std::string sOffset;           // edit "Operator offset", m
    int bDifferentSize = 0;        // "Different transmitter and receiver dipole sizes"
    GeometryPreview ePreview = GeometryPreview::Geometry;
    // The lengths the preview draws: the edits as last taken.
    float fRopeLength = 5.0f;
    float fOffset = 7.5f;

    // What the dialog shows, from its state.
    std::string FirstGroupCaption() const;
    bool ReceiverGroupShown() const { return bDifferentSize != 0; }
    bool NSpaceButtonShown() const { return bDifferentSize == 0; }

    // The check box: ticking it in "N-space" mode switches the preview to "Geometry".
    void SetDifferentSize(int bOn);
    // "Reflesh": takes the edits; one that does not read as a number keeps the last value.
    void Reflesh();
    // The buttons "Geometry", "Apparent depth", "N-space" (the last only while shown).
    void ChooseMode(GeometryPreview mode);

    // The geometry the dialog's current values describe.
    CGantrelGeometry PreviewGeometry() const;
    // The preview of the current mode for five receivers in an area of width x height page
    // units whose top left corner is at (0, 0) (y up, so the area lies at negative y).
    void DrawPreview(CCanvas& canvas, int width, int height) const;
};

// Margins of the preview diagrams inside their area, page units.
inline constexpr int kPreviewMarginX = 50;
inline constexpr int kPreviewMarginY = 180;
