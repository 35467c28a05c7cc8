#include "apps/brivane/dialogs/dialogs.h"

#include "analysis/initial_model.h"
#include "analysis/inversion.h"
#include "analysis/smoothing.h"
#include "common/axes.h"
#include "common/color_scale.h"
#include "common/serial_port_table.h"
#include "positioning/positioning.h"
#include "processing/database_commands.h"
#include "processing/line_editing.h"
#include "processing/open_survey.h"

void InstallBrivaneDialogs(CQtPrompter& prompter) {
    prompter.SetDialogHandler(ShowBrivaneDialog);
}

std::optional<bool> ShowBrivaneDialog(CQtPrompter& prompter, CDialogValues& values) {
    if (auto* v = dynamic_cast<CSurveyConfigurationValues*>(&values))
        return SurveyConfigurationDialog(prompter, *v);
    if (auto* v = dynamic_cast<CDlgInitialModel*>(&values))
        return InitialModelDialog(prompter, *v);
    if (auto* v = dynamic_cast<CDlgLsm*>(&values)) return LsmDialog(prompter, *v);
    if (auto* v = dynamic_cast<CDlgMedianFilter*>(&values))
        return MedianFilterDialog(prompter, *v);
    if (auto* v = dynamic_cast<CSpinValues*>(&values)) return SpinDialog(prompter, *v);
    if (auto* v = dynamic_cast<CDlgContourInterval*>(&values))
        return ContourIntervalDialog(prompter, *v);
    if (auto* v = dynamic_cast<CDlgManualAxis*>(&values)) return ManualAxisDialog(prompter, *v);
    if (auto* v = dynamic_cast<CTwoValueInput*>(&values)) return TwoValueDialog(prompter, *v);
    if (auto* v = dynamic_cast<CEditMarkerValues*>(&values))
        return EditMarkerDialog(prompter, *v);
    if (auto* v = dynamic_cast<CEditEachLineValues*>(&values))
        return EditEachLineDialog(prompter, *v);
    if (auto* v = dynamic_cast<CEditOriginalDataValues*>(&values))
        return EditOriginalDataDialog(prompter, *v);
    if (auto* v = dynamic_cast<CDlgProperty*>(&values)) return PropertyDialog(prompter, *v);
    if (auto* v = dynamic_cast<CDlgRS232C*>(&values)) return SerialPortDialog(prompter, *v);
    return std::nullopt;
}
