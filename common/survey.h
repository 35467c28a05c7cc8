// In-memory survey: the four record kinds (reading, marker, GPS fix, array geometry), the line
// that gathers one towed pass and the survey that gathers all lines of the files opened
// together. Records are addressed by index. Capacities are hard limits of the data model:
// the Add operations refuse (return nullptr) rather than grow past them.
//
// Units: distances and coordinates in metres, angles in radians; times are calendar seconds
// since 1970-01-01 UTC built from the records' local date and time.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CTextWriter;

inline constexpr int kMaxReceiver = 5;
inline constexpr int kMaxDataPerLine = 50000;
inline constexpr int kMaxMarkerPerLine = 1000;
inline constexpr int kMaxGPSPerLine = 20000;
inline constexpr int kMaxLine = 1000;
inline constexpr int kMaxFlag = 1000;
// Tolerance of the distinct-value lists (depths, dipole sizes, n-factors).
inline constexpr double kDistinctTolerance = 0.01;

// Relative transmitter current of the first status digit (current level 0..7).
inline constexpr std::array<float, 8> kCurrentLevelTable = {16.0f, 8.0f, 4.0f,  2.0f,
                                                            1.0f,  0.5f, 0.25f, 0.125f};

struct FourElectrodeGeometry {
    float fA = 0, fB = 0;  // transmitter electrodes, m from the transmitter's first electrode
    float fM = 0, fN = 0;  // receiver electrodes
    float fAN = 0, fBM = 0, fBN = 0, fAM = 0;  // absolute distances
    float fK = 0;                              // geometric factor
};

class CGantrelObject {
public:
    virtual ~CGantrelObject() = default;
    // Copies time, milliseconds, both coordinates and the distance, but not bDistance.
    virtual void CopyCommon(const CGantrelObject& other);

    std::int64_t time = 0;  // 0 when unset
    int iMilliSecond = 0;
    double dX = 0.0;
    double dY = 0.0;
    float fDistance = 0.0f;
    int bDistance = 0;
};

// One console record: transmitter current and the values of up to five receivers.
// Receiver 0 is the one nearest the transmitter.
class CGantrelData : public CGantrelObject {
public:
    CGantrelData();
    void CopyFrom(const CGantrelData& other) { *this = other; }

    double dHeading = 0.0;
    int iMarkerIndex = 0;
    int nReceiver = 0;
    float fResistance[kMaxReceiver] = {};   // V/I as recorded
    float fResistivity[kMaxReceiver] = {};  // apparent resistivity, Ohm-m
    int iCurrentLevel[kMaxReceiver];        // -1 until read
    int iStatus[kMaxReceiver] = {};
    float fTransmitterLevel = 0.0f;
    float fReceiverLevel[kMaxReceiver] = {};
    float fDepth[kMaxReceiver] = {};    // pseudo-depth, m
    float fNFactor[kMaxReceiver] = {};  // same-size arrays only
    int bValid[kMaxReceiver];           // 1 unless recorded invalid
    int bDeleted[kMaxReceiver] = {};    // 1 when deleted while editing
    FourElectrodeGeometry electrode[kMaxReceiver];  // different-size arrays only
    double dTransmitterX = 0.0, dTransmitterY = 0.0;
    double dReceiverX[kMaxReceiver] = {}, dReceiverY[kMaxReceiver] = {};
};

// dX: across-line coordinate; dY: position along the line; fDistance: float copy of dY.
class CMarkerData : public CGantrelObject {
public:
    int iLineID = -1;
    int iMarkerNumber = -1;  // 0 at line start, then 1, 2, ... for each MARK
    int nData = 0;           // readings between this marker and the next in the file
    int iRecordType = 0;     // last field: 5 in survey files, 4 in mapping files
    int iKind = 0;           // 1 read from a file, 2 last marker of a line, 0 made here
    int iDataIndex = 0;      // reading nearest in time
};

class CGPSData : public CGantrelObject {
public:
    double dLatitude = -200.0;   // degrees, south negative
    double dLongitude = -200.0;  // degrees, west negative
    double dAltitude = 0.0;
    double dEasting = 0.0;
    double dNorthing = 0.0;
    std::string sSentence;
    int iUTMZone = 0;
    double dHeading = 0.0;  // towards the next fix
    int iDataIndex = 0;     // reading nearest in time
    std::string sNorthSouth;
    int iLatitudeDegree = 0;
    double dLatitudeMinute = 0.0;
    std::string sEastWest;
    int iLongitudeDegree = 0;
    double dLongitudeMinute = 0.0;
};

// Dipole sizes selectable by index, m.
inline constexpr std::array<float, 11> kDipoleSizeTable = {1.0f,  2.0f,  2.5f,  5.0f,
                                                          10.0f, 15.0f, 20.0f, 25.0f,
                                                          30.0f, 35.0f, 40.0f};

class CGantrelGeometry : public CGantrelObject {
public:
    // Takes the construction values, then the five geometry settings of the running
    // program's profile, then derives both dipole sizes from the indexes.
    CGantrelGeometry();
    // Builds a geometry from the construction values alone (no settings read).
    static CGantrelGeometry Initial();

    // Dipole sizes from iDipoleIndex / iDipoleIndexReceiver; an index outside the table
    // leaves the size it selects unchanged.
    void SizeFromIndex();
    // iDipoleIndex from fTransmitterDipole (0 when no table size is within 0.01); returns it.
    int IndexFromSize();

    float fOffset = 7.5f;      // operator offset, m
    float fRopeLength = 0.0f;  // rope between transmitter and first receiver, m
    int iDipoleIndex = 2;
    int iDipoleIndexReceiver = 2;
    float fTransmitterDipole = 2.5f;
    float fReceiverDipole = 2.5f;
    int bDifferentSize = 0;
    std::array<float, kMaxReceiver> pReceiverFactor = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f};

private:
    struct NoSettings {};
    explicit CGantrelGeometry(NoSettings) {}
};

// Plan-view point (easting dX, northing dY) with a distance along a polyline.
class CLocation {
public:
    virtual ~CLocation() = default;
    // "%lf%lf" into dX, dY; false when two numbers cannot be read.
    virtual bool ReadText(std::string_view text);
    // "%f %f \n" of dX, dY.
    virtual void WriteText(CTextWriter& out) const;

    double dX = 0.0;
    double dY = 0.0;
    float fDistance = 0.0f;
};

class CFlagLocation : public CLocation {};

class CNodeLocation : public CLocation {
public:
    bool ReadText(std::string_view text) override;  // "%lf%lf%f"
    void WriteText(CTextWriter& out) const override;  // "%f %f %f\n"
};

// Straight line fitted by least squares of northing on easting to a GPS track, with its two
// ends (eastings and northings, m).
struct CFittedLine {
    double dSlope = 0.0;
    double dIntercept = 0.0;
    double dAngle = 0.0;  // atan(slope), radians; pi/2 for a track of one easting
    double dX1 = 0.0, dY1 = 0.0;
    double dX2 = 0.0, dY2 = 0.0;
};

class CGantrelLine {
public:
    CGantrelLine();
    CGantrelLine(const CGantrelLine& other) { CopyFrom(other); }
    CGantrelLine& operator=(const CGantrelLine& other) {
        CopyFrom(other);
        return *this;
    }
    // Deep copy of every member, the records and the geometry included.
    void CopyFrom(const CGantrelLine& other);
    // Back to a new line's state (counts 0, flags initial, fresh geometry from the settings),
    // keeping the record storage for reuse.
    void Reset();

    int nData() const { return static_cast<int>(pData.size()); }
    int nMarker() const { return static_cast<int>(pMarker.size()); }
    int nGPS() const { return static_cast<int>(pGPS.size()); }

    // Append a record in its initial state; nullptr when the line is full. The pointer is
    // valid until the next append to the same array.
    CGantrelData* AddData();
    CMarkerData* AddMarker();
    CGPSData* AddGPS();

    // nMaxReceiver = largest nReceiver of the readings (at most 5).
    int UpdateMaxReceiver();
    // bReverse, fMinDistance, fMaxDistance from the first and last markers' dY.
    void UpdateRange();
    // Box of the GPS fixes and, once positions are computed (bPosition), of the readings,
    // transmitter and receivers. Leaves the box alone when the line has no fix.
    void UpdateBoundingBox();
    // Index of the reading nearest in time (whole seconds, first on ties); -1 with no readings.
    int NearestReading(std::int64_t t) const;

    int nTrack = 0;
    std::vector<double> pTrackX, pTrackY;  // scratch of the position computation
    std::unique_ptr<CFittedLine> pFittedLine;
    std::unique_ptr<CGantrelGeometry> pGeometry;  // never null
    int iFileIndex = 0;
    int bUse = 1;
    std::vector<CGantrelData> pData;  // at most kMaxDataPerLine
    std::vector<CMarkerData> pMarker;  // at most kMaxMarkerPerLine
    std::vector<CGPSData> pGPS;        // at most kMaxGPSPerLine
    int nMaxReceiver = 0;
    float fMinDistance = 0.0f, fMaxDistance = 0.0f;
    int bReverse = 0;
    int bReceiverShown[kMaxReceiver] = {1, 1, 1, 1, 1};
    int bReceiverUse[kMaxReceiver] = {1, 1, 1, 1, 1};
    int bShowAllReceivers = 1;
    int iShownReceiver = 0;
    double dMinEasting = 0.0, dMaxEasting = 0.0, dMinNorthing = 0.0, dMaxNorthing = 0.0;
    int iFittedPoints = 0;
    std::array<CFlagLocation, 2> pFittedEnds;  // valid when iFittedPoints == 2
    int bPosition = 0;
};

class CGantrelSurvey {
public:
    CGantrelSurvey();
    CGantrelSurvey(const CGantrelSurvey&) = delete;
    CGantrelSurvey& operator=(const CGantrelSurvey&) = delete;

    // Independent deep copy of another survey.
    void CopyFrom(const CGantrelSurvey& other);
    // nLine = 0; allocated lines are reset and kept for reuse. What was derived from the
    // lines (different sizes, distances, ranges) is reset; flags on the map and the file
    // index are kept, as the programs clear them separately.
    void Clear();
    // Next line (a reused slot or a new one) with iFileIndex of the survey; nullptr when
    // the survey already holds kMaxLine lines.
    CGantrelLine* AddLine();
    // Appends a flag; nullptr when kMaxFlag flags are in use.
    CFlagLocation* AddFlag();

    CGantrelLine& Line(int i) { return *pLine[static_cast<size_t>(i)]; }
    const CGantrelLine& Line(int i) const { return *pLine[static_cast<size_t>(i)]; }
    int nDepth() const { return static_cast<int>(pDepth.size()); }

    int CountValues();
    int BuildDepthList();
    int CheckDifferentSize();
    int CheckMarkerDistance();
    void UpdateRanges();
    // Whether the readings carry distances along their lines (from markers, from a file that
    // had them, or from GPS): before that every distance is 0 or a placeholder.
    bool HasDistances() const {
        return nLine > 0 && (bMarkerDistance == 1 || fMaxDistance > fMinDistance);
    }
    int ApplyDeletions();
    void UpdateBoundingBox();

    int iFileIndex = 0;
    int nLine = 0;
    std::vector<std::unique_ptr<CGantrelLine>> pLine;  // allocated slots, >= nLine
    int nValue = 0;
    float fMinDistance = 0.0f, fMaxDistance = 0.0f;
    std::vector<float> pDepth;  // distinct pseudo-depths, ascending
    float fMinPosition = 0.0f, fMaxPosition = 0.0f;
    int bInterpolateByTime = 0;
    int bMarkerDistance = 0;
    int bDifferentSize = 0;
    int bGPS = 0;
    int bGPSDistance = 0;
    double dMinEasting = 0.0, dMaxEasting = 0.0, dMinNorthing = 0.0, dMaxNorthing = 0.0;
    int iSurveyConfiguration = 2;
    int nFlag = 0;
    std::vector<CFlagLocation> pFlag;  // kMaxFlag entries, nFlag in use
};

// Distinct-value insertion into an ascending list with tolerance t. Returns the insert
// position, or -1 when nothing was inserted and also for the first insertion into an empty
// list. The pointer form never grows the list past capacity: it returns -2 when v is new
// but the list already holds capacity entries.
// The difference is formed in single precision and compared with t in double precision.
int InsertDistinct(std::vector<float>& list, float v, double t = kDistinctTolerance);
int InsertDistinct(float* list, int& n, int capacity, float v, double t = kDistinctTolerance);

// Along-line position offset of receiver j of a line whose largest receiver count is Z,
// in single precision; the position is fDistance + offset on a reversed line, else minus.
float ReceiverPositionOffset(const CGantrelGeometry& g, int Z, int j);
