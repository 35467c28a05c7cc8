// The control form: the big acquisition buttons in their state colours, the file, line and
// marker numbers, the latest reading, the geometry and the data-lines log. Widgets are named
// by their control identifiers ("2104", "1301", ...).
#pragma once

#include <QPushButton>
#include <QWidget>
#include <array>
#include <functional>
#include <utility>
#include <vector>

#include "logger/control_form.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;

// A button whose whole face is its state colour with the caption in black at 10,10.
class CBigButton : public QPushButton {
public:
    explicit CBigButton(int iControl, QWidget* parent = nullptr);
    void SetState(const CButtonState& state);
    const CButtonState& State() const { return state_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    CButtonState state_;
};

class CControlFormWidget : public QWidget {
public:
    explicit CControlFormWidget(CTessickDoc& doc, QWidget* parent = nullptr);

    // The form's refresh: values from the document into every control.
    void Refresh();
    // Re-labels the static texts after a language switch.
    void Relabel();
    const CControlFormValues& Values() const { return values_; }
    CBigButton* Button(int iControl) const;

    // A window button was pressed: the window opens its auxiliary window.
    std::function<void(int iWindow)> onOpenWindow;

private:
    QLineEdit* Edit(int iControl, int width = 90);
    QLabel* Label(const char* english);
    // Widgets with a fixed text and that text in English.
    std::vector<std::pair<QWidget*, const char*>> texts_;
    CTessickDoc& doc_;
    CControlFormValues values_;
    std::array<CBigButton*, 5> big_{};
    std::array<QPushButton*, kAuxWindows> windowButtons_{};
    QPushButton* geometry_ = nullptr;
    QLabel* dipoleLabel_ = nullptr;
    std::array<QWidget*, 3> receiverDipole_{};
    QPlainTextEdit* dataLines_ = nullptr;
    QLabel* status_ = nullptr;
};
