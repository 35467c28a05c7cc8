// Dialogs of the console transfer: the "Serial port" dialog of the port the console is read
// on.
#include <QComboBox>
#include <algorithm>

#include "apps/brivane/dialogs/dialogs.h"
#include "common/serial_port_table.h"
#include "platform/qt_form.h"

bool SerialPortDialog(CQtPrompter& prompter, CDlgRS232C& values) {
    CForm f(prompter.Parent(), Q(values.DialogName()));
    QFormLayout* form = f.AddFormLayout();
    auto combo = [&](const char* label, const char* name, const std::vector<std::string>& items,
                     int current) {
        auto* box = new QComboBox;
        box->setObjectName(name);
        for (const std::string& item : items) box->addItem(Q(item));
        if (current >= 0 && current < box->count()) box->setCurrentIndex(current);
        form->addRow(Q(label), box);
        return box;
    };
    QComboBox* port = combo("Com port", "port", values.ports, values.iPort);
    // A device path may be typed in (a pseudo-terminal, a udev link) in place of a listed
    // port.
    port->setEditable(true);
    port->setInsertPolicy(QComboBox::NoInsert);
    QComboBox* baud = combo("Baud rate", "baudRate", values.baudRates, values.iBaudRate);
    QComboBox* stop = combo("Stop bits", "stopBits", values.stopBits, values.iStopBits);
    f.Finish({});
    if (prompter.Exec(f.dialog) != QDialog::Accepted) return false;
    const std::string typed = S(port->currentText().trimmed());
    const auto listed = std::find(values.ports.begin(), values.ports.end(), typed);
    if (listed != values.ports.end()) {
        values.iPort = static_cast<int>(listed - values.ports.begin());
        values.sDevice.clear();
    } else {
        values.sDevice = typed;
    }
    values.iBaudRate = baud->currentIndex();
    values.iStopBits = stop->currentIndex();
    return true;
}
