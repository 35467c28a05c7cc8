// libFuzzer target for the section file readers. Every input is read as a resistivity data
// and model file (.ovs) into a small store and as a RES2DINV file gridded into another. What
// was read must lie inside the store, every stop must name a line, and the store written and
// read again must keep its counts; a gridded RES2DINV section exported and imported again
// must give back one point per row (four-electrode rows as a general-array file), and gridded
// again one row per point.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/scripted_prompter.h"
#include "sectionfiles/ovs_file.h"
#include "sectionfiles/res2dinv.h"

namespace fs = std::filesystem;

namespace {

fs::path gDir;

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "section_files_fuzz: %s\n", what);
    std::abort();
}

void CheckStore(const CTrevascDataOhm& s, bool bFromFile) {
    Check(s.nColumn >= 0 && s.nColumn <= s.MaxColumn(), "column count");
    for (int c = 0; c < s.nColumn; ++c) {
        Check(s.nRow[c] >= (bFromFile ? 1 : 0) && s.nRow[c] <= s.MaxRow(), "row count");
        if (s.bGeneralArray == 1)
            for (int k = 0; k < s.nRow[c]; ++k) Check(s.pElectrode[c][k] != nullptr, "geometry");
    }
    Check(s.nBoundaryColumn >= 0 && s.nBoundaryColumn <= s.MaxBoundaryColumn(), "boundary columns");
    Check(s.nModelColumn >= 0 && s.nModelColumn <= s.MaxBoundaryColumn(), "model columns");
    Check(s.nBoundary >= 0 && s.nBoundary <= s.MaxLayer(), "boundaries");
    Check(s.nLayer >= 0 && s.nLayer <= s.MaxLayer(), "layers");
}

void SectionInput(const fs::path& input) {
    CTrevascDataOhm store, again;
    Check(store.Initialise(4, 4, 4, 4) && again.Initialise(4, 4, 4, 4), "store");
    CGantrelSurvey survey;
    const SectionFileStatus st = ReadSectionFile(store, input, survey);
    CheckStore(store, true);
    Check(survey.nLine <= kMaxLine && survey.nFlag <= kMaxFlag, "survey");
    Check(st.eProblem == SectionFileProblem::None || st.bOpened, "problem without a file");
    Check(WriteSectionFile(store, gDir / "again.ovs", nullptr), "write");
    CGantrelSurvey none;
    const SectionFileStatus st2 = ReadSectionFile(again, gDir / "again.ovs", none);
    Check(st2.eProblem == SectionFileProblem::None, "a written store does not read back");
    Check(again.nColumn == store.nColumn && again.nModelColumn == store.nModelColumn &&
              again.nBoundaryColumn == store.nBoundaryColumn && again.nLayer == store.nLayer,
          "counts differ after a rewrite");
    for (int c = 0; c < store.nColumn; ++c) Check(again.nRow[c] == store.nRow[c], "rows differ");
}

void Res2dinvInput(const fs::path& input) {
    CScriptedPrompter prompter;
    const Res2dinvFile file = ReadRes2dinvFile(input);
    if (!ReportRes2dinvFile(file, prompter)) return;
    Check(static_cast<int>(file.points.size()) <= file.nAnnounced, "more points than announced");
    for (const Res2dinvPoint& p : file.points)
        Check(std::isfinite(p.fX) && std::isfinite(p.fResistivity), "point not a number");
    Res2dinvRowKinds kinds;
    if (ClassifyRes2dinv(file, kinds, prompter) != Res2dinvStatus::Ok || file.points.empty())
        return;
    Check(static_cast<int>(kinds.arrays.size()) <= kRes2dinvMaxArrays, "array list");
    CTrevascDataOhm store;
    Check(store.Initialise(8, 4, 8, 4), "store");
    const Res2dinvGridResult r = GridRes2dinv(file, kinds, 1.0f, store);
    CheckStore(store, false);
    if (r.status != Res2dinvStatus::Ok) return;
    int rows = 0;
    for (int c = 0; c < store.nColumn; ++c) rows += store.nRow[c];
    if (WriteRes2dinvFile(store, gDir / "out.dat") != Res2dinvExportStatus::Ok) return;
    const Res2dinvFile back = ReadRes2dinvFile(gDir / "out.dat");
    Check(back.bHeaderRead && back.nAnnounced == rows, "export header");
    // Rows with values too large for the text or a dipole length of 0 are refused on the way
    // back; every other row comes back as a point.
    Check(static_cast<int>(back.points.size()) + back.nBadLine == rows, "export rows");

    // Imported again with the same cell size, every point keeps a row of its own, provided
    // the file's six decimals hold the section: positions and values well inside what they
    // resolve, and row kinds far enough apart that rounding cannot join two of them.
    bool exact = back.nBadLine == 0;
    if (kinds.bGeneral) Check(back.iArrayType == kRes2dinvGeneral, "general export type");
    // Four-electrode rows: the positions printed with six decimals may join or split arrays.
    if (kinds.bGeneral) return;
    for (int c = 0; c < store.nColumn && exact; ++c) {
        exact = std::fabs(store.fColumnX[c]) <= 1000.0f;
        for (int k = 0; k < store.nRow[c] && exact; ++k)
            exact = store.fObserved[c][k] >= 1e-3f && store.fObserved[c][k] <= 1e9f &&
                    store.fDipoleSize[c][k] >= 1e-2f && store.fDipoleSize[c][k] <= 1e4f &&
                    std::fabs(store.fNFactor[c][k]) <= 1e4f;
    }
    for (size_t i = 0; i < kinds.dipoleSizes.size() && exact; ++i)
        for (size_t j = i + 1; j < kinds.dipoleSizes.size(); ++j)
            exact = exact && std::fabs(kinds.dipoleSizes[i] - kinds.dipoleSizes[j]) >= 0.02f;
    for (const auto& list : kinds.separations)
        for (size_t i = 0; i < list.size() && exact; ++i)
            for (size_t j = i + 1; j < list.size(); ++j)
                exact = exact && std::fabs(list[i] - list[j]) >= 0.02f;
    if (!exact) return;
    Res2dinvRowKinds kindsBack;
    if (ClassifyRes2dinv(back, kindsBack, prompter) != Res2dinvStatus::Ok) return;
    CTrevascDataOhm again;
    Check(again.Initialise(8, 4, 8, 4), "store");
    const Res2dinvGridResult r2 = GridRes2dinv(back, kindsBack, 1.0f, again);
    Check(r2.status == Res2dinvStatus::Ok, "the export does not grid again");
    int rowsBack = 0;
    for (int c = 0; c < again.nColumn; ++c) rowsBack += again.nRow[c];
    Check(rowsBack == rows && r2.nGridded == rows, "a RES2DINV round trip lost points");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Saves sync their file to the disk; in memory (where there is a memory file system)
    // that costs nothing, and a run tries thousands of inputs.
    std::error_code ec;
    const fs::path scratch = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm")
                                                               : fs::temp_directory_path();
    gDir = scratch / ("gantrel_section_fuzz_" + std::to_string(getpid()));
    fs::create_directories(gDir);
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(gDir, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path input = gDir / "input";
    std::ofstream(input, std::ios::binary | std::ios::trunc)
        << std::string(reinterpret_cast<const char*>(data), size);
    SectionInput(input);
    Res2dinvInput(input);
    return 0;
}
