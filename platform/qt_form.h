// Building blocks of the programs' dialogs: text and path conversions, a form with localised
// OK and Cancel buttons, and a reader of number fields that reports the first bad one.
#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QString>
#include <QVBoxLayout>
#include <filesystem>
#include <functional>
#include <string>

#include "common/language.h"
#include "platform/qt_prompter.h"


inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
inline QString Q(const char* s) {
    return QString::fromUtf8(s);
}
inline std::string S(const QString& s) {
    return s.toStdString();
}

inline std::filesystem::path PathOf(const QString& s) {
    return std::filesystem::path(s.toStdU16String());
}
inline QString QPath(const std::filesystem::path& p) {
    return QString::fromStdU16String(p.u16string());
}

inline QString NumberRequired() {
    return Q(Tr("Please enter a number.", "数値を入力してください。"));
}
inline QString IntegerRequired() {
    return Q(Tr("Please enter an integer.", "整数を入力してください。"));
}

inline QString StripMnemonic(QString text) {
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
        // The dialog is never smaller than its layout needs: a minimum set on the dialog
        // itself would replace the layout's, and a large form would then be squeezed to the
        // window system's default size with its texts cut. A narrow form would have its title
        // cut in the title bar: the layout keeps room for the title and the title bar's
        // buttons.
        layout->setSizeConstraint(QLayout::SetMinimumSize);
        layout->addItem(new QSpacerItem(TitleWidth(dialog, title), 0, QSizePolicy::Minimum,
                                        QSizePolicy::Fixed));
    }

    // Width a dialog needs to show its whole title.
    static int TitleWidth(const QWidget& widget, const QString& title) {
        return widget.fontMetrics().horizontalAdvance(title) * 5 / 4 + 160;
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

    // Adds OK and Cancel. Enter presses OK wherever the focus is (a field, a check box, another
    // button: those are pressed with Space), Escape Cancel.
    void Finish(std::function<bool()> onOk) {
        auto* box = new QDialogButtonBox;
        // In the dialog first: a button made default before it belongs to a dialog is not the
        // dialog's default, and Enter would press the first other button instead.
        layout->addWidget(box);
        QPushButton* ok = box->addButton(OkText(), QDialogButtonBox::AcceptRole);
        QPushButton* cancel = box->addButton(CancelText(), QDialogButtonBox::RejectRole);
        ok->setObjectName("ok");
        cancel->setObjectName("cancel");
        for (QPushButton* b : dialog.findChildren<QPushButton*>()) b->setAutoDefault(b == ok);
        ok->setDefault(true);
        QObject::connect(box, &QDialogButtonBox::accepted, &dialog, [this, onOk] {
            if (!onOk || onOk()) dialog.accept();
        });
        QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
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
