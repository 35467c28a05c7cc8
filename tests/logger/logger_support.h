// The logging document on real parts: pseudo-terminals as the instrument's port, a private
// data folder and settings store, a clock that only moves when told.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/language.h"
#include "common/scripted_prompter.h"
#include "common/text_format.h"
#include "logger/tessick_doc.h"
#include "tests/acquisition/acquisition_support.h"

namespace loggertest {

using acqtest::CPty;
using acqtest::ReadFile;
namespace fs = std::filesystem;

// A console line of n receivers with V/I values v, v+1, ... (receiver level 13.1, transmitter
// level 13.5, status digits 2 and 4).
inline std::string ConsoleLine(int n, double v = 1.0) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += i == 0 ? FormatC(" %f,131,135,24", v) : FormatC(" ,%f,131,24", v + i);
    return s;
}

class DocTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&settings);
        SetLanguage(kLanguageEnglish);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() / ("gantrel-logger-" + std::to_string(getpid()) + "-" +
                                           info->test_suite_name() + "-" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        WriteSettingString("FolderPath", dir.string());
        WriteSuiteValue("LanguageRegister", "1");
        clock.Set(acqtest::StartTime());
    }
    void TearDown() override {
        doc.reset();
        SetSettingsBackend(nullptr);
        SetLanguage(kLanguageEnglish);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    CTessickDoc& MakeDoc() {
        doc = std::make_unique<CTessickDoc>(ports, prompter, clock);
        return *doc;
    }
    CAcquisitionState& S() { return doc->state; }

    void StartGantrel(CPty& pty) {
        ports.AddKnownDevice(pty.Path());
        const std::string path = pty.Path();
        prompter.PushDialog<CDlgRS232C>([path](CDlgRS232C& d) {
            d.sDevice = path;
            d.iBaudRate = 12;
        });
        S().ToggleGantrel();
        ASSERT_EQ(S().bGantrelStarted, 1);
    }
    // One reading of n receivers taken ageSeconds before the clock's time.
    void AddReading(int n, int ageSeconds, double v = 1.0) {
        const std::string line = ConsoleLine(n, v);
        ASSERT_EQ(S().ParseConsoleRecord(line, 0, kFirstInstrument, clock.Now().time - ageSeconds),
                  n);
    }
    void Tick() {
        clock.Advance(100);
        S().Tick(CAcquisitionState::kPollTimer);
    }

    CMemorySettingsBackend settings;
    fs::path dir;
    CManualClock clock;
    CScriptedPrompter prompter;
    CPosixSerialPortSystem ports;
    std::unique_ptr<CTessickDoc> doc;
};

}  // namespace loggertest
