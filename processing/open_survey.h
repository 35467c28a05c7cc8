// "Open Gantrel data file (*.sto, *.stn)": replaces the current survey with the lines of one
// or more survey or mapping files, asks for the survey configuration and assigns distances.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "processing/document.h"

// The configuration a new view starts with ("iSurveyConfiguration" when nothing is stored).
inline constexpr int kDefaultSurveyConfiguration = 2;

// The "Survey configuration" dialog: the radio button chosen (0..5).
struct CSurveyConfigurationValues : CDialogValues {
    int iSurveyConfiguration = kDefaultSurveyConfiguration;
    std::string DialogName() const override { return "Survey configuration"; }
};

// The value of the first run of decimal digits in a file name (the name alone, not its
// folder); nullopt when the name has no digits or the run does not fit an int.
std::optional<int> FileIndexFromName(std::string_view fileName);

// Appends the averaged sounding of a line (configuration 5): per receiver, the geometric mean
// of its apparent resistivities. Returns the number of points added.
int AddAveragedSounding(const CGantrelLine& line, CSoundingData& sounding);

// The command itself.
void OpenGantrelDataFile(CBrivaneContext& ctx);
