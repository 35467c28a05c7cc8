// Dialogs of the positioning commands: the survey configuration, the two-value input of a
// flag position, and the marker editor.
#include "apps/brivane/dialogs/dialogs.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>
#include <algorithm>
#include <memory>

#include "common/language.h"
#include "common/text_format.h"
#include "processing/line_editing.h"
#include "processing/open_survey.h"
#include "positioning/positioning.h"
#include "platform/qt_form.h"

bool SurveyConfigurationDialog(CQtPrompter& prompter, CSurveyConfigurationValues& values) {
    CForm f(prompter.Parent(), Q(values.DialogName()));
    auto* group = new QButtonGroup(&f.dialog);
    struct Choice {
        int value;
        const char* box;
        const char* text;
        bool hidden;
    };
    const Choice choices[] = {
        {0, "Single line", "Use markers", false},
        {1, "Single line", "Fit a straight line", false},
        {2, "Single line", "Set line based on GPS", false},
        {3, "Mapped survey", "Use markers", true},
        {4, "Mapped survey", "Fit straight lines", false},
        {5, "Other survey", "1D survey", false},
    };
    QGroupBox* box = nullptr;
    QVBoxLayout* boxLayout = nullptr;
    for (const Choice& c : choices) {
        if (box == nullptr || box->title() != Q(c.box)) {
            box = new QGroupBox(Q(c.box));
            boxLayout = new QVBoxLayout(box);
            f.layout->addWidget(box);
        }
        auto* radio = new QRadioButton(Q(c.text));
        radio->setObjectName(QString("configuration%1").arg(c.value));
        radio->setHidden(c.hidden);
        group->addButton(radio, c.value);
        boxLayout->addWidget(radio);
    }
    // A stored value without a button of its own (a damaged setting) preselects the
    // configuration a new view starts with, so that OK cannot return a choice never shown.
    QAbstractButton* preselected = group->button(values.iSurveyConfiguration);
    if (preselected == nullptr) preselected = group->button(kDefaultSurveyConfiguration);
    if (preselected != nullptr) preselected->setChecked(true);
    f.Finish({});
    if (prompter.Exec(f.dialog) != QDialog::Accepted) return false;
    if (group->checkedId() >= 0) values.iSurveyConfiguration = group->checkedId();
    return true;
}


bool TwoValueDialog(CQtPrompter& prompter, CTwoValueInput& values) {
    CForm f(prompter.Parent(), Q(values.DialogName()));
    QFormLayout* form = f.AddFormLayout();
    QLineEdit* first =
        CForm::Field(form, Q(values.sLabel1), "dValue1", DoubleFieldText(values.dValue1));
    QLineEdit* second =
        CForm::Field(form, Q(values.sLabel2), "dValue2", DoubleFieldText(values.dValue2));
    CTwoValueInput result = values;
    f.Finish([&] {
        CFieldReader read(prompter);
        return read.Double(first, result.dValue1) && read.Double(second, result.dValue2);
    });
    if (prompter.Exec(f.dialog) != QDialog::Accepted) return false;
    values.dValue1 = result.dValue1;
    values.dValue2 = result.dValue2;
    return true;
}

bool EditMarkerDialog(CQtPrompter& prompter, CEditMarkerValues& values) {
    CForm f(prompter.Parent(), Q(EditDialogText(EditText::EditMarker)));
    QFormLayout* form = f.AddFormLayout();
    QLineEdit* distance = CForm::Field(form, Q(EditDialogText(EditText::MarkerDistance)),
                                       "dDistance", DoubleFieldText(values.dDistance), "m");
    auto* shift = new QCheckBox(Q(EditDialogText(EditText::ShiftFollowing)));
    shift->setObjectName("bShiftFollowing");
    shift->setChecked(values.bShiftFollowing == 1);
    form->addRow(shift);
    double d = values.dDistance;
    f.Finish([&] { return CFieldReader(prompter).Double(distance, d); });
    if (prompter.Exec(f.dialog) != QDialog::Accepted) return false;
    values.dDistance = d;
    values.bShiftFollowing = shift->isChecked() ? 1 : 0;
    return true;
}
