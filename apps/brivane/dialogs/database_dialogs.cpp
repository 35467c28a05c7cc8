// Dialogs of the database commands: the survey's "Property".
#include "apps/brivane/dialogs/dialogs.h"

#include "platform/qt_form.h"
#include "processing/database_commands.h"

bool PropertyDialog(CQtPrompter& prompter, CDlgProperty& values) {
    CForm f(prompter.Parent(), Q(values.DialogName()));
    QFormLayout* form = f.AddFormLayout();
    QLineEdit* name = CForm::Field(form, Q(Tr("Project name", "プロジェクト名")), "sProjectName",
                                   Q(values.sProjectName));
    f.Finish({});
    if (prompter.Exec(f.dialog) != QDialog::Accepted) return false;
    values.sProjectName = S(name->text());
    return true;
}
