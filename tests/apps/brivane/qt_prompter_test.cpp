#include "platform/qt_prompter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "analysis/initial_model.h"
#include "apps/brivane/dialogs/dialogs.h"
#include "analysis/inversion.h"
#include "analysis/smoothing.h"
#include "common/axes.h"
#include "common/color_scale.h"
#include "processing/database_commands.h"
#include "processing/line_editing.h"
#include "processing/open_survey.h"
#include "positioning/positioning.h"
#include "tests/apps/brivane/gui_support.h"

namespace {

using gui_test::GuiTest;

class QtPrompterTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        prompter.SetScripted(true);
        InstallBrivaneDialogs(prompter);
    }
    // Presses a button of the next dialog after setting fields.
    void Answer(std::function<void(QDialog&)> answer) { prompter.PushAnswer(std::move(answer)); }
    static void Ok(QDialog& d) { ASSERT_TRUE(ClickNamed(d, "ok")) << "no enabled OK button"; }

    CQtPrompter prompter;
};

TEST_F(QtPrompterTest, QuestionAnswersWithTheButtonClicked) {
    QString cancelText;
    Answer([&](QDialog& d) {
        auto& box = dynamic_cast<QMessageBox&>(d);
        cancelText = box.button(QMessageBox::Cancel)->text();
        box.button(QMessageBox::Cancel)->click();
    });
    EXPECT_EQ(prompter.Message("Are you sure?", PromptButtons::OkCancel), PromptAnswer::Cancel);
    EXPECT_EQ(cancelText, "Cancel");

    SetLanguage(kLanguageJapanese);
    Answer([&](QDialog& d) {
        auto& box = dynamic_cast<QMessageBox&>(d);
        cancelText = box.button(QMessageBox::Cancel)->text();
        box.button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(prompter.Message("終了しますか？", PromptButtons::OkCancel), PromptAnswer::Ok);
    EXPECT_EQ(cancelText, "キャンセル") << "buttons speak the program's language";
    Answer([](QDialog& d) { ClickButton(d, "いいえ"); });
    EXPECT_EQ(prompter.Message("KML?", PromptButtons::YesNo), PromptAnswer::No);
}

TEST_F(QtPrompterTest, ScriptWithoutAnswerAcknowledgesMessagesAndCancelsQuestions) {
    EXPECT_EQ(prompter.Message("3 files are opened."), PromptAnswer::Ok);
    EXPECT_EQ(prompter.Message("Clear?", PromptButtons::OkCancel), PromptAnswer::Cancel);
    EXPECT_EQ(prompter.Message("KML?", PromptButtons::YesNo), PromptAnswer::No);
    EXPECT_FALSE(prompter.InputInt("", "Enter file index", 3).has_value());
    ASSERT_EQ(prompter.History().size(), 4u);
    EXPECT_TRUE(prompter.History()[0].bAnswered);
    EXPECT_FALSE(prompter.History()[1].bAnswered);
    EXPECT_EQ(prompter.History()[3].sKind, "int");
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{"3 files are opened.", "Clear?", "KML?"}));
}

TEST_F(QtPrompterTest, TwoButtonBoxNamesItsButtonsAndReturnsTheChoice) {
    QString caption, second;
    Answer([&](QDialog& d) {
        caption = d.windowTitle();
        second = FieldText(d, "button1");
        ClickNamed(d, "button1");
    });
    EXPECT_EQ(prompter.TwoButtonBox("Fennick", "Select the language !", "English", "Japanese"), 1);
    EXPECT_EQ(caption, "Fennick");
    EXPECT_EQ(second, "Japanese");
    Answer([](QDialog& d) { d.reject(); });
    EXPECT_EQ(prompter.TwoButtonBox("", "text", "", ""), 1) << "Escape is the second button";
    EXPECT_EQ(prompter.TwoButtonBox("", "text", "", ""), 0)
        << "an unanswered script takes the first";
}

TEST_F(QtPrompterTest, NumberInputKeepsTheDialogOpenUntilTheTextParses) {
    bool acceptedBadText = true;
    Answer([&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Enter number");
        EXPECT_EQ(FieldText(d, "value"), "100");
        SetFieldText(d, "value", "12 m");
        Ok(d);
        acceptedBadText = d.result() == QDialog::Accepted;
        SetFieldText(d, "value", " 12.5 ");
        Ok(d);
    });
    EXPECT_EQ(prompter.InputReal("", "Enter marker spacing (m)", 100.0), 12.5);
    EXPECT_FALSE(acceptedBadText);
    EXPECT_EQ(prompter.Messages(), std::vector<std::string>{"Please enter a number."});

    Answer([](QDialog& d) {
        SetFieldText(d, "value", "4.5");
        Ok(d);
        SetFieldText(d, "value", "-4");
        Ok(d);
    });
    EXPECT_EQ(prompter.InputInt("Set maximum current level", "Current level", 7), -4);
    EXPECT_EQ(prompter.Messages().back(), "Please enter an integer.");
}

TEST_F(QtPrompterTest, PresetFilesAnswerTheNextOpenDialogOnce) {
    prompter.PresetOpenFiles({"a.sto", "b.sto"});
    EXPECT_EQ(prompter.OpenFiles("Open", {}, {}, true),
              (std::vector<std::filesystem::path>{"a.sto", "b.sto"}));
    EXPECT_EQ(prompter.Opened().size(), 2u);
    EXPECT_TRUE(prompter.OpenFiles("Open", {}, {}, true).empty())
        << "the next dialog is a real one again (cancelled by the script)";
    prompter.PresetOpenFiles({"a.ovs", "b.ovs"});
    EXPECT_EQ(prompter.OpenFiles("Open", {}, {}, false).size(), 1u);
}

TEST_F(QtPrompterTest, FileDialogsUseTheFiltersAndTheDefaultExtension) {
    const auto dir = std::filesystem::temp_directory_path() / "gantrel-gui-prompter";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "line07.sto") << "x";
    QStringList filters;
    Answer([&](QDialog& d) {
        auto& fd = dynamic_cast<QFileDialog&>(d);
        filters = fd.nameFilters();
        fd.selectFile(QString::fromStdString((dir / "line07.sto").string()));
        d.accept();
    });
    const auto files = prompter.OpenFiles(
        "Open", {{"Gantrel file(*.sto)", {"*.sto"}}, {"All files(*.*)", {"*.*"}}}, dir / "*.sto",
        true);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename(), "line07.sto");
    EXPECT_EQ(filters, (QStringList{"Gantrel file(*.sto)", "All files(*.*)"}))
        << "the patterns shown once";

    Answer([&](QDialog& d) {
        auto& fd = dynamic_cast<QFileDialog&>(d);
        fd.selectFile(QString::fromStdString((dir / "picture").string()));
        d.accept();
    });
    const auto saved = prompter.SaveFile(
        "Save", {{"Portable Network Graphic file (PNG)", {"*.png"}}}, dir / "*.png");
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->filename(), "picture.png");
    std::filesystem::remove_all(dir);
}

TEST_F(QtPrompterTest, SaveDialogAsksBeforeReplacingAFile) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("gantrel-gui-overwrite-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto existing = dir / "survey.stn";
    std::ofstream(existing) << "good";
    auto choose = [](const std::filesystem::path& file) {
        return [file](QDialog& d) {
            auto& fd = dynamic_cast<QFileDialog&>(d);
            EXPECT_TRUE(fd.testOption(QFileDialog::DontConfirmOverwrite))
                << "one question, the prompter's own";
            fd.selectFile(QString::fromStdString(file.string()));
            d.accept();
        };
    };
    const std::vector<FileFilter> filters = {{"Gantrel file(*.stn)", {"*.stn"}}};
    // No: the dialog comes back with the name chosen, and another name is taken.
    QString question, preselected;
    Answer(choose(existing));
    Answer([&](QDialog& d) {
        question = dynamic_cast<QMessageBox&>(d).text();
        ASSERT_TRUE(ClickButton(d, "No"));
    });
    Answer([&](QDialog& d) {
        auto& fd = dynamic_cast<QFileDialog&>(d);
        if (!fd.selectedFiles().isEmpty()) preselected = fd.selectedFiles().front();
        fd.selectFile(QString::fromStdString((dir / "other.stn").string()));
        d.accept();
    });
    auto saved = prompter.SaveFile("Save", filters, dir / "*.stn");
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->filename(), "other.stn");
    EXPECT_EQ(question, "survey.stn already exists.\nDo you want to replace it?");
    EXPECT_EQ(preselected.toStdString(), existing.string());
    // Yes replaces.
    Answer(choose(existing));
    Answer([](QDialog& d) { ASSERT_TRUE(ClickButton(d, "Yes")); });
    saved = prompter.SaveFile("Save", filters, dir / "*.stn");
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(*saved, existing);
    // A question nobody answers keeps the file: the save is cancelled.
    Answer(choose(existing));
    EXPECT_FALSE(prompter.SaveFile("Save", filters, dir / "*.stn").has_value());
    // A new name is not asked about.
    prompter.ClearHistory();
    Answer(choose(dir / "new.stn"));
    EXPECT_TRUE(prompter.SaveFile("Save", filters, dir / "*.stn").has_value());
    EXPECT_EQ(prompter.History().size(), 1u);
    std::filesystem::remove_all(dir);
}

TEST_F(QtPrompterTest, SurveyConfigurationOffersFiveVisibleChoices) {
    CSurveyConfigurationValues values;
    values.iSurveyConfiguration = 2;
    Answer([](QDialog& d) {
        EXPECT_TRUE(IsChecked(d, "configuration2"));
        EXPECT_FALSE(IsShownIn(d, "configuration3"))
            << "the mapped survey's marker choice is hidden";
        EXPECT_TRUE(IsShownIn(d, "configuration5"));
        SetChecked(d, "configuration4", true);
        Ok(d);
    });
    ASSERT_TRUE(prompter.EditDialog(values));
    EXPECT_EQ(values.iSurveyConfiguration, 4);

    Answer([](QDialog& d) {
        SetChecked(d, "configuration0", true);
        d.reject();
    });
    EXPECT_FALSE(prompter.EditDialog(values));
    EXPECT_EQ(values.iSurveyConfiguration, 4) << "Cancel keeps the values";

    // A stored value no button stands for: OK gives the configuration a new view starts with.
    values.iSurveyConfiguration = 9;
    Answer([](QDialog& d) {
        EXPECT_TRUE(IsChecked(d, "configuration2"));
        Ok(d);
    });
    ASSERT_TRUE(prompter.EditDialog(values));
    EXPECT_EQ(values.iSurveyConfiguration, 2);
}

TEST_F(QtPrompterTest, InitialModelRefusesValuesItsCheckRejects) {
    CDlgInitialModel values;
    values.fResistivity = 123.5f;
    Answer([](QDialog& d) {
        EXPECT_TRUE(IsChecked(d, "mode2"));
        EXPECT_EQ(FieldText(d, "fResistivity"), "123.5");
        SetChecked(d, "mode0", true);
        SetFieldText(d, "fResistivity", "0.01");
        Ok(d);
        EXPECT_NE(d.result(), QDialog::Accepted);
        SetFieldText(d, "fResistivity", "50");
        SetFieldText(d, "fDepth", "20");
        SetFieldText(d, "nLayer", "6");
        Ok(d);
    });
    ASSERT_TRUE(prompter.EditDialog(values));
    EXPECT_EQ(values.iMode, 0);
    EXPECT_EQ(values.fResistivity, 50.0f);
    EXPECT_EQ(values.fDepth, 20.0f);
    EXPECT_EQ(values.nLayer, 6);
    CDlgInitialModel tooLow;
    tooLow.fResistivity = 0.01f;
    EXPECT_EQ(prompter.Messages(), std::vector<std::string>{tooLow.Validate()});
}

TEST_F(QtPrompterTest, LsmAdvancedMenuShowsAndHidesTheAdvancedFields) {
    CDlgLsm values;
    Answer([](QDialog& d) {
        EXPECT_TRUE(IsShownIn(d, "nIteration"));
        EXPECT_TRUE(IsShownIn(d, "dRegularization"));
        EXPECT_FALSE(IsShownIn(d, "dDamping"));
        EXPECT_FALSE(IsShownIn(d, "fMaxResistivity"));
        EXPECT_FALSE(IsShownIn(d, "dDifference"));
        EXPECT_FALSE(IsShownIn(d, "iJacobian"));
        ClickButton(d, "Advanced menu");
        auto* jacobian = d.findChild<QComboBox*>("iJacobian");
        ASSERT_NE(jacobian, nullptr);
        EXPECT_TRUE(IsShownIn(d, "iJacobian"));
        EXPECT_EQ(jacobian->currentText(), "Finite difference");
        jacobian->setCurrentIndex(jacobian->findText("Exact derivative"));
        EXPECT_TRUE(IsShownIn(d, "dDamping"));
        EXPECT_TRUE(IsShownIn(d, "fMaxResistivity"));
        EXPECT_TRUE(IsShownIn(d, "bKeepFirstLayer"));
        EXPECT_FALSE(IsShownIn(d, "dDifference")) << "never shown";
        EXPECT_EQ(FieldText(d, "sMaxUnit"), "Ohm-m");
        SetFieldText(d, "nIteration", "3");
        SetFieldText(d, "dDamping", "0.05");
        SetChecked(d, "bConstraint", true);
        ClickButton(d, "Advanced menu");
        EXPECT_FALSE(IsShownIn(d, "dDamping"));
        Ok(d);
    });
    ASSERT_TRUE(prompter.EditDialog(values));
    EXPECT_EQ(values.nIteration, 3);
    EXPECT_EQ(values.dDamping, 0.05);
    EXPECT_EQ(values.bConstraint, 1);
    EXPECT_EQ(values.iJacobian, kJacobianExact);
    EXPECT_EQ(values.dAlpha, 0.2);
    EXPECT_EQ(values.fMaxResistivity, 10000000.0f) << "shown as 1e+07 and read back";
}

TEST_F(QtPrompterTest, AxisRowsAreReadOnlyUntilFixedAndLogHidesTheInterval) {
    CDlgManualAxis values;
    values.dXMinimum = 0.0;
    values.dXMaximum = 400.0;
    values.fXInterval = 50.0f;
    values.bYLogShown = true;
    values.bXMinimumEnabled = false;
    values.sXUnit = "m";
    Answer([](QDialog& d) {
        auto* xMax = d.findChild<QLineEdit*>("dXMaximum");
        ASSERT_NE(xMax, nullptr);
        EXPECT_TRUE(xMax->isReadOnly());
        EXPECT_FALSE(d.findChild<QLineEdit*>("dXMinimum")->isEnabled());
        EXPECT_FALSE(IsShownIn(d, "bXLog"));
        EXPECT_TRUE(IsShownIn(d, "bYLog"));
        SetChecked(d, "bXFixed", true);
        EXPECT_FALSE(xMax->isReadOnly());
        SetFieldText(d, "dXMaximum", "250");
        SetChecked(d, "bYLog", true);
        EXPECT_FALSE(IsShownIn(d, "fYInterval"));
        EXPECT_TRUE(d.findChild<QLineEdit*>("dYMinimum")->isEnabled());
        Ok(d);
    });
    ASSERT_TRUE(prompter.EditDialog(values));
    EXPECT_EQ(values.dXMaximum, 250.0);
    EXPECT_EQ(values.bXFixed, 1);
    EXPECT_EQ(values.bYLog, 1);
    EXPECT_EQ(values.bYFixed, 0);
}

TEST_F(QtPrompterTest, SmallDialogsReturnWhatWasEntered) {
    CSpinValues spin;
    spin.sCaption = "Median filter (de-spike)";
    spin.iValue = 9;
    Answer([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Median filter (de-spike)");
        ClickNamed(d, "up");
        ClickNamed(d, "up");
        EXPECT_EQ(FieldText(d, "iValue"), "11") << "held at the maximum";
        ClickNamed(d, "down");
        Ok(d);
    });
    ASSERT_TRUE(prompter.EditDialog(spin));
    EXPECT_EQ(spin.iValue, 9);

    CDlgMedianFilter median;
    Answer([](QDialog& d) {
        EXPECT_TRUE(IsChecked(d, "length7"));
        SetChecked(d, "length3", true);
        Ok(d);
    });
    ASSERT_TRUE(prompter.EditDialog(median));
    EXPECT_EQ(median.iLength, 3);

    CDlgContourInterval contour;
    Answer([](QDialog& d) {
        SetFieldText(d, "fMinimum", "10");
        SetFieldText(d, "fMaximum", "1000");
        SetFieldText(d, "fInterval", "abc");
        Ok(d);
        SetFieldText(d, "fInterval", "50");
        Ok(d);
    });
    ASSERT_TRUE(prompter.EditDialog(contour));
    EXPECT_EQ(contour.fMaximum, 1000.0f);
    EXPECT_EQ(contour.fInterval, 50.0f);

    CTwoValueInput latLon;
    latLon.sLabel1 = "Latitude (deg.)";
    latLon.dValue1 = 35.200012345;
    Answer([](QDialog& d) {
        EXPECT_EQ(FieldText(d, "dValue1"), "35.200012345") << "no digits lost";
        SetFieldText(d, "dValue2", "139.7");
        Ok(d);
    });
    ASSERT_TRUE(prompter.EditDialog(latLon));
    EXPECT_EQ(latLon.dValue2, 139.7);
}

TEST_F(QtPrompterTest, PropertyDialogEditsTheProjectNameAndCancelKeepsIt) {
    CDlgProperty property;
    property.sProjectName = "North field";
    Answer([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Property");
        EXPECT_EQ(FieldText(d, "sProjectName"), "North field");
        SetFieldText(d, "sProjectName", "River \xE6\x97\xA5 2");
        Ok(d);
    });
    ASSERT_TRUE(prompter.EditDialog(property));
    EXPECT_EQ(property.sProjectName, "River \xE6\x97\xA5 2");
    Answer([](QDialog& d) {
        SetFieldText(d, "sProjectName", "dropped");
        ASSERT_TRUE(ClickNamed(d, "cancel"));
    });
    EXPECT_FALSE(prompter.EditDialog(property));
    EXPECT_EQ(property.sProjectName, "River \xE6\x97\xA5 2");
}

TEST_F(QtPrompterTest, UnknownDialogIsReportedNotSilentlyCancelled) {
    struct CUnknown : CDialogValues {
        std::string DialogName() const override { return "Not built"; }
    } unknown;
    EXPECT_FALSE(prompter.EditDialog(unknown));
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{
                  "The dialog \"Not built\" is not available in this version."});
}

// A survey of two lines with five markers 10 m apart and a reading at every metre.
class EditDialogsTest : public QtPrompterTest {
protected:
    void SetUp() override {
        QtPrompterTest::SetUp();
        for (int l = 0; l < 2; ++l) {
            CGantrelLine& line = *survey.AddLine();
            for (int i = 0; i <= 40; ++i) {
                CGantrelData& d = *line.AddData();
                d.nReceiver = 3;
                d.fDistance = static_cast<float>(i);
                d.dY = i;
            }
            for (int j = 0; j < 5; ++j) {
                CMarkerData& m = *line.AddMarker();
                m.dY = 10.0 * j;
                m.fDistance = static_cast<float>(m.dY);
            }
            line.UpdateMaxReceiver();
            line.UpdateRange();
        }
    }
    CGantrelSurvey survey;
};

// Texts of a shown dialog's labels and buttons that are drawn narrower than they need.
std::vector<std::string> ClippedTexts(QDialog& d) {
    d.show();
    QApplication::processEvents();
    std::vector<std::string> clipped;
    const auto check = [&](QWidget* w, const QString& text) {
        if (w->isVisible() && !text.isEmpty() && w->width() < w->minimumSizeHint().width())
            clipped.push_back(text.toStdString());
    };
    for (QLabel* l : d.findChildren<QLabel*>())
        if (!l->wordWrap()) check(l, l->text());
    for (QAbstractButton* b : d.findChildren<QAbstractButton*>()) check(b, b->text());
    d.hide();
    return clipped;
}

TEST_F(EditDialogsTest, LineDialogsShowEveryTextWholeInBothLanguages) {
    for (int language : {kLanguageEnglish, kLanguageJapanese}) {
        SCOPED_TRACE(language);
        SetLanguage(language);
        // The list of lines, then the first line's own dialog from its "Edit" button.
        Answer([](QDialog& d) {
            EXPECT_EQ(ClippedTexts(d), std::vector<std::string>{});
            ClickNamed(d, "edit0");
            d.reject();
        });
        Answer([](QDialog& d) {
            SetChecked(d, "bDifferentSize", true);
            EXPECT_EQ(ClippedTexts(d), std::vector<std::string>{});
            d.reject();
        });
        RunEditOriginalData(survey, prompter);
    }
    SetLanguage(kLanguageEnglish);
}

TEST_F(EditDialogsTest, OriginalDataButtonsReverseDeleteAndEditLines) {
    Answer([](QDialog& d) {
        EXPECT_EQ(FieldText(d, "lineCount"), "2");
        EXPECT_EQ(FieldText(d, "cell0_3"), "40.00");
        EXPECT_FALSE(d.findChild<QPushButton*>("delete2")->isEnabled()) << "empty row";
        EXPECT_EQ(FieldText(d, "direction1"), "Forward");
        ClickNamed(d, "direction1");
        EXPECT_EQ(FieldText(d, "direction1"), "Reverse");
        // "Edit" opens the line's own dialog, answered next.
        ClickNamed(d, "edit1");
        ClickNamed(d, "delete0");
        EXPECT_EQ(FieldText(d, "lineCount"), "1");
        Ok(d);
    });
    Answer([](QDialog& d) {
        EXPECT_EQ(FieldText(d, "lineIndex"), "1");
        EXPECT_EQ(FieldText(d, "markerCount"), "5");
        EXPECT_FALSE(IsShownIn(d, "receiverUse3")) << "the line has three receivers";
        ClickNamed(d, "deleteMarker0");  // the first marker stays
        ClickNamed(d, "deleteMarker2");
        EXPECT_EQ(FieldText(d, "markerCount"), "4");
        SetChecked(d, "receiverUse1", false);
        Ok(d);
    });
    Answer([](QDialog& d) { ClickButton(d, "OK"); });  // "Are you sure you want to delete a line?"
    EXPECT_TRUE(RunEditOriginalData(survey, prompter));
    ASSERT_EQ(survey.nLine, 1);
    const CGantrelLine& left = survey.Line(0);
    EXPECT_EQ(left.bReverse, 1);
    EXPECT_EQ(left.nMarker(), 4);
    EXPECT_EQ(left.bReceiverUse[1], 0);
    const auto messages = prompter.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], CannotDeleteMarker());
    EXPECT_EQ(messages[1], DeleteLineQuestion());
}

TEST_F(EditDialogsTest, EachLineMovesMarkersAndSetsTheGeometry) {
    CEditEachLineModel model(survey, 0, prompter);
    CEditEachLineValues values;
    values.pModel = &model;
    Answer([](QDialog& d) {
        EXPECT_EQ(FieldText(d, "markerDistance1"), "10.00");
        ClickNamed(d, "editMarker1");
        EXPECT_EQ(FieldText(d, "markerDistance1"), "12.00");
        EXPECT_EQ(FieldText(d, "markerDistance2"), "22.00");
        SetChecked(d, "bDifferentSize", true);
        EXPECT_EQ(d.findChild<QGroupBox*>("transmitterGroup")->title(), "Transmit. dipole size");
        SetChecked(d, "txDipole4", true);
        SetChecked(d, "rxDipole3", true);
        SetFieldText(d, "fRopeLength", "5");
        ClickNamed(d, "set");
        ClickNamed(d, "next");
        EXPECT_EQ(FieldText(d, "lineIndex"), "1");
        Ok(d);
    });
    Answer([](QDialog& d) {
        EXPECT_EQ(FieldText(d, "dDistance"), "10");
        SetFieldText(d, "dDistance", "12");
        SetChecked(d, "bShiftFollowing", true);
        Ok(d);
    });
    ASSERT_TRUE(prompter.EditDialog(values));
    model.Commit();
    const CGantrelLine& line = survey.Line(0);
    EXPECT_EQ(line.pMarker[2].dY, 22.0);
    EXPECT_EQ(line.pGeometry->iDipoleIndex, 4);
    EXPECT_EQ(line.pGeometry->fRopeLength, 5.0f);
    EXPECT_FALSE(model.onPreviewChanged) << "the closed dialog no longer listens";
}

}  // namespace
