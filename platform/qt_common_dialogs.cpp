#include "platform/qt_common_dialogs.h"

#include <QFormLayout>
#include <QLineEdit>

#include "common/color_scale.h"
#include "common/language.h"
#include "platform/qt_form.h"

bool ContourIntervalDialog(CQtPrompter& prompter, CDlgContourInterval& values) {
    CForm f(prompter.Parent(), Q(values.DialogName()));
    QFormLayout* form = f.AddFormLayout();
    QLineEdit* minimum =
        CForm::Field(form, Q(Tr("Minimum", "最小値")), "fMinimum", FloatFieldText(values.fMinimum));
    QLineEdit* maximum =
        CForm::Field(form, Q(Tr("Maximum", "最大値")), "fMaximum", FloatFieldText(values.fMaximum));
    QLineEdit* interval = CForm::Field(form, Q(Tr("Interval", "間隔")), "fInterval",
                                       FloatFieldText(values.fInterval));
    CDlgContourInterval result = values;
    f.Finish([&] {
        CFieldReader read(prompter);
        return read.Float(minimum, result.fMinimum) && read.Float(maximum, result.fMaximum) &&
               read.Float(interval, result.fInterval);
    });
    if (prompter.Exec(f.dialog) != QDialog::Accepted) return false;
    values = result;
    return true;
}
