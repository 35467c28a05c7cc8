#include "apps/tessick/control_form_widget.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <string_view>

#include "platform/qt_form.h"

namespace {
QColor ToQColor(CColor c) {
    return QColor(c.r, c.g, c.b);
}

// The form's fixed texts in both languages.
struct CFormText {
    const char* sEnglish;
    const char* sJapanese;
};
constexpr CFormText kFormTexts[] = {
    {"File ID=", "ファイルID="},
    {"Line ID=", "測線ID="},
    {"Mark =", "マーカー ="},
    {"File path and name=", "ファイル名="},
    {"Receiver dipole size", "受信ﾀﾞｲﾎﾟｰﾙ・ｻｲｽﾞ"},
    {"Rope length", "ロープ長"},
    {"Operator offset", "オペレータ・オフセット"},
    {"Set up  geometry", "電極配置の設定"},
    {"Profile window", "プロファイル・ウィンドウ"},
    {"GPS window", "GPSウィンドウ"},
    {"Resistivity model window", "比抵抗モデル・ウィンドウ"},
    {"Logging window", "ログ・ウィンドウ"},
};

QString FormText(const char* english, int language) {
    for (const CFormText& t : kFormTexts)
        if (std::string_view(english) == t.sEnglish) return Q(language == 1 ? t.sJapanese : english);
    return Q(english);
}
}  // namespace

CBigButton::CBigButton(int iControl, QWidget* parent) : QPushButton(parent) {
    setObjectName(QString::number(iControl));
    setMinimumSize(190, 90);
    setFocusPolicy(Qt::NoFocus);  // keys M, E, P go to the form, never press a button
    QFont f = font();
    f.setPointSize(15);
    f.setBold(true);
    setFont(f);
}

void CBigButton::SetState(const CButtonState& state) {
    state_ = state;
    setText(Q(state.sCaption));
    setEnabled(state.bEnabled);
    update();
}

void CBigButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), ToQColor(state_.color));
    // A disabled button keeps its colour but shows its caption greyed.
    p.setPen(isEnabled() ? Qt::black : QColor(110, 110, 110));
    p.setFont(font());
    p.drawText(rect().adjusted(10, 10, -4, -4), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               text());
    p.setPen(QPen(isDown() ? Qt::black : QColor(90, 90, 90), isDown() ? 4 : 2));
    p.drawRect(rect().adjusted(1, 1, -1, -1));
}

CControlFormWidget::CControlFormWidget(CTessickDoc& doc, QWidget* parent)
    : QWidget(parent), doc_(doc) {
    setObjectName("controlForm");
    setFocusPolicy(Qt::StrongFocus);
    auto* grid = new QGridLayout(this);

    // The big buttons: devices on the left, the line's state machine beside them.
    const int ids[5] = {kIdcGantrel, kIdcGPS, kIdcEndLine, kIdcStartMark, kIdcPause};
    auto* buttons = new QGridLayout;
    for (int k = 0; k < 5; ++k) {
        big_[static_cast<size_t>(k)] = new CBigButton(ids[k]);
    }
    buttons->addWidget(big_[0], 0, 0);
    buttons->addWidget(big_[1], 1, 0);
    buttons->addWidget(big_[3], 0, 1);
    buttons->addWidget(big_[4], 1, 1);
    buttons->addWidget(big_[2], 0, 2, 2, 1);
    grid->addLayout(buttons, 0, 0, 1, 2);
    CAcquisitionState& s = doc_.state;
    connect(big_[0], &QPushButton::clicked, this, [&s] { s.ToggleGantrel(); });
    connect(big_[1], &QPushButton::clicked, this, [&s] { s.ToggleGPS(); });
    connect(big_[2], &QPushButton::clicked, this, [&s] { s.EndLine(); });
    connect(big_[3], &QPushButton::clicked, this, [&s] { s.StartMark(); });
    connect(big_[4], &QPushButton::clicked, this, [&s] { s.Pause(); });
    for (CBigButton* b : big_) connect(b, &QPushButton::clicked, this, [this] { Refresh(); });

    // Numbers and the file.
    auto* numbers = new QGridLayout;
    numbers->addWidget(Label("File ID="), 0, 0);
    numbers->addWidget(Edit(kIdcFileID, 70), 0, 1);
    numbers->addWidget(Label("Line ID="), 0, 2);
    numbers->addWidget(Edit(kIdcLineID, 70), 0, 3);
    numbers->addWidget(Label("Mark ="), 0, 4);
    numbers->addWidget(Edit(kIdcMark, 70), 0, 5);
    numbers->addWidget(Label("File path and name="), 1, 0, 1, 2);
    numbers->addWidget(Edit(kIdcFilePath, 400), 1, 2, 1, 4);
    grid->addLayout(numbers, 1, 0, 1, 2);

    // The latest reading: transmitter and receiver levels, both status digits.
    auto* reading = new QGroupBox;
    auto* r = new QGridLayout(reading);
    r->addWidget(new QLabel(Q("Tx")), 0, 1);
    r->addWidget(Edit(kIdcTransmitterLevel, 70), 1, 1);
    for (int i = 0; i < kMaxReceiver; ++i) {
        r->addWidget(new QLabel(QString("Rx%1").arg(i + 1)), 0, i + 2);
        r->addWidget(Edit(kIdcReceiverLevel1 + i, 70), 1, i + 2);
        r->addWidget(Edit(kIdcFirstStatus1 + i, 70), 2, i + 2);
        r->addWidget(Edit(kIdcSecondStatus1 + i, 70), 3, i + 2);
    }
    grid->addWidget(reading, 2, 0, 1, 2);

    // Geometry.
    auto* geometry = new QGridLayout;
    dipoleLabel_ = new QLabel;
    dipoleLabel_->setObjectName(QString::number(kIdcDipoleLabel));
    geometry->addWidget(dipoleLabel_, 0, 0);
    geometry->addWidget(Edit(kIdcTransmitterDipole, 70), 0, 1);
    geometry->addWidget(new QLabel(Q("m")), 0, 2);
    QLabel* rxLabel = Label("Receiver dipole size");
    rxLabel->setObjectName(QString::number(kIdcReceiverDipoleLabel));
    auto* rxUnit = new QLabel(Q("m"));
    rxUnit->setObjectName(QString::number(kIdcReceiverDipoleUnit));
    QLineEdit* rxEdit = Edit(kIdcReceiverDipole, 70);
    receiverDipole_ = {rxLabel, rxEdit, rxUnit};
    geometry->addWidget(rxLabel, 1, 0);
    geometry->addWidget(rxEdit, 1, 1);
    geometry->addWidget(rxUnit, 1, 2);
    geometry->addWidget(Label("Rope length"), 2, 0);
    geometry->addWidget(Edit(kIdcRopeLength, 70), 2, 1);
    geometry->addWidget(new QLabel(Q("m")), 2, 2);
    geometry->addWidget(Label("Operator offset"), 3, 0);
    geometry->addWidget(Edit(kIdcOffset, 70), 3, 1);
    geometry->addWidget(new QLabel(Q("m")), 3, 2);
    geometry_ = new QPushButton;
    texts_.push_back({geometry_, "Set up  geometry"});
    geometry_->setObjectName(QString::number(kIdcSetUpGeometry));
    geometry_->setFocusPolicy(Qt::NoFocus);
    geometry->addWidget(geometry_, 4, 0, 1, 3);
    connect(geometry_, &QPushButton::clicked, this, [this] {
        doc_.state.SetUpGeometry(kFirstInstrument);
        Refresh();
    });
    grid->addLayout(geometry, 3, 0);

    // The windows.
    auto* windows = new QVBoxLayout;
    const std::pair<int, const char*> wb[] = {{kIdcProfileWindow, "Profile window"},
                                              {kIdcGPSWindow, "GPS window"},
                                              {kIdcModelWindow, "Resistivity model window"},
                                              {kIdcLoggingWindow, "Logging window"}};
    for (const auto& [id, text] : wb) {
        auto* b = new QPushButton;
        texts_.push_back({b, text});
        b->setObjectName(QString::number(id));
        b->setFocusPolicy(Qt::NoFocus);
        const int w = WindowOfFormButton(id);
        windowButtons_[static_cast<size_t>(w)] = b;
        windows->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, w] {
            if (onOpenWindow) onOpenWindow(w);
        });
    }
    grid->addLayout(windows, 3, 1);

    dataLines_ = new QPlainTextEdit;
    dataLines_->setObjectName(QString::number(kIdcDataLines));
    dataLines_->setReadOnly(true);
    dataLines_->setFocusPolicy(Qt::NoFocus);
    dataLines_->setMinimumWidth(380);
    grid->addWidget(dataLines_, 0, 2, 4, 1);
    grid->setColumnStretch(2, 1);

    // Notices the poll raises land here and in the logs, never in a message box: a box would
    // hold every reading back until somebody closes it.
    status_ = new QLabel;
    status_->setObjectName(QString::number(kIdcStatus));
    status_->setWordWrap(true);
    status_->setTextFormat(Qt::PlainText);
    grid->addWidget(status_, 4, 0, 1, 3);

    Relabel();
    Refresh();
}

QLineEdit* CControlFormWidget::Edit(int iControl, int width) {
    auto* e = new QLineEdit;
    e->setObjectName(QString::number(iControl));
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    e->setMinimumWidth(width);
    return e;
}

CBigButton* CControlFormWidget::Button(int iControl) const {
    for (CBigButton* b : big_)
        if (b->objectName() == QString::number(iControl)) return b;
    return nullptr;
}

QLabel* CControlFormWidget::Label(const char* english) {
    auto* label = new QLabel;
    texts_.push_back({label, english});
    return label;
}

void CControlFormWidget::Relabel() {
    const int language = doc_.Language();
    for (const auto& [widget, english] : texts_) {
        if (auto* label = qobject_cast<QLabel*>(widget))
            label->setText(FormText(english, language));
        else if (auto* button = qobject_cast<QPushButton*>(widget))
            button->setText(FormText(english, language));
    }
    Refresh();
}

void CControlFormWidget::Refresh() {
    RefreshControlForm(values_, doc_);
    for (QLineEdit* e : findChildren<QLineEdit*>()) {
        bool ok = false;
        const int id = e->objectName().toInt(&ok);
        if (!ok) continue;
        const QString text = Q(values_.Text(id));
        if (e->text() != text) e->setText(text);
    }
    dipoleLabel_->setText(Q(values_.sDipoleLabel));
    const QString status = Q(values_.sStatus);
    if (status_->text() != status) status_->setText(status);
    // Only a line to show takes room from the form's rows.
    status_->setVisible(!status.isEmpty());
    const QString style =
        values_.bStatusAlarm ? Q("color: rgb(200,0,0); font-weight: bold;") : QString();
    if (status_->styleSheet() != style) status_->setStyleSheet(style);
    for (QWidget* w : receiverDipole_) w->setVisible(values_.bReceiverDipoleShown);
    const QString lines = Q(values_.sDataLines).replace(Q(" \r\n"), Q("\n"));
    if (dataLines_->toPlainText() != lines.chopped(lines.endsWith('\n') ? 1 : 0)) {
        dataLines_->setPlainText(lines.chopped(lines.endsWith('\n') ? 1 : 0));
        dataLines_->verticalScrollBar()->setValue(dataLines_->verticalScrollBar()->maximum());
    }
    for (CBigButton* b : big_) {
        const CButtonState* state = values_.Button(b->objectName().toInt());
        if (state != nullptr && !(*state == b->State())) b->SetState(*state);
    }
    geometry_->setEnabled(values_.bSetUpGeometryEnabled);
    for (int w = 0; w < kAuxWindows; ++w)
        windowButtons_[static_cast<size_t>(w)]->setEnabled(
            values_.bWindowButtonEnabled[static_cast<size_t>(w)]);
}
