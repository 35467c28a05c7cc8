// Dialogs of the display scales: the contour interval and the manual axis configuration.
#include "apps/brivane/dialogs/dialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <algorithm>
#include <memory>

#include "common/language.h"
#include "common/text_format.h"
#include "common/axes.h"
#include "common/color_scale.h"
#include "processing/display_commands.h"
#include "platform/qt_form.h"

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
