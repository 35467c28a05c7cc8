// "Open Gantrel data file (*.sto, *.stn)": replaces the current survey with the lines of one
// or more survey or mapping files, asks for the survey configuration and assigns distances.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include <filesystem>

#include "processing/document.h"

// The configuration a new view starts with ("iSurveyConfiguration" when nothing is stored).
inline constexpr int kDefaultSurveyConfiguration = 2;

// The "Survey configuration" dialog: the radio button chosen (0..5).
struct CSurveyConfigurationValues : CDialogValues {
    int iSurveyConfiguration = kDefaultSurveyConfiguration;
    std::string DialogName() const override { return "Survey configuration"; }
};

// Largest marker spacing taken, m: markers are placed at multiples of it in single precision,
// and a kilometre-long stretch between two marks is already a typing error.
inline constexpr double kMaxMarkerSpacing = 1.0e6;
// Why a marker spacing is refused, in the current language: not above 0, above
// kMaxMarkerSpacing, or not a number. Empty when it is taken. The window's prompt and the
// batch line's --marker-spacing apply this one rule.
std::string MarkerSpacingRefusal(double dSpacing);

// The value of the first run of decimal digits in a file name (the name alone, not its
// folder); nullopt when the name has no digits or the run does not fit an int.
std::optional<int> FileIndexFromName(std::string_view fileName);

// Appends the averaged sounding of a line (configuration 5): per receiver, the geometric mean
// of its apparent resistivities. Returns the number of points added.
int AddAveragedSounding(const CGantrelLine& line, CSoundingData& sounding);

// What the command says when none of the files chosen gave a line: "%s holds no survey
// data." for one file, else "None of the %d files holds survey data.", and with bKept that
// the survey loaded before stays.
std::string NoSurveyDataMessage(const std::vector<std::filesystem::path>& files, bool bKept);

// The averaged sounding as the store's only data column (at 0 m, dipole rows: dipole size the
// half receiver dipole, N its n-factor, observed its resistivity, averaged its count); the
// model is emptied. Returns the rows, or -1 (store unchanged) when there are more points than
// a column holds or the store is not allocated.
int StoreAveragedSounding(const CSoundingData& sounding, CTrevascDataOhm& store);

// The command itself. New survey data replace the survey and empty the section and model
// store and the averaged sounding; one Undo gives all of them back (CBrivaneDoc::
// SaveOpenForUndo). When no file gives a line, or the file dialog is cancelled, the document
// stays as it was.
void OpenGantrelDataFile(CBrivaneContext& ctx);

// The marker path of the open on the survey as it stands: distances from the markers when
// they carry real distances, else the marker spacing question, the "Edit original data"
// dialog and the two-dimensional apparent resistivity display.
void RunMarkerPath(CBrivaneContext& ctx);
