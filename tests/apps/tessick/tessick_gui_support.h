// The logging window on real parts: one application object, fresh in-memory settings and a
// private data folder per test, a pseudo-terminal as the instrument's console.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QElapsedTimer>
#include <QTest>
#include <clocale>
#include <memory>
#include <sstream>

#include "apps/tessick/control_form_widget.h"
#include "apps/tessick/main_window.h"
#include "apps/tessick/view_widgets.h"
#include "common/clock.h"
#include "common/language.h"
#include "common/memory_settings.h"
#include "common/settings.h"
#include "platform/posix_serial_port.h"
#include "tests/acquisition/acquisition_support.h"

namespace tessick_test {

namespace fs = std::filesystem;
using acqtest::CPty;
using acqtest::ReadFile;

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QCoreApplication::instance() == nullptr) {
            app_ = std::make_unique<QApplication>(argc_, argv_);
            QApplication::setApplicationName("Tessick");
            std::setlocale(LC_NUMERIC, "C");
        }
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "tessick_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

inline ::testing::Environment* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Lines of a survey file.
inline std::vector<std::string> Records(const fs::path& file) {
    std::vector<std::string> out;
    std::istringstream in(ReadFile(file));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return out;
}
inline int CountKind(const std::vector<std::string>& records, const std::string& kind) {
    int n = 0;
    for (const auto& r : records) n += r.rfind(kind + " ", 0) == 0 ? 1 : 0;
    return n;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&settings);
        SetLanguage(kLanguageEnglish);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() / ("gantrel-tessick-" + std::to_string(getpid()) + "-" +
                                           info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        WriteSettingString("FolderPath", dir.string());
        WriteSuiteValue("LanguageRegister", "1");
    }
    void TearDown() override {
        window.reset();
        SetSettingsBackend(nullptr);
        SetLanguage(kLanguageEnglish);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // The window on the computer's clock, or on the manual one (demonstrations step when the
    // test moves it on).
    CTessickMainWindow& Make() { return Make(clock); }
    CTessickMainWindow& Make(CClock& on) {
        window = std::make_unique<CTessickMainWindow>(ports, on);
        window->Prompter().SetScripted(true);
        window->Start();
        window->show();
        return *window;
    }
    CTessickMainWindow& W() { return *window; }
    CQtPrompter& P() { return window->Prompter(); }
    CAcquisitionState& S() { return window->Doc().state; }
    CControlFormWidget& Form() { return *window->Form(); }
    CBigButton& Big(int id) { return *Form().Button(id); }

    // Answers the "Serial port" dialog with a device path typed into "Com port".
    void AnswerPort(const std::string& path) {
        ports.AddKnownDevice(path);
        P().PushAnswer([path](QDialog& d) {
            auto* port = d.findChild<QComboBox*>("iPort");
            ASSERT_NE(port, nullptr);
            port->setEditText(QString::fromStdString(path));
            auto* baud = d.findChild<QComboBox*>("iBaudRate");
            baud->setCurrentIndex(12);
            ClickNamed(d, "ok");
        });
    }
    // Starts the first instrument on the pseudo-terminal with its button.
    void StartGantrel(const testpty::CPtyPair& pty) {
        AnswerPort(pty.Path());
        QTest::mouseClick(&Big(kIdcGantrel), Qt::LeftButton);
        ASSERT_EQ(S().bGantrelStarted, 1);
    }
    // Lets the poll timer run until the pty's bytes were taken (at most two seconds).
    void WaitForReadings(int nReadings) {
        QElapsedTimer t;
        t.start();
        while (S().readings.Count() < nReadings && t.elapsed() < 2000) QTest::qWait(20);
        ASSERT_EQ(S().readings.Count(), nReadings);
    }
    // One demonstration period on the manual clock; the poll timer then runs the step.
    void DemoSecond(int nReadingsAfter) {
        manualClock.Advance(1000);
        WaitForReadings(nReadingsAfter);
    }
    void Key(Qt::Key key) { QTest::keyClick(&Form(), key); }

    CMemorySettingsBackend settings;
    fs::path dir;
    CSystemClock clock;
    CManualClock manualClock{acqtest::StartTime()};
    CPosixSerialPortSystem ports;
    std::unique_ptr<CTessickMainWindow> window;
};

// A console line of three receivers.
inline std::string Console(double v) {
    return " " + std::to_string(v) + ",131,135,24 ," + std::to_string(v + 1) + ",131,24 ," +
           std::to_string(v + 2) + ",131,24\r\n";
}

}  // namespace tessick_test
