#include "common/survey.h"

#include <gtest/gtest.h>

#include "common/resistivity.h"
#include "common/text_format.h"

namespace {

CGantrelData Reading(std::int64_t t, int n, float distance) {
    CGantrelData d;
    d.time = t;
    d.nReceiver = n;
    d.fDistance = distance;
    for (int i = 0; i < n; ++i) d.fResistance[i] = 1.0f;
    return d;
}

TEST(SurveyRecords, InitialValues) {
    CGantrelData d;
    for (int i = 0; i < kMaxReceiver; ++i) {
        EXPECT_EQ(d.iCurrentLevel[i], -1);
        EXPECT_EQ(d.bValid[i], 1);
        EXPECT_EQ(d.bDeleted[i], 0);
    }
    EXPECT_EQ(d.nReceiver, 0);
    CMarkerData m;
    EXPECT_EQ(m.iLineID, -1);
    EXPECT_EQ(m.iMarkerNumber, -1);
    CGPSData g;
    EXPECT_EQ(g.dLatitude, -200.0);
    EXPECT_EQ(g.dLongitude, -200.0);
    EXPECT_EQ(kCurrentLevelTable[0], 16.0f);
    EXPECT_EQ(kCurrentLevelTable[7], 0.125f);
}

TEST(SurveyRecords, CopyCommonCopiesDistanceButNotItsFlag) {
    CGantrelData a;
    a.time = 1234;
    a.iMilliSecond = 567;
    a.dX = 1.5;
    a.dY = 2.5;
    a.fDistance = 42.0f;
    a.bDistance = 1;
    CMarkerData m;
    m.CopyCommon(a);
    EXPECT_EQ(m.time, 1234);
    EXPECT_EQ(m.iMilliSecond, 567);
    EXPECT_EQ(m.dX, 1.5);
    EXPECT_EQ(m.dY, 2.5);
    EXPECT_EQ(m.fDistance, 42.0f);
    EXPECT_EQ(m.bDistance, 0);
}

TEST(SurveyCapacity, LineHoldsExactlyItsCapacities) {
    CGantrelLine line;
    for (int i = 0; i < kMaxDataPerLine; ++i) ASSERT_NE(line.AddData(), nullptr) << i;
    EXPECT_EQ(line.AddData(), nullptr);
    EXPECT_EQ(line.nData(), kMaxDataPerLine);
    for (int i = 0; i < kMaxMarkerPerLine; ++i) ASSERT_NE(line.AddMarker(), nullptr);
    EXPECT_EQ(line.AddMarker(), nullptr);
    EXPECT_EQ(line.nMarker(), kMaxMarkerPerLine);
    for (int i = 0; i < kMaxGPSPerLine; ++i) ASSERT_NE(line.AddGPS(), nullptr);
    EXPECT_EQ(line.AddGPS(), nullptr);
    EXPECT_EQ(line.nGPS(), kMaxGPSPerLine);
}

TEST(SurveyCapacity, SurveyHoldsExactlyThousandLinesAndFlags) {
    CGantrelSurvey s;
    for (int i = 0; i < kMaxLine; ++i) ASSERT_NE(s.AddLine(), nullptr) << i;
    EXPECT_EQ(s.AddLine(), nullptr);
    EXPECT_EQ(s.nLine, kMaxLine);
    for (int i = 0; i < kMaxFlag; ++i) ASSERT_NE(s.AddFlag(), nullptr);
    EXPECT_EQ(s.AddFlag(), nullptr);
    EXPECT_EQ(s.nFlag, kMaxFlag);
}

TEST(SurveyClear, ReusedLinesStartAsNew) {
    CGantrelSurvey s;
    s.iFileIndex = 3;
    CGantrelLine* line = s.AddLine();
    for (int i = 0; i < 5; ++i) line->AddData()->nReceiver = 5;
    line->bUse = 0;
    line->bReceiverUse[2] = 0;
    line->bReverse = 1;
    line->pGeometry->fRopeLength = 30.0f;
    s.Clear();
    EXPECT_EQ(s.nLine, 0);
    s.iFileIndex = 4;
    CGantrelLine* again = s.AddLine();
    EXPECT_EQ(again, line) << "the line object is reused";
    EXPECT_EQ(again->nData(), 0);
    EXPECT_EQ(again->bUse, 1);
    EXPECT_EQ(again->bReverse, 0);
    EXPECT_EQ(again->iFileIndex, 4);
    EXPECT_EQ(again->pGeometry->fRopeLength, 0.0f);
    for (int i = 0; i < kMaxReceiver; ++i) EXPECT_EQ(again->bReceiverUse[i], 1);
}

TEST(SurveyCopy, DeepCopyIsIndependent) {
    CGantrelSurvey a;
    a.iSurveyConfiguration = 5;
    CGantrelLine* line = a.AddLine();
    *line->AddData() = Reading(100, 3, 10.0f);
    line->AddMarker()->dY = 5.0;
    line->AddGPS()->dEasting = 1000.0;
    line->pGeometry->pReceiverFactor[4] = 3.0f;
    line->pFittedLine = std::make_unique<CFittedLine>();
    line->pFittedLine->dSlope = 0.5;
    a.AddFlag()->dX = 7.0;
    a.pDepth = {1.0f, 2.0f};

    CGantrelSurvey b;
    b.CopyFrom(a);
    ASSERT_EQ(b.nLine, 1);
    EXPECT_NE(&b.Line(0), &a.Line(0));
    EXPECT_EQ(b.Line(0).pData[0].fDistance, 10.0f);
    EXPECT_EQ(b.Line(0).pGeometry->pReceiverFactor[4], 3.0f);
    EXPECT_EQ(b.iSurveyConfiguration, 5);
    EXPECT_EQ(b.nFlag, 1);
    EXPECT_EQ(b.pFlag[0].dX, 7.0);
    EXPECT_EQ(b.nDepth(), 2);

    // Changing the original leaves the copy alone, and the other way round.
    a.Line(0).pData[0].fDistance = 99.0f;
    a.Line(0).pGeometry->pReceiverFactor[4] = 1.0f;
    a.Line(0).pFittedLine->dSlope = 2.0;
    a.pFlag[0].dX = 0.0;
    a.pDepth[0] = 9.0f;
    EXPECT_EQ(b.Line(0).pData[0].fDistance, 10.0f);
    EXPECT_EQ(b.Line(0).pGeometry->pReceiverFactor[4], 3.0f);
    EXPECT_EQ(b.Line(0).pFittedLine->dSlope, 0.5);
    EXPECT_EQ(b.pFlag[0].dX, 7.0);
    EXPECT_EQ(b.pDepth[0], 1.0f);
    b.Line(0).pMarker[0].dY = -1.0;
    EXPECT_EQ(a.Line(0).pMarker[0].dY, 5.0);

    // Copying a smaller survey over a larger one keeps the spare slots for reuse.
    CGantrelSurvey empty;
    b.CopyFrom(empty);
    EXPECT_EQ(b.nLine, 0);
}

TEST(SurveyTotals, CountValuesDepthListAndDeletions) {
    CGantrelSurvey s;
    CGantrelLine* line = s.AddLine();
    CGantrelGeometry& g = *line->pGeometry;
    for (int i = 0; i < 4; ++i) {
        CGantrelData* d = line->AddData();
        *d = Reading(i, i == 0 ? 3 : 5, 0.0f);
        ComputeResistivity(*d, g);
    }
    line->pData[2].bDeleted[1] = 1;
    line->pData[3].bDeleted[4] = 1;
    EXPECT_EQ(s.CountValues(), 18);
    EXPECT_EQ(s.BuildDepthList(), 5);
    EXPECT_EQ(s.pDepth, (std::vector<float>{0.625f, 0.9375f, 1.25f, 1.5625f, 1.875f}));
    EXPECT_EQ(s.ApplyDeletions(), 2);
    EXPECT_EQ(line->pData[2].bValid[1], 0);
    EXPECT_EQ(line->pData[3].bValid[4], 0);
    EXPECT_EQ(line->pData[3].bValid[3], 1);
}

TEST(SurveyTotals, DifferentSizeSpreadsToEveryLine) {
    CGantrelSurvey s;
    s.AddLine();
    s.AddLine()->pGeometry->bDifferentSize = 1;
    s.AddLine();
    EXPECT_EQ(s.CheckDifferentSize(), 1);
    for (int l = 0; l < 3; ++l) EXPECT_EQ(s.Line(l).pGeometry->bDifferentSize, 1);
    CGantrelSurvey t;
    t.AddLine();
    EXPECT_EQ(t.CheckDifferentSize(), 0);
}

TEST(SurveyTotals, MarkerDistanceNeedsMoreThanOneMetre) {
    CGantrelSurvey s;
    CGantrelLine* line = s.AddLine();
    line->AddMarker()->fDistance = 0.0f;
    line->AddMarker()->fDistance = 1.0f;
    EXPECT_EQ(s.CheckMarkerDistance(), 0);
    line->pMarker[1].fDistance = 1.5f;
    EXPECT_EQ(s.CheckMarkerDistance(), 1);
    line->pMarker[1].fDistance = -1.5f;
    EXPECT_EQ(s.CheckMarkerDistance(), 1);
}

TEST(SurveyRanges, LineRangeAndReverse) {
    CGantrelLine line;
    line.AddMarker()->dY = 100.0;
    line.AddMarker()->dY = 50.0;
    line.AddMarker()->dY = 20.0;
    line.UpdateRange();
    EXPECT_EQ(line.bReverse, 1);
    EXPECT_EQ(line.fMinDistance, 20.0f);
    EXPECT_EQ(line.fMaxDistance, 100.0f);
}

TEST(SurveyRanges, PositionsWidenTheMarkerRange) {
    CGantrelSurvey s;
    CGantrelLine* fwd = s.AddLine();
    fwd->AddMarker()->dY = 0.0;
    fwd->AddMarker()->dY = 100.0;
    *fwd->AddData() = Reading(0, 5, 0.0f);
    *fwd->AddData() = Reading(1, 5, 100.0f);
    fwd->UpdateMaxReceiver();
    CGantrelLine* rev = s.AddLine();
    rev->AddMarker()->dY = 300.0;
    rev->AddMarker()->dY = 200.0;
    *rev->AddData() = Reading(0, 2, 300.0f);
    rev->UpdateMaxReceiver();
    s.UpdateRanges();
    EXPECT_EQ(s.fMinDistance, 0.0f);
    EXPECT_EQ(s.fMaxDistance, 300.0f);
    // Default geometry a = 2.5, offset 7.5, rope 0, Z = 5: offset of receiver j is
    // (6 * 1.25 + 7.5 + 0 + 1.25 + (5 - j) * 1.25 + 7.5) / 2.
    EXPECT_EQ(ReceiverPositionOffset(*fwd->pGeometry, 5, 0), (7.5f + 7.5f + 1.25f + 6.25f + 7.5f) / 2);
    const float largest = ReceiverPositionOffset(*fwd->pGeometry, 5, 0);
    EXPECT_EQ(s.fMinPosition, 0.0f - largest);
    // The reversed line's readings lie beyond its first marker.
    EXPECT_EQ(s.fMaxPosition, 300.0f + ReceiverPositionOffset(*rev->pGeometry, 2, 0));
}

TEST(SurveyRanges, BoundingBoxUnionOfLinesWithFixes) {
    CGantrelSurvey s;
    CGantrelLine* a = s.AddLine();
    CGPSData* g = a->AddGPS();
    g->dEasting = 500.0;
    g->dNorthing = 4000.0;
    g = a->AddGPS();
    g->dEasting = 510.0;
    g->dNorthing = 3990.0;
    s.AddLine();  // no fixes: not part of the box
    CGantrelLine* c = s.AddLine();
    g = c->AddGPS();
    g->dEasting = 450.0;
    g->dNorthing = 4100.0;
    c->bPosition = 1;
    CGantrelData* d = c->AddData();
    d->nReceiver = 1;
    d->dX = 455.0;
    d->dY = 4100.0;
    d->dTransmitterX = 449.0;
    d->dTransmitterY = 4101.0;
    d->dReceiverX[0] = 460.0;
    d->dReceiverY[0] = 4099.0;
    s.UpdateBoundingBox();
    EXPECT_EQ(s.bGPS, 1);
    EXPECT_EQ(s.dMinEasting, 449.0);
    EXPECT_EQ(s.dMaxEasting, 510.0);
    EXPECT_EQ(s.dMinNorthing, 3990.0);
    EXPECT_EQ(s.dMaxNorthing, 4101.0);
    EXPECT_EQ(c->dMaxEasting, 460.0);
    CGantrelSurvey none;
    none.AddLine();
    none.UpdateBoundingBox();
    EXPECT_EQ(none.bGPS, 0);
}

TEST(SurveyRecords, NearestReadingKeepsFirstOnTies) {
    CGantrelLine line;
    for (std::int64_t t : {100, 102, 104, 104, 110}) line.AddData()->time = t;
    EXPECT_EQ(line.NearestReading(101), 0) << "tie between 100 and 102 keeps the first";
    EXPECT_EQ(line.NearestReading(104), 2);
    EXPECT_EQ(line.NearestReading(50), 0);
    EXPECT_EQ(line.NearestReading(1000), 4);
    EXPECT_EQ(line.NearestReading(200000000), -1) << "farther than the 100,000,000 s bound";
    CGantrelLine empty;
    EXPECT_EQ(empty.NearestReading(0), -1);
}

TEST(DistinctInsertion, ToleranceAndOrder) {
    std::vector<float> list;
    EXPECT_EQ(InsertDistinct(list, 2.0f), -1) << "first insertion reports -1";
    EXPECT_EQ(InsertDistinct(list, 1.0f), 0);
    EXPECT_EQ(InsertDistinct(list, 1.005f), -1);
    EXPECT_EQ(list, (std::vector<float>{1.0f, 2.0f}));
    EXPECT_EQ(InsertDistinct(list, 1.5f), 1);
    EXPECT_EQ(list, (std::vector<float>{1.0f, 1.5f, 2.0f}));
    EXPECT_EQ(InsertDistinct(list, 3.0f), 3);
    // At the boundary: 1.01f - 1.0f is just under 0.01, 1.02f - 1.0f is over it.
    EXPECT_EQ(InsertDistinct(list, 1.01f), -1);
    EXPECT_EQ(InsertDistinct(list, 1.02f), 1);
    EXPECT_EQ(InsertDistinct(list, 0.98f), 0);
}

TEST(DistinctInsertion, FixedCapacityNeverWritesPast) {
    float list[3] = {};
    int n = 0;
    EXPECT_EQ(InsertDistinct(list, n, 3, 5.0f), -1);
    EXPECT_EQ(InsertDistinct(list, n, 3, 1.0f), 0);
    EXPECT_EQ(InsertDistinct(list, n, 3, 3.0f), 1);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(InsertDistinct(list, n, 3, 2.0f), -2) << "full";
    EXPECT_EQ(InsertDistinct(list, n, 3, 3.001f), -1) << "present values are still recognised";
    EXPECT_EQ(n, 3);
    EXPECT_EQ(list[2], 5.0f);
}

TEST(Locations, TextForms) {
    CFlagLocation f;
    EXPECT_TRUE(f.ReadText("  384500.25\t3899850.5 trailing"));
    EXPECT_EQ(f.dX, 384500.25);
    EXPECT_EQ(f.dY, 3899850.5);
    EXPECT_FALSE(f.ReadText("12 x"));
    CNodeLocation n;
    EXPECT_TRUE(n.ReadText("1 2 3.5"));
    EXPECT_EQ(n.fDistance, 3.5f);
    auto path = std::filesystem::temp_directory_path() / "gantrel_locations_test.txt";
    {
        CTextWriter w;
        ASSERT_TRUE(w.Open(path));
        f.WriteText(w);
        n.WriteText(w);
        ASSERT_TRUE(w.Close());
    }
    CLineReader r;
    ASSERT_TRUE(r.Open(path));
    std::string line;
    ASSERT_TRUE(r.ReadLine(line));
    EXPECT_EQ(line, "384500.250000 3899850.500000 ");
    ASSERT_TRUE(r.ReadLine(line));
    EXPECT_EQ(line, "1.000000 2.000000 3.500000");
    r.Close();
    std::filesystem::remove(path);
}

}  // namespace
