// Dialogs of the model commands: the initial model and the inversion parameters.
#include "apps/brivane/dialogs/dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <algorithm>
#include <memory>

#include "common/language.h"
#include "common/text_format.h"
#include "analysis/initial_model.h"
#include "analysis/inversion.h"
#include "analysis/smoothing.h"
#include "processing/analysis_commands.h"
#include "platform/qt_form.h"

bool InitialModelDialog(CQtPrompter& prompter, CDlgInitialModel& values) {
    CForm f(prompter.Parent(), Q(values.DialogName()));
    auto* group = new QButtonGroup(&f.dialog);
    const char* modes[] = {"Constant resistivity (all)", "Constant resistivity (vertical)",
                           "Apparent resistivity"};
    for (int m = 0; m < 3; ++m) {
        auto* radio = new QRadioButton(Q(modes[m]));
        radio->setObjectName(QString("mode%1").arg(m));
        group->addButton(radio, m);
        f.layout->addWidget(radio);
    }
    if (QAbstractButton* b = group->button(values.iMode)) b->setChecked(true);
    QFormLayout* form = f.AddFormLayout();
    QLineEdit* rho = CForm::Field(form, "Resistivity", "fResistivity",
                                  FloatFieldText(values.fResistivity), "Ohm-m");
    QLineEdit* depth = CForm::Field(form, "Depth", "fDepth", FloatFieldText(values.fDepth), "m");
    QLineEdit* layers =
        CForm::Field(form, "Number of layers", "nLayer", QString::number(values.nLayer));
    CDlgInitialModel result = values;
    f.Finish([&] {
        CFieldReader read(prompter);
        if (!read.Float(rho, result.fResistivity) || !read.Float(depth, result.fDepth) ||
            !read.Int(layers, result.nLayer))
            return false;
        if (group->checkedId() >= 0) result.iMode = group->checkedId();
        const std::string error = result.Validate();
        if (!error.empty()) {
            prompter.Message(error);
            return false;
        }
        return true;
    });
    if (prompter.Exec(f.dialog) != QDialog::Accepted) return false;
    values = result;
    return true;
}

namespace {

QString LsmFieldName(LsmField field) {
    switch (field) {
        case LsmField::Iteration:
            return "nIteration";
        case LsmField::Alpha:
            return "dAlpha";
        case LsmField::Regularization:
            return "dRegularization";
        case LsmField::Beta:
            return "dBeta";
        case LsmField::Damping:
            return "dDamping";
        case LsmField::Difference:
            return "dDifference";
        case LsmField::Constraint:
            return "bConstraint";
        case LsmField::MinResistivity:
            return "fMinResistivity";
        case LsmField::MinUnit:
            return "sMinUnit";
        case LsmField::MaxResistivity:
            return "fMaxResistivity";
        case LsmField::MaxUnit:
            return "sMaxUnit";
        case LsmField::WeightingForQuality:
            return "bWeightingForQuality";
        case LsmField::RobustEstimation:
            return "bRobustEstimation";
        case LsmField::KeepFirstLayer:
            return "bKeepFirstLayer";
        case LsmField::SaveMatrixInformation:
            return "bSaveMatrixInformation";
        case LsmField::Jacobian:
            return "iJacobian";
    }
    return {};
}

}  // namespace

bool LsmDialog(CQtPrompter& prompter, CDlgLsm& values) {
    CForm f(prompter.Parent(), Q(values.DialogName()));
    CDlgLsm result = values;
    QFormLayout* form = f.AddFormLayout();
    // Widgets of every field (the field and its label) for the advanced toggle.
    std::vector<std::pair<LsmField, std::vector<QWidget*>>> widgets;
    auto addEdit = [&](LsmField field, const QString& text) {
        auto* edit = new QLineEdit(text);
        edit->setObjectName(LsmFieldName(field));
        auto* label = new QLabel(Q(CDlgLsm::Label(field)));
        form->addRow(label, edit);
        widgets.push_back({field, {label, edit}});
        return edit;
    };
    QLineEdit* iteration = addEdit(LsmField::Iteration, QString::number(values.nIteration));
    QLineEdit* alpha = addEdit(LsmField::Alpha, DoubleFieldText(values.dAlpha));
    QLineEdit* regularization =
        addEdit(LsmField::Regularization, DoubleFieldText(values.dRegularization));
    QLineEdit* beta = addEdit(LsmField::Beta, DoubleFieldText(values.dBeta));
    QLineEdit* damping = addEdit(LsmField::Damping, DoubleFieldText(values.dDamping));
    QLineEdit* difference = addEdit(LsmField::Difference, DoubleFieldText(values.dDifference));

    auto* constraint = new QGroupBox(Q(CDlgLsm::ConstraintGroupText()));
    constraint->setObjectName("constraintGroup");
    auto* cform = new QFormLayout(constraint);
    auto* yes = new QCheckBox(Q(CDlgLsm::Label(LsmField::Constraint)));
    yes->setObjectName(LsmFieldName(LsmField::Constraint));
    yes->setChecked(values.bConstraint == 1);
    cform->addRow(yes);
    auto unitRow = [&](LsmField field, LsmField unitField, float value, const std::string& unit) {
        auto* edit = new QLineEdit(FloatFieldText(value));
        edit->setObjectName(LsmFieldName(field));
        auto* unitEdit = new QLineEdit(Q(unit));
        unitEdit->setObjectName(LsmFieldName(unitField));
        unitEdit->setReadOnly(true);
        auto* row = new QHBoxLayout;
        row->addWidget(edit);
        row->addWidget(unitEdit);
        auto* label = new QLabel(Q(CDlgLsm::Label(field)));
        cform->addRow(label, row);
        widgets.push_back({field, {label, edit}});
        widgets.push_back({unitField, {unitEdit}});
        return edit;
    };
    QLineEdit* minRho = unitRow(LsmField::MinResistivity, LsmField::MinUnit, values.fMinResistivity,
                                values.sMinUnit);
    QLineEdit* maxRho = unitRow(LsmField::MaxResistivity, LsmField::MaxUnit, values.fMaxResistivity,
                                values.sMaxUnit);
    f.layout->addWidget(constraint);
    widgets.push_back({LsmField::Constraint, {constraint, yes}});

    auto check = [&](LsmField field, int value) {
        auto* box = new QCheckBox(Q(CDlgLsm::Label(field)));
        box->setObjectName(LsmFieldName(field));
        box->setChecked(value == 1);
        f.layout->addWidget(box);
        widgets.push_back({field, {box}});
        return box;
    };
    QCheckBox* weighting = check(LsmField::WeightingForQuality, values.bWeightingForQuality);
    QCheckBox* robust = check(LsmField::RobustEstimation, values.bRobustEstimation);
    QCheckBox* keepFirst = check(LsmField::KeepFirstLayer, values.bKeepFirstLayer);
    QCheckBox* saveMatrix = check(LsmField::SaveMatrixInformation, values.bSaveMatrixInformation);
    auto* jacobian = new QComboBox;
    jacobian->setObjectName(LsmFieldName(LsmField::Jacobian));
    for (int j : {kJacobianDifference, kJacobianExact})
        jacobian->addItem(Q(CDlgLsm::JacobianChoiceText(j)), j);
    jacobian->setCurrentIndex(values.iJacobian == kJacobianExact ? 1 : 0);
    auto* jacobianLabel = new QLabel(Q(CDlgLsm::Label(LsmField::Jacobian)));
    QFormLayout* jform = f.AddFormLayout();
    jform->addRow(jacobianLabel, jacobian);
    widgets.push_back({LsmField::Jacobian, {jacobianLabel, jacobian}});

    auto* advanced = new QPushButton(Q(CDlgLsm::AdvancedButtonText()));
    advanced->setObjectName("advanced");
    f.layout->addWidget(advanced);
    auto applyVisibility = [&widgets, &result] {
        for (auto& [field, list] : widgets)
            for (QWidget* w : list) w->setHidden(!result.IsVisible(field));
    };
    QObject::connect(advanced, &QPushButton::clicked, &f.dialog, [&] {
        result.ToggleAdvanced();
        applyVisibility();
    });
    applyVisibility();

    f.Finish([&] {
        CFieldReader read(prompter);
        if (!read.Int(iteration, result.nIteration) || !read.Double(alpha, result.dAlpha) ||
            !read.Double(regularization, result.dRegularization) ||
            !read.Double(beta, result.dBeta) || !read.Double(damping, result.dDamping) ||
            !read.Double(difference, result.dDifference) ||
            !read.Float(minRho, result.fMinResistivity) ||
            !read.Float(maxRho, result.fMaxResistivity))
            return false;
        result.bConstraint = yes->isChecked() ? 1 : 0;
        result.bWeightingForQuality = weighting->isChecked() ? 1 : 0;
        result.bRobustEstimation = robust->isChecked() ? 1 : 0;
        result.bKeepFirstLayer = keepFirst->isChecked() ? 1 : 0;
        result.bSaveMatrixInformation = saveMatrix->isChecked() ? 1 : 0;
        result.iJacobian = jacobian->currentData().toInt();
        // The command's own rule, so that a refusal keeps the dialog open with what was typed.
        const std::string error = result.Validate();
        if (!error.empty()) {
            prompter.Message(error);
            return false;
        }
        return true;
    });
    if (prompter.Exec(f.dialog) != QDialog::Accepted) return false;
    values = result;
    return true;
}
