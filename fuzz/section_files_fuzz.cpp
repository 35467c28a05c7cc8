// libFuzzer target for the section file readers. Every input is read as a resistivity data
// and model file (.ovs) into a small store and as a RES2DINV file gridded into another. What
// was read must lie inside the store, every stop must name a line, and the store written and
// read again must keep its counts; a gridded RES2DINV section exported and imported again
// must give back one point per row.
#include <unistd.h>

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
    Res2dinvRowKinds kinds;
    if (ClassifyRes2dinv(file, kinds, prompter) != Res2dinvStatus::Ok || file.points.empty())
        return;
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
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gDir = fs::temp_directory_path() / ("gantrel_section_fuzz_" + std::to_string(getpid()));
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
