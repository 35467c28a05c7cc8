#include "apps/tessick/dialogs/dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>

#include "acquisition/acquisition_state.h"
#include "acquisition/demonstration.h"
#include "acquisition/logger_geometry.h"
#include "acquisition/serial_ports.h"
#include "common/color_scale.h"
#include "live/live_view.h"
#include "platform/qt_form.h"

void InstallTessickDialogs(CQtPrompter& prompter) {
    prompter.SetDialogHandler(ShowTessickDialog);
}

std::optional<bool> ShowTessickDialog(CQtPrompter& prompter, CDialogValues& values) {
    if (auto* v = dynamic_cast<CDlgRS232C*>(&values)) return SerialPortDialog(prompter, *v);
    if (auto* v = dynamic_cast<CDlgSetFileNameAndFolder*>(&values))
        return FileNameAndFolderDialog(prompter, *v);
    if (auto* v = dynamic_cast<CDlgGantrelGeometry*>(&values))
        return GantrelGeometryDialog(prompter, *v);
    if (auto* v = dynamic_cast<CDlgContourInterval*>(&values))
        return ContourIntervalDialog(prompter, *v);
    if (auto* v = dynamic_cast<CDlgOpenLogFile*>(&values)) return OpenLogFileDialog(prompter, *v);
    if (auto* v = dynamic_cast<CDlgLiveSection*>(&values)) return LiveSectionDialog(prompter, *v);
    return std::nullopt;
}

namespace {
QComboBox* Combo(const std::vector<std::string>& items, int selected, const QString& name) {
    auto* combo = new QComboBox;
    combo->setObjectName(name);
    for (const std::string& s : items) combo->addItem(Q(s));
    if (selected >= 0 && selected < combo->count()) combo->setCurrentIndex(selected);
    return combo;
}
}  // namespace

bool SerialPortDialog(CQtPrompter& prompter, CDlgRS232C& values) {
    CForm f(prompter.Parent(), Q(values.DialogName()));
    QFormLayout* form = f.AddFormLayout();
    QComboBox* port = Combo(values.ports, values.iPort, "iPort");
    // A device the system does not list (a pseudo-terminal, a udev link) can be typed.
    port->setEditable(true);
    // Wide enough for a whole device path ("/dev/serial/by-id/usb-..." shows its end).
    port->setMinimumContentsLength(36);
    port->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    if (values.iPort < 0) port->setCurrentIndex(-1);
    QComboBox* baud = Combo(values.baudRates, values.iBaudRate, "iBaudRate");
    QComboBox* stop = Combo(values.stopBits, values.iStopBits, "iStopBits");
    form->addRow(Q("Com port"), port);
    form->addRow(Q("Baud rate"), baud);
    form->addRow(Q("Stop bits"), stop);
    if (!values.sMissing.empty()) {
        auto* missing = new QLabel(
            Q("The saved port " + values.sMissing + " is not there now: choose or type one."));
        missing->setObjectName("sMissing");
        missing->setWordWrap(true);
        form->addRow(missing);
    }
    f.Finish({});
    if (prompter.Exec(f.dialog) != QDialog::Accepted) return false;
    const std::string typed = S(port->currentText().trimmed());
    if (typed.empty()) {
        values.iPort = -1;  // nothing chosen
        values.sDevice.clear();
        return true;
    }
    const auto listed = std::find(values.ports.begin(), values.ports.end(), typed);
    values.iPort = listed != values.ports.end()
                       ? static_cast<int>(listed - values.ports.begin())
                       : std::max(port->currentIndex(), 0);
    values.sDevice = listed != values.ports.end() ? std::string() : typed;
    values.iBaudRate = std::max(baud->currentIndex(), 0);
    values.iStopBits = std::max(stop->currentIndex(), 0);
    return true;
}

bool LiveSectionDialog(CQtPrompter& prompter, CDlgLiveSection& values) {
    const int language = GetLanguage();
    const auto T = [language](const char* en, const char* ja) { return Q(language == 1 ? ja : en); };
    LiveViewSettings& v = values.values;
    CForm f(prompter.Parent(), Q(values.DialogName()));
    auto* on = new QCheckBox(T("Compute the inverted section while recording",
                               "記録中に逆解析断面を計算する"));
    on->setObjectName("bOn");
    on->setChecked(v.bOn);
    f.layout->addWidget(on);
    QFormLayout* form = f.AddFormLayout();
    const auto number = [](double x) { return QString::number(x, 'g', 6); };
    QLineEdit* cell = CForm::Field(form, T("Cell size", "セルサイズ"), "fCellSize",
                                   number(v.section.fCellSize), "m");
    QLineEdit* layers = CForm::Field(form, T("Layers", "層数"), "nLayer",
                                     QString::number(v.section.nLayer));
    QLineEdit* depth = CForm::Field(form, T("Depth of the last layer", "最下層の深度"), "fDepth",
                                    number(v.section.fDepth), "m");
    QLineEdit* iterations = CForm::Field(form, T("Iterations", "反復回数"), "nIteration",
                                         QString::number(v.section.nIteration));
    auto* placement = Combo({language == 1 ? "マーカー" : "Markers", "GPS"},
                            v.section.placement == LivePlacement::GPSLine ? 1 : 0, "iPlacement");
    form->addRow(T("Distances from", "距離の求め方"), placement);
    QLineEdit* spacing = CForm::Field(form, T("Marker spacing", "マーカー間隔"), "fMarkerSpacing",
                                      number(v.section.dMarkerSpacing), "m");
    const auto follow = [spacing, placement] { spacing->setEnabled(placement->currentIndex() == 0); };
    QObject::connect(placement, &QComboBox::currentIndexChanged, &f.dialog, follow);
    follow();
    LiveViewSettings read = v;
    f.Finish([&] {
        CFieldReader r(prompter);
        if (!r.Float(cell, read.section.fCellSize) || !r.Int(layers, read.section.nLayer) ||
            !r.Float(depth, read.section.fDepth) || !r.Int(iterations, read.section.nIteration) ||
            !r.Double(spacing, read.section.dMarkerSpacing))
            return false;
        read.bOn = on->isChecked();
        read.section.placement =
            placement->currentIndex() == 1 ? LivePlacement::GPSLine : LivePlacement::Markers;
        if (const std::string why = read.section.Validate(); !why.empty()) {
            prompter.Message(values.DialogName() + ": " + why);
            return false;
        }
        return true;
    });
    if (prompter.Exec(f.dialog) != QDialog::Accepted) return false;
    v = read;
    return true;
}

bool OpenLogFileDialog(CQtPrompter& prompter, CDlgOpenLogFile& values) {
    // The initial name "*.*" lists every file of the current folder.
    const std::vector<std::filesystem::path> files = prompter.OpenFiles(
        "Open", {{values.sFilter, {values.sPattern}}}, values.sInitialName, false);
    if (files.empty()) return false;
    values.sPath = files.front();
    return true;
}

bool FileNameAndFolderDialog(CQtPrompter& prompter, CDlgSetFileNameAndFolder& values) {
    CForm f(prompter.Parent(), Q(values.DialogName()));
    QFormLayout* form = f.AddFormLayout();
    QLineEdit* prefix = CForm::Field(form, Q("File name prefix"), "sPrefix", Q(values.sPrefix));
    auto* row = new QHBoxLayout;
    auto* folder = new QLineEdit(QPath(values.sFolder));
    folder->setObjectName("sFolder");
    folder->setReadOnly(true);
    auto* set = new QPushButton(Q("SET"));
    set->setObjectName("SET");
    row->addWidget(folder, 1);
    row->addWidget(set);
    form->addRow(Q("Folder path"), row);
    QObject::connect(set, &QPushButton::clicked, &f.dialog, [&] {
        if (const auto chosen = prompter.ChooseFolder(CDlgSetFileNameAndFolder::kChooseFolderTitle,
                                                      PathOf(folder->text())))
            folder->setText(QPath(*chosen));
    });
    f.Finish({});
    if (prompter.Exec(f.dialog) != QDialog::Accepted) return false;
    values.sPrefix = S(prefix->text());
    values.sFolder = PathOf(folder->text());
    return true;
}

void PortTestDialog(CQtPrompter& prompter, CPortTestWindow& window) {
    QDialog dialog(prompter.Parent());
    dialog.setWindowTitle(Q("Serialport test"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* text = new QPlainTextEdit;
    text->setObjectName("lines");
    text->setReadOnly(true);
    text->setMinimumSize(560, 360);
    layout->addWidget(text);
    auto* box = new QDialogButtonBox;
    QPushButton* ok = box->addButton(OkText(), QDialogButtonBox::AcceptRole);
    ok->setObjectName("ok");
    layout->addWidget(box);
    QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QTimer timer;
    timer.setInterval(CPortTestWindow::kTimerPeriod);
    QObject::connect(&timer, &QTimer::timeout, &dialog, [&] {
        window.Tick();
        text->setPlainText(Q(window.Text()));
    });
    timer.start();
    prompter.Exec(dialog, "dialog", "Serialport test");
    timer.stop();
    window.Close();
}
