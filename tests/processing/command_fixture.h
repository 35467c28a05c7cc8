// A processing document with its command table, a scripted prompter and a folder of its own,
// for the tests of the file commands.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/language.h"
#include "common/memory_settings.h"
#include "common/resistivity.h"
#include "common/scripted_prompter.h"
#include "common/settings.h"
#include "processing/commands.h"
#include "tests/sectionfiles/section_test_support.h"

namespace commandtest {

namespace fs = std::filesystem;
using sectiontest::Crlf;
using sectiontest::ReadText;
using sectiontest::TempFolder;
using sectiontest::WriteText;

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&settings);
        SetLanguage(kLanguageEnglish);
        doc.dataFolder = folder.path;
    }
    void TearDown() override {
        SetLanguage(kLanguageEnglish);
        SetSettingsBackend(nullptr);
    }
    bool Run(int id) { return table.Invoke(ctx, id); }

    // A line of readings one second apart from `start` (calendar seconds), n receivers each
    // with V/I = base + reading index, current level 4, and markers at the first and the last
    // reading, 10 m apart per reading.
    CGantrelLine& AddLine(int readings, int receivers, std::int64_t start = 1245000000) {
        CGantrelLine& line = *doc.survey.AddLine();
        for (int i = 0; i < readings; ++i) {
            CGantrelData& d = *line.AddData();
            d.time = start + i;
            d.iMilliSecond = 0;
            d.nReceiver = receivers;
            d.fDistance = 10.0f * static_cast<float>(i);
            for (int j = 0; j < receivers; ++j) {
                d.fResistance[j] = 1.0f + static_cast<float>(i) + 0.5f * static_cast<float>(j);
                d.iCurrentLevel[j] = 4;
            }
            ComputeResistivity(d, *line.pGeometry);
        }
        for (int k : {0, readings - 1}) {
            if (readings == 0) break;
            CMarkerData& m = *line.AddMarker();
            m.iDataIndex = k;
            m.time = start + k;
            m.dY = 10.0 * k;
            m.fDistance = static_cast<float>(m.dY);
            m.iMarkerNumber = k == 0 ? 0 : 1;
        }
        line.UpdateMaxReceiver();
        return line;
    }

    CMemorySettingsBackend settings;
    TempFolder folder;
    CBrivaneDoc doc;
    CBrivaneViewState view;
    CScriptedPrompter prompter;
    CBrivaneContext ctx{doc, view, prompter};
    CCommandTable table = BuildBrivaneCommands();
};

// Lines of a text file without their line ends.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) nl = text.size();
        std::string line = text.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
        start = nl + 1;
    }
    return out;
}

// Runs a shell command line of the test's own making; its standard output, and the exit
// status in status.
inline std::string RunTool(const std::string& command, int& status) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (p == nullptr) {
        status = -1;
        return out;
    }
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    const int rc = ::pclose(p);
    status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

inline bool HaveTool(const std::string& name) {
    int status = 0;
    RunTool("command -v " + name + " >/dev/null 2>&1", status);
    return status == 0;
}

}  // namespace commandtest
