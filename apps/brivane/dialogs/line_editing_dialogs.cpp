// Dialogs of line editing: the median filter length, the spin value, "Edit each line" with
// its preview, and "Edit original data".
#include "apps/brivane/dialogs/dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPainter>
#include <QRadioButton>
#include <QScrollBar>
#include <algorithm>
#include <memory>

#include "analysis/smoothing.h"
#include "common/language.h"
#include "common/text_format.h"
#include "display/line_view.h"
#include "platform/qt_canvas.h"
#include "processing/line_editing.h"
#include "platform/qt_form.h"

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
    row->addWidget(value);
    auto* up = new QPushButton(Q(EditDialogText(EditText::Up)));
    auto* down = new QPushButton(Q(EditDialogText(EditText::Down)));
    up->setObjectName("up");
    down->setObjectName("down");
    row->addWidget(up);
    row->addWidget(down);
    f.layout->addLayout(row);
    // Up and Down step from what was typed when it is a number.
    auto typed = [&] {
        int v = 0;
        if (ParseIntField(value->text(), v)) result.iValue = std::clamp(v, result.iMin, result.iMax);
    };
    QObject::connect(up, &QPushButton::clicked, &f.dialog, [&] {
        typed();
        result.Up();
        value->setText(QString::number(result.iValue));
    });
    QObject::connect(down, &QPushButton::clicked, &f.dialog, [&] {
        typed();
        result.Down();
        value->setText(QString::number(result.iValue));
    });
    f.Finish([&] {
        int v = 0;
        std::string refusal = result.Refusal(result.iMin - 1);  // not a number at all
        if (ParseIntField(value->text(), v)) refusal = result.Refusal(v);
        if (refusal.empty()) {
            result.iValue = v;
            return true;
        }
        prompter.Message(refusal);
        value->setFocus();
        value->selectAll();
        return false;
    });
    if (prompter.Exec(f.dialog) != QDialog::Accepted) return false;
    values.iValue = result.iValue;
    return true;
}


namespace {

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

}  // namespace

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
