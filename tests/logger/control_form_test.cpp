// What the control form shows after each step of a line and for the latest reading.
#include <gtest/gtest.h>

#include "logger/control_form.h"
#include "tests/logger/logger_support.h"

namespace loggertest {
namespace {

using ControlForm = DocTest;

TEST_F(ControlForm, StartsGreyWithNumbersNotNegative) {
    MakeDoc();
    CControlFormValues v;
    RefreshControlForm(v, *doc);
    EXPECT_EQ(v.Text(kIdcLineID), "0") << "line ID -1 shows as 0";
    EXPECT_EQ(v.Text(kIdcMark), "0");
    EXPECT_EQ(v.Text(kIdcFileID), "0");
    EXPECT_EQ(v.Text(kIdcGantrel), "Start Gantrel");
    EXPECT_EQ(v.Text(kIdcGPS), "Start GPS");
    for (int id : {kIdcEndLine, kIdcStartMark, kIdcPause}) {
        EXPECT_EQ(v.Text(id), "N/A");
        EXPECT_EQ(v.Button(id)->color, kButtonGrey);
    }
    EXPECT_EQ(v.Text(kIdcFilePath), (dir / "gant_0000.sto").string());
    EXPECT_EQ(v.Text(kIdcTransmitterLevel), "") << "no reading yet";
    EXPECT_EQ(v.Text(kIdcDipoleLabel), "Dipole size");
    EXPECT_EQ(v.Text(kIdcTransmitterDipole), "5.0");
    EXPECT_FALSE(v.bReceiverDipoleShown);
    EXPECT_EQ(v.Text(kIdcRopeLength), "5.0");
    EXPECT_EQ(v.Text(kIdcOffset), "7.5");
    for (bool b : v.bWindowButtonEnabled) EXPECT_TRUE(b);
}

TEST_F(ControlForm, ButtonsAndFieldsThroughALine) {
    MakeDoc();
    CPty pty;
    StartGantrel(pty);
    CControlFormValues v;
    RefreshControlForm(v, *doc);
    EXPECT_EQ(v.Text(kIdcGantrel), "Stop Gantrel");
    EXPECT_EQ(v.Button(kIdcGantrel)->color, kButtonGreen);
    EXPECT_EQ(v.Text(kIdcStartMark), "START (M)");

    doc->OnKey('M');
    doc->OnKey('M');
    RefreshControlForm(v, *doc);
    EXPECT_EQ(v.Text(kIdcStartMark), "MARK (M)");
    EXPECT_EQ(v.Text(kIdcEndLine), "END LINE (E)");
    EXPECT_EQ(v.Button(kIdcEndLine)->color, kButtonRed);
    EXPECT_EQ(v.Text(kIdcPause), "PAUSE (P)");
    EXPECT_EQ(v.Button(kIdcPause)->color, kButtonYellow);
    EXPECT_FALSE(v.Button(kIdcGantrel)->bEnabled);
    EXPECT_FALSE(v.bSetUpGeometryEnabled);
    EXPECT_EQ(v.Text(kIdcMark), "1");
    EXPECT_EQ(v.Text(kIdcDataLines), ">>Start acquisition \r\n>>Marker (1) \r\n");

    doc->OnKey('P');
    RefreshControlForm(v, *doc);
    EXPECT_EQ(v.Text(kIdcPause), "Re-START (P)");
    EXPECT_EQ(v.Button(kIdcPause)->color, kButtonGreen);
    EXPECT_EQ(v.Text(kIdcStartMark), "N/A");

    doc->OnKey('E');
    RefreshControlForm(v, *doc);
    EXPECT_EQ(v.Text(kIdcStartMark), "START (M)");
    EXPECT_EQ(v.Text(kIdcEndLine), "N/A");
    EXPECT_EQ(v.Text(kIdcPause), "N/A");
    EXPECT_TRUE(v.Button(kIdcGantrel)->bEnabled);
    EXPECT_TRUE(v.bSetUpGeometryEnabled);
    EXPECT_EQ(v.Text(kIdcMark), "2");
}

TEST_F(ControlForm, LatestReadingFieldsAndTheEmptyRingRule) {
    MakeDoc();
    CControlFormValues v;
    AddReading(3, 0, 2.0);
    RefreshControlForm(v, *doc);
    EXPECT_EQ(v.Text(kIdcTransmitterLevel), "13.50");
    EXPECT_EQ(v.Text(kIdcReceiverLevel1), "13.10");
    EXPECT_EQ(v.Text(kIdcReceiverLevel1 + 2), "13.10");
    EXPECT_EQ(v.Text(kIdcReceiverLevel1 + 3), "") << "receivers beyond n are empty";
    EXPECT_EQ(v.Text(kIdcFirstStatus1), "2");
    EXPECT_EQ(v.Text(kIdcSecondStatus1 + 1), "4");
    EXPECT_EQ(v.Text(kIdcSecondStatus1 + 4), "");

    AddReading(1, 0);
    RefreshControlForm(v, *doc);
    EXPECT_EQ(v.Text(kIdcReceiverLevel1 + 1), "") << "fewer receivers clear the rest";

    // A fresh document has an empty ring: the fields keep what the form showed.
    CControlFormValues kept = v;
    doc.reset();
    MakeDoc();
    RefreshControlForm(kept, *doc);
    EXPECT_EQ(kept.Text(kIdcTransmitterLevel), "13.50");
}

TEST_F(ControlForm, DifferentDipoleSizesShowTheReceiverSize) {
    WriteSettingInt("GeometrybDifferentSize", 1);
    WriteSettingInt("GeometryiDipoleIndexReceiver", 4);
    MakeDoc();
    CControlFormValues v;
    RefreshControlForm(v, *doc);
    EXPECT_EQ(v.Text(kIdcDipoleLabel), "Transmitter dipole size");
    EXPECT_TRUE(v.bReceiverDipoleShown);
    EXPECT_EQ(v.Text(kIdcTransmitterDipole), "5.0");
    EXPECT_EQ(v.Text(kIdcReceiverDipole), "10.0");
    doc->ToggleJapanese();
    RefreshControlForm(v, *doc);
    EXPECT_EQ(v.Text(kIdcDipoleLabel), "送信ﾀﾞｲﾎﾟｰﾙ・ｻｲｽﾞ");
}

TEST_F(ControlForm, WindowButtonsAreDisabledWhileTheirWindowIsOpen) {
    MakeDoc();
    CControlFormValues v;
    doc->OpenWindow(WindowOfFormButton(kIdcModelWindow));
    RefreshControlForm(v, *doc);
    EXPECT_FALSE(v.bWindowButtonEnabled[kModelWindow]);
    EXPECT_TRUE(v.bWindowButtonEnabled[kProfileWindow]);
    doc->WindowClosed(kModelWindow);
    RefreshControlForm(v, *doc);
    EXPECT_TRUE(v.bWindowButtonEnabled[kModelWindow]);
    EXPECT_EQ(WindowOfFormButton(kIdcGantrel), -1);
}

}  // namespace
}  // namespace loggertest
