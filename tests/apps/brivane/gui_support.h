// Widget tests share one application object; each test gets fresh in-memory settings and the
// English language.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <memory>

#include "common/language.h"
#include "common/memory_settings.h"
#include "common/settings.h"

namespace gui_test {

// One application object for the whole run, destroyed at the end so that Qt releases what
// the font system holds (the leak checker would report it otherwise).
class QtWidgetsEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QCoreApplication::instance() == nullptr) {
            app_ = std::make_unique<QApplication>(argc_, argv_);
            QApplication::setApplicationName("Brivane");
            // The application object sets the user's locale; numbers use the C locale's dot.
            std::setlocale(LC_NUMERIC, "C");
        }
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "gui_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

inline ::testing::Environment* const kQtWidgets =
    ::testing::AddGlobalTestEnvironment(new QtWidgetsEnvironment);

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&settings);
        SetLanguage(kLanguageEnglish);
    }
    void TearDown() override {
        SetSettingsBackend(nullptr);
        SetLanguage(kLanguageEnglish);
    }
    CMemorySettingsBackend settings;
};

}  // namespace gui_test
