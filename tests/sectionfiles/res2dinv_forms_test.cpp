// The array types, header forms and separators of RES2DINV files as other instruments and
// programs write them, the refusals of files the import cannot use, and the general-array
// export read back.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/language.h"
#include "common/resistivity.h"
#include "common/scripted_prompter.h"
#include "sectionfiles/ovs_file.h"
#include "sectionfiles/res2dinv.h"
#include "tests/sectionfiles/section_test_support.h"

namespace {

using sectiontest::TempFolder;
using sectiontest::WriteText;

constexpr float kRemote = std::numeric_limits<float>::infinity();
constexpr double kTwoPi = 6.283185307179586;

struct Form {
    const char* name;
    const char* text;
    int nPoint;     // points read
    bool bGeneral;  // four-electrode rows
    // First point: position, apparent resistivity and, for four-electrode rows, the absolute
    // positions of C1, C2, P1, P2 (kRemote for a remote electrode).
    float x, rho, c1, c2, p1, p2;
};

// Small files, one per array type and header form.
const Form kForms[] = {
    {"wenner alpha, first electrode", "Wenner\n1.0\n1\n2\n0\n0\n0.0 2.0 100\n2.0 2.0 110\n", 2,
     true, 3.0f, 100.0f, 0.0f, 6.0f, 2.0f, 4.0f},
    {"wenner alpha, mid-point", "Wenner\n1.0\n1\n1\n1\n0\n3.0 2.0 100\n", 1, true, 3.0f, 100.0f,
     0.0f, 6.0f, 2.0f, 4.0f},
    {"wenner beta", "Beta\n1.0\n4\n1\n0\n0\n0,1,50\n", 1, true, 1.5f, 50.0f, 1.0f, 0.0f, 2.0f,
     3.0f},
    {"wenner gamma, tabs", "Gamma\n1.0\n5\n1\n0\n0\n0\t1\t50\n", 1, true, 1.5f, 50.0f, 0.0f, 2.0f,
     1.0f, 3.0f},
    {"pole-dipole forward", "PD\n1.0\n6\n1\n0\n0\n0 1 2 80\n", 1, true, 1.5f, 80.0f, 0.0f, kRemote,
     2.0f, 3.0f},
    {"pole-dipole reverse", "PD\n1.0\n6\n1\n0\n0\n0 -1 2 80\n", 1, true, 1.5f, 80.0f, 3.0f, kRemote,
     1.0f, 0.0f},
    {"wenner-schlumberger", "WS\n1.0\n7\n1\n0\n0\n0 1 2 60\n", 1, true, 2.5f, 60.0f, 0.0f, 5.0f,
     2.0f, 3.0f},
    {"multiple gradient", "MG\n1.0\n15\n1\n0\n0\n10 1 2 4 70\n", 1, true, 13.0f, 70.0f, 10.0f,
     16.0f, 12.0f, 13.0f},
    {"general, four electrodes",
     "Mixed\n1.0\n11\n0\nType of measurement (0=app. resistivity,1=resistance)\n0\n1\n2\n0\n"
     "4, 1,0, 0,0, 2,0, 3,0, 90\n",
     1, true, 1.5f, 90.0f, 1.0f, 0.0f, 2.0f, 3.0f},
    {"general, three electrodes, sub-type 15",
     "Mixed\n1.0\n11\n15\nType of measurement (0=app. resistivity,1=resistance)\n0\n1\n2\n0\n"
     "3 0 0 2 0 3 0 90\n",
     1, true, 1.5f, 90.0f, 0.0f, kRemote, 2.0f, 3.0f},
    // A Wenner alpha array of 1 m (factor 2 pi) measured as 10 Ohm.
    {"general, resistances",
     "Mixed\n1.0\n11\n0\nType of measurement (0=app. resistivity,1=resistance)\n1\n1\n2\n0\n"
     "4 0 0 3 0 1 0 2 0 10\n",
     1, true, 1.5f, static_cast<float>(10.0 * kTwoPi), 0.0f, 3.0f, 1.0f, 2.0f},
    {"general with IP",
     "Mixed IP\n1.0\n11\n0\nType of measurement (0=app. resistivity,1=resistance)\n0\n1\n2\n1\n"
     "Chargeability\nmV/V\n0.12,1.0\n4 1 0 0 0 2 0 3 0 90 7.5\n",
     1, true, 1.5f, 90.0f, 1.0f, 0.0f, 2.0f, 3.0f},
    {"dipole-dipole with IP",
     "DD IP\n1.0\n3\n1\n1\n1\nChargeability\nmsec\n0.12 1.0\n"
     "10.0 2.0 3 120.5 4.2\n",
     1, false, 10.0f, 120.5f, 0, 0, 0, 0},
    // Remote current electrode 100 m to the left; the value used its exact factor.
    {"pole-dipole with remote electrodes",
     "PD remote\n1.0\n6\n1\n0\n0\nRemote electrodes included\n1\nC2 electrode location\n"
     "-100.0,0.0\nExact Geometric factor used\n1\n0 1 2 80\n",
     1, true, 1.5f, 0.0f /* checked below */, 0.0f, kRemote, 2.0f, 3.0f},
    {"pole-pole with remote electrodes, not exact",
     "PP remote\n1.0\n2\n1\n0\n0\nRemote electrodes included\n1\nC2 electrode location\n"
     "-500,0\nP2 electrode location\n600,0\nExact Geometric factor used\n0\n0 5 80\n",
     1, false, 0.0f, 80.0f, 0, 0, 0, 0},
    {"trailing topography and zeros",
     "Wenner\n1.0\n1\n2\n0\n0\n0 1 100\n1 1 110\nTopography in separate list\n2\n3\n0,0\n"
     "1,0.5\n2,1\n1\n0\n0\n0\n0\n",
     2, true, 1.5f, 100.0f, 0.0f, 3.0f, 1.0f, 2.0f},
};

class Res2dinvForms : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(kLanguageEnglish);
        ASSERT_TRUE(
            store.Initialise(kStoreMaxColumn, kStoreMaxRow, kStoreMaxColumn, kStoreMaxLayer));
    }
    Res2dinvFile Read(const std::string& text, const char* name = "in.dat") {
        WriteText(folder / name, text);
        return ReadRes2dinvFile(folder / name);
    }
    // Classifies and grids a file that was read; the status of the step that stopped.
    Res2dinvGridResult Import(const Res2dinvFile& f, float w, CTrevascDataOhm& into) {
        EXPECT_TRUE(ReportRes2dinvFile(f, prompter));
        Res2dinvGridResult r;
        r.status = ClassifyRes2dinv(f, kinds, prompter);
        return r.status == Res2dinvStatus::Ok ? GridRes2dinv(f, kinds, w, into) : r;
    }

    TempFolder folder;
    CTrevascDataOhm store;
    CScriptedPrompter prompter;
    Res2dinvRowKinds kinds;
};

float Absolute(float x, float rel, bool remote) {
    return remote ? kRemote : x + rel;
}

TEST_F(Res2dinvForms, EveryFormImportsEachPointWithItsGeometryIntoACell) {
    for (const Form& form : kForms) {
        SCOPED_TRACE(form.name);
        prompter.ClearHistory();
        const Res2dinvFile f = Read(form.text);
        ASSERT_TRUE(f.bHeaderRead);
        ASSERT_EQ(static_cast<int>(f.points.size()), form.nPoint);
        EXPECT_EQ(f.nBadLine, 0);
        const Res2dinvPoint& p = f.points.front();
        EXPECT_NEAR(p.fX, form.x, 1e-5);
        if (form.rho > 0.0f) {
            EXPECT_NEAR(p.fResistivity, form.rho, 1e-3);
        }
        EXPECT_EQ(Res2dinvGeneralArrayType(f.iArrayType), form.bGeneral);
        if (form.bGeneral) {
            bool remote[4];
            RemoteElectrodes(p.array, remote);
            EXPECT_EQ(Absolute(p.fX, p.array.fB, remote[1]), form.c1);
            EXPECT_EQ(Absolute(p.fX, p.array.fA, remote[0]), form.c2);
            EXPECT_EQ(Absolute(p.fX, p.array.fM, remote[2]), form.p1);
            EXPECT_EQ(Absolute(p.fX, p.array.fN, remote[3]), form.p2);
            EXPECT_GT(p.array.fK, 0.0f);
        }

        CTrevascDataOhm into;
        ASSERT_TRUE(into.Initialise(kStoreMaxColumn, kStoreMaxRow, kStoreMaxColumn, 10));
        const Res2dinvGridResult r = Import(f, 1.0f, into);
        ASSERT_EQ(r.status, Res2dinvStatus::Ok);
        EXPECT_EQ(r.nGridded, form.nPoint);
        EXPECT_EQ(into.bGeneralArray, form.bGeneral ? 1 : 0);
        int averaged = 0;
        for (int c = 0; c < into.nColumn; ++c)
            for (int k = 0; k < into.nRow[c]; ++k) {
                averaged += into.nAveraged[c][k];
                EXPECT_EQ(into.pElectrode[c][k] != nullptr, form.bGeneral);
            }
        EXPECT_EQ(averaged, form.nPoint);
    }
}

TEST_F(Res2dinvForms, ValuesOfTheExactRemoteFactorAreBroughtToTheRemoteAtInfinity) {
    const Res2dinvFile f = Read(kForms[13].text);
    ASSERT_EQ(f.points.size(), 1u);
    // C1 0, P1 2, P2 3; C2 at -100: exact 1/2 - 1/3 - 1/102 + 1/103, at infinity 1/2 - 1/3.
    const double exact = 1.0 / 2 - 1.0 / 3 - 1.0 / 102 + 1.0 / 103, ideal = 1.0 / 2 - 1.0 / 3;
    EXPECT_NEAR(f.points[0].fResistivity, 80.0 * exact / ideal, 1e-3);
    EXPECT_TRUE(ReportRes2dinvFile(f, prompter));
    EXPECT_NE(prompter.Messages().back().find("remote electrodes are taken as at infinity"),
              std::string::npos);
    // The IP values are said to be left out, never read as resistivities.
    prompter.ClearHistory();
    EXPECT_TRUE(ReportRes2dinvFile(Read(kForms[12].text), prompter));
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{(folder / "in.dat").string() +
                                       ": the IP values of the data lines were left out; the "
                                       "apparent resistivities were read."});
}

TEST_F(Res2dinvForms, FilesTheImportCannotUseAreRefusedWithTheirCause) {
    struct Case {
        const char* text;
        const char* message;  // after "<path>" or "... the file <path>"
    } const cases[] = {
        {"Equatorial\n1.0\n8\n1\n0\n0\n0 1 1 10\n",
         ": line 3 gives the array type 8, which this program does not read (it reads the "
         "types 1 to 7, 11 and 15)."},
        {"Mixed\n1.0\n11\n0\nType of measurement (0=app. resistivity,1=resistance)\n3\n1\n2\n0\n",
         " as a RES2DINV file: line 6 does not hold the type of measurement (0 = apparent "
         "resistivity, 1 = resistance)."},
        {"Mixed\n1.0\n11\n0\n",
         " as a RES2DINV file: line 5 does not hold the type of "
         "measurement (0 = apparent resistivity, 1 = resistance)."},
        {"Wenner\n1.0\n1\n1\n3\n0\n0 1 10\n",
         " as a RES2DINV file: line 5 does not hold the type of x-location."},
        {"Wenner\n1.0\n1\n1\n0\n2\n0 1 10\n",
         " as a RES2DINV file: line 6 does not hold the IP flag."},
        {"PD\n1.0\n6\n1\n0\n0\nRemote electrodes included\n1\nsomewhere\n",
         " as a RES2DINV file: line 9 does not hold the remote electrode flag, location or "
         "factor flag."},
    };
    const std::string name = (folder / "in.dat").string();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        prompter.ClearHistory();
        EXPECT_FALSE(ReportRes2dinvFile(Read(c.text), prompter));
        ASSERT_EQ(prompter.Messages().size(), 1u);
        const std::string m = prompter.Messages().front();
        EXPECT_NE(m.find(name), std::string::npos) << m;
        EXPECT_EQ(m.substr(m.find(name) + name.size()), c.message);
    }
}

TEST_F(Res2dinvForms, GeneralArraySectionIsExportedAsType11AndReadBackAsTheSameSection) {
    // Three arrays, one of them with a remote electrode, over three columns of 2 m.
    const char* text =
        "Mixed\n1.0\n11\n0\nType of measurement (0=app. resistivity,1=resistance)\n0\n6\n2\n0\n"
        "4 0 0 3 0 1 0 2 0 100\n4 2 0 5 0 3 0 4 0 105\n4 4 0 7 0 5 0 6 0 95\n"
        "3 0 0 2 0 3 0 80\n3 2 0 4 0 5 0 82\n2 1 0 3 0 70\n";
    ASSERT_EQ(Import(Read(text), 2.0f, store).status, Res2dinvStatus::Ok);
    ASSERT_EQ(store.bGeneralArray, 1);
    ASSERT_EQ(WriteRes2dinvFile(store, folder / "out.dat"), Res2dinvExportStatus::Ok);
    const Res2dinvFile back = ReadRes2dinvFile(folder / "out.dat");
    EXPECT_EQ(back.iArrayType, kRes2dinvGeneral);
    EXPECT_EQ(back.nBadLine, 0);

    CTrevascDataOhm again;
    ASSERT_TRUE(again.Initialise(kStoreMaxColumn, kStoreMaxRow, kStoreMaxColumn, 10));
    ASSERT_EQ(Import(back, 2.0f, again).status, Res2dinvStatus::Ok);
    // Saved as a section file and reopened, the rows keep their arrays too.
    ASSERT_TRUE(WriteSectionFile(again, folder / "s.ovs", nullptr));
    CTrevascDataOhm reopened;
    ASSERT_TRUE(reopened.Initialise(kStoreMaxColumn, kStoreMaxRow, kStoreMaxColumn, 10));
    CGantrelSurvey survey;
    ASSERT_EQ(ReadSectionFile(reopened, folder / "s.ovs", survey).eProblem,
              SectionFileProblem::None);

    for (const CTrevascDataOhm* s : {&again, &reopened}) {
        ASSERT_EQ(s->nColumn, store.nColumn);
        ASSERT_EQ(s->bGeneralArray, 1);
        for (int c = 0; c < store.nColumn; ++c) {
            SCOPED_TRACE(c);
            EXPECT_NEAR(s->fColumnX[c], store.fColumnX[c], 1e-5);
            ASSERT_EQ(s->nRow[c], store.nRow[c]);
            for (int k = 0; k < store.nRow[c]; ++k) {
                EXPECT_NEAR(s->fObserved[c][k], store.fObserved[c][k], 1e-4);
                const FourElectrodeGeometry &e = *store.pElectrode[c][k], &g = *s->pElectrode[c][k];
                // Remote electrodes lie far out, where a float steps by more than 1 mm.
                const float was[4] = {e.fA, e.fB, e.fM, e.fN}, is[4] = {g.fA, g.fB, g.fM, g.fN};
                for (int i = 0; i < 4; ++i)
                    EXPECT_NEAR(is[i], was[i], 1e-3 + 1e-6 * std::fabs(was[i])) << i;
                EXPECT_NEAR(g.fK, e.fK, 1e-4 * std::fabs(e.fK));
            }
        }
    }
}

}  // namespace
