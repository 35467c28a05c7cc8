#include "platform/qt_prompter.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "analysis/initial_model.h"
#include "analysis/inversion.h"
#include "analysis/smoothing.h"
#include "common/axes.h"
#include "common/color_scale.h"
#include "common/language.h"
#include "common/text_format.h"
#include "display/line_view.h"
#include "platform/qt_canvas.h"
#include "processing/line_editing.h"
#include "processing/open_survey.h"
#include "processing/positioning.h"

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
QString Q(const char* s) {
    return QString::fromUtf8(s);
}
std::string S(const QString& s) {
    return s.toStdString();
}

std::filesystem::path PathOf(const QString& s) {
    return std::filesystem::path(s.toStdU16String());
}
QString QPath(const std::filesystem::path& p) {
    return QString::fromStdU16String(p.u16string());
}

QString NumberRequired() {
    return Q(Tr("Please enter a number.", "数値を入力してください。"));
}
QString IntegerRequired() {
    return Q(Tr("Please enter an integer.", "整数を入力してください。"));
}

QString StripMnemonic(QString text) {
    text.remove(QLatin1Char('&'));
    return text;
}

// A dialog with a vertical layout and localised OK and Cancel buttons. onOk decides whether OK
// closes it (a field that does not parse keeps it open, as the user must correct it).
class CForm {
public:
    CForm(QWidget* parent, const QString& title) : dialog(parent) {
        dialog.setWindowTitle(title);
        layout = new QVBoxLayout(&dialog);
    }

    QFormLayout* AddFormLayout(QWidget* into = nullptr) {
        auto* form = new QFormLayout;
        if (into != nullptr) {
            into->setLayout(form);
        } else {
            layout->addLayout(form);
        }
        return form;
    }

    // A line edit named `name` in a form row, with an optional read-only unit after it.
    static QLineEdit* Field(QFormLayout* form, const QString& label, const QString& name,
                            const QString& text, const QString& unit = {}) {
        auto* edit = new QLineEdit(text);
        edit->setObjectName(name);
        if (unit.isEmpty()) {
            form->addRow(label, edit);
        } else {
            auto* row = new QHBoxLayout;
            row->addWidget(edit);
            auto* u = new QLabel(unit);
            row->addWidget(u);
            form->addRow(label, row);
        }
        return edit;
    }

    void Finish(std::function<bool()> onOk) {
        auto* box = new QDialogButtonBox;
        QPushButton* ok = box->addButton(OkText(), QDialogButtonBox::AcceptRole);
        QPushButton* cancel = box->addButton(CancelText(), QDialogButtonBox::RejectRole);
        ok->setObjectName("ok");
        ok->setDefault(true);
        cancel->setObjectName("cancel");
        QObject::connect(box, &QDialogButtonBox::accepted, &dialog, [this, onOk] {
            if (!onOk || onOk()) dialog.accept();
        });
        QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        layout->addWidget(box);
    }

    QDialog dialog;
    QVBoxLayout* layout = nullptr;
};

// Reads fields one after the other; the first that does not parse is reported and takes the
// focus.
class CFieldReader {
public:
    explicit CFieldReader(CQtPrompter& prompter) : prompter_(prompter) {}
    bool Int(QLineEdit* edit, int& value) {
        return Check(edit, ParseIntField(edit->text(), value), IntegerRequired());
    }
    bool Float(QLineEdit* edit, float& value) {
        return Check(edit, ParseFloatField(edit->text(), value), NumberRequired());
    }
    bool Double(QLineEdit* edit, double& value) {
        return Check(edit, ParseDoubleField(edit->text(), value), NumberRequired());
    }

private:
    bool Check(QLineEdit* edit, bool ok, const QString& message) {
        if (!ok) {
            prompter_.Message(S(message));
            edit->setFocus();
            edit->selectAll();
        }
        return ok;
    }
    CQtPrompter& prompter_;
};

// ---------------------------------------------------------------------------------------------
// Command-specific dialogs. Each works on a copy of the values and writes it back on OK.

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

bool InitialModelDialog(CQtPrompter& prompter, CDlgInitialModel& values) {
    CForm f(prompter.Parent(), Q(values.DialogName()));
    auto* group = new QButtonGroup(&f.dialog);
    const char* modes[] = {"Comstant resistivity (all)", "Constant resistivity (vertical)",
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
    }
    return {};
}

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
        return true;
    });
    if (prompter.Exec(f.dialog) != QDialog::Accepted) return false;
    values = result;
    return true;
}

bool MedianFilterDialog(CQtPrompter& prompter, CDlgMedianFilter& values) {
    CForm f(prompter.Parent(), Q(values.DialogName()));
    auto* box = new QGroupBox(Q(CDlgMedianFilter::GroupText()));
    auto* boxLayout = new QVBoxLayout(box);
    auto* group = new QButtonGroup(&f.dialog);
    for (int length : CDlgMedianFilter::kLengths) {
        auto* radio = new QRadioButton(Q(CDlgMedianFilter::ButtonText(length)));
        radio->setObjectName(QString("length%1").arg(length));
        group->addButton(radio, length);
        boxLayout->addWidget(radio);
    }
    if (QAbstractButton* b = group->button(values.iLength)) b->setChecked(true);
    f.layout->addWidget(box);
    f.Finish({});
    if (prompter.Exec(f.dialog) != QDialog::Accepted) return false;
    if (group->checkedId() > 0) values.iLength = group->checkedId();
    return true;
}

bool SpinDialog(CQtPrompter& prompter, CSpinValues& values) {
    CForm f(prompter.Parent(), Q(values.DialogName()));
    CSpinValues result = values;
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(Q(values.sLabel)));
    auto* value = new QLineEdit(QString::number(values.iValue));
    value->setObjectName("iValue");
    value->setReadOnly(true);
    row->addWidget(value);
    auto* up = new QPushButton(Q(EditDialogText(EditText::Up)));
    auto* down = new QPushButton(Q(EditDialogText(EditText::Down)));
    up->setObjectName("up");
    down->setObjectName("down");
    row->addWidget(up);
    row->addWidget(down);
    f.layout->addLayout(row);
    QObject::connect(up, &QPushButton::clicked, &f.dialog, [&] {
        result.Up();
        value->setText(QString::number(result.iValue));
    });
    QObject::connect(down, &QPushButton::clicked, &f.dialog, [&] {
        result.Down();
        value->setText(QString::number(result.iValue));
    });
    f.Finish({});
    if (prompter.Exec(f.dialog) != QDialog::Accepted) return false;
    values.iValue = result.iValue;
    return true;
}

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

bool ManualAxisDialog(CQtPrompter& prompter, CDlgManualAxis& values) {
    CForm f(prompter.Parent(), Q(values.DialogName()));
    auto* grid = new QGridLayout;
    const QString headers[] = {Q(Tr("Minimum", "最小値")), Q(Tr("Maximum", "最大値")),
                               Q(Tr("Interval", "間隔"))};
    for (int c = 0; c < 3; ++c) grid->addWidget(new QLabel(headers[c]), 0, c + 1);
    struct Row {
        QLineEdit* minimum;
        QLineEdit* maximum;
        QLineEdit* interval;
        QCheckBox* log;
        QCheckBox* fixed;
        bool bMinimumEnabled;
    };
    auto makeRow = [&](int r, const QString& axis, const QString& title, double mn, double mx,
                       float step, const std::string& unit, int bLog, bool bLogShown, int bFixed,
                       bool bMinimumEnabled) {
        grid->addWidget(new QLabel(title), r, 0);
        Row row{};
        row.minimum = new QLineEdit(DoubleFieldText(mn));
        row.minimum->setObjectName(QString("d%1Minimum").arg(axis));
        row.maximum = new QLineEdit(DoubleFieldText(mx));
        row.maximum->setObjectName(QString("d%1Maximum").arg(axis));
        row.interval = new QLineEdit(FloatFieldText(step));
        row.interval->setObjectName(QString("f%1Interval").arg(axis));
        grid->addWidget(row.minimum, r, 1);
        grid->addWidget(row.maximum, r, 2);
        grid->addWidget(row.interval, r, 3);
        grid->addWidget(new QLabel(Q(unit)), r, 4);
        row.log = new QCheckBox("Log");
        row.log->setObjectName(QString("b%1Log").arg(axis));
        row.log->setChecked(bLog == 1);
        row.log->setHidden(!bLogShown);
        row.fixed = new QCheckBox(Q(Tr("Fixed", "固定")));
        row.fixed->setObjectName(QString("b%1Fixed").arg(axis));
        row.fixed->setChecked(bFixed == 1);
        grid->addWidget(row.log, r, 5);
        grid->addWidget(row.fixed, r, 6);
        row.bMinimumEnabled = bMinimumEnabled;
        return row;
    };
    Row rows[2] = {
        makeRow(1, "X", Q(Tr("X-axis", "X軸")), values.dXMinimum, values.dXMaximum,
                values.fXInterval, values.sXUnit, values.bXLog, values.bXLogShown, values.bXFixed,
                values.bXMinimumEnabled),
        makeRow(2, "Y", Q(Tr("Y-axis", "Y軸")), values.dYMinimum, values.dYMaximum,
                values.fYInterval, values.sYUnit, values.bYLog, values.bYLogShown, values.bYFixed,
                values.bYMinimumEnabled),
    };
    f.layout->addLayout(grid);
    // A row is read-only while "Fixed" is cleared; the interval is hidden on a logarithmic
    // axis; a disabled minimum comes back on a logarithmic axis.
    auto update = [&rows] {
        for (Row& row : rows) {
            const bool editable = row.fixed->isChecked();
            const bool log = row.log->isChecked();
            row.minimum->setReadOnly(!editable);
            row.maximum->setReadOnly(!editable);
            row.interval->setReadOnly(!editable);
            row.minimum->setEnabled(row.bMinimumEnabled || log);
            row.interval->setHidden(log);
        }
    };
    for (Row& row : rows) {
        QObject::connect(row.fixed, &QCheckBox::toggled, &f.dialog, update);
        QObject::connect(row.log, &QCheckBox::toggled, &f.dialog, update);
    }
    update();
    CDlgManualAxis result = values;
    f.Finish([&] {
        CFieldReader read(prompter);
        if (!read.Double(rows[0].minimum, result.dXMinimum) ||
            !read.Double(rows[0].maximum, result.dXMaximum) ||
            !read.Float(rows[0].interval, result.fXInterval) ||
            !read.Double(rows[1].minimum, result.dYMinimum) ||
            !read.Double(rows[1].maximum, result.dYMaximum) ||
            !read.Float(rows[1].interval, result.fYInterval))
            return false;
        result.bXLog = rows[0].log->isChecked() ? 1 : 0;
        result.bYLog = rows[1].log->isChecked() ? 1 : 0;
        result.bXFixed = rows[0].fixed->isChecked() ? 1 : 0;
        result.bYFixed = rows[1].fixed->isChecked() ? 1 : 0;
        return true;
    });
    if (prompter.Exec(f.dialog) != QDialog::Accepted) return false;
    values = result;
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

// The preview of "Edit each line": the line plot of the copy being edited.
class CLinePreview : public QWidget {
public:
    explicit CLinePreview(const CEditEachLineModel& model) : model_(model), plot_(GetLanguage()) {
        setMinimumSize(560, 260);
        setObjectName("preview");
        // No caption and no legend below or beside the frame: the page margins of the main
        // view would leave a strip of plot this high.
        plot_.parameter.iTopMargin = 130;
        plot_.parameter.iBottomMargin = 30;
        plot_.parameter.iRightMargin = 60;
        // The vertical title starts below the frame's middle and would run out of this strip.
        plot_.axes.bYTitle = 0;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        const double perUnit = logicalDpiX() / 254.0;
        CQtCanvas canvas(painter, perUnit);
        const CClientSize client{static_cast<int>(width() / perUnit),
                                 static_cast<int>(height() / perUnit)};
        int right = 0, bottom = 0;
        plot_.Draw(canvas, model_.Line(), right, bottom, &client);
    }

private:
    const CEditEachLineModel& model_;
    CGantrelLineView plot_;
};

bool EditEachLineDialog(CQtPrompter& prompter, CEditEachLineValues& values) {
    if (values.pModel == nullptr) return false;
    CEditEachLineModel& model = *values.pModel;
    CForm f(prompter.Parent(), Q(EditDialogText(EditText::EditEachLine)));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(Q(EditDialogText(EditText::LineIndex))));
    auto* lineIndex = new QLabel;
    lineIndex->setObjectName("lineIndex");
    top->addWidget(lineIndex);
    top->addWidget(new QLabel(Q(EditDialogText(EditText::MarkerCount))));
    auto* markerCount = new QLabel;
    markerCount->setObjectName("markerCount");
    top->addWidget(markerCount);
    auto* next = new QPushButton(Q(EditDialogText(EditText::Next)));
    auto* back = new QPushButton(Q(EditDialogText(EditText::Back)));
    next->setObjectName("next");
    back->setObjectName("back");
    top->addWidget(back);
    top->addWidget(next);
    top->addStretch();
    f.layout->addLayout(top);

    auto* preview = new CLinePreview(model);
    f.layout->addWidget(preview);
    model.onPreviewChanged = [preview] { preview->update(); };
    struct Detach {
        CEditEachLineModel& m;
        ~Detach() { m.onPreviewChanged = nullptr; }
    } detach{model};

    // Three columns under the preview (markers; receivers and view; geometry) keep the dialog
    // low enough for a laptop screen.
    auto* middle = new QHBoxLayout;
    f.layout->addLayout(middle);

    // Markers, kMarkerRows at a time.
    auto* markers = new QGroupBox(Q(Tr("Markers", "マーカー")));
    auto* markerGrid = new QGridLayout(markers);
    markerGrid->setVerticalSpacing(0);
    markerGrid->addWidget(new QLabel(Q(EditDialogText(EditText::Index))), 0, 0);
    markerGrid->addWidget(new QLabel(Q(EditDialogText(EditText::Distance))), 0, 1);
    constexpr int kRows = CEditEachLineModel::kMarkerRows;
    QLabel* markerIndex[kRows];
    QLabel* markerDistance[kRows];
    QPushButton* markerDelete[kRows];
    QPushButton* markerEdit[kRows];
    for (int r = 0; r < kRows; ++r) {
        markerIndex[r] = new QLabel;
        markerDistance[r] = new QLabel;
        markerDistance[r]->setObjectName(QString("markerDistance%1").arg(r));
        markerDelete[r] = new QPushButton(Q(EditDialogText(EditText::Delete)));
        markerDelete[r]->setObjectName(QString("deleteMarker%1").arg(r));
        markerEdit[r] = new QPushButton(Q(EditDialogText(EditText::Edit)));
        markerEdit[r]->setObjectName(QString("editMarker%1").arg(r));
        // Rows as high as the text: twenty framed buttons would double the table.
        for (QPushButton* b : {markerDelete[r], markerEdit[r]}) {
            b->setFlat(true);
            b->setMaximumHeight(b->fontMetrics().height() + 4);
        }
        markerGrid->addWidget(markerIndex[r], r + 1, 0);
        markerGrid->addWidget(markerDistance[r], r + 1, 1);
        markerGrid->addWidget(markerDelete[r], r + 1, 2);
        markerGrid->addWidget(markerEdit[r], r + 1, 3);
    }
    auto* markerScroll = new QScrollBar(Qt::Vertical);
    markerScroll->setObjectName("firstMarkerRow");
    markerGrid->addWidget(markerScroll, 1, 4, kRows, 1);
    markerGrid->setRowStretch(kRows + 1, 1);  // spare height below the rows, not between
    middle->addWidget(markers);

    auto* centre = new QVBoxLayout;
    middle->addLayout(centre);
    auto* right = new QVBoxLayout;
    middle->addLayout(right);

    auto* active = new QGroupBox(Q(EditDialogText(EditText::Active)));
    auto* activeLayout = new QVBoxLayout(active);
    QCheckBox* receiverUse[kMaxReceiver];
    for (int i = 0; i < kMaxReceiver; ++i) {
        receiverUse[i] = new QCheckBox(Q(ReceiverLabel(i)));
        receiverUse[i]->setObjectName(QString("receiverUse%1").arg(i));
        activeLayout->addWidget(receiverUse[i]);
    }
    centre->addWidget(active);

    auto* geometry = new QGroupBox(Q(EditDialogText(EditText::Geometry)));
    auto* geometryLayout = new QVBoxLayout(geometry);
    auto* txBox = new QGroupBox;
    txBox->setObjectName("transmitterGroup");
    auto* rxBox = new QGroupBox(Q(EditDialogText(EditText::ReceiverDipoleSize)));
    rxBox->setObjectName("receiverGroup");
    auto* tx = new QButtonGroup(&f.dialog);
    auto* rx = new QButtonGroup(&f.dialog);
    auto fillSizes = [](QGroupBox* box, QButtonGroup* group, const char* prefix) {
        auto* grid = new QGridLayout(box);
        for (int k = 0; k < 11; ++k) {
            auto* radio = new QRadioButton(Q(DipoleSizeLabel(k)));
            radio->setObjectName(QString("%1%2").arg(prefix).arg(k));
            group->addButton(radio, k);
            grid->addWidget(radio, k / 4, k % 4);
        }
    };
    fillSizes(txBox, tx, "txDipole");
    fillSizes(rxBox, rx, "rxDipole");
    auto* different = new QCheckBox(Q(EditDialogText(EditText::DifferentSizes)));
    different->setObjectName("bDifferentSize");
    geometryLayout->addWidget(txBox);
    geometryLayout->addWidget(different);
    geometryLayout->addWidget(rxBox);
    auto* geometryForm = new QFormLayout;
    geometryLayout->addLayout(geometryForm);
    auto* factorRow = new QHBoxLayout;
    QLineEdit* factor[kMaxReceiver];
    for (int i = 0; i < kMaxReceiver; ++i) {
        factor[i] = new QLineEdit;
        factor[i]->setObjectName(QString("receiverFactor%1").arg(i));
        factorRow->addWidget(factor[i]);
    }
    geometryForm->addRow(Q(EditDialogText(EditText::ReceiverMultiplier)), factorRow);
    QLineEdit* rope =
        CForm::Field(geometryForm, Q(EditDialogText(EditText::RopeLength)), "fRopeLength", {}, "m");
    QLineEdit* offset =
        CForm::Field(geometryForm, Q(EditDialogText(EditText::OperatorOffset)), "fOffset", {}, "m");
    auto* set = new QPushButton(Q(EditDialogText(EditText::Set)));
    set->setObjectName("set");
    geometryLayout->addWidget(set);
    right->addWidget(geometry);

    auto* view = new QGroupBox(Q(EditDialogText(EditText::View)));
    auto* viewLayout = new QGridLayout(view);
    auto* showAll = new QCheckBox(Q(EditDialogText(EditText::ShowAllReceivers)));
    showAll->setObjectName("bShowAllReceivers");
    auto* shown = new QLabel;
    shown->setObjectName("shownReceiver");
    auto* up = new QPushButton(Q(EditDialogText(EditText::Up)));
    auto* down = new QPushButton(Q(EditDialogText(EditText::Down)));
    up->setObjectName("up");
    down->setObjectName("down");
    viewLayout->addWidget(showAll, 0, 0, 1, 3);
    viewLayout->addWidget(shown, 1, 0);
    viewLayout->addWidget(up, 1, 1);
    viewLayout->addWidget(down, 1, 2);
    centre->addWidget(view);
    centre->addStretch();
    right->addStretch();

    // Controls follow the model after every button; `loading` keeps the toggles they raise
    // from being taken as the user's.
    bool loading = false;
    auto refreshMarkers = [&] {
        const CGantrelLine& line = model.Line();
        const int first = model.FirstMarkerRow();
        for (int r = 0; r < kRows; ++r) {
            const int j = first + r;
            const bool used = j < line.nMarker();
            markerIndex[r]->setText(used ? QString::number(j) : QString());
            markerDistance[r]->setText(
                used ? Q(FormatC("%.2f", line.pMarker[static_cast<size_t>(j)].dY)) : QString());
            markerDelete[r]->setEnabled(used);
            markerEdit[r]->setEnabled(used);
        }
        markerScroll->setRange(0, std::max(line.nMarker() - kRows, 0));
        markerScroll->setValue(first);
        lineIndex->setText(QString::number(model.LineIndex()));
        markerCount->setText(QString::number(line.nMarker()));
        next->setEnabled(model.LineIndex() + 1 < model.LineCount());
        back->setEnabled(model.LineIndex() > 0);
    };
    auto refreshView = [&] {
        const CGantrelLine& line = model.Line();
        showAll->setChecked(line.bShowAllReceivers == 1);
        shown->setText(QString::number(line.iShownReceiver + 1));
    };
    auto refreshGeometryCaption = [&] {
        txBox->setTitle(Q(model.TransmitterGroupCaption()));
        rxBox->setEnabled(model.controls.bDifferentSize == 1);
    };
    auto refreshAll = [&] {
        loading = true;
        const CGantrelLine& line = model.Line();
        for (int i = 0; i < kMaxReceiver; ++i) {
            receiverUse[i]->setChecked(line.bReceiverUse[i] == 1);
            receiverUse[i]->setHidden(!model.ReceiverControlVisible(i));
            factor[i]->setHidden(!model.ReceiverControlVisible(i));
            factor[i]->setText(FloatFieldText(model.controls.pReceiverFactor[i]));
        }
        if (QAbstractButton* b = tx->button(model.controls.iDipoleIndex)) b->setChecked(true);
        if (QAbstractButton* b = rx->button(model.controls.iDipoleIndexReceiver))
            b->setChecked(true);
        different->setChecked(model.controls.bDifferentSize == 1);
        rope->setText(FloatFieldText(model.controls.fRopeLength));
        offset->setText(FloatFieldText(model.controls.fOffset));
        refreshGeometryCaption();
        refreshMarkers();
        refreshView();
        loading = false;
    };

    QObject::connect(next, &QPushButton::clicked, &f.dialog, [&] {
        if (model.Next()) refreshAll();
    });
    QObject::connect(back, &QPushButton::clicked, &f.dialog, [&] {
        if (model.Back()) refreshAll();
    });
    QObject::connect(markerScroll, &QScrollBar::valueChanged, &f.dialog, [&](int v) {
        if (loading) return;
        model.SetFirstMarkerRow(v);
        refreshMarkers();
    });
    for (int r = 0; r < kRows; ++r) {
        QObject::connect(markerDelete[r], &QPushButton::clicked, &f.dialog, [&, r] {
            if (model.DeleteMarker(model.FirstMarkerRow() + r)) refreshMarkers();
        });
        QObject::connect(markerEdit[r], &QPushButton::clicked, &f.dialog, [&, r] {
            if (model.EditMarker(model.FirstMarkerRow() + r)) refreshMarkers();
        });
    }
    for (int i = 0; i < kMaxReceiver; ++i) {
        QObject::connect(receiverUse[i], &QCheckBox::toggled, &f.dialog, [&, i](bool on) {
            if (!loading) model.SetReceiverUse(i, on);
        });
    }
    QObject::connect(different, &QCheckBox::toggled, &f.dialog, [&](bool on) {
        if (loading) return;
        model.controls.bDifferentSize = on ? 1 : 0;
        refreshGeometryCaption();
    });
    QObject::connect(set, &QPushButton::clicked, &f.dialog, [&] {
        CGeometryControls c = model.controls;
        CFieldReader read(prompter);
        for (int i = 0; i < kMaxReceiver; ++i)
            if (!read.Float(factor[i], c.pReceiverFactor[static_cast<size_t>(i)])) return;
        if (!read.Float(rope, c.fRopeLength) || !read.Float(offset, c.fOffset)) return;
        if (tx->checkedId() >= 0) c.iDipoleIndex = tx->checkedId();
        if (rx->checkedId() >= 0) c.iDipoleIndexReceiver = rx->checkedId();
        c.bDifferentSize = different->isChecked() ? 1 : 0;
        const CGeometryControls before = model.controls;
        model.controls = c;
        if (!model.SetGeometry()) model.controls = before;
    });
    QObject::connect(showAll, &QCheckBox::toggled, &f.dialog, [&](bool on) {
        if (loading) return;
        model.SetShowAllReceivers(on);
        refreshView();
    });
    QObject::connect(up, &QPushButton::clicked, &f.dialog, [&] {
        model.ShownReceiverUp();
        refreshView();
    });
    QObject::connect(down, &QPushButton::clicked, &f.dialog, [&] {
        model.ShownReceiverDown();
        refreshView();
    });
    refreshAll();
    f.Finish({});
    return prompter.Exec(f.dialog) == QDialog::Accepted;
}

bool EditOriginalDataDialog(CQtPrompter& prompter, CEditOriginalDataValues& values) {
    if (values.pModel == nullptr) return false;
    CEditOriginalDataModel& model = *values.pModel;
    CForm f(prompter.Parent(), Q(EditDialogText(EditText::EditOriginalData)));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(Q(EditDialogText(EditText::NumberOfLines))));
    auto* count = new QLabel;
    count->setObjectName("lineCount");
    top->addWidget(count);
    top->addStretch();
    f.layout->addLayout(top);

    auto* grid = new QGridLayout;
    const EditText headers[] = {EditText::Index,
                                EditText::NumberOfMarker,
                                EditText::Start,
                                EditText::End,
                                EditText::NumberOfData,
                                EditText::DipoleSize,
                                EditText::RopeLengthColumn,
                                EditText::NumberOfReceivers};
    constexpr int kColumns = 8;
    for (int c = 0; c < kColumns; ++c)
        grid->addWidget(new QLabel(Q(EditDialogText(headers[c]))), 0, c);
    constexpr int kRows = CEditOriginalDataModel::kRows;
    QLabel* cells[kRows][kColumns];
    QPushButton* direction[kRows];
    QPushButton* remove[kRows];
    QPushButton* edit[kRows];
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            cells[r][c] = new QLabel;
            cells[r][c]->setObjectName(QString("cell%1_%2").arg(r).arg(c));
            grid->addWidget(cells[r][c], r + 1, c);
        }
        direction[r] = new QPushButton;
        direction[r]->setObjectName(QString("direction%1").arg(r));
        remove[r] = new QPushButton(Q(EditDialogText(EditText::Delete)));
        remove[r]->setObjectName(QString("delete%1").arg(r));
        edit[r] = new QPushButton(Q(EditDialogText(EditText::Edit)));
        edit[r]->setObjectName(QString("edit%1").arg(r));
        grid->addWidget(direction[r], r + 1, kColumns);
        grid->addWidget(remove[r], r + 1, kColumns + 1);
        grid->addWidget(edit[r], r + 1, kColumns + 2);
    }
    auto* scroll = new QScrollBar(Qt::Vertical);
    scroll->setObjectName("firstRow");
    grid->addWidget(scroll, 1, kColumns + 3, kRows, 1);
    f.layout->addLayout(grid);

    bool loading = false;
    auto refresh = [&] {
        loading = true;
        count->setText(QString::number(model.LineCount()));
        for (int r = 0; r < kRows; ++r) {
            const int l = model.FirstRow() + r;
            const bool used = l < model.LineCount();
            const CLineRow row = model.Row(l);
            const QString texts[kColumns] = {
                QString::number(row.iIndex),         QString::number(row.nMarker),
                Q(FormatC("%.2f", row.fStart)),      Q(FormatC("%.2f", row.fEnd)),
                QString::number(row.nData),          Q(FormatC("%.1f", row.fDipoleSize)),
                Q(FormatC("%.1f", row.fRopeLength)), QString::number(row.nReceiver)};
            for (int c = 0; c < kColumns; ++c) cells[r][c]->setText(used ? texts[c] : QString());
            direction[r]->setText(used ? Q(row.sDirection) : QString());
            direction[r]->setEnabled(used);
            remove[r]->setEnabled(used);
            edit[r]->setEnabled(used);
        }
        scroll->setRange(0, std::max(model.LineCount() - kRows, 0));
        scroll->setValue(model.FirstRow());
        loading = false;
    };
    for (int r = 0; r < kRows; ++r) {
        QObject::connect(direction[r], &QPushButton::clicked, &f.dialog, [&, r] {
            model.Reverse(model.FirstRow() + r);
            refresh();
        });
        QObject::connect(remove[r], &QPushButton::clicked, &f.dialog, [&, r] {
            model.Delete(model.FirstRow() + r);
            refresh();
        });
        QObject::connect(edit[r], &QPushButton::clicked, &f.dialog, [&, r] {
            model.Edit(model.FirstRow() + r);
            refresh();
        });
    }
    QObject::connect(scroll, &QScrollBar::valueChanged, &f.dialog, [&](int v) {
        if (loading) return;
        model.SetFirstRow(v);
        refresh();
    });
    refresh();
    f.Finish({});
    return prompter.Exec(f.dialog) == QDialog::Accepted;
}

// The number input ("Enter number") and the text input.
template <typename T>
std::optional<T> InputNumber(CQtPrompter& prompter, const char* kind, const std::string& caption,
                             const std::string& label, const QString& initial,
                             bool (*parse)(const QString&, T&), const QString& error,
                             const std::string& unit = "") {
    CForm f(prompter.Parent(), caption.empty() ? QString("Enter number") : Q(caption));
    auto* text = new QLabel(Q(label));
    text->setWordWrap(true);
    text->setObjectName("label");
    f.layout->addWidget(text);
    auto* edit = new QLineEdit(initial);
    edit->setObjectName("value");
    if (unit.empty()) {
        f.layout->addWidget(edit);
    } else {
        auto* row = new QHBoxLayout;
        row->addWidget(edit);
        auto* unitLabel = new QLabel(Q(unit));
        unitLabel->setObjectName("unit");
        row->addWidget(unitLabel);
        f.layout->addLayout(row);
    }
    T value{};
    f.Finish([&] {
        if (parse(edit->text(), value)) return true;
        prompter.Message(S(error));
        return false;
    });
    if (prompter.Exec(f.dialog, kind, label) != QDialog::Accepted) return std::nullopt;
    return value;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

CQtPrompter::CQtPrompter(QWidget* parent) : parent_(parent) {}
CQtPrompter::~CQtPrompter() = default;

int CQtPrompter::Exec(QDialog& dialog, const std::string& kind, const std::string& textIn) {
    const std::string text = textIn.empty() ? S(dialog.windowTitle()) : textIn;
    if (before_) before_();
    if (!answers_.empty()) {
        DialogAnswer answer = std::move(answers_.front());
        answers_.pop_front();
        shown_.push_back({kind, text, true});
        answer(dialog);
        return dialog.result();
    }
    if (bScripted_) {
        shown_.push_back({kind, text, false});
        dialog.reject();
        return QDialog::Rejected;
    }
    shown_.push_back({kind, text, true});
    return dialog.exec();
}

std::vector<std::string> CQtPrompter::Messages() const {
    std::vector<std::string> out;
    for (const Shown& s : shown_)
        if (s.sKind == "message") out.push_back(s.sText);
    return out;
}

void CQtPrompter::PresetOpenFiles(std::vector<std::filesystem::path> files) {
    preset_ = std::move(files);
    bPreset_ = true;
}

PromptAnswer CQtPrompter::Message(const std::string& text, PromptButtons buttons,
                                  const std::string& caption) {
    // A script acknowledges plain messages itself; only questions take queued answers.
    if (bScripted_ && buttons == PromptButtons::Ok) {
        shown_.push_back({"message", text, true});
        return PromptAnswer::Ok;
    }
    QMessageBox box(parent_);
    box.setWindowTitle(caption.empty() ? QCoreApplication::applicationName() : Q(caption));
    box.setText(Q(text));
    box.setIcon(buttons == PromptButtons::Ok ? QMessageBox::Information : QMessageBox::Question);
    struct Choice {
        QMessageBox::StandardButton button;
        PromptAnswer answer;
        QString text;
    };
    std::vector<Choice> choices;
    const QString yes = Q(Tr("&Yes", "はい(&Y)"));
    const QString no = Q(Tr("&No", "いいえ(&N)"));
    switch (buttons) {
        case PromptButtons::Ok:
            choices = {{QMessageBox::Ok, PromptAnswer::Ok, OkText()}};
            break;
        case PromptButtons::OkCancel:
            choices = {{QMessageBox::Ok, PromptAnswer::Ok, OkText()},
                       {QMessageBox::Cancel, PromptAnswer::Cancel, CancelText()}};
            break;
        case PromptButtons::YesNo:
            choices = {{QMessageBox::Yes, PromptAnswer::Yes, yes},
                       {QMessageBox::No, PromptAnswer::No, no}};
            break;
        case PromptButtons::YesNoCancel:
            choices = {{QMessageBox::Yes, PromptAnswer::Yes, yes},
                       {QMessageBox::No, PromptAnswer::No, no},
                       {QMessageBox::Cancel, PromptAnswer::Cancel, CancelText()}};
            break;
    }
    for (const Choice& c : choices) box.addButton(c.button)->setText(c.text);
    box.setDefaultButton(choices.front().button);
    box.setEscapeButton(choices.back().button);
    Exec(box, "message", text);
    const QAbstractButton* clicked = box.clickedButton();
    for (const Choice& c : choices)
        if (clicked != nullptr && clicked == box.button(c.button)) return c.answer;
    // Closed without a button: the answer of the escape button.
    return choices.back().answer;
}

int CQtPrompter::TwoButtonBox(const std::string& caption, const std::string& text,
                              const std::string& button0, const std::string& button1) {
    QDialog dialog(parent_);
    dialog.setWindowTitle(caption.empty() ? QString("Fennick") : Q(caption));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(Q(text));
    label->setObjectName("label");
    layout->addWidget(label);
    auto* row = new QHBoxLayout;
    auto* first = new QPushButton(button0.empty() ? QString("OK(Enter)") : Q(button0));
    auto* second = new QPushButton(button1.empty() ? QString("Cancel(Escape)") : Q(button1));
    first->setObjectName("button0");
    second->setObjectName("button1");
    first->setDefault(true);
    row->addWidget(first);
    row->addWidget(second);
    layout->addLayout(row);
    constexpr int kFirst = 10, kSecond = 11;
    QObject::connect(first, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(kFirst); });
    QObject::connect(second, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(kSecond); });
    const size_t before = shown_.size();
    const int result = Exec(dialog, "two-button", text);
    // A script that gave no answer takes the first button, as the batch programs do; a person
    // who closes the box (Escape) chose the second, the box's cancel button.
    if (shown_.size() > before && !shown_.back().bAnswered) return 0;
    return result == kFirst ? 0 : 1;
}

std::optional<int> CQtPrompter::InputInt(const std::string& caption, const std::string& label,
                                         int initial) {
    return InputNumber<int>(*this, "int", caption, label, QString::number(initial), &ParseIntField,
                            IntegerRequired());
}

std::optional<double> CQtPrompter::InputReal(const std::string& caption, const std::string& label,
                                             double initial, const std::string& unit) {
    return InputNumber<double>(*this, "real", caption, label, DoubleFieldText(initial),
                               &ParseDoubleField, NumberRequired(), unit);
}

std::optional<std::string> CQtPrompter::InputText(const std::string& caption,
                                                  const std::string& label,
                                                  const std::string& initial) {
    CForm f(parent_, Q(caption));
    auto* text = new QLabel(Q(label));
    text->setObjectName("label");
    f.layout->addWidget(text);
    auto* edit = new QLineEdit(Q(initial));
    edit->setObjectName("value");
    f.layout->addWidget(edit);
    f.Finish({});
    if (Exec(f.dialog, "text", label) != QDialog::Accepted) return std::nullopt;
    return S(edit->text());
}

namespace {

void PrepareFileDialog(QFileDialog& dialog, const std::vector<FileFilter>& filters,
                       const std::filesystem::path& initial, bool bScripted) {
    QStringList names;
    for (const FileFilter& f : filters) names << NameFilterOf(f);
    if (!names.isEmpty()) dialog.setNameFilters(names);
    // The initial path is a folder, or a folder and a name; a name with a wildcard only says
    // which files to list, which the filters already do.
    std::filesystem::path folder = initial;
    std::string name;
    if (!initial.empty() && !std::filesystem::is_directory(initial)) {
        folder = initial.parent_path();
        name = initial.filename().string();
    }
    if (!folder.empty()) dialog.setDirectory(QPath(folder));
    if (!name.empty() && name.find_first_of("*?") == std::string::npos)
        dialog.selectFile(QPath(initial));
    if (bScripted) {
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    }
}

}  // namespace

std::vector<std::filesystem::path> CQtPrompter::OpenFiles(const std::string& caption,
                                                          const std::vector<FileFilter>& filters,
                                                          const std::filesystem::path& folder,
                                                          bool multiple) {
    if (bPreset_) {
        bPreset_ = false;
        shown_.push_back({"open", caption, true});
        std::vector<std::filesystem::path> files = std::move(preset_);
        preset_.clear();
        if (!multiple && files.size() > 1) files.resize(1);
        opened_.insert(opened_.end(), files.begin(), files.end());
        return files;
    }
    QFileDialog dialog(parent_, Q(caption));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    PrepareFileDialog(dialog, filters, folder, bScripted_);
    if (Exec(dialog, "open", caption) != QDialog::Accepted) return {};
    std::vector<std::filesystem::path> files;
    for (const QString& s : dialog.selectedFiles()) files.push_back(PathOf(s));
    opened_.insert(opened_.end(), files.begin(), files.end());
    return files;
}

std::optional<std::filesystem::path> CQtPrompter::SaveFile(const std::string& caption,
                                                           const std::vector<FileFilter>& filters,
                                                           const std::filesystem::path& initial) {
    QFileDialog dialog(parent_, Q(caption));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    PrepareFileDialog(dialog, filters, initial, bScripted_);
    // The default extension is the first filter's first pattern ("*.png" gives "png").
    if (!filters.empty() && !filters.front().patterns.empty()) {
        const std::string& p = filters.front().patterns.front();
        if (p.rfind("*.", 0) == 0 && p.find_first_of("*?", 2) == std::string::npos)
            dialog.setDefaultSuffix(Q(p.substr(2)));
    }
    if (Exec(dialog, "save", caption) != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return PathOf(files.front());
}

std::optional<std::filesystem::path> CQtPrompter::ChooseFolder(
    const std::string& caption, const std::filesystem::path& initial) {
    QFileDialog dialog(parent_, Q(caption));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (!initial.empty()) dialog.setDirectory(QPath(initial));
    if (bScripted_) dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (Exec(dialog, "folder", caption) != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return PathOf(files.front());
}

bool CQtPrompter::EditDialog(CDialogValues& values) {
    if (auto* v = dynamic_cast<CSurveyConfigurationValues*>(&values))
        return SurveyConfigurationDialog(*this, *v);
    if (auto* v = dynamic_cast<CDlgInitialModel*>(&values)) return InitialModelDialog(*this, *v);
    if (auto* v = dynamic_cast<CDlgLsm*>(&values)) return LsmDialog(*this, *v);
    if (auto* v = dynamic_cast<CDlgMedianFilter*>(&values)) return MedianFilterDialog(*this, *v);
    if (auto* v = dynamic_cast<CSpinValues*>(&values)) return SpinDialog(*this, *v);
    if (auto* v = dynamic_cast<CDlgContourInterval*>(&values))
        return ContourIntervalDialog(*this, *v);
    if (auto* v = dynamic_cast<CDlgManualAxis*>(&values)) return ManualAxisDialog(*this, *v);
    if (auto* v = dynamic_cast<CTwoValueInput*>(&values)) return TwoValueDialog(*this, *v);
    if (auto* v = dynamic_cast<CEditMarkerValues*>(&values)) return EditMarkerDialog(*this, *v);
    if (auto* v = dynamic_cast<CEditEachLineValues*>(&values)) return EditEachLineDialog(*this, *v);
    if (auto* v = dynamic_cast<CEditOriginalDataValues*>(&values))
        return EditOriginalDataDialog(*this, *v);
    // A dialog this shell does not know yet: say so rather than pretend it was cancelled.
    shown_.push_back({"dialog", values.DialogName(), false});
    Message(FormatC("The dialog \"%s\" is not available in this version.",
                    values.DialogName().c_str()));
    return false;
}

// ---------------------------------------------------------------------------------------------

QString NameFilterOf(const FileFilter& filter) {
    QStringList patterns;
    for (const std::string& p : filter.patterns) patterns << Q(p);
    if (patterns.isEmpty()) patterns << "*";
    return QString("%1 (%2)").arg(Q(filter.sDescription), patterns.join(' '));
}

namespace {
template <typename T>
bool ParseWhole(const QString& text, T& value, bool (*scan)(std::string_view, T&, size_t*)) {
    const std::string s = S(text.trimmed());
    if (s.empty()) return false;
    size_t consumed = 0;
    T v{};
    if (!scan(s, v, &consumed) || consumed != s.size()) return false;
    value = v;
    return true;
}
}  // namespace

bool ParseIntField(const QString& text, int& value) {
    return ParseWhole(text, value, &ScanInt);
}
bool ParseFloatField(const QString& text, float& value) {
    return ParseWhole(text, value, &ScanFloat);
}
bool ParseDoubleField(const QString& text, double& value) {
    return ParseWhole(text, value, &ScanDouble);
}

QString FloatFieldText(float value) {
    return Q(FormatC("%.7g", static_cast<double>(value)));
}
QString DoubleFieldText(double value) {
    return Q(FormatC("%.15g", value));
}

namespace {
template <typename T>
T* Named(QWidget& root, const QString& name) {
    if (root.objectName() == name) {
        if (auto* self = qobject_cast<T*>(&root)) return self;
    }
    return root.findChild<T*>(name);
}
}  // namespace

bool ClickButton(QWidget& root, const QString& text) {
    for (QAbstractButton* b : root.findChildren<QAbstractButton*>()) {
        if (StripMnemonic(b->text()) == StripMnemonic(text) && b->isEnabled() && !b->isHidden()) {
            b->click();
            return true;
        }
    }
    return false;
}

bool ClickNamed(QWidget& root, const QString& objectName) {
    QAbstractButton* b = Named<QAbstractButton>(root, objectName);
    if (b == nullptr || !b->isEnabled()) return false;
    b->click();
    return true;
}

bool SetFieldText(QWidget& root, const QString& objectName, const QString& text) {
    QLineEdit* edit = Named<QLineEdit>(root, objectName);
    if (edit == nullptr) return false;
    edit->setText(text);
    return true;
}

QString FieldText(QWidget& root, const QString& objectName) {
    if (QLineEdit* edit = Named<QLineEdit>(root, objectName)) return edit->text();
    if (QLabel* label = Named<QLabel>(root, objectName)) return label->text();
    if (QAbstractButton* b = Named<QAbstractButton>(root, objectName)) return b->text();
    return {};
}

bool SetChecked(QWidget& root, const QString& objectName, bool bChecked) {
    QAbstractButton* b = Named<QAbstractButton>(root, objectName);
    if (b == nullptr || !b->isCheckable()) return false;
    // A click, so that the dialog reacts as to the user's.
    if (b->isChecked() != bChecked) b->click();
    return b->isChecked() == bChecked;
}

bool IsChecked(QWidget& root, const QString& objectName) {
    QAbstractButton* b = Named<QAbstractButton>(root, objectName);
    return b != nullptr && b->isChecked();
}

bool IsShownIn(QWidget& root, const QString& objectName) {
    QWidget* w = Named<QWidget>(root, objectName);
    if (w == nullptr) return false;
    for (QWidget* p = w; p != nullptr && p != &root; p = p->parentWidget())
        if (p->isHidden()) return false;
    return true;
}

QString OkText() {
    return QString::fromUtf8(Tr("OK", "OK"));
}
QString CancelText() {
    return QString::fromUtf8(Tr("Cancel", "キャンセル"));
}
