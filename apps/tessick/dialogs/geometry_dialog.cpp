// "Gantrel geometry": the array of an instrument with a preview of where its receivers lie,
// how deep they see and their n-space.
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPainter>
#include <QRadioButton>

#include "acquisition/logger_geometry.h"
#include "apps/tessick/dialogs/dialogs.h"
#include "platform/qt_canvas.h"
#include "platform/qt_form.h"

namespace {

constexpr double kUnitsPerInch = 254.0;

// The preview area: the dialog's current values drawn in page units over the widget.
class CGeometryPreview : public QWidget {
public:
    explicit CGeometryPreview(const CDlgGantrelGeometry& values) : values_(values) {
        setObjectName("preview");
        setMinimumSize(520, 260);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        const int dpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
        const double ppu = dpi / kUnitsPerInch;
        CQtCanvas canvas(painter, ppu);
        values_.DrawPreview(canvas, static_cast<int>(width() / ppu),
                            static_cast<int>(height() / ppu));
    }

private:
    const CDlgGantrelGeometry& values_;
};

QGroupBox* DipoleGroup(const QString& name, QButtonGroup*& buttons, int selected) {
    auto* box = new QGroupBox;
    box->setObjectName(name);
    auto* grid = new QGridLayout(box);
    buttons = new QButtonGroup(box);
    for (int i = 0; i < 11; ++i) {
        auto* radio = new QRadioButton(Q(CDlgGantrelGeometry::kDipoleButtons[static_cast<size_t>(i)]));
        radio->setObjectName(QString("%1_%2").arg(name).arg(i));
        buttons->addButton(radio, i);
        grid->addWidget(radio, i % 6, i / 6);
        if (i == selected) radio->setChecked(true);
    }
    return box;
}

}  // namespace

bool GantrelGeometryDialog(CQtPrompter& prompter, CDlgGantrelGeometry& values) {
    CDlgGantrelGeometry v = values;
    v.Reflesh();
    CForm f(prompter.Parent(), Q(v.DialogName()));
    auto* top = new QHBoxLayout;
    f.layout->addLayout(top);

    QButtonGroup* transmitter = nullptr;
    QButtonGroup* receiver = nullptr;
    QGroupBox* first = DipoleGroup("iDipoleIndex", transmitter, v.iDipoleIndex);
    QGroupBox* second = DipoleGroup("iDipoleIndexReceiver", receiver, v.iDipoleIndexReceiver);
    second->setTitle(Q(Tr("Receiver dipole size (cable length)", "受信ﾀﾞｲﾎﾟｰﾙｻｲｽﾞ (ｹｰﾌﾞﾙ長)")));
    top->addWidget(first);
    top->addWidget(second);

    auto* right = new QVBoxLayout;
    top->addLayout(right);
    auto* form = new QFormLayout;
    right->addLayout(form);
    QLineEdit* rope = CForm::Field(form, Q(Tr("Rope length", "ロープ長")), "sRopeLength",
                                   Q(v.sRopeLength), Q("m"));
    QLineEdit* offset = CForm::Field(form, Q(Tr("Operator offset", "オペレータ・オフセット")),
                                     "sOffset", Q(v.sOffset), Q("m"));
    auto* different = new QCheckBox(
        Q(Tr("Different transmitter and receiver dipole sizes", "送信と受信で異なるﾀﾞｲﾎﾟｰﾙ・ｻｲｽﾞ")));
    different->setObjectName("bDifferentSize");
    different->setChecked(v.bDifferentSize != 0);
    right->addWidget(different);
    auto* modes = new QHBoxLayout;
    auto button = [&](const char* text) {
        auto* b = new QPushButton(Q(text));
        b->setObjectName(text);
        modes->addWidget(b);
        return b;
    };
    QPushButton* reflesh = button("Reflesh");
    QPushButton* geometry = button("Geometry");
    QPushButton* depth = button("Apparent depth");
    QPushButton* nspace = button("N-space");
    right->addLayout(modes);
    right->addStretch(1);

    auto* preview = new CGeometryPreview(v);
    f.layout->addWidget(preview, 1);

    auto show = [&] {
        first->setTitle(Q(v.FirstGroupCaption()));
        second->setVisible(v.ReceiverGroupShown());
        nspace->setVisible(v.NSpaceButtonShown());
        preview->update();
    };
    QObject::connect(transmitter, &QButtonGroup::idClicked, &f.dialog, [&](int id) {
        v.iDipoleIndex = id;
        show();
    });
    QObject::connect(receiver, &QButtonGroup::idClicked, &f.dialog, [&](int id) {
        v.iDipoleIndexReceiver = id;
        show();
    });
    QObject::connect(different, &QCheckBox::toggled, &f.dialog, [&](bool on) {
        v.SetDifferentSize(on ? 1 : 0);
        show();
    });
    QObject::connect(reflesh, &QPushButton::clicked, &f.dialog, [&] {
        v.sRopeLength = S(rope->text());
        v.sOffset = S(offset->text());
        v.Reflesh();
        show();
    });
    QObject::connect(geometry, &QPushButton::clicked, &f.dialog, [&] {
        v.ChooseMode(GeometryPreview::Geometry);
        show();
    });
    QObject::connect(depth, &QPushButton::clicked, &f.dialog, [&] {
        v.ChooseMode(GeometryPreview::ApparentDepth);
        show();
    });
    QObject::connect(nspace, &QPushButton::clicked, &f.dialog, [&] {
        v.ChooseMode(GeometryPreview::NSpace);
        show();
    });
    show();
    f.Finish({});
    if (prompter.Exec(f.dialog) != QDialog::Accepted) return false;
    v.sRopeLength = S(rope->text());
    v.sOffset = S(offset->text());
    values = v;
    return true;
}
